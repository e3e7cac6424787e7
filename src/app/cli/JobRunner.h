#pragma once
#include <cstddef>
#include <functional>

namespace morv::cli {

/// The number of jobs --jobs defaults to: the processor cores this process may use
/// (at least 1).
unsigned defaultJobCount();

/// Runs work(0) .. work(count - 1) on up to `jobs` threads, handing the items out in
/// increasing order, and calls deliver(i) on the calling thread for each item in
/// increasing order, as soon as that item and every one before it are done: what
/// deliver prints comes out in input order however the work interleaves. With one
/// job everything runs on the calling thread. An exception thrown by work(i) is
/// thrown again by the call in place of deliver(i), after the other threads finish.
void runInOrder(std::size_t count, unsigned jobs, const std::function<void(std::size_t)>& work,
                const std::function<void(std::size_t)>& deliver);

}  // namespace morv::cli
