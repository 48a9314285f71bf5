// The memory of the Lua state: every block keeps its bytes through any resize, small and large and across
// the two, a freed block serves the next of its size, and the host's state, made with it, writes warnings as
// Lua's own state does.

#include "lua/LuaAllocator.h"
#include "support/ScriptBundle.h"

#include <gtest/gtest.h>
#include <lua5.4/lua.hpp>

#include <cstring>
#include <random>
#include <vector>

using namespace quodrix;
using namespace quodrix::test;

namespace {

struct Block {
    void* data = nullptr;
    std::size_t size = 0;
    unsigned char fill = 0;
};

void fill(Block const& block)
{
    std::memset(block.data, block.fill, block.size);
}

bool holds(Block const& block, std::size_t size)
{
    auto const* bytes = static_cast<unsigned char const*>(block.data);
    for (std::size_t i = 0; i < size; ++i) {
        if (bytes[i] != block.fill)
            return false;
    }
    return true;
}

}

TEST(LuaAllocator, EveryBlockKeepsItsBytesThroughResizesSmallAndLarge)
{
    LuaAllocator memory;
    std::mt19937 random(7);
    std::vector<Block> blocks(500);
    auto sizeAt = [&] {
        // Mostly small blocks, some on the border of the two kinds, some large.
        switch (random() % 4) {
        case 0: return std::size_t(1 + random() % 32);
        case 1: return std::size_t(LuaAllocator::kSmallAtMost - 8 + random() % 16);
        case 2: return std::size_t(1 + random() % 3000);
        default: return std::size_t(1 + random() % LuaAllocator::kSmallAtMost);
        }
    };
    for (int step = 0; step < 20000; ++step) {
        Block& block = blocks[random() % blocks.size()];
        if (!block.data) {
            block.size = sizeAt();
            block.data = LuaAllocator::allocate(&memory, nullptr, LUA_TTABLE, block.size);
            ASSERT_NE(block.data, nullptr);
            block.fill = static_cast<unsigned char>(random());
            fill(block);
        } else if (random() % 3 == 0) {
            ASSERT_TRUE(holds(block, block.size)) << step;
            EXPECT_EQ(LuaAllocator::allocate(&memory, block.data, block.size, 0), nullptr);
            block = Block();
        } else {
            std::size_t const size = sizeAt();
            void* moved = LuaAllocator::allocate(&memory, block.data, block.size, size);
            ASSERT_NE(moved, nullptr);
            block.data = moved;
            ASSERT_TRUE(holds(block, std::min(block.size, size))) << step;
            block.size = size;
            fill(block);
        }
    }
    for (Block& block : blocks) {
        if (block.data) {
            EXPECT_TRUE(holds(block, block.size));
            LuaAllocator::allocate(&memory, block.data, block.size, 0);
        }
    }
}

TEST(LuaAllocator, AFreedBlockServesTheNextOfItsSizeAndAResizeWithinItsClassStays)
{
    LuaAllocator memory;
    void* a = LuaAllocator::allocate(&memory, nullptr, 0, 40);
    void* b = LuaAllocator::allocate(&memory, nullptr, 0, 40);
    EXPECT_NE(a, b);
    EXPECT_EQ(LuaAllocator::allocate(&memory, a, 40, 48), a);  // 40 and 48 bytes are one class
    LuaAllocator::allocate(&memory, a, 48, 0);
    EXPECT_EQ(LuaAllocator::allocate(&memory, nullptr, 0, 33), a);
    // Chunks are taken as blocks are needed, and each chunk's rest serves smaller blocks.
    std::size_t const before = memory.chunkBytes();
    std::vector<void*> many;
    for (int i = 0; i < 10000; ++i)
        many.push_back(LuaAllocator::allocate(&memory, nullptr, 0, 24 + i % 200));
    EXPECT_GT(memory.chunkBytes(), before);
    EXPECT_LT(memory.chunkBytes(), std::size_t(10000) * 256);
    for (int i = 0; i < 10000; ++i)
        LuaAllocator::allocate(&memory, many[std::size_t(i)], 24 + std::size_t(i) % 200, 0);
    LuaAllocator::allocate(&memory, b, 40, 0);
}

// The host's state warns as Lua's own: nothing until a script turns warnings on, then each on one line.
TEST(LuaAllocator, TheHostWritesWarningsOnlyOnceTheyAreTurnedOn)
{
    ScriptBundle bundle;
    RunResult const result = bundle.runScript(R"(
        warn("not shown")
        warn("@on")
        warn("shown, ", "in ", "parts")
        warn("@unknown")
        warn("@off")
        warn("not shown either"))");
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "Lua warning: shown, in parts\n");
}
