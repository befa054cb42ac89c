#pragma once
// A capture library whose drivers and windows answer from a script and log
// every message they receive.

#include "capture/CaptureError.h"
#include "capture/Video.h"

#include <QApplication>
#include <QString>

#include <array>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace scripted {

struct Message {
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
};

struct Script {
    std::array<std::pair<std::string, std::string>, 10> drivers{}; // name, version; empty name = no driver
    bool failCreate = false;
    std::map<int, bool> connects; // slot -> answer (default true for described slots)
    bool hasOverlay = false;
    UINT imageWidth = 640, imageHeight = 480;
    std::vector<Message> log;     // all windows, in order
    int windowsCreated = 0;
    int windowsAlive = 0;
    std::vector<std::uint8_t> format = std::vector<std::uint8_t>(40, 0);
};

class Window : public avicap::CaptureWindow {
public:
    Window(Script& s, QWidget* parent) : avicap::CaptureWindow(parent), script(s) { ++script.windowsAlive; }
    ~Window() override { --script.windowsAlive; }

    LRESULT message(UINT msg, WPARAM wParam, LPARAM lParam) override
    {
        script.log.push_back({msg, wParam, lParam});
        switch (msg) {
        case WM_CAP_SET_USER_DATA:
            user = lParam;
            return 1;
        case WM_CAP_GET_USER_DATA:
            return user;
        case WM_CAP_SET_CALLBACK_FRAME:
            frame = reinterpret_cast<CAPVIDEOCALLBACK>(lParam);
            return 1;
        case WM_CAP_SET_CALLBACK_STATUSA:
            status = reinterpret_cast<CAPSTATUSCALLBACK>(lParam);
            return 1;
        case WM_CAP_DRIVER_CONNECT: {
            const int slot = static_cast<int>(wParam);
            auto it = script.connects.find(slot);
            const bool ok = it != script.connects.end() ? it->second
                                                        : (slot < 10 && !script.drivers[slot].first.empty());
            connected = ok;
            return ok ? 1 : 0;
        }
        case WM_CAP_DRIVER_GET_CAPS: {
            auto* caps = reinterpret_cast<CAPDRIVERCAPS*>(lParam);
            caps->fHasOverlay = script.hasOverlay ? 1 : 0;
            return 1;
        }
        case WM_CAP_SET_PREVIEW:
            preview = wParam != 0;
            return 1;
        case WM_CAP_SET_OVERLAY:
            overlay = wParam != 0;
            return 1;
        case WM_CAP_GET_STATUS: {
            auto* st = reinterpret_cast<CAPSTATUS*>(lParam);
            st->uiImageWidth = script.imageWidth;
            st->uiImageHeight = script.imageHeight;
            st->fLiveWindow = preview;
            st->fOverlayWindow = overlay;
            return 1;
        }
        case WM_CAP_GET_VIDEOFORMAT:
            if (wParam == 0)
                return static_cast<LRESULT>(script.format.size());
            std::memcpy(reinterpret_cast<void*>(lParam), script.format.data(),
                        std::min<std::size_t>(wParam, script.format.size()));
            return static_cast<LRESULT>(std::min<std::size_t>(wParam, script.format.size()));
        case WM_CAP_GRAB_FRAME:
            if (frame) {
                VIDEOHDR h;
                frame(this, &h);
            }
            return 1;
        default:
            return 1;
        }
    }

    // Delivers one frame the way a driver would.
    LRESULT deliver(VIDEOHDR* h) { return frame ? frame(this, h) : -1; }

    Script& script;
    LPARAM user = 0;
    CAPVIDEOCALLBACK frame = nullptr;
    CAPSTATUSCALLBACK status = nullptr;
    bool connected = false, preview = false, overlay = false;
};

class Library : public avicap::Library {
public:
    Library() { avicap::SetLibrary(this); }
    ~Library() override { avicap::SetLibrary(nullptr); }

    bool driverDescription(WORD index, char* name, int nameSize, char* version, int versionSize) override
    {
        if (index >= 10 || script.drivers[index].first.empty())
            return false;
        std::snprintf(name, static_cast<std::size_t>(nameSize), "%s", script.drivers[index].first.c_str());
        std::snprintf(version, static_cast<std::size_t>(versionSize), "%s", script.drivers[index].second.c_str());
        return true;
    }
    avicap::CaptureWindow* createCaptureWindow(const char* title, DWORD style, int, int, int, int, QWidget* parent,
                                               int id) override
    {
        lastTitle = title;
        lastStyle = style;
        lastId = id;
        if (script.failCreate)
            return nullptr;
        ++script.windowsCreated;
        return new Window(script, parent); // owned by the control that asked
    }

    std::vector<UINT> messages() const
    {
        std::vector<UINT> out;
        for (const auto& m : script.log)
            out.push_back(m.msg);
        return out;
    }

    Script script;
    std::string lastTitle;
    DWORD lastStyle = 0;
    int lastId = 0;
};

// Records the texts of error boxes instead of showing them.
struct ErrorLog {
    std::vector<QString> texts;
    std::vector<QString> details;
    ErrorLog()
    {
        capture::SetErrorSink([this](const QString& t, const QString& d) {
            texts.push_back(t);
            details.push_back(d);
        });
    }
    ~ErrorLog() { capture::SetErrorSink({}); }
};

inline QApplication& app()
{
    static int argc = 1;
    static char name[] = "capture_test";
    static char* argv[] = {name, nullptr};
    static QApplication a(argc, argv);
    return a;
}

} // namespace scripted
