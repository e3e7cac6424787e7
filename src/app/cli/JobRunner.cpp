#include "app/cli/JobRunner.h"

#include <sched.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace morv::cli {

unsigned defaultJobCount() {
    // The cores this process may run on (taskset, containers), not all the machine has.
    cpu_set_t set;
    if (::sched_getaffinity(0, sizeof set, &set) == 0) {
        const int n = CPU_COUNT(&set);
        if (n > 0) return unsigned(n);
    }
    return std::max(1u, std::thread::hardware_concurrency());
}

void runInOrder(std::size_t count, unsigned jobs, const std::function<void(std::size_t)>& work,
                const std::function<void(std::size_t)>& deliver) {
    if (count == 0) return;
    const std::size_t threads = std::clamp<std::size_t>(jobs, 1, count);
    if (threads == 1) {
        for (std::size_t i = 0; i < count; ++i) {
            work(i);
            deliver(i);
        }
        return;
    }

    std::mutex mutex;
    std::condition_variable finished;
    std::vector<char> done(count, 0);
    std::vector<std::exception_ptr> failures(count);
    std::atomic<std::size_t> next{0};
    std::atomic<bool> stop{false};
    {
        std::vector<std::jthread> pool;
        pool.reserve(threads);
        for (std::size_t t = 0; t < threads; ++t)
            pool.emplace_back([&] {
                for (std::size_t i; !stop && (i = next++) < count;) {
                    std::exception_ptr failure;
                    try {
                        work(i);
                    } catch (...) {
                        failure = std::current_exception();
                    }
                    {
                        const std::lock_guard lock(mutex);
                        done[i] = 1;
                        failures[i] = failure;
                    }
                    finished.notify_all();
                }
            });
        try {
            for (std::size_t i = 0; i < count; ++i) {
                std::unique_lock lock(mutex);
                finished.wait(lock, [&] { return done[i] != 0; });
                if (failures[i]) break;
                lock.unlock();
                deliver(i);
            }
        } catch (...) {
            stop = true;
            throw;
        }
        // After a failure no new item starts; the threads finish what they hold and join.
        stop = true;
    }
    for (std::size_t i = 0; i < count; ++i)
        if (failures[i]) std::rethrow_exception(failures[i]);
}

}  // namespace morv::cli
