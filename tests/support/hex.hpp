#pragma once

#include "common/hex.hpp"

namespace tarnwick::test {

// The request text of a document: each byte as two lowercase hex digits.
using tarnwick::hex_of;

}  // namespace tarnwick::test
