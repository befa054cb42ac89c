#pragma once
// What every renderer test needs: a pretend screen depth and a message box
// that writes down instead of waiting for a click.

#include "dib/RenderDIB.h"
#include "gdi/picture_support.h"
#include "platform/gdi/RecordingDC.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

class RenderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        setScreenBits(32);
        gdi::SetMessageBoxSink([this](const char* text, const char* caption, UINT) {
            messages.push_back(text);
            captions.push_back(caption);
            return IDOK;
        });
    }
    void TearDown() override
    {
        gdi::SetScreenDepthProbe({});
        gdi::SetMessageBoxSink({});
    }
    void setScreenBits(int bits)
    {
        gdi::SetScreenDepthProbe([this, bits] {
            ++screenProbes;
            return bits;
        });
    }

    // The whole picture into a target rectangle, as the program's panes do.
    static void renderWhole(HDC dc, const DIB& pic, int x, int y, int w, int h, bool halftone = false,
                            bool ownPalette = false)
    {
        RenderDIB(dc, x, y, w, h, pic, 0, 0, DIBWidth(pic), DIBHeight(pic), halftone, SRCCOPY, ownPalette, nullptr);
    }

    std::vector<std::string> messages;
    std::vector<std::string> captions;
    int screenProbes = 0;
};
