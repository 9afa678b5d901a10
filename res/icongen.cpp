// Writes the program's icons: the class icon (red, yellow and green bands) and the
// three solid status squares. Each is one 32 x 32 image at 32 bits per pixel, fully
// opaque. The .ico files in this folder are its output; run it again after a change:
//   icongen <folder>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

const int kSize = 32;

struct Rgb {
    uint8_t r, g, b;
};

const Rgb kRed = {255, 0, 0};
const Rgb kGreen = {0, 255, 0};
const Rgb kYellow = {255, 255, 0};
const Rgb kBandYellow = {255, 255, 36};

void Put16(std::vector<uint8_t> *out, uint32_t v)
{
    out->push_back(static_cast<uint8_t>(v));
    out->push_back(static_cast<uint8_t>(v >> 8));
}

void Put32(std::vector<uint8_t> *out, uint32_t v)
{
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

// An .ico file of one image; rowColour(y) gives the colour of row y, 0 being the top.
template <typename RowColour>
std::vector<uint8_t> MakeIcon(RowColour rowColour)
{
    const uint32_t colourBytes = kSize * kSize * 4;
    const uint32_t maskBytes = kSize * ((kSize + 31) / 32 * 4);
    const uint32_t imageBytes = 40 + colourBytes + maskBytes;

    std::vector<uint8_t> out;
    // Icon directory with its one entry.
    Put16(&out, 0);
    Put16(&out, 1);  // icon
    Put16(&out, 1);  // one image
    out.push_back(kSize);
    out.push_back(kSize);
    out.push_back(0);  // no palette
    out.push_back(0);
    Put16(&out, 1);   // planes
    Put16(&out, 32);  // bits per pixel
    Put32(&out, imageBytes);
    Put32(&out, 6 + 16);

    // BITMAPINFOHEADER: the height counts the colour rows and the mask rows.
    Put32(&out, 40);
    Put32(&out, kSize);
    Put32(&out, kSize * 2);
    Put16(&out, 1);
    Put16(&out, 32);
    Put32(&out, 0);  // BI_RGB
    Put32(&out, colourBytes + maskBytes);
    Put32(&out, 0);
    Put32(&out, 0);
    Put32(&out, 0);
    Put32(&out, 0);

    // Rows bottom-up, each pixel blue, green, red, alpha.
    for (int y = kSize - 1; y >= 0; y--) {
        Rgb c = rowColour(y);
        for (int x = 0; x < kSize; x++) {
            out.push_back(c.b);
            out.push_back(c.g);
            out.push_back(c.r);
            out.push_back(255);
        }
    }
    // An all-clear AND mask: every pixel opaque.
    out.insert(out.end(), maskBytes, 0);
    return out;
}

int Write(const std::string &path, const std::vector<uint8_t> &bytes)
{
    FILE *pFile = fopen(path.c_str(), "wb");
    if (!pFile) {
        fprintf(stderr, "icongen: cannot write %s\n", path.c_str());
        return 0;
    }
    size_t written = fwrite(bytes.data(), 1, bytes.size(), pFile);
    int closed = fclose(pFile) == 0;
    return written == bytes.size() && closed;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: icongen <folder>\n");
        return 2;
    }
    const std::string dir = std::string(argv[1]) + "/";
    auto bands = [](int y) { return y <= 10 ? kRed : y <= 21 ? kBandYellow : kGreen; };
    int ok = Write(dir + "vellary.ico", MakeIcon(bands));
    ok &= Write(dir + "status_green.ico", MakeIcon([](int) { return kGreen; }));
    ok &= Write(dir + "status_red.ico", MakeIcon([](int) { return kRed; }));
    ok &= Write(dir + "status_yellow.ico", MakeIcon([](int) { return kYellow; }));
    return ok ? 0 : 1;
}
