#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

// What every fuzz target defines; libFuzzer or the seed runner calls it once per input.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

// A property of the code under test that does not hold: reported and aborted, so that libFuzzer keeps the
// input and the seed runner fails, with or without sanitizers (assert() is gone in release builds).
#define FUZZ_CHECK(condition)                                                                                          \
    do {                                                                                                               \
        if (!(condition)) {                                                                                            \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition);                         \
            std::abort();                                                                                              \
        }                                                                                                              \
    } while (false)
