#pragma once

#include <cstdio>
#include <cstdlib>

// A broken property is a finding like a crash: the fuzzer keeps the input,
// and the replay test fails on it.
inline void fuzzCheck(bool holds, const char *property)
{
    if (holds)
        return;
    std::fprintf(stderr, "fuzz property broken: %s\n", property);
    std::abort();
}
