// Rename lists and application logs read as pairs, text files read line by line, and the whole-file
// writers: exact bytes, atomic replacement, and earlier contents kept when a write fails.

#include "support/ScriptBundle.h"
#include "util/cNSFileHandling.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace quodrix;
using namespace quodrix::test;
namespace fs = std::filesystem;

namespace {

// Pairs as "present>new" lines, so a whole result reads at a glance.
std::string pairs(std::string const& contents, std::optional<std::string> const& separator)
{
    TempDir dir;
    writeFile(dir / "list.txt", contents);
    std::string out;
    for (auto const& pair : cNSFileHandling::hReadMfrLog((dir / "list.txt").string(), separator))
        out += std::string(pair.present) + ">" + std::string(pair.renamed) + "|";
    return out;
}

std::string const kHeader = "Quodrix Log (tab delimited)";

}

TEST(RenameList, LinesAndSeparators)
{
    struct Case {
        char const* what;
        std::string contents;
        std::optional<std::string> separator;
        std::string expected;
    } const cases[] = {
        { "CR only and LF only", "a;b\rc;d\ne;f", ";", "a>b|c>d|e>f|" },
        { "two separators skipped", "a;b;c\nx;y\n", ";", "x>y|" },
        { "empty new name", "only;\n", ";", "only>|" },
        { "empty present name", ";new\n", ";", ">new|" },
        { "spaces kept", " a ; b \n", ";", " a > b |" },
        { "no separator", "plain line\n", ";", "" },
        { "long separator", "a::b\na:b\n", "::", "a>b|" },
        { "byte-order mark skipped", "\xEF\xBB\xBF" "a;b\n", ";", "a>b|" },
        { "null separator", "a;b\n", std::nullopt, "" },
        { "empty separator", "a;b\n", "", "" },
        { "not UTF-8", "a;b\n\xff;x\n", ";", "" },
    };
    for (auto const& c : cases)
        EXPECT_EQ(pairs(c.contents, c.separator), c.expected) << c.what;
}

TEST(RenameList, ApplicationLogsAfterTheHeader)
{
    struct Case {
        char const* what;
        std::string contents;
        std::string expected;
    } const cases[] = {
        { "eight fields", kHeader + "\n0\t1\tnew.jpg\t3\told.jpg\t5\t6\t7\n", "old.jpg>new.jpg|" },
        { "four fields skipped", kHeader + "\r\n0\t1\t2\t3\n0\t1\tn\t3\to\n", "o>n|" },
        { "exactly five with empty fields", kHeader + "\n\t\t\t\t\n", ">|" },
        { "list lines before the header", "a;b\n" + kHeader + "\na;b\nq\tw\te\tr\tt\n", "a>b|t>e|" },
        { "second header is a short line", kHeader + "\n" + kHeader + "\n0\t1\t2\t3\t4\n", "4>2|" },
        { "trailing space: no header", kHeader + " \na;b\n0\t1\t2\t3\t4\n", "a>b|" },
        { "header after a byte-order mark", "\xEF\xBB\xBF" + kHeader + "\n0\t1\t2\t3\t4\n", "4>2|" },
    };
    for (auto const& c : cases)
        EXPECT_EQ(pairs(c.contents, ";"), c.expected) << c.what;
}

TEST(TextLines, EveryLineBreakEndsOneElement)
{
    TempDir dir;
    struct Case {
        char const* what;
        std::string contents;
        std::vector<std::string> expected;
    } const cases[] = {
        { "two lines", "one\ntwo\n", { "one", "two", "" } },
        { "CR LF leaves an empty element", "a\r\nb", { "a", "", "b" } },
        { "seven breaks", "a\nb\vc\fd\re\u0085f\u2028g\u2029h", { "a", "b", "c", "d", "e", "f", "g", "h" } },
        { "empty file", "", { "" } },
        { "byte-order mark skipped", "\xEF\xBB\xBFx", { "x" } },
        { "NUL is text", std::string("a\0b", 3), { std::string("a\0b", 3) } },
    };
    for (auto const& c : cases) {
        writeFile(dir / "t.txt", c.contents);
        EXPECT_EQ(cNSFileHandling::hReadTextFileLbyL((dir / "t.txt").string()), c.expected) << c.what;
    }
    writeFile(dir / "bad.txt", "caf\xe9\n");
    EXPECT_EQ(cNSFileHandling::hReadTextFileLbyL((dir / "bad.txt").string()), std::nullopt);
    fs::create_symlink(dir / "gone", dir / "dangling");
    EXPECT_EQ(cNSFileHandling::hReadTextFileLbyL((dir / "dangling").string()), std::nullopt);
}

TEST(TextWriters, ExactBytesAndANullTextLeavesAnEmptyFile)
{
    TempDir dir;
    std::string path = (dir / "out.txt").string();
    cNSFileHandling::hWriteTextFile(path, std::string("h\xc3\xa9llo\rworld"));
    EXPECT_EQ(readFile(path), "h\xc3\xa9llo\rworld");
    cNSFileHandling::hWriteTextFile(path, std::nullopt);
    EXPECT_TRUE(fs::exists(path));
    EXPECT_EQ(readFile(path), "");
    cNSFileHandling::hWritHTMLFile((dir / "page.html").string(), std::string("<p>x</p>"));
    EXPECT_EQ(readFile(dir / "page.html"), "<p>x</p>");
    // A write through a link lands in the file it names; the link stays.
    fs::create_symlink(path, dir / "link.txt");
    cNSFileHandling::hWriteTextFile((dir / "link.txt").string(), std::string("via link"));
    EXPECT_TRUE(fs::is_symlink(dir / "link.txt"));
    EXPECT_EQ(readFile(path), "via link");
    // A folder is never replaced by a file.
    fs::create_directories(dir / "folder");
    cNSFileHandling::hWriteTextFile((dir / "folder").string(), std::string("x"));
    EXPECT_TRUE(fs::is_directory(dir / "folder"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 4);
}

TEST(TextWriters, AFailedWriteKeepsTheEarlierContents)
{
    // The file itself is writable for anybody, its folder is not: a write that emptied the file first
    // would lose it. Run as an unprivileged user, since root ignores permissions.
    TempDir dir;
    fs::permissions(dir.path(), fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec);
    writeFile(dir / "keep.txt", "earlier");
    writeFile(dir / "data.bin", "bytes");
    writeFile(dir / "p.plist", "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>k</key>"
                               "<string>v</string></dict></plist>");
    for (auto name : { "keep.txt", "data.bin", "p.plist" })
        fs::permissions(dir / name, fs::perms::all & ~(fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec));
    ScriptBundle bundle;
    fs::permissions(bundle.root(), fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec);
    fs::permissions(bundle.home(), fs::perms::all);
    std::string d = dir.str();
    bundle.addScript("50_test.lua",
        "local f = objc.cNSFileHandling:new()\n"
        "f:hWriteTextFile__('" + d + "/keep.txt', 'new')\n"
        "f:hWritHTMLFile__('" + d + "/keep.txt', objc.null)\n"
        "f:writeNSDataToFile__(objc.data('new'), '" + d + "/data.bin')\n"
        "f:writeToPlist___('" + d + "/p.plist', 'k', 'changed')\n"
        "print(f:readPlist__('" + d + "/p.plist', 'k'))\n");
    RunResult r = runCommand("setpriv --reuid=nobody --regid=nogroup --clear-groups env HOME=" + bundle.home().string()
        + " " + bundle.executable().string());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "v\n");
    EXPECT_EQ(readFile(dir / "keep.txt"), "earlier");
    EXPECT_EQ(readFile(dir / "data.bin"), "bytes");
}

TEST(DataFiles, RawBytesRoundTrip)
{
    TempDir dir;
    std::string bytes("\0\xff\r\n\xEF\xBB\xBF", 7);
    cNSFileHandling::writeNSDataToFile(bytes, (dir / "d.bin").string());
    EXPECT_EQ(cNSFileHandling::readNSDataFromFile((dir / "d.bin").string()), bytes);
    cNSFileHandling::writeNSDataToFile("x", (dir / "no/such/folder/d.bin").string());
    EXPECT_FALSE(fs::exists(dir / "no"));
}

TEST(RenameList, PairsStayValidInCopiesOfTheirHolder)
{
    // A short text lives inside its string object: the pairs must point into storage that never moves.
    RenamePairs copy;
    {
        RenamePairs original(std::string("a;b\nc;d"), ";");
        RenamePairs moved = std::move(original);
        copy = moved;
    }
    ASSERT_EQ(copy.size(), 2u);
    EXPECT_EQ(copy[0], (RenamePair { "a", "b" }));
    EXPECT_EQ(copy[1], (RenamePair { "c", "d" }));
}

TEST(TextLines, Utf8Validity)
{
    std::string const longStretch(6000, 'a');
    std::string accents;
    for (int i = 0; i < 3000; ++i)
        accents += "\xc3\xa9";
    struct Case {
        char const* what;
        std::string bytes;
        bool valid;
    } const cases[] = {
        { "ASCII", longStretch, true },
        { "two, three and four bytes", "\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80", true },
        { "long accented stretch then ASCII", accents + longStretch, true },
        { "bad byte after a long accented stretch", accents + "x\xff", false },
        { "bad byte after a long ASCII stretch", longStretch + "\xc3", false },
        { "overlong slash", "\xc0\xaf", false },
        { "cut sequence at the end", "abc\xe2\x82", false },
        { "stray continuation", "\x80", false },
        { "above U+10FFFF", "\xf4\x90\x80\x80", false },
    };
    for (auto const& c : cases)
        EXPECT_EQ(isValidUtf8(c.bytes), c.valid) << c.what;
}
