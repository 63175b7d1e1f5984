#include "parallel.h"

#include <algorithm>
#include <exception>

// libstdc++ without gthreads (the win32 thread model) has no std::thread.
#if !defined(__GLIBCXX__) || defined(_GLIBCXX_HAS_GTHREADS)
#define TELINV_READ_THREADS 1
#include <atomic>
#include <system_error>
#include <thread>
#include <vector>
#endif

namespace telinv_read {

#ifdef TELINV_READ_THREADS

bool have_threads() { return true; }

void parallel_for(std::size_t count, unsigned threads, const std::function<void(std::size_t)> &work)
{
    if (threads == 0)
        threads = std::max(1u, std::thread::hardware_concurrency());
    const std::size_t workers = std::min<std::size_t>(threads, count);
    if (workers <= 1) {
        for (std::size_t i = 0; i < count; i++)
            work(i);
        return;
    }
    std::atomic<std::size_t> next{0};
    std::atomic<bool> stop{false};
    std::vector<std::exception_ptr> errors(workers);
    auto run = [&](std::size_t w) {
        try {
            for (std::size_t i; !stop.load() && (i = next.fetch_add(1)) < count;)
                work(i);
        } catch (...) {
            errors[w] = std::current_exception();
            stop.store(true);
        }
    };
    std::vector<std::thread> pool;
    pool.reserve(workers - 1);
    try {
        for (std::size_t w = 1; w < workers; w++)
            pool.emplace_back(run, w);
    } catch (const std::system_error &) {
        // No more threads to be had: those started and this one do the work.
    }
    run(0);
    for (std::thread &t : pool)
        t.join();
    for (const std::exception_ptr &e : errors)
        if (e)
            std::rethrow_exception(e);
}

#else

bool have_threads() { return false; }

void parallel_for(std::size_t count, unsigned, const std::function<void(std::size_t)> &work)
{
    for (std::size_t i = 0; i < count; i++)
        work(i);
}

#endif

} // namespace telinv_read
