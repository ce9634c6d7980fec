// An invariant the fuzz targets check on every input: a broken one aborts, so libFuzzer keeps the input.
#pragma once

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition)                                                                                \
    do {                                                                                                     \
        if (!(condition)) {                                                                                  \
            std::fprintf(stderr, "invariant broken at line %d: %s\n", __LINE__, #condition);                 \
            std::abort();                                                                                    \
        }                                                                                                    \
    } while (0)
