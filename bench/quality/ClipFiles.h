#pragma once
// Clips on disk: raw BGR frames (top-down, no padding, the size given apart)
// and YUV4MPEG2 files with 8-bit 4:2:0 or 4:4:4 samples, turned into BGR in
// the matrix and range the camera path uses for such samples (BT.601,
// limited range unless the file says XCOLORRANGE=FULL).

#include "bench/quality/Clip.h"

#include <cstdio>
#include <memory>
#include <optional>
#include <string>

namespace quality {

// Reads a whole clip. A file that starts with the YUV4MPEG2 signature is read
// as such (a size given must then match it); any other file is raw BGR and
// needs the size. Throws Error naming the file for a missing or unreadable
// file, a broken or unsupported header, a length that is not a whole number
// of frames, and a file without frames.
Clip ReadClip(const std::string& path, std::optional<Size> size);

// Writes frames to a YUV4MPEG2 file with 4:4:4 limited-range BT.601 samples,
// the same weights and rounding as the program's own YUV output.
class Y4mWriter {
public:
    Y4mWriter(const std::string& path, Size size);
    void write(const std::uint8_t* bgr);
    // Flushes and checks that everything reached the file; throws Error.
    void close();

private:
    struct FileCloser {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    std::string path_;
    Size size_;
    std::unique_ptr<std::FILE, FileCloser> file_;
    std::vector<std::uint8_t> planes_;
};

void WriteY4m444(const std::string& path, const Clip& clip);

// Raw BGR frames, appended one by one.
class RawWriter {
public:
    explicit RawWriter(const std::string& path);
    void write(const std::uint8_t* bgr, std::size_t bytes);
    void close();

private:
    struct FileCloser {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    std::string path_;
    std::unique_ptr<std::FILE, FileCloser> file_;
};

} // namespace quality
