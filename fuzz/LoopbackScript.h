#pragma once
// The loopback target's input: a node, then steps. The seed generator
// writes the same layout, so both take it from here.
//
//   u8 node flags (LoopbackNodeFlag), u8 buffers the node grants at most,
//   then steps until the input ends, each a LoopbackOp byte and its fields.

#include <cerrno>
#include <cstdint>

namespace fuzz {

enum LoopbackNodeFlag : std::uint8_t {
    NodeExclusiveCaps = 1, // as the module is usually loaded
    NodeLends = 2,         // streaming: the node lends buffers to map
    NodeOpenFails = 4,     // the first open is refused (EACCES)
};

enum class LoopbackOp : std::uint8_t {
    Picture,     // u16 width, u16 height (1 + each modulo 160 and 120), u8 time since the last one in 10 ms
    LieFormat,   // u8 FormatLie bits, u32 width, height, bytesperline, sizeimage, pixelformat
    LieBuffers,  // u32 the next REQBUFS count
    LieLength,   // u32 the next QUERYBUF length
    LieDequeued, // u32 the next DQBUF index
    FailQueue,   // u8 errno (index into LoopbackErrors)
    FailDequeue, // u8 errno
    FailWrite,   // u8 errno
    FailMmap,    // the next mmap
    Vanish,      // the node is unplugged (the module unloaded)
    Restart,     // the user switches the webcam off and on
    Reader,      // another program starts or stops reading the node
    Count
};

inline constexpr int LoopbackErrors[] = {EAGAIN, EINTR, EINVAL, ENODEV, EIO,    EBUSY,
                                         ENOMEM, ENXIO, EPIPE,  ENOSPC, EFAULT, EPERM};

} // namespace fuzz
