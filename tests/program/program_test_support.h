#pragma once
// Stand-ins for what surrounds the program in widget tests: a capture
// library with scripted drivers, a desktop that records instead of opening
// windows, frames made by hand, and ways to act inside modal dialogs.

#include "capture/CaptureError.h"
#include "capture/VideoFormat.h"
#include "dib/Pixmill.h"
#include "platform/avicap/CaptureApi.h"
#include "viewer/DesktopShell.h"
#include "widgets/UrlOpener.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QTimer>
#include <QUrl>
#include <QWidget>

#include <array>
#include <cstdint>
#include <cstring>
#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace testing_program {

// A 24-bit format block for frames of width x height, bottom-up rows.
inline BITMAPINFO FormatBlock(int width, int height, int bitCount = 24)
{
    BITMAPINFO f{};
    f.bmiHeader.biWidth = width;
    f.bmiHeader.biHeight = height;
    f.bmiHeader.biBitCount = static_cast<WORD>(bitCount);
    f.bmiHeader.biSizeImage = static_cast<DWORD>(StandardRowBytes(width, bitCount) * height);
    return f;
}

// Frame bytes whose value depends on position and on `seed`, so that two
// frames differ and rows and channels can be told apart.
inline std::vector<std::uint8_t> PatternFrame(int width, int height, int seed)
{
    const std::size_t rowbytes = static_cast<std::size_t>(StandardRowBytes(width, 24));
    std::vector<std::uint8_t> bytes(rowbytes * static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < 3; ++c)
                bytes[static_cast<std::size_t>(y) * rowbytes + static_cast<std::size_t>(x) * 3 + c] =
                    static_cast<std::uint8_t>(x * (c + 1) + y * 3 + seed * 37 + c * 50);
    return bytes;
}

// A format source that answers one fixed block.
struct FixedFormat : VideoFormatSource {
    BITMAPINFO block;
    explicit FixedFormat(int width, int height, int bitCount = 24) : block(FormatBlock(width, height, bitCount)) {}
    std::uint32_t GetVideoFormatSize() override { return sizeof(BITMAPINFOHEADER); }
    std::uint32_t GetVideoFormat(BITMAPINFO* format, std::uint32_t size) override
    {
        const std::uint32_t n = std::min<std::uint32_t>(size, sizeof(BITMAPINFOHEADER));
        std::memcpy(format, &block, n);
        return n;
    }
};

class FakeLibrary;

// A capture window connected to one of the fake library's drivers.
class FakeWindow : public avicap::CaptureWindow {
public:
    FakeWindow(FakeLibrary& library, QWidget* parent);
    ~FakeWindow() override;
    LRESULT message(UINT msg, WPARAM wParam, LPARAM lParam) override;

    FakeLibrary& library;
    LPARAM user = 0;
    CAPVIDEOCALLBACK frame = nullptr;
    int slot = -1;
    bool preview = false;
};

// Drivers in chosen slots, each with its own frame size.
class FakeLibrary : public avicap::Library {
public:
    struct Driver {
        std::string name;
        std::string version;
        int width = 640;
        int height = 480;
        int bitCount = 24;
    };

    FakeLibrary() { avicap::SetLibrary(this); }
    ~FakeLibrary() override { avicap::SetLibrary(nullptr); }

    bool driverDescription(WORD index, char* name, int nameSize, char* version, int versionSize) override
    {
        if (index >= 10 || drivers[index].name.empty())
            return false;
        std::snprintf(name, static_cast<std::size_t>(nameSize), "%s", drivers[index].name.c_str());
        std::snprintf(version, static_cast<std::size_t>(versionSize), "%s", drivers[index].version.c_str());
        return true;
    }
    avicap::CaptureWindow* createCaptureWindow(const char*, DWORD, int, int, int, int, QWidget* parent, int) override
    {
        return new FakeWindow(*this, parent); // owned by the control
    }

    // Delivers a frame through the open window, as a driver with preview
    // on would; answers whether it went out.
    bool deliver(std::vector<std::uint8_t>& bytes)
    {
        if (window == nullptr || !window->preview || window->frame == nullptr)
            return false;
        VIDEOHDR h;
        h.lpData = bytes.data();
        h.dwBufferLength = static_cast<DWORD>(bytes.size());
        h.dwBytesUsed = h.dwBufferLength;
        window->frame(window, &h);
        return true;
    }
    bool deliverPattern(int seed)
    {
        if (window == nullptr)
            return false;
        const Driver& d = drivers[static_cast<std::size_t>(window->slot)];
        std::vector<std::uint8_t> bytes = PatternFrame(d.width, d.height, seed);
        return deliver(bytes);
    }

    std::array<Driver, 10> drivers{};
    FakeWindow* window = nullptr;     // the connected window, if any
    std::vector<bool> previewAtDialog; // preview state whenever a driver dialog opened
    std::vector<UINT> dialogs;         // which dialogs were asked for
};

inline FakeWindow::FakeWindow(FakeLibrary& lib, QWidget* parent) : avicap::CaptureWindow(parent), library(lib) {}

inline FakeWindow::~FakeWindow()
{
    if (library.window == this)
        library.window = nullptr;
}

inline LRESULT FakeWindow::message(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_CAP_SET_USER_DATA:
        user = lParam;
        return 1;
    case WM_CAP_GET_USER_DATA:
        return user;
    case WM_CAP_SET_CALLBACK_FRAME:
        frame = reinterpret_cast<CAPVIDEOCALLBACK>(lParam);
        return 1;
    case WM_CAP_DRIVER_CONNECT: {
        const int s = static_cast<int>(wParam);
        if (s < 0 || s >= 10 || library.drivers[static_cast<std::size_t>(s)].name.empty())
            return 0;
        slot = s;
        library.window = this;
        return 1;
    }
    case WM_CAP_DRIVER_DISCONNECT:
        if (library.window == this)
            library.window = nullptr;
        slot = -1;
        return 1;
    case WM_CAP_SET_PREVIEW:
        preview = wParam != 0;
        return 1;
    case WM_CAP_GET_STATUS: {
        auto* st = reinterpret_cast<CAPSTATUS*>(lParam);
        if (slot >= 0) {
            st->uiImageWidth = static_cast<UINT>(library.drivers[static_cast<std::size_t>(slot)].width);
            st->uiImageHeight = static_cast<UINT>(library.drivers[static_cast<std::size_t>(slot)].height);
        }
        st->fLiveWindow = preview ? 1 : 0;
        return 1;
    }
    case WM_CAP_GET_VIDEOFORMAT: {
        if (slot < 0)
            return 0;
        const FakeLibrary::Driver& d = library.drivers[static_cast<std::size_t>(slot)];
        const BITMAPINFO block = FormatBlock(d.width, d.height, d.bitCount);
        if (wParam == 0)
            return sizeof(BITMAPINFOHEADER);
        const std::size_t n = std::min<std::size_t>(wParam, sizeof(BITMAPINFOHEADER));
        std::memcpy(reinterpret_cast<void*>(lParam), &block, n);
        return static_cast<LRESULT>(n);
    }
    case WM_CAP_DLG_VIDEOSOURCE:
    case WM_CAP_DLG_VIDEOFORMAT:
        library.dialogs.push_back(msg);
        library.previewAtDialog.push_back(preview);
        return 1;
    default:
        return 1;
    }
}

// The desktop, scripted: save dialogs answer from a queue (an empty queue
// cancels), message boxes and opened addresses are recorded.
struct ScriptedShell : desktop::Shell {
    ScriptedShell()
    {
        desktop::SetShell(this);
        url_opener::SetOpener([this](const QUrl& url) {
            opened.push_back(url);
            return desktopOpens;
        });
        url_opener::SetNotice([this](QWidget*, const QString& text) { messages.push_back(text); });
    }
    ~ScriptedShell() override
    {
        desktop::SetShell(nullptr);
        url_opener::SetOpener({});
        url_opener::SetNotice({});
    }

    QString saveFileName(QWidget*, const QString&, const QString& proposedPath, const QStringList& filters,
                         QString* selectedFilter) override
    {
        proposals.push_back(proposedPath);
        offeredFilters = filters;
        if (whileDialogOpen)
            whileDialogOpen();
        if (answers.empty())
            return {};
        const QString answer = answers.front();
        answers.pop_front();
        if (!filterAnswer.isEmpty() && selectedFilter != nullptr)
            *selectedFilter = filterAnswer;
        return answer;
    }
    void message(QWidget*, QMessageBox::Icon, const QString&, const QString& text) override
    {
        messages.push_back(text);
    }

    std::deque<QString> answers;
    QString filterAnswer;
    std::function<void()> whileDialogOpen;
    std::vector<QString> proposals;
    QStringList offeredFilters;
    std::vector<QUrl> opened;
    bool desktopOpens = true; // false: the desktop has nothing to open with
    std::vector<QString> messages;
};

// Records the capture control's error boxes.
struct CaptureErrors {
    std::vector<QString> texts;
    CaptureErrors()
    {
        capture::SetErrorSink([this](const QString& t) { texts.push_back(t); });
    }
    ~CaptureErrors() { capture::SetErrorSink({}); }
};

// Calls `act` with the modal dialog of type T as soon as one is open (from
// inside its modal loop); gives up after a few seconds.
template <class T>
void WhenModal(std::function<void(T*)> act)
{
    auto* timer = new QTimer;
    auto* clock = new QElapsedTimer;
    clock->start();
    QObject::connect(timer, &QTimer::timeout, [timer, clock, act] {
        if (T* dialog = qobject_cast<T*>(QApplication::activeModalWidget())) {
            timer->stop();
            act(dialog);
            timer->deleteLater();
            delete clock;
        } else if (clock->elapsed() > 5000) {
            timer->stop();
            timer->deleteLater();
            delete clock;
        }
    });
    timer->start(5);
}

// What the screen shows of a widget, as 32-bit RGB.
inline QImage Grab(QWidget* w)
{
    return w->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

} // namespace testing_program
