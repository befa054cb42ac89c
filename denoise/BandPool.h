#pragma once
// A small pool of worker threads for work split into bands of rows. The
// threads are started once, with the pool, and wait between jobs; a job runs
// band 0 on the calling thread and band k on worker k, and returns when all
// bands are done. Handing out a job allocates nothing. Which thread works a
// band never changes its result: each band writes only its own rows.

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace denoise {

class BandPool {
public:
    // `threads` bands at a time: the calling thread and threads - 1 workers
    // (at least 1 and at most kMostThreads in all).
    explicit BandPool(int threads);
    ~BandPool();
    BandPool(const BandPool&) = delete;
    BandPool& operator=(const BandPool&) = delete;

    static constexpr int kMostThreads = 64;

    int Threads() const { return static_cast<int>(workers_.size()) + 1; }

    // Calls job(band) for every band 0..Threads()-1, at the same time.
    template <typename Job>
    void Run(Job& job)
    {
        run([](void* j, int band) { (*static_cast<Job*>(j))(band); }, &job);
    }

private:
    using Call = void (*)(void*, int);
    void run(Call call, void* job);
    void work(int band);

    std::vector<std::thread> workers_;
    std::mutex mutex_;
    std::condition_variable start_, done_;
    std::uint64_t generation_ = 0; // counts the jobs handed out
    int remaining_ = 0;            // workers still on the current job
    bool stop_ = false;
    Call call_ = nullptr;
    void* job_ = nullptr;
};

} // namespace denoise
