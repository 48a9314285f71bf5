#include "app/HeapAdvice.h"

#include <cstdint>
#include <cstdlib>
#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

namespace quodrix {

namespace {

constexpr std::uintptr_t kHugePageBytes = 2ul << 20;
// The C library's own pad, put back when the heap could not grow by the break.
constexpr int kDefaultPadBytes = 128 * 1024;

std::uintptr_t programBreak()
{
    // sbrk(0) answers from the C library's record of the break, without a system call.
    return reinterpret_cast<std::uintptr_t>(::sbrk(0));
}

}

void adviseHugePagesForHeap()
{
    std::uintptr_t const before = programBreak();
    if (::mallopt(M_TOP_PAD, int(kHeapPadBytes)) != 1)
        return;
    // Blocks below malloc's mmap threshold come from the heap: taking some grows it by the pad.
    constexpr int kBlocks = 8;
    void* blocks[kBlocks] = {};
    for (int i = 0; i < kBlocks && programBreak() == before; ++i)
        blocks[i] = std::malloc(100 * 1024);
    bool const grown = programBreak() != before;
    for (void* block : blocks)
        std::free(block);
    if (!grown) {
        (void)::mallopt(M_TOP_PAD, kDefaultPadBytes);
        return;
    }
    // The frees may have given a little back (malloc keeps the pad): the break is read again.
    std::uintptr_t const end = programBreak();
    std::uintptr_t const from = (before + kSmallHeapBytes + kHugePageBytes - 1) & ~(kHugePageBytes - 1);
    if (end > from)
        (void)::madvise(reinterpret_cast<void*>(from), end - from, MADV_HUGEPAGE);
}

}
