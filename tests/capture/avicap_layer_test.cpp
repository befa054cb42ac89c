// Each operation of the message layer sends one message with the right
// number and argument widths, and answers what the window answered.

#include "scripted_library.h"

#include <gtest/gtest.h>

namespace {

// Answers a fixed value and remembers the one message it got.
class EchoWindow : public avicap::CaptureWindow {
public:
    LRESULT message(UINT m, WPARAM w, LPARAM l) override
    {
        ++count;
        msg = m;
        wParam = w;
        lParam = l;
        return answer;
    }
    int count = 0;
    UINT msg = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    LRESULT answer = 1;
};

LRESULT statusProc(HWND, int, const char*) { return 1; }
LRESULT videoProc(HWND, VIDEOHDR*) { return 1; }
LRESULT waveProc(HWND, WAVEHDR*) { return 1; }

} // namespace

TEST(AviCapLayer, MessageNumbersAndArguments)
{
    scripted::app();
    EchoWindow w;
    CAPSTATUS status;
    CAPDRIVERCAPS caps;
    char block[8];

    struct Expect {
        const char* name;
        std::function<void()> call;
        UINT msg;
        WPARAM wParam;
        LPARAM lParam;
    } cases[] = {
        {"status cb", [&] { capSetCallbackOnStatus(&w, statusProc); }, 0x403, 0, reinterpret_cast<LPARAM>(&statusProc)},
        {"frame cb", [&] { capSetCallbackOnFrame(&w, videoProc); }, 0x405, 0, reinterpret_cast<LPARAM>(&videoProc)},
        {"stream cb", [&] { capSetCallbackOnVideoStream(&w, videoProc); }, 0x406, 0, reinterpret_cast<LPARAM>(&videoProc)},
        {"wave cb", [&] { capSetCallbackOnWaveStream(&w, waveProc); }, 0x407, 0, reinterpret_cast<LPARAM>(&waveProc)},
        {"clear cb", [&] { capSetCallbackOnFrame(&w, nullptr); }, 0x405, 0, 0},
        {"get user", [&] { capGetUserData(&w); }, 0x408, 0, 0},
        {"set user", [&] { capSetUserData(&w, 0x1234); }, 0x409, 0, 0x1234},
        {"connect", [&] { capDriverConnect(&w, 0x12345); }, 0x40A, 0x2345, 0}, // 16 bits
        {"disconnect", [&] { capDriverDisconnect(&w); }, 0x40B, 0, 0},
        {"caps", [&] { capDriverGetCaps(&w, &caps, 44); }, 0x40E, 44, reinterpret_cast<LPARAM>(&caps)},
        {"format dlg", [&] { capDlgVideoFormat(&w); }, 0x429, 0, 0},
        {"source dlg", [&] { capDlgVideoSource(&w); }, 0x42A, 0, 0},
        {"format", [&] { capGetVideoFormat(&w, block, 0x10008); }, 0x42C, 8, reinterpret_cast<LPARAM>(block)},
        {"format size", [&] { capGetVideoFormatSize(&w); }, 0x42C, 0, 0},
        {"preview on", [&] { capPreview(&w, true); }, 0x432, 1, 0},
        {"preview off", [&] { capPreview(&w, false); }, 0x432, 0, 0},
        {"overlay", [&] { capOverlay(&w, true); }, 0x433, 1, 0},
        {"rate", [&] { capPreviewRate(&w, 70000); }, 0x434, 70000 & 0xFFFF, 0},
        {"scale", [&] { capPreviewScale(&w, true); }, 0x435, 1, 0},
        {"status", [&] { capGetStatus(&w, &status, 76); }, 0x436, 76, reinterpret_cast<LPARAM>(&status)},
        {"grab", [&] { capGrabFrame(&w); }, 0x43C, 0, 0},
    };
    for (const auto& c : cases) {
        const int before = w.count;
        c.call();
        EXPECT_EQ(w.count, before + 1) << c.name << ": exactly one message";
        EXPECT_EQ(w.msg, c.msg) << c.name;
        EXPECT_EQ(w.wParam, c.wParam) << c.name;
        EXPECT_EQ(w.lParam, c.lParam) << c.name;
    }
}

TEST(AviCapLayer, AnswersAndNullWindow)
{
    scripted::app();
    EchoWindow w;
    w.answer = 0x100; // nonzero, but its low byte is 0: a "no"
    EXPECT_FALSE(capDriverConnect(&w, 0));
    EXPECT_FALSE(capGrabFrame(&w));
    w.answer = 0x1FF;
    EXPECT_TRUE(capDriverConnect(&w, 0));
    w.answer = 1234;
    EXPECT_EQ(capGetVideoFormatSize(&w), 1234u);
    EXPECT_EQ(capGetUserData(&w), 1234);

    EXPECT_EQ(capGetVideoFormatSize(nullptr), 0u);
    EXPECT_FALSE(capDriverConnect(nullptr, 0));
    EXPECT_EQ(capDlgVideoSource(nullptr), 0);
    EXPECT_EQ(capGetUserData(nullptr), 0);
}
