#pragma once
// LuaAllocator: the memory of one Lua state. Lua tells the size of every block it frees or resizes, so
// small blocks need no header: they are carved from large chunks by size class (kGranule bytes apart, up to
// kSmallAtMost bytes), and a freed block goes onto its class's free list for the next block of that size.
// Larger blocks come from malloc. The chunks are given back when the allocator goes, after the state was
// closed; closing a state with many objects then costs a push onto a list for each of them.
//
// A run keeps tens of thousands of small tables and strings alive at once (a row and its texts for every
// file): through malloc, each cost a header and a search of its bins, and the state's close freed them one
// by one. An AddressSanitizer build marks free blocks and unused chunk space as poisoned, so that a use
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
    std::size_t chunkBytes() const { return m_chunks.size() * kChunkBytes; }

private:
    static constexpr std::size_t kClasses = kSmallAtMost / kGranule + 1;
    static std::size_t classOf(std::size_t size) { return (size + kGranule - 1) / kGranule; }

    void* take(std::size_t size) noexcept;
    void give(void* block, std::size_t size) noexcept;

    struct FreeChunk {
        void operator()(char* chunk) const;
    };

    void* m_free[kClasses] = {};
    char* m_next = nullptr;  // the unused rest of the newest chunk
    char* m_end = nullptr;
    std::vector<std::unique_ptr<char, FreeChunk>> m_chunks;
};

}
