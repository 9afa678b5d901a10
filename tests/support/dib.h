// A memory canvas for reading back what Win32 draws (Windows build only).
#pragma once

#include <windows.h>

#include <cstdint>
#include <ostream>

struct Rgb {
    uint8_t r, g, b;
    bool operator==(const Rgb &o) const { return r == o.r && g == o.g && b == o.b; }
};

inline std::ostream &operator<<(std::ostream &os, const Rgb &c)
{
    return os << "(" << int(c.r) << ", " << int(c.g) << ", " << int(c.b) << ")";
}

// A top-down 32-bit DIB section selected into a memory DC.
class Dib {
public:
    Dib(int width, int height) : width_(width), height_(height)
    {
        BITMAPINFO bmi = {};
        bmi.bmiHeader.biSize = sizeof bmi.bmiHeader;
        bmi.bmiHeader.biWidth = width;
        bmi.bmiHeader.biHeight = -height;
        bmi.bmiHeader.biPlanes = 1;
        bmi.bmiHeader.biBitCount = 32;
        bmi.bmiHeader.biCompression = BI_RGB;
        dc_ = CreateCompatibleDC(nullptr);
        void *bits = nullptr;
        bitmap_ = CreateDIBSection(dc_, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
        bits_ = static_cast<uint32_t *>(bits);
        old_ = SelectObject(dc_, bitmap_);
    }
    ~Dib()
    {
        SelectObject(dc_, old_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    Dib(const Dib &) = delete;
    Dib &operator=(const Dib &) = delete;

    bool Valid() const { return bits_ != nullptr; }
    HDC Dc() const { return dc_; }

    void Fill(Rgb c)
    {
        GdiFlush();
        for (int i = 0; i < width_ * height_; i++)
            bits_[i] = (uint32_t(c.r) << 16) | (uint32_t(c.g) << 8) | c.b;
    }
    Rgb At(int x, int y) const
    {
        GdiFlush();
        uint32_t v = bits_[y * width_ + x];
        return {uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)};
    }

private:
    int width_, height_;
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ old_ = nullptr;
    uint32_t *bits_ = nullptr;
};
