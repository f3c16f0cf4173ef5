#pragma once

#include <cstdio>
#include <cstdlib>

// Invariant checks of the fuzz targets. They stay on in optimised builds (unlike assert) and
// abort, which the fuzzer records as a finding together with the input.
#define FUZZ_CHECK(condition)                                                                  \
    do {                                                                                       \
        if (!(condition)) {                                                                    \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                      \
        }                                                                                      \
    } while (0)
