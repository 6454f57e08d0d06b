/*
 * fuzz_check.h — the one assertion a fuzz target makes: a promise that holds on any input. Unlike
 * assert() it stays on in every build, so the corpus runner and libFuzzer both stop on it.
 */
#ifndef SELVARK_FUZZ_CHECK_H
#define SELVARK_FUZZ_CHECK_H

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(cond)                                                                           \
    do {                                                                                           \
        if (!(cond)) {                                                                             \
            std::fprintf(stderr, "%s:%d: fuzz check failed: %s\n", __FILE__, __LINE__, #cond);     \
            std::abort();                                                                          \
        }                                                                                          \
    } while (0)

#endif
