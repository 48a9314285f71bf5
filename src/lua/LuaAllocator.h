#pragma once
// LuaAllocator: the memory of one Lua state. Lua tells the size of every block it frees or resizes, so
// small blocks need no header: they are carved from large chunks by size class (kGranule bytes apart, up to
// kSmallAtMost bytes), and a freed block goes onto its class's free list for the next block of that size.
// Larger blocks come from malloc. The chunks are given back when the allocator goes, after the state was
// closed; closing a state with many objects then costs a push onto a list for each of them.
//
// A run keeps tens of thousands of small tables and strings alive at once (a row and its texts for every
// file): through malloc, each cost a header and a search of its bins, and the state's close freed them one
// by one.
//
// The first kMallocChunks chunks come from malloc; a state that keeps growing past them takes regions of one
// huge page each (kRegionBytes, at a multiple of their size, advised for transparent huge pages), so that a
// run that keeps a row for each of 100,000 files faults in a few regions rather than thousands of pages: in
// a virtual machine the first touch of a page costs about 10 µs, a third of a file's rename. A start that
// runs a small script maps none. An AddressSanitizer build marks free blocks and unused chunk space as poisoned, so that a use
// after free in the pool is seen as it is with malloc.

#include <cstddef>
#include <memory>
#include <vector>

struct lua_State;

namespace quodrix {

class LuaAllocator {
public:
    static constexpr std::size_t kGranule = 16;
    static constexpr std::size_t kSmallAtMost = 512;
    static constexpr std::size_t kChunkBytes = 64 * 1024 - 64;  // below malloc's mmap threshold
    static constexpr std::size_t kMallocChunks = 32;
    static constexpr std::size_t kRegionBytes = 2 * 1024 * 1024;

    LuaAllocator() = default;
    ~LuaAllocator();
    LuaAllocator(LuaAllocator const&) = delete;
    LuaAllocator& operator=(LuaAllocator const&) = delete;

    // The lua_Alloc function: `self` is the allocator.
    static void* allocate(void* self, void* block, std::size_t oldSize, std::size_t newSize) noexcept;

    // A new state with this allocator, set up as luaL_newstate sets up its own: the panic function writes
    // the error, and warnings are off until a script turns them on ("@on"). Null when there is no memory.
    lua_State* newState();

    // Bytes held in chunks, used or free (for tests and measurements).
    std::size_t chunkBytes() const { return m_chunkBytes; }

private:
    static constexpr std::size_t kClasses = kSmallAtMost / kGranule + 1;
    static std::size_t classOf(std::size_t size) { return (size + kGranule - 1) / kGranule; }

    void* take(std::size_t size) noexcept;
    void give(void* block, std::size_t size) noexcept;
    // Makes a new chunk the one blocks are carved from; false when there is no memory.
    bool newChunk() noexcept;

    // Frees a chunk from malloc (`mapped` 0) or unmaps a region of `mapped` bytes.
    struct FreeChunk {
        std::size_t mapped = 0;
        void operator()(char* chunk) const;
    };

    void* m_free[kClasses] = {};
    char* m_next = nullptr;  // the unused rest of the newest chunk
    char* m_end = nullptr;
    std::vector<std::unique_ptr<char, FreeChunk>> m_chunks;
    std::size_t m_chunkBytes = 0;
};

}
