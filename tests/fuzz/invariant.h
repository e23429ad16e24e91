#pragma once

// An invariant a harness holds: when it breaks, it is named and the harness aborts, which
// libFuzzer and the replay in the ordinary build both report as a failure.

#include <cstdio>
#include <cstdlib>

namespace tessaro::test {

inline void require(bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

} // namespace tessaro::test
