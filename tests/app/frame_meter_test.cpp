// The arithmetic of a measuring run: frames per second, the slowest whole
// second and the share of one core.

#include "app/FrameMeter.h"

#include <gtest/gtest.h>

TEST(FrameTally, RateSlowestWholeSecondAndCoreShare)
{
    FrameTally tally;
    // 30 paints a second for three seconds, but only 12 in the second one,
    // and a few in a fourth second the measurement ends inside.
    for (int s = 0; s < 3; ++s) {
        const int n = s == 1 ? 12 : 30;
        for (int i = 0; i < n; ++i)
            tally.note(s * 1000 + i * 1000 / n);
    }
    for (int i = 0; i < 3; ++i)
        tally.note(3000 + i * 33);
    const FrameRate r = tally.result(3500, 245.0);
    EXPECT_NEAR(r.framesPerSecond, 75.0 / 3.5, 1e-9);
    EXPECT_EQ(r.slowestSecond, 12);
    EXPECT_NEAR(r.corePercent, 7.0, 1e-9);
    EXPECT_NEAR(r.seconds, 3.5, 1e-9);
}

TEST(FrameTally, ASecondWithoutPaintsIsADipToNothing)
{
    FrameTally tally;
    for (int i = 0; i < 30; ++i)
        tally.note(i * 33);
    // Nothing in the second or third second.
    EXPECT_EQ(tally.result(3000, 0).slowestSecond, 0);
    EXPECT_EQ(FrameTally().result(2000, 10).framesPerSecond, 0);
    EXPECT_EQ(FrameTally().result(0, 10).corePercent, 0) << "no time, no share";
}
