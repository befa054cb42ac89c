#pragma once
// JPEGs as cameras and files bring them, made with TurboJPEG for the seeds
// and for the good frame the JPEG target decodes after every input.

#include <cstdint>
#include <string>
#include <vector>

namespace fuzz {

struct JpegRecipe {
    int width = 64;
    int height = 48;
    int subsampling = 1; // TJSAMP_*: 0 4:4:4, 1 4:2:2, 2 4:2:0, 3 grey, 4 4:4:0, 5 4:1:1
    bool cmyk = false;   // four components (Adobe YCCK)
    bool progressive = false;
    bool arithmetic = false; // arithmetic instead of Huffman coding
    bool optimised = false;  // Huffman tables made for this picture, not the standard ones
    int restartMcus = 0;     // a restart marker every this many MCUs (0: none)
    int quality = 85;
};

// The picture: soft ramps with hard edges and a little noise, so that the
// coded data has both long runs and busy blocks; `seed` varies the noise.
std::vector<std::uint8_t> MakeJpeg(const JpegRecipe& recipe, unsigned seed = 1);

// The same JPEG without its Huffman table segments, as MJPEG cameras send
// their frames: the decoder must use the standard tables.
std::vector<std::uint8_t> WithoutHuffmanTables(const std::vector<std::uint8_t>& jpeg);

} // namespace fuzz
