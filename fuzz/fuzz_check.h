#pragma once
// Invariants of the fuzz targets. A broken one aborts with its description, which libFuzzer
// reports as a finding and saves the input that broke it.

#include <cstdio>
#include <cstdlib>

namespace tolbe_fuzz {

// Aborts with "invariant broken: <what>" unless `holds`.
inline void Require(bool holds, const char* what) {
    if (!holds) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::fflush(stderr);
        std::abort();
    }
}

}  // namespace tolbe_fuzz
