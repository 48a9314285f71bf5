// Property lists: one key read and changed at a time, in XML and binary, with files written by
// Python's plistlib read here and files written here read by plistlib.

#include "support/ScriptBundle.h"
#include "util/cNSFileHandling.h"

#include <filesystem>
#include <gtest/gtest.h>

using namespace quodrix;
using namespace quodrix::test;
namespace fs = std::filesystem;

namespace {

// Runs Python with plistlib imported and `path` bound; gives its output.
std::string python(std::string const& path, std::string const& code)
{
    RunResult r = runCommand("python3 -c 'import plistlib, datetime, sys\npath = \"" + path + "\"\n" + code + "'");
    EXPECT_EQ(r.status, 0) << r.err;
    return r.out;
}

std::string const kWriteSample = R"(
sample = {"name": "caf\u00e9 <&>", "count": -5, "big": 2**40, "ratio": 1.5, "on": True,
    "when": datetime.datetime(2020, 1, 2, 3, 4, 5), "blob": bytes([0, 1, 255]),
    "list": [1, "x", False], "sub": {"a": 1}}
fmt = plistlib.FMT_BINARY if sys.argv[-1:] == ["binary"] else plistlib.FMT_XML
)";

}

TEST(PropertyList, ReadsWhatPlistlibWrites)
{
    TempDir dir;
    for (auto format : { "FMT_XML", "FMT_BINARY" }) {
        SCOPED_TRACE(format);
        std::string path = (dir / "p.plist").string();
        python(path, kWriteSample + "plistlib.dump(sample, open(path, \"wb\"), fmt=plistlib." + format + ")");
        EXPECT_EQ(cNSFileHandling::readPlist(path, "name"), Value("caf\u00e9 <&>"));
        EXPECT_EQ(cNSFileHandling::readPlist(path, "count"), Value(-5));
        EXPECT_EQ(cNSFileHandling::readPlist(path, "big"), Value(1LL << 40));
        EXPECT_EQ(cNSFileHandling::readPlist(path, "ratio"), Value(1.5));
        EXPECT_EQ(cNSFileHandling::readPlist(path, "on"), Value(true));
        EXPECT_EQ(cNSFileHandling::readPlist(path, "when"), Value(Date { 1577934245 }));
        EXPECT_EQ(cNSFileHandling::readPlist(path, "blob"), Value(Data { std::string("\0\1\xff", 3) }));
        EXPECT_EQ(cNSFileHandling::readPlist(path, "list"), Value(Array { Value(1), Value("x"), Value(false) }));
        EXPECT_EQ(cNSFileHandling::readPlist(path, "sub"), Value(Dictionary { { "a", Value(1) } }));
        EXPECT_TRUE(cNSFileHandling::readPlist(path, "absent").isNull());
    }
}

TEST(PropertyList, ChangesOneKeyAndPlistlibReadsTheResult)
{
    TempDir dir;
    for (auto format : { "FMT_XML", "FMT_BINARY" }) {
        SCOPED_TRACE(format);
        std::string path = (dir / "p.plist").string();
        python(path, kWriteSample + "plistlib.dump(sample, open(path, \"wb\"), fmt=plistlib." + format + ")");
        cNSFileHandling::writeToPlist(path, "name", Value("new\x01value"));
        cNSFileHandling::writeToPlist(path, "added", Value(Array { Value(Date { 1577934245.5 }), Value(-7) }));
        cNSFileHandling::writeToPlist(path, "sub", Value());
        std::string out = python(path,
            kWriteSample
                + "d = plistlib.load(open(path, \"rb\"))\n"
                  "for k in sorted(sample):\n"
                  "    if k not in (\"name\", \"sub\"): assert d[k] == sample[k], k\n"
                  "print(repr(d[\"name\"]), d[\"added\"], \"sub\" in d, sorted(d))");
        EXPECT_EQ(out,
            "'new\\x01value' [datetime.datetime(2020, 1, 2, 3, 4, 5, 500000), -7] False "
            "['added', 'big', 'blob', 'count', 'list', 'name', 'on', 'ratio', 'when']\n");
    }
}

TEST(PropertyList, NothingIsCreatedOrChangedWhenTheChangeCannotBeMade)
{
    TempDir dir;
    std::string missing = (dir / "missing.plist").string();
    cNSFileHandling::writeToPlist(missing, "k", Value("v"));
    EXPECT_FALSE(fs::exists(missing));

    std::string path = (dir / "p.plist").string();
    python(path, "plistlib.dump({\"k\": \"v\"}, open(path, \"wb\"))");
    std::string before = readFile(path);
    cNSFileHandling::writeToPlist(path, "k", Value(Url { "https://example.org" }));
    cNSFileHandling::writeToPlist(path, "k", Value(Array { Value("ok"), Value() }));
    EXPECT_EQ(readFile(path), before);

    struct Case {
        char const* what;
        std::string contents;
    } const cases[] = {
        { "not a property list", "hello" },
        { "array root", "<?xml version=\"1.0\"?><plist version=\"1.0\"><array><string>k</string></array></plist>" },
        { "empty", "" },
    };
    for (auto const& c : cases) {
        writeFile(path, c.contents);
        cNSFileHandling::writeToPlist(path, "k", Value("v"));
        EXPECT_EQ(readFile(path), c.contents) << c.what;
        EXPECT_TRUE(cNSFileHandling::readPlist(path, "k").isNull()) << c.what;
    }
}

TEST(PropertyList, AByteOrderMarkBeforeXmlIsSkipped)
{
    TempDir dir;
    std::string path = (dir / "bom.plist").string();
    writeFile(path, "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
                    "<key>k</key><string>v</string></dict></plist>\n");
    EXPECT_EQ(cNSFileHandling::readPlist(path, "k"), Value("v"));
    cNSFileHandling::writeToPlist(path, "k", Value(2));
    EXPECT_EQ(python(path, "print(plistlib.load(open(path, \"rb\")))"), "{'k': 2}\n");
}
