// The desktop: a context whose compatible bitmaps carry the screen's depth.

#include "platform/gdi/Gdi.h"

#include <QGuiApplication>
#include <QScreen>

namespace gdi {

class DesktopWindow {};

namespace {

int defaultScreenDepth()
{
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        if (const QScreen* screen = QGuiApplication::primaryScreen())
            return screen->depth();
    }
    return 24;
}

ScreenDepthProbe& probe()
{
    static ScreenDepthProbe p;
    return p;
}

int screenDepth()
{
    return probe() ? probe()() : defaultScreenDepth();
}

class ScreenDC : public DeviceContext {
public:
    explicit ScreenDC(int depth) : depth_(depth) {}

    int GetDeviceCaps(int index) override
    {
        switch (index) {
        case BITSPIXEL:
            return depth_;
        case RASTERCAPS:
            return RC_STRETCHDIB | RC_DIBTODEV;
        default:
            return 0;
        }
    }

    HBITMAP CreateCompatibleBitmap(int width, int height) override
    {
        if (width <= 0 || height <= 0)
            return nullptr;
        auto bitmap = std::make_unique<Bitmap>(width, height, depth_);
        return bitmap->isNull() ? nullptr : bitmap.release();
    }

private:
    int depth_;
};

} // namespace

DesktopWindow* GetDesktopWindow()
{
    static DesktopWindow desktop;
    return &desktop;
}

HDC GetDC(DesktopWindow* window)
{
    if (!window)
        return nullptr;
    return new ScreenDC(screenDepth());
}

int ReleaseDC(DesktopWindow* window, HDC dc)
{
    if (!window || !dynamic_cast<ScreenDC*>(dc))
        return 0;
    delete dc;
    return 1;
}

ScreenDepthProbe SetScreenDepthProbe(ScreenDepthProbe replacement)
{
    ScreenDepthProbe previous = std::move(probe());
    probe() = std::move(replacement);
    return previous;
}

} // namespace gdi
