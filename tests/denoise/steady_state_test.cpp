// A running stream costs the automatic smoother no memory of its own: once
// it knows the frame size, a frame allocates nothing, on one thread or
// several. Counted by replacing the program's operator new.

#include "denoise/AutoSmoother.h"
#include "tests/denoise/denoise_scenes.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <new>

namespace {
std::atomic<bool> counting{false};
std::atomic<long> allocations{0};
} // namespace

namespace {

void* take(std::size_t n)
{
    if (counting.load(std::memory_order_relaxed))
        allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(n == 0 ? 1 : n))
        return p;
    throw std::bad_alloc();
}

void give(void* p) noexcept
{
    std::free(p);
}

} // namespace

void* operator new(std::size_t n)
{
    return take(n);
}
void* operator new[](std::size_t n)
{
    return take(n);
}
void operator delete(void* p) noexcept
{
    give(p);
}
void operator delete[](void* p) noexcept
{
    give(p);
}
void operator delete(void* p, std::size_t) noexcept
{
    give(p);
}
void operator delete[](void* p, std::size_t) noexcept
{
    give(p);
}

namespace {

using denoise::AutoSmoother;
using namespace denoise_test;

TEST(AutoSmoother, AllocatesNothingPerFrameOnceRunning)
{
    constexpr int w = 200, h = 120;
    constexpr std::size_t row = w * 3 + 4;
    std::mt19937 rng(2);
    // A pan with a moving square and noise: camera movement, spatial
    // smoothing of what comes into view, and the noise estimate all work.
    std::vector<Frame> frames;
    for (int k = 0; k < 24; ++k) {
        Frame f = Render(w, h, row, 1.5 * k, 0, Texture);
        for (int y = 40; y < 70; ++y)
            for (int x = 5 * k; x < std::min(w, 5 * k + 30); ++x)
                for (int c = 0; c < 3; ++c)
                    f[y * row + x * 3 + c] = 230;
        frames.push_back(AddNoise(f, w, h, row, 8, rng));
    }
    // The count sees what is allocated.
    counting = true;
    auto probe = std::make_unique<int>(1);
    counting = false;
    ASSERT_EQ(allocations.exchange(0), 1);
    for (const int threads : {1, 3}) {
        AutoSmoother smoother(denoise::BestPath(), threads);
        Frame out(row * h);
        for (int k = 0; k < 24; ++k) {
            counting = k >= 8;
            smoother.Process(frames[k].data(), out.data(), denoise::FrameShape{w, h, row}, 60);
            counting = false;
        }
        EXPECT_EQ(allocations.exchange(0), 0) << threads << " threads";
    }
}

} // namespace
