#include "widgets/UrlOpener.h"

#include <QDesktopServices>
#include <QUrl>

#include <utility>

namespace url_opener {

namespace {
Opener& Current()
{
    static Opener opener;
    return opener;
}
} // namespace

bool Open(const QUrl& url)
{
    if (Current())
        return Current()(url);
    return QDesktopServices::openUrl(url);
}

Opener SetOpener(Opener opener)
{
    return std::exchange(Current(), std::move(opener));
}

} // namespace url_opener
