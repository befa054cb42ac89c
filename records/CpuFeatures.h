#pragma once
// Which vector instructions this processor has. The program is built for any
// x86-64 processor (SSE2 is always there); the faster kernels are compiled per
// function and chosen at run time through these questions, asked once.

namespace cpu {

inline bool HasSSSE3()
{
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("ssse3") != 0;
    }();
    return has;
}

inline bool HasAVX2()
{
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return has;
}

} // namespace cpu
