// What the fuzz targets assert: a broken rule stops the run as a crash, so libFuzzer keeps the
// input that broke it.
#pragma once

#include <cstdio>

namespace quillet::fuzz {

// Stops the process with a trap, naming the rule, when `holds` is false.
inline void Check(bool holds, const char* rule) {
    if (!holds) {
        std::fprintf(stderr, "fuzz check failed: %s\n", rule);
        __builtin_trap();
    }
}

}  // namespace quillet::fuzz
