/*
 * fuzz_check.h — the one assertion a fuzz target makes: a promise that holds on any input. Unlike
 * assert() it stays on in every build, so the corpus runner and libFuzzer both stop on it.
 */
#ifndef SELVARK_FUZZ_CHECK_H
#define SELVARK_FUZZ_CHECK_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(cond)                                                                           \
    do {                                                                                           \
        if (!(cond)) {                                                                             \
            std::fprintf(stderr, "%s:%d: fuzz check failed: %s\n", __FILE__, __LINE__, #cond);     \
            std::abort();                                                                          \
        }                                                                                          \
    } while (0)

// True when s[0..n) is UTF-8 of 1- to 4-byte sequences, none cut short.
inline bool fuzzWellFormedUtf8(const char *s, size_t n) {
    for (size_t i = 0; i < n;) {
        auto b = static_cast<uint8_t>(s[i]);
        size_t len = b < 0x80 ? 1 : (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : (b & 0xF8) == 0xF0 ? 4 : 0;
        if (len == 0 || i + len > n)
            return false;
        for (size_t k = 1; k < len; ++k)
            if ((static_cast<uint8_t>(s[i + k]) & 0xC0) != 0x80)
                return false;
        i += len;
    }
    return true;
}

#endif
