#pragma once

#include <stdexcept>
#include <string>

namespace tarnwick {

// A condition the helper treats as impossible. The process driver catches it
// and ends the run with status 101 and the message on standard error; nothing
// else catches it.
class InvariantBroken : public std::logic_error {
 public:
  using std::logic_error::logic_error;
};

[[noreturn]] inline void invariant_broken(const std::string& message) { throw InvariantBroken(message); }

}  // namespace tarnwick
