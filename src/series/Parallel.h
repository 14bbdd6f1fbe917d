// Internal to the library: work spread over threads.
#ifndef QUARN_SRC_SERIES_PARALLEL_H
#define QUARN_SRC_SERIES_PARALLEL_H

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <system_error>
#include <thread>
#include <vector>

namespace quarn {
namespace series {

// The threads to use for `threads` asked for (0: one per processor core).
inline unsigned ThreadCount(unsigned threads)
{
    if (threads > 0) return threads;
    const unsigned cores = std::thread::hardware_concurrency();
    return cores > 0 ? cores : 1;
}

// Calls work(i) once for every i in [0, n), on up to `threads` threads that
// take the next index as they finish one (0: one per core); returns when all
// are done. `work` must not throw, and each call may only write what belongs
// to its index.
template <class Work>
void ForEachIndex(size_t n, unsigned threads, const Work& work)
{
    const size_t count = std::min<size_t>(ThreadCount(threads), n);
    if (count <= 1) {
        for (size_t i = 0; i < n; ++i) work(i);
        return;
    }
    std::atomic<size_t> next{0};
    auto run = [&] {
        for (size_t i; (i = next.fetch_add(1, std::memory_order_relaxed)) < n;) work(i);
    };
    std::vector<std::thread> pool;
    pool.reserve(count - 1);
    for (size_t t = 1; t < count; ++t) {
        try {
            pool.emplace_back(run);
        } catch (const std::system_error&) {  // no more threads to be had: fewer do the work
            break;
        }
    }
    run();
    for (std::thread& t : pool) t.join();
}

}  // namespace series
}  // namespace quarn

#endif
