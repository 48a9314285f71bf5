// The executable's heap: a start leaves its first megabytes in small pages and advises the rest, grown by
// malloc's pad at once, for huge pages. Seen from inside a run of the built executable, in its own
// /proc/self/smaps, at the start and after a script took 20 MB.

#include "app/HeapAdvice.h"
#include "support/ScriptBundle.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

using quodrix::test::RunResult;
using quodrix::test::ScriptBundle;

namespace {

// Prints "START END FLAG" for every mapping of the heap (hexadecimal addresses; FLAG "hg" when advised for
// huge pages, else "-"), after `before` ran.
std::string heapScript(std::string const& before)
{
    return before + R"(
local range, heap
for line in io.lines("/proc/self/smaps") do
  local from, to, name = line:match("^(%x+)-(%x+) %S+ %S+ %S+ %S+%s*(.*)$")
  if from then
    range, heap = from .. " " .. to, name == "[heap]"
  elseif heap and line:match("^VmFlags:") then
    print(range .. " " .. (line:match(" hg") and "hg" or "-"))
  end
end
)";
}

struct Mapping {
    unsigned long from = 0;
    unsigned long to = 0;
    bool advised = false;
};

std::vector<Mapping> mappings(std::string const& out)
{
    std::vector<Mapping> result;
    std::istringstream lines(out);
    std::string from, to, flag;
    while (lines >> from >> to >> flag)
        result.push_back({ std::stoul(from, nullptr, 16), std::stoul(to, nullptr, 16), flag == "hg" });
    return result;
}

}

TEST(HeapAdvice, AStartAdvisesTheHeapBeyondItsFirstMegabytesForHugePages)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer's allocator does not grow the heap by the break";
#endif
    if (!std::filesystem::exists("/sys/kernel/mm/transparent_hugepage"))
        GTEST_SKIP() << "this kernel has no transparent huge pages";
    ScriptBundle bundle;
    // A table of 200,000 texts of 60 bytes: about 20 MB, past the small part.
    for (std::string const& before : { std::string(), std::string(
             "local t = {} for i = 1, 200000 do t[i] = string.format('%059d', i) end assert(#t == 200000)\n") }) {
        RunResult const run = bundle.runScript(heapScript(before));
        ASSERT_EQ(run.status, 0) << run.err;
        std::vector<Mapping> const heap = mappings(run.out);
        ASSERT_GE(heap.size(), 2u) << run.out;
        EXPECT_FALSE(heap.front().advised) << run.out;
        unsigned long advisedBytes = 0;
        for (Mapping const& part : heap) {
            if (!part.advised)
                continue;
            advisedBytes += part.to - part.from;
            // A huge page maps only a range at a multiple of its size; the first megabytes stay small pages.
            EXPECT_EQ(part.from % (2ul << 20), 0u) << run.out;
            EXPECT_GE(part.from - heap.front().from, quodrix::kSmallHeapBytes) << run.out;
        }
        // Most of the pad is advised: less the small part, up to a huge page lost to the rounding, and the
        // free end of the heap before the start, which the pad's growth counted in (malloc's trim threshold).
        EXPECT_GE(advisedBytes, quodrix::kHeapPadBytes - quodrix::kSmallHeapBytes - 2 * (2ul << 20)) << run.out;
    }
}
