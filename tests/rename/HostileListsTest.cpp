// Rename lists and application logs that are damaged or hostile, through the real list and undo
// commands: each run ends with a status of its own (never a signal), and no file leaves its folder.

#include "support/ScriptBundle.h"

#include <filesystem>
#include <gtest/gtest.h>

using namespace quodrix::test;
namespace fs = std::filesystem;

TEST(HostileLists, DamagedListsAndLogsEndWithAStatusAndMoveNothingOutside)
{
    ScriptBundle bundle(true);
    fs::path a = bundle.root() / "A";
    writeFile(a / "a.jpg", "A");
    writeFile(a / "b.jpg", "B");
    std::string const longName(100000, 'n');
    std::vector<std::string> const lists {
        std::string("\xFF\xFE" "a\0.\0j\0p\0g\0;\0x\0", 16),      // UTF-16, not UTF-8
        std::string("a.jpg;x\0.jpg\n", 13),                       // a NUL inside a name
        "a.jpg;../escaped.jpg\nb.jpg;/tmp/escaped.jpg\n",           // names that are not one component
        "a.jpg;\n;b.jpg\n..;x\n.;y\n",                               // empty, "." and ".."
        "a.jpg;" + longName + "\n",                                 // a name too long for the file system
        "\xEF\xBB\xBF\xEF\xBB\xBF" "a.jpg;x.jpg\n",                  // two byte-order marks
        "Quodrix Log (tab delimited)\n\t\t\t\t\n1\t2\t../../a\t4\t../b\t6\n",  // a log with hostile fields
        std::string(200000, ';'),
        std::string(100000, '\n') + "a.jpg;a.jpg\n",
    };
    int n = 0;
    for (auto const& list : lists) {
        SCOPED_TRACE(n);
        fs::path file = bundle.root() / ("list" + std::to_string(n++) + ".txt");
        writeFile(file, list);
        auto run = bundle.run({ "list", "-s", ";", file.string(), a.string() });
        EXPECT_GE(run.status, 0);
        EXPECT_LE(run.status, 2) << run.err;
        auto undo = bundle.run({ "undo", "--log", file.string() });
        EXPECT_GE(undo.status, 0);
        EXPECT_LE(undo.status, 2) << undo.err;
    }
    EXPECT_FALSE(fs::exists(bundle.root() / "escaped.jpg"));
    EXPECT_FALSE(fs::exists("/tmp/escaped.jpg"));
    std::size_t files = 0;
    for (auto const& entry : fs::directory_iterator(a)) {
        (void)entry;
        ++files;
    }
    EXPECT_EQ(files, 2u);
}
