#include "dib/Pixmill.h"

std::int32_t DIBWidth(const DIB& r)
{
    return r.info->bmiHeader.biWidth;
}

std::int32_t DIBHeight(const DIB& r)
{
    return r.info->bmiHeader.biHeight;
}

std::int32_t DIBBitCount(const DIB& r)
{
    return r.info->bmiHeader.biBitCount;
}

std::int32_t PowerOfTwo(std::int32_t n)
{
    if (n <= 0)
        return 1;
    // Doubling in 32 bits: the one bit leaves the word at n = 32.
    return n >= 32 ? 0 : static_cast<std::int32_t>(std::uint32_t{1} << n);
}

std::int32_t DIBColorCount(const DIB& r)
{
    return PowerOfTwo(DIBBitCount(r));
}
