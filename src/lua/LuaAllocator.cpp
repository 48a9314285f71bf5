#include "lua/LuaAllocator.h"

#include <lua5.4/lua.hpp>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// GCC says that AddressSanitizer is on with __SANITIZE_ADDRESS__, Clang with __has_feature.
#if defined(__SANITIZE_ADDRESS__)
#define QUODRIX_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUODRIX_ADDRESS_SANITIZER 1
#endif
#endif

#if defined(QUODRIX_ADDRESS_SANITIZER)
#include <sanitizer/asan_interface.h>
#define QUODRIX_POISON(block, size) ASAN_POISON_MEMORY_REGION(block, size)
#define QUODRIX_UNPOISON(block, size) ASAN_UNPOISON_MEMORY_REGION(block, size)
#else
#define QUODRIX_POISON(block, size) ((void)(block), (void)(size))
#define QUODRIX_UNPOISON(block, size) ((void)(block), (void)(size))
#endif

namespace quodrix {

namespace {

// The panic and warning functions of luaL_newstate, for a state made with an allocator of its own: the
// panic writes the error object (when it is a text); warnings are written as "Lua warning: " and the
// message once a script sent the control message "@on", until "@off".
int panic(lua_State* L)
{
    char const* message = lua_type(L, -1) == LUA_TSTRING ? lua_tostring(L, -1) : "error object is not a string";
    std::fprintf(stderr, "PANIC: unprotected error in call to Lua API (%s)\n", message);
    std::fflush(stderr);
    return 0;
}

void warningsOff(void* state, char const* message, int toBeContinued);
void warningsOn(void* state, char const* message, int toBeContinued);

// Whether the message is a control message ("@on", "@off", or another "@..." that is ignored).
bool controlled(lua_State* L, char const* message, int toBeContinued)
{
    if (toBeContinued || message[0] != '@')
        return false;
    if (std::strcmp(message + 1, "off") == 0)
        lua_setwarnf(L, warningsOff, L);
    else if (std::strcmp(message + 1, "on") == 0)
        lua_setwarnf(L, warningsOn, L);
    return true;
}

void warningsOff(void* state, char const* message, int toBeContinued)
{
    (void)controlled(static_cast<lua_State*>(state), message, toBeContinued);
}

// The rest of a warning that came in parts.
void warningContinued(void* state, char const* message, int toBeContinued)
{
    auto* L = static_cast<lua_State*>(state);
    std::fputs(message, stderr);
    if (toBeContinued) {
        lua_setwarnf(L, warningContinued, L);
    } else {
        std::fputs("\n", stderr);
        lua_setwarnf(L, warningsOn, L);
    }
    std::fflush(stderr);
}

void warningsOn(void* state, char const* message, int toBeContinued)
{
    if (controlled(static_cast<lua_State*>(state), message, toBeContinued))
        return;
    std::fputs("Lua warning: ", stderr);
    warningContinued(state, message, toBeContinued);
}

}

void LuaAllocator::FreeChunk::operator()(char* chunk) const
{
    QUODRIX_UNPOISON(chunk, kChunkBytes);
    std::free(chunk);
}

LuaAllocator::~LuaAllocator() = default;

lua_State* LuaAllocator::newState()
{
    lua_State* L = lua_newstate(allocate, this);
    if (L) {
        lua_atpanic(L, panic);
        lua_setwarnf(L, warningsOff, L);
    }
    return L;
}

void* LuaAllocator::take(std::size_t size) noexcept
{
    std::size_t const sizeClass = classOf(size);
    if (void* block = m_free[sizeClass]) {
        QUODRIX_UNPOISON(block, sizeClass * kGranule);
        std::memcpy(&m_free[sizeClass], block, sizeof(void*));
        return block;
    }
    std::size_t const bytes = sizeClass * kGranule;
    if (std::size_t(m_end - m_next) < bytes) {
        // What is left of the chunk goes to the free lists, largest class first, so that nothing is lost.
        while (std::size_t(m_end - m_next) >= kGranule) {
            std::size_t const rest = std::min(std::size_t(m_end - m_next) / kGranule, kClasses - 1) * kGranule;
            void* block = m_next;
            m_next += rest;
            QUODRIX_UNPOISON(block, rest);
            give(block, rest);
        }
        std::unique_ptr<char, FreeChunk> chunk(static_cast<char*>(std::malloc(kChunkBytes)));
        if (!chunk)
            return nullptr;
        // Lua's allocator must not throw: a list that cannot grow is memory that is not there.
        try {
            m_chunks.push_back(std::move(chunk));
        } catch (...) {
            return nullptr;
        }
        QUODRIX_POISON(m_chunks.back().get(), kChunkBytes);
        m_next = m_chunks.back().get();
        m_end = m_next + kChunkBytes;
    }
    void* block = m_next;
    m_next += bytes;
    QUODRIX_UNPOISON(block, bytes);
    return block;
}

void LuaAllocator::give(void* block, std::size_t size) noexcept
{
    std::size_t const sizeClass = classOf(size);
    std::memcpy(block, &m_free[sizeClass], sizeof(void*));
    m_free[sizeClass] = block;
    QUODRIX_POISON(block, sizeClass * kGranule);
}

void* LuaAllocator::allocate(void* self, void* block, std::size_t oldSize, std::size_t newSize) noexcept
{
    auto& allocator = *static_cast<LuaAllocator*>(self);
    // A block that Lua frees or resizes has the size it was given (oldSize); for a new block, oldSize tells
    // what it is for, not a size.
    bool const wasSmall = block && oldSize <= kSmallAtMost;
    bool const small = newSize <= kSmallAtMost;
    if (newSize == 0) {
        if (wasSmall)
            allocator.give(block, oldSize);
        else
            std::free(block);
        return nullptr;
    }
    if (!block)
        return small ? allocator.take(newSize) : std::malloc(newSize);
    if (wasSmall && small && classOf(oldSize) == classOf(newSize))
        return block;
    if (!wasSmall && !small)
        return std::realloc(block, newSize);
    void* moved = small ? allocator.take(newSize) : std::malloc(newSize);
    if (!moved)
        return nullptr;  // Lua keeps the old block
    std::memcpy(moved, block, std::min(oldSize, newSize));
    if (wasSmall)
        allocator.give(block, oldSize);
    else
        std::free(block);
    return moved;
}

}
