#include "denoise/BandPool.h"

#include <algorithm>

namespace denoise {

BandPool::BandPool(int threads)
{
    const int n = std::clamp(threads, 1, kMostThreads);
    workers_.reserve(static_cast<std::size_t>(n - 1));
    for (int band = 1; band < n; ++band)
        workers_.emplace_back([this, band] { work(band); });
}

BandPool::~BandPool()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    start_.notify_all();
    for (std::thread& t : workers_)
        t.join();
}

void BandPool::run(Call call, void* job)
{
    if (workers_.empty()) {
        call(job, 0);
        return;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        call_ = call;
        job_ = job;
        remaining_ = static_cast<int>(workers_.size());
        ++generation_;
    }
    start_.notify_all();
    call(job, 0);
    // Every worker finishes this job before the next can be handed out, so
    // none can miss a job or take one twice.
    std::unique_lock<std::mutex> lock(mutex_);
    done_.wait(lock, [this] { return remaining_ == 0; });
}

void BandPool::work(int band)
{
    std::uint64_t seen = 0;
    for (;;) {
        Call call;
        void* job;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            start_.wait(lock, [&] { return stop_ || generation_ != seen; });
            if (stop_)
                return;
            seen = generation_;
            call = call_;
            job = job_;
        }
        call(job, band);
        bool last;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            last = --remaining_ == 0;
        }
        if (last)
            done_.notify_one();
    }
}

} // namespace denoise
