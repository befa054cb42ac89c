#pragma once
// The camera memory target's input, shared with the seed generator:
//
//   u8 which camera opens (index into MemoryCameras),
//   u8 how many sections of other cameras are put before the text (the
//   number modulo 8), then the settings file's text.
//
// The filler sections stand for a settings file that has seen other
// cameras; they are made by the target. With STILLWISE_FUZZ_SECTIONS=N in
// the environment every input gets N of them instead: fuzz/run.sh runs the
// seeds once so with 10,000. Under the sanitizers such a file takes seconds
// a run, too slow to fuzz, and a number in the input would soon be mutated
// into it.

#include <cstdint>

namespace fuzz {

inline constexpr const char* MemoryCameras[] = {
    "Simulierte Kamera @usb-0000:00:14.0-1",
    "Simulierte Kamera #SN0042",
    "Zweite Kamera @platform:vivid-000",
    "Kamera mit Umlauten äöü [1] = x @usb-3",
};

// The controls the simulated camera has (V4L2 ids), for seeds to name.
inline constexpr std::uint32_t MemoryBrightness = 0x00980900;   // -64..64
inline constexpr std::uint32_t MemoryAutoWhite = 0x0098090c;    // boolean
inline constexpr std::uint32_t MemoryWhiteTemp = 0x0098091a;    // 2800..6500 step 10, ruled by MemoryAutoWhite
inline constexpr std::uint32_t MemoryExposureMode = 0x009a0901; // menu 0..3, only 1 and 3 exist
inline constexpr std::uint32_t MemoryPowerLine = 0x00980918;    // menu 0..2
inline constexpr std::uint32_t MemoryFocusButton = 0x009a090c;  // a button
inline constexpr std::uint32_t MemoryReadOnly = 0x00980901;     // read-only, 0..255

} // namespace fuzz
