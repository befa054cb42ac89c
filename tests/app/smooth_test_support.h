#pragma once
// Frames and formats for exercising the frame step.

#include "app/SmoothFrame.h"

#include <cstring>
#include <vector>

namespace smoothtest {

// A video format block: header, optionally followed by driver bytes.
struct Format {
    std::vector<std::uint32_t> words;
    explicit Format(int width, int height, int bits = 24, std::size_t extra = 0)
        : words((sizeof(BITMAPINFOHEADER) + extra + 3) / 4, 0)
    {
        BITMAPINFOHEADER& h = header();
        h = BITMAPINFOHEADER{};
        h.biWidth = width;
        h.biHeight = height;
        h.biBitCount = static_cast<WORD>(bits);
    }
    BITMAPINFOHEADER& header() { return reinterpret_cast<BITMAPINFO*>(words.data())->bmiHeader; }
    const BITMAPINFO* info() const { return reinterpret_cast<const BITMAPINFO*>(words.data()); }
    std::size_t size() const { return words.size() * 4; }
};

// The main window's two pictures, black 640 x 480 at start; freed at the end.
struct Pictures {
    DIB corrected = newdib(640, 480, 24, nullptr, 0);
    DIB raw = newdib(640, 480, 24, nullptr, 0);
    ~Pictures()
    {
        deldib(corrected);
        deldib(raw);
    }
    Pictures() = default;
    Pictures(const Pictures&) = delete;
    Pictures& operator=(const Pictures&) = delete;

    bool step(const Format& f, const std::vector<std::uint8_t>& frame, int strength)
    {
        return SmoothFrame(corrected, raw, f.info(), f.size(), frame.data(),
                           static_cast<std::uint32_t>(frame.size()), strength);
    }
    std::size_t bytes() const { return static_cast<std::size_t>(DIBHeight(corrected)) * corrected.rowbytes; }
};

inline std::vector<std::uint8_t> flatFrame(const Format& f, std::uint8_t value)
{
    const auto& h = const_cast<Format&>(f).header();
    const std::size_t stride = ((h.biWidth * 24 + 31) / 32) * 4;
    return std::vector<std::uint8_t>(stride * h.biHeight, value);
}

} // namespace smoothtest
