#pragma once

#include <QString>

#include <cstdio>
#include <cstdlib>

// A property that does not hold: print what broke it and stop, so libFuzzer keeps the input.
#define FUZZ_CHECK(cond, what)                                                                     \
    do {                                                                                           \
        if (!(cond)) {                                                                             \
            std::fprintf(stderr, "property failed: %s (%s)\n", #cond, qPrintable(what));           \
            std::abort();                                                                          \
        }                                                                                          \
    } while (0)

inline QString fuzzText(const uint8_t* data, size_t size) {
    return QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
}
