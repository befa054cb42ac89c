#include "camera/BgrFormat.h"

#include "records/WinTypes.h"

#include <cstring>

namespace camera {

std::size_t BgrImageBytes(int width, int height)
{
    const std::int64_t row = StandardRowBytes(width, 24);
    if (row <= 0 || height <= 0)
        return 0;
    return static_cast<std::size_t>(row) * static_cast<std::size_t>(height);
}

std::vector<std::uint8_t> BgrFormatBlock(int width, int height)
{
    BITMAPINFOHEADER h;
    h.biWidth = width;
    h.biHeight = height;
    h.biBitCount = 24;
    h.biCompression = BI_RGB;
    h.biSizeImage = static_cast<DWORD>(BgrImageBytes(width, height));
    std::vector<std::uint8_t> block(sizeof h);
    std::memcpy(block.data(), &h, sizeof h);
    return block;
}

} // namespace camera
