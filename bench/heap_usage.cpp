#include "heap_usage.h"

#include <malloc.h>
#include <unistd.h>

#include "process_stats.h"

namespace quillet::bench {

size_t HeapBytesInUse() {
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

size_t OwnResidentBytes() {
    return static_cast<size_t>(StatusBytes(::getpid(), "VmRSS").value_or(0));
}

}  // namespace quillet::bench
