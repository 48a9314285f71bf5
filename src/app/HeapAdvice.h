#pragma once
// Huge pages for the heap of a run that grows large.
//
// A run over many files keeps a plan, a journal's texts and a row for each of them: tens of megabytes of
// small blocks, first touched page by page. In a virtual machine a first touch costs about 10 µs, a third of
// the time of a file's rename there; a huge page (2 MiB) is touched once for 512 pages. The C library's
// malloc can advise its heap for transparent huge pages, but only when told so by the environment before
// the process starts (GLIBC_TUNABLES=glibc.malloc.hugetlb=1).

namespace quodrix {

// Called once at the start of main(), before any thread: makes malloc grow the heap by kHeapPadBytes at a
// time (M_TOP_PAD), grows it now, and advises the part beyond its first kSmallHeapBytes for huge pages. A
// short command (a version, a simulation of a thousand files) uses only the first part, in small pages, and
// pays for no huge page it does not fill; a run of 10,000 files used to fill 4 MiB of small pages. Only
// advice: where the heap does not grow by the break (another allocator, a sanitizer's) nothing is advised
// and malloc is left as it was.
void adviseHugePagesForHeap();

inline constexpr unsigned long kHeapPadBytes = 64ul << 20;
inline constexpr unsigned long kSmallHeapBytes = 1ul << 20;

}
