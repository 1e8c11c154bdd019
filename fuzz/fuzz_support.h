// What both fuzz targets share: the engine, and a check that stops the
// fuzzer on a broken promise.
#pragma once

#include <cstdio>
#include <cstdlib>

#include "engine/engine.h"
#include "state/run_state.h"

#define FUZZ_CHECK(condition)                                                                                          \
    do {                                                                                                               \
        if (!(condition)) {                                                                                            \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition);                         \
            std::abort();                                                                                              \
        }                                                                                                              \
    } while (0)
