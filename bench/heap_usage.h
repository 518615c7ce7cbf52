// The bytes the process's malloc heap has handed out and not taken back (every arena, and the
// chunks it mapped on their own), from glibc's mallinfo2.
#pragma once

#include <cstddef>

namespace quillet::bench {

size_t HeapBytesInUse();

// This process's resident set size, in bytes (VmRSS).
size_t OwnResidentBytes();

}  // namespace quillet::bench
