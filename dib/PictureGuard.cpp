#include "dib/PictureGuard.h"

#include <cstring>

DIB CopyPicture(const DIB& picture)
{
    if (!DIBHoldsPicture(picture))
        return {};
    DIB copy = newdib(DIBWidth(picture), DIBHeight(picture), DIBBitCount(picture), nullptr, 0);
    if (copy.bits == nullptr)
        return copy;
    if (copy.rowbytes != picture.rowbytes) { // not a picture newdib would make
        deldib(copy);
        return {};
    }
    std::memcpy(copy.bits, picture.bits, std::size_t(DIBHeight(picture)) * std::size_t(picture.rowbytes));
    return copy;
}
