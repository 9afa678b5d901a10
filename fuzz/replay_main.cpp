// Replays a fuzz corpus through its target without libFuzzer: every file in the
// directories (or the files) named on the command line, once each.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

namespace fs = std::filesystem;

static void RunOne(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // An empty vector has no data(): hand over a valid pointer anyway.
    static const uint8_t none = 0;
    LLVMFuzzerTestOneInput(bytes.empty() ? &none : bytes.data(), bytes.size());
}

int main(int argc, char **argv)
{
    int runs = 0;
    for (int k = 1; k < argc; k++) {
        fs::path arg(argv[k]);
        if (fs::is_directory(arg)) {
            for (const auto &entry : fs::directory_iterator(arg)) {
                if (entry.is_regular_file()) {
                    RunOne(entry.path());
                    runs++;
                }
            }
        } else {
            RunOne(arg);
            runs++;
        }
    }
    printf("replayed %d inputs\n", runs);
    return runs > 0 ? 0 : 1;
}
