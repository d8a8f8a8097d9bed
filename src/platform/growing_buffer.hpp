#pragma once

// Calls into the system that write into a buffer the caller sizes and, when
// it is too small, say how large it must be. The size asked for can change
// between two calls (a value rewritten, the current directory changed), so
// the calls are repeated a bounded number of times. Portable: no system call
// here, the caller's `call` makes it.

#include <cstddef>

namespace tarnwick::win {

// Calls `call(buffer)` up to `attempts` times. `call` returns 0 when it is
// done (it keeps its own record of success or failure), or the size the
// buffer must have for another try; the buffer is resized to that size before
// the next call. A size no larger than the buffer's ends the calls too, since
// a retry could not go differently. Returns true when the last call was done,
// false when it still asked for a larger buffer.
template <class Buffer, class Call>
bool fill_growing(Buffer& buffer, int attempts, Call&& call) {
  for (int attempt = 0; attempt < attempts; ++attempt) {
    const std::size_t wanted = call(buffer);
    if (wanted == 0) return true;
    if (wanted <= buffer.size()) return false;
    buffer.resize(wanted);
  }
  return false;
}

}  // namespace tarnwick::win
