// The fuzz targets' check of a library promise: a broken one prints what was broken and
// aborts, which libFuzzer reports as a crash with the input that caused it. Used by every
// target in tests/fuzz that checks results.
#pragma once

#include <cstdio>
#include <cstdlib>

namespace vtm::fuzz {

// Fails the run loudly when a result breaks a promise of the library.
inline void Require(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
  }
}

}  // namespace vtm::fuzz
