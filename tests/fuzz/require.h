#pragma once

#include <cstdio>
#include <cstdlib>

// A property of the code under test: when it fails, the fuzzer keeps the input as a crash.
inline void Require(bool holds, const char* property)
{
    if (!holds) {
        std::fprintf(stderr, "property failed: %s\n", property);
        std::abort();
    }
}
