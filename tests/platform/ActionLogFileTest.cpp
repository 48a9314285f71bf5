// The application log file as the commands append to it: rows kept and written a block at a time, the header
// once for a new or empty file, the rows of one file written before a row of another is kept, line breakers
// in fields named, and the cause of a file that cannot be written.

#include "platform/ActionLogFile.h"
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
}
