// Runs independent pieces of work on several threads: packing is CPU-bound
// and each file packs on its own.
#pragma once

#include <cstddef>
#include <functional>

// One per core; at least one.
unsigned DefaultJobs();

// Calls task(0) ... task(count - 1), each once, on up to `jobs` threads (the
// caller's among them). After a failure no further task starts; once the
// running ones are done, the failure of the lowest index is rethrown, so the
// same input fails the same way whatever the number of threads.
void RunParallel(std::size_t count, unsigned jobs, const std::function<void(std::size_t)>& task);
