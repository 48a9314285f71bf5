// The application log file as the commands append to it: rows kept and written a block at a time, the header
// once for a new or empty file, the rows of one file written before a row of another is kept, line breakers
// in fields named, and the cause of a file that cannot be written.

#include "platform/ActionLogFile.h"
#include "support/FaultySystemCalls.h"
#include "support/ScriptBundle.h"

#include <gtest/gtest.h>

using namespace quodrix;
using namespace quodrix::test;
namespace fs = std::filesystem;

namespace {

std::array<std::string_view, 7> fields(std::string_view name)
{
    return { "File renaming", name, "Insert", "new", "successfull", "/in", "/out" };
}

}

TEST(ActionLogFile, RowsGoOutInBlocksWithTheHeaderOnceAndEachFileGetsItsOwn)
{
    TempDir dir;
    std::string const a = (dir / "a.txt").string(), b = (dir / "b.txt").string();
    ActionLogFile log;
    EXPECT_FALSE(log.append(a, "Header\n", "2026-12-08 01:02:03", fields("one\ttab\nline\r.jpg")));
    EXPECT_FALSE(fs::exists(a));  // kept until a block is full or flushed
    // A row of another file writes the first file's rows.
    EXPECT_FALSE(log.append(b, "Header\n", "2026-12-08 01:02:04", fields("two.jpg")));
    std::string const first = "Header\n2026-12-08 01:02:03\tFile renaming\tone\\ttab\\nline\\r.jpg\tInsert\tnew\tsuccessfull\t/in\t/out\n";
    EXPECT_EQ(readFile(a), first);
    EXPECT_FALSE(log.flush());
    EXPECT_FALSE(log.flush());  // nothing kept: nothing written
    std::string const second = "2026-12-08 01:02:04\tFile renaming\ttwo.jpg\tInsert\tnew\tsuccessfull\t/in\t/out\n";
    EXPECT_EQ(readFile(b), "Header\n" + second);

    // A full block goes out by itself; the header is not written again into a file that has rows.
    std::size_t rows = 0;
    while (fs::file_size(a) == first.size()) {
        ASSERT_FALSE(log.append(a, "Header\n", "2026-12-08 01:02:03", fields("many.jpg")));
        ++rows;
    }
    std::string const many = "2026-12-08 01:02:03\tFile renaming\tmany.jpg\tInsert\tnew\tsuccessfull\t/in\t/out\n";
    EXPECT_EQ(rows, (ActionLogFile::kBlockBytes + many.size() - 1) / many.size());
    std::string text;
    for (std::size_t i = 0; i < rows; ++i)
        text += many;
    EXPECT_EQ(readFile(a), first + text);
}

TEST(ActionLogFile, AFileThatCannotBeWrittenGivesItsCause)
{
    TempDir dir;
    std::string const path = (dir / "missing" / "log.txt").string();
    ActionLogFile log;
    EXPECT_FALSE(log.append(path, "Header\n", "2026-12-08 01:02:03", fields("a.jpg")));
    EXPECT_EQ(log.flush(), "open " + path + ": No such file or directory");
    EXPECT_FALSE(log.flush());  // the rows of the failed block are dropped

    // A full disk at the write leaves the file as it was, also when the disk took a part of the block first;
    // a write cut short goes on with the rest; a late error at the close is named though the row reached the
    // file.
    std::string const kept = (dir / "log.txt").string();
    std::string const row = "2026-12-08 01:02:03\tFile renaming\ta.jpg\tInsert\tnew\tsuccessfull\t/in\t/out\n";
    std::string const before = "Header\nearlier\n";
    struct Case {
        Call call;
        int nth;
        std::size_t writeAtMost;
        int error;
        std::optional<std::string> cause;
        std::string after;
    } const cases[] = {
        { Call::Write, 1, SIZE_MAX, ENOSPC, "write " + kept + ": No space left on device", before },
        { Call::Write, 2, 10, ENOSPC, "write " + kept + ": No space left on device", before },
        { Call::Any, 0, 10, 0, std::nullopt, before + row },
        { Call::Stat, 1, SIZE_MAX, EIO, "stat " + kept + ": Input/output error", before },
        { Call::Close, 1, SIZE_MAX, EIO, "close " + kept + ": Input/output error", before + row },
    };
    for (auto const& c : cases) {
        writeFile(kept, before);
        FaultySystemCalls faulty;
        faulty.fail(c.call, c.nth, Repeat::Once, c.error);
        faulty.writeAtMost(c.writeAtMost);
        ScopedSystemCalls installed(faulty);
        EXPECT_FALSE(log.append(kept, "Header\n", "2026-12-08 01:02:03", fields("a.jpg")));
        EXPECT_EQ(log.flush(), c.cause);
        EXPECT_EQ(faulty.failures(), c.nth > 0 ? 1 : 0);
        EXPECT_EQ(readFile(kept), c.after);
    }
}
