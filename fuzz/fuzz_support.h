// What both fuzz targets share: a pass run without the console, and a check
// that stops the fuzzer on a broken promise.
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

// One translation pass over work_text, without the header translate_pass prints.
inline void quiet_pass()
{
    out_text.clear();
    run_pass();
}
