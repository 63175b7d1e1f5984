// Independent pieces of work on several threads, where the build has threads: the win32
// thread model of the compiler that builds the release's 32-bit programs has none, and
// there the work runs on the calling thread, in order.
#pragma once

#include <cstddef>
#include <functional>

namespace telinv_read {

// Whether this build runs work on more than one thread.
bool have_threads();

// Calls work(i) for each i in [0, count), at most `threads` at once (0: as many as the
// machine has cores). Each i is taken once, in rising order of start; which thread takes
// it is not fixed. The first exception a call throws is thrown again here, after the
// calls under way have ended; the i not yet started then are left out.
void parallel_for(std::size_t count, unsigned threads, const std::function<void(std::size_t)> &work);

} // namespace telinv_read
