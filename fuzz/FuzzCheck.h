#pragma once

#include <cstdio>
#include <cstdlib>

// A broken promise of the code under test: said, then reported as a crash.
inline void Check(bool ACondition, const char* APromise)
{
    if (!ACondition) {
        std::fprintf(stderr, "broken: %s\n", APromise);
        std::abort();
    }
}
