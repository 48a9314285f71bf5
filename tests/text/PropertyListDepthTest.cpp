// The raw-byte inspection of property lists, and property lists nested far too deep, read by the real
// executable as the user defaults of a later run.

#include "support/ScriptBundle.h"
#include "text/PropertyListDepth.h"
#include "text/PropertyListFile.h"

#include <filesystem>
#include <gtest/gtest.h>

using namespace quodrix;
using namespace quodrix::test;
namespace fs = std::filesystem;

namespace {

std::string xmlNested(std::size_t levels, std::string const& open = "<array>", std::string const& close = "</array>")
{
    std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict><key>k</key>";
    text.reserve(text.size() + levels * (open.size() + close.size()) + 32);
    for (std::size_t i = 0; i < levels; ++i)
        text += open;
    for (std::size_t i = 0; i < levels; ++i)
        text += close;
    return text + "</dict>\n</plist>\n";
}

void appendBigEndian(std::string& out, uint64_t value, int width)
{
    for (int k = width - 1; k >= 0; --k)
        out += char((value >> (8 * k)) & 0xFF);
}

// A binary property list of `levels` arrays, each holding the next one; the innermost is empty. With
// `shared`, every array holds the next one twice instead (a chain of shared objects).
std::string binaryNested(std::size_t levels, bool shared = false)
{
    std::string out = "bplist00";
    std::vector<uint64_t> offsets;
    for (std::size_t i = 0; i < levels; ++i) {
        offsets.push_back(out.size());
        if (i + 1 == levels) {
            out += char(0xA0);
        } else {
            out += char(shared ? 0xA2 : 0xA1);
            appendBigEndian(out, i + 1, 4);
            if (shared)
                appendBigEndian(out, i + 1, 4);
        }
    }
    uint64_t table = out.size();
    for (uint64_t offset : offsets)
        appendBigEndian(out, offset, 4);
    out += std::string(6, '\0');
    out += char(4);  // offset size
    out += char(4);  // reference size
    appendBigEndian(out, levels, 8);
    appendBigEndian(out, 0, 8);
    appendBigEndian(out, table, 8);
    return out;
}

}

TEST(PropertyListDepth, XmlIsCountedByItsContainerTags)
{
    EXPECT_EQ(inspectPropertyList(xmlNested(511)), PropertyListShape::Acceptable);  // the root dict makes 512
    EXPECT_EQ(inspectPropertyList(xmlNested(512)), PropertyListShape::TooDeep);
    EXPECT_EQ(inspectPropertyList(xmlNested(200000, "<dict>", "</dict>")), PropertyListShape::TooDeep);
    EXPECT_EQ(inspectPropertyList(xmlNested(600, "<dict\v/ >", "</dict>")), PropertyListShape::TooDeep);
    // What is not an open container does not count.
    EXPECT_EQ(inspectPropertyList(xmlNested(200000, "<array/>", "")), PropertyListShape::Acceptable);
    EXPECT_EQ(inspectPropertyList(xmlNested(200000, "<array></array>", "")), PropertyListShape::Acceptable);
    EXPECT_EQ(inspectPropertyList(xmlNested(2000, "<!-- <array> -->", "")), PropertyListShape::Acceptable);
    EXPECT_EQ(inspectPropertyList(xmlNested(2000, "<string><![CDATA[<array>]]></string>", "")),
        PropertyListShape::Acceptable);
    EXPECT_EQ(inspectPropertyList(xmlNested(2000, "<?pi <dict> ?>", "")), PropertyListShape::Acceptable);
    EXPECT_EQ(inspectPropertyList(xmlNested(2000, "<key a='<dict>'>k</key>", "")), PropertyListShape::Acceptable);
    // Closing tags before any opening one do not make room for more.
    std::string closesFirst;
    for (int i = 0; i < 1000; ++i)
        closesFirst += "</array>";
    EXPECT_EQ(inspectPropertyList(closesFirst + xmlNested(600)), PropertyListShape::TooDeep);
    // Unterminated constructs end the scan without reading past the text.
    for (char const* cut : { "<!-- <array>", "<![CDATA[ <array>", "<?x", "<!DOCTYPE [", "<array", "<", "</" })
        EXPECT_EQ(inspectPropertyList(cut), PropertyListShape::Acceptable) << cut;
}

TEST(PropertyListDepth, BinaryIsWalkedWithoutRecursion)
{
    EXPECT_EQ(inspectPropertyList(binaryNested(1)), PropertyListShape::Acceptable);
    EXPECT_EQ(inspectPropertyList(binaryNested(512)), PropertyListShape::Acceptable);
    EXPECT_EQ(inspectPropertyList(binaryNested(513)), PropertyListShape::TooDeep);
    EXPECT_EQ(inspectPropertyList(binaryNested(200000)), PropertyListShape::TooDeep);
    // Shared objects that would expand to 2^40 arrays once read.
    EXPECT_EQ(inspectPropertyList(binaryNested(40, true)), PropertyListShape::TooDeep);
    EXPECT_EQ(inspectPropertyList(binaryNested(10, true)), PropertyListShape::Acceptable);

    // Tables that do not hold together.
    std::string good = binaryNested(3);
    EXPECT_EQ(inspectPropertyList(good.substr(0, good.size() - 1)), PropertyListShape::Damaged);
    EXPECT_EQ(inspectPropertyList("bplist00"), PropertyListShape::Damaged);
    std::string cycle = good;
    cycle[8 + 1 + 4 + 1 + 3] = 0;  // the second array refers back to the root
    EXPECT_EQ(inspectPropertyList(cycle), PropertyListShape::Damaged);
    std::string badReference = good;
    badReference[8 + 1 + 3] = 9;
    EXPECT_EQ(inspectPropertyList(badReference), PropertyListShape::Damaged);
    std::string hugeCount = good;
    hugeCount[good.size() - 32 + 8] = char(0x7F);
    EXPECT_EQ(inspectPropertyList(hugeCount), PropertyListShape::Damaged);
}

TEST(PropertyListDepth, FilesWrittenByTheLibraryPass)
{
    TempDir dir;
    Dictionary inner { { "name", Value(std::string("x")) }, { "list", Value(Array { Value(1LL), Value(2.5) }) } };
    Dictionary root { { "inner", Value(inner) }, { "flag", Value(true) }, { "data", Value(Data { "\x01\x02" }) } };
    for (auto format : { PropertyListFormat::Xml, PropertyListFormat::Binary }) {
        std::string path = dir.str() + "/p.plist";
        ASSERT_TRUE(writePropertyListFile(path, Value(root), format));
        EXPECT_EQ(inspectPropertyList(readFile(path)), PropertyListShape::Acceptable);
        auto back = readPropertyListFile(path);
        ASSERT_TRUE(back);
        EXPECT_EQ(*back, Value(root));
    }
    // Null is no property list: nothing is written, the file stays.
    EXPECT_FALSE(writePropertyListFile(dir.str() + "/p.plist", Value(), PropertyListFormat::Binary));
    EXPECT_EQ(readPropertyListFile(dir.str() + "/p.plist"), Value(root));
}

TEST(PropertyListDepth, TooDeepFilesReadAsDamaged)
{
    TempDir dir;
    writeFile(dir / "deep.plist", xmlNested(200000));
    writeFile(dir / "deep.bplist", binaryNested(200000));
    writeFile(dir / "limit.bplist", binaryNested(512));
    EXPECT_FALSE(readPropertyListFile((dir / "deep.plist").string()));
    EXPECT_FALSE(readPropertyListFile((dir / "deep.bplist").string()));
    EXPECT_TRUE(readPropertyListFile((dir / "limit.bplist").string()));
    EXPECT_FALSE(changePropertyListKey((dir / "deep.plist").string(), "k", Value(1LL)));
    EXPECT_EQ(readFile(dir / "deep.plist"), xmlNested(200000));
}

// A defaults file nested 200,000 deep once made every later run of the list and undo commands die
// with SIGSEGV; now the settings count as unreadable and the commands work.
TEST(PropertyListDepth, DeepUserDefaultsDoNotStopLaterRuns)
{
    for (bool binary : { false, true }) {
        ScriptBundle bundle(true);
        fs::path a = bundle.root() / "A";
        writeFile(a / "a.jpg", "A");
        writeFile(a / "b.jpg", "B");
        writeFile(bundle.root() / "list.txt", "a.jpg;x.jpg\nb.jpg;y.jpg\n");
        std::string deep = binary ? binaryNested(200000) : xmlNested(200000);
        writeFile(bundle.home() / ".config/quodrix/defaults.plist", deep);

        auto list = bundle.run({ "list", "-s", ";", (bundle.root() / "list.txt").string(), a.string() });
        EXPECT_EQ(list.status, 0) << "binary=" << binary << "\n" << list.err << list.out;
        EXPECT_TRUE(fs::exists(a / "x.jpg"));
        EXPECT_TRUE(fs::exists(a / "y.jpg"));

        auto undo = bundle.run({ "undo" });
        EXPECT_EQ(undo.status, 0) << "binary=" << binary << "\n" << undo.err << undo.out;
        EXPECT_EQ(readFile(a / "a.jpg"), "A");
        EXPECT_EQ(readFile(a / "b.jpg"), "B");
        EXPECT_FALSE(fs::exists(a / "x.jpg"));
    }
}

// Found by fuzzing: a string holding a NUL made the library's string getter assert, ending the process
// that read the file (the user defaults of every later run included). XML cannot hold a NUL: such a file is
// damaged. A binary file can; the library reads its string up to the NUL.
TEST(PropertyListDepth, StringsHoldingANulDoNotEndTheProcess)
{
    TempDir dir;
    std::string const xml = std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>")
        + "<key>k</key><string>" + std::string("two\0K\x02", 6) + "</string><key>other</key><integer>1</integer>"
        + "</dict>\n</plist>\n";
    std::string const xmlPath = (dir / "nul.plist").string();
    writeFile(xmlPath, xml);
    EXPECT_FALSE(readPropertyListFile(xmlPath));
    EXPECT_TRUE(readPropertyListKey(xmlPath, "k").isNull());
    EXPECT_FALSE(changePropertyListKey(xmlPath, "other", Value(2LL)));
    EXPECT_EQ(readFile(xmlPath), xml);

    // { "k": "a\0b" } in the binary format.
    std::string const binary = std::string("bplist00", 8) + std::string("\xD1\x01\x02", 3) + std::string("\x51k", 2)
        + std::string("\x53" "a\0b", 4) + std::string("\x08\x0B\x0D", 3) + std::string(6, '\0') + "\x01\x01"
        + std::string("\0\0\0\0\0\0\0\x03", 8) + std::string(8, '\0') + std::string("\0\0\0\0\0\0\0\x11", 8);
    std::string const binaryPath = (dir / "nul.bplist").string();
    writeFile(binaryPath, binary);
    auto root = readPropertyListFile(binaryPath);
    ASSERT_TRUE(root);
    EXPECT_EQ(root->asDictionary().at("k").text(), std::string("a"));
    ASSERT_TRUE(changePropertyListKey(binaryPath, "other", Value(2LL)));
    EXPECT_EQ(readPropertyListKey(binaryPath, "k").text(), std::string("a"));
    EXPECT_EQ(readPropertyListKey(binaryPath, "other").asInteger(), 2);

    // The user defaults of a later run read such files without dying.
    for (auto const& text : { xml, binary }) {
        ScriptBundle bundle(true);
        writeFile(bundle.home() / ".config/quodrix/defaults.plist", text);
        fs::path a = bundle.root() / "A";
        writeFile(a / "a.jpg", "A");
        writeFile(bundle.root() / "list.txt", "a.jpg;x.jpg\n");
        auto list = bundle.run({ "list", "-s", ";", (bundle.root() / "list.txt").string(), a.string() });
        EXPECT_EQ(list.status, 0) << list.err << list.out;
        EXPECT_TRUE(fs::exists(a / "x.jpg"));
    }
}

// Found by fuzzing: a binary file whose string is marked ASCII but holds other bytes was rewritten by a
// change into a file the library could not read back, and the change reported success: the settings were
// lost. Now what would not read back is not written.
TEST(PropertyListDepth, AChangeNeverWritesAFileThatDoesNotReadBack)
{
    TempDir dir;
    // { "big": ASCII string "\xCAxx" }
    std::string const binary = std::string("bplist00", 8) + std::string("\xD1\x01\x02", 3) + std::string("\x53" "big", 4)
        + std::string("\x53\xCA" "xx", 4) + std::string("\x08\x0B\x0F", 3) + std::string(6, '\0') + "\x01\x01"
        + std::string("\0\0\0\0\0\0\0\x03", 8) + std::string(8, '\0') + std::string("\0\0\0\0\0\0\0\x13", 8);
    std::string const path = (dir / "ascii.bplist").string();
    writeFile(path, binary);
    ASSERT_TRUE(readPropertyListFile(path));
    if (changePropertyListKey(path, "k", Value(std::string("v")))) {
        EXPECT_EQ(readPropertyListKey(path, "k").text(), std::string("v"));
    } else {
        EXPECT_EQ(readFile(path), binary);
    }
    EXPECT_TRUE(readPropertyListFile(path));
}

// Found by fuzzing: a binary dictionary key holding a NUL made the library assert (SIGABRT) as soon as the
// key was handed out; such a file, like one whose key is not a string, reads as damaged.
TEST(PropertyListDepth, BinaryKeysHoldingANulOrNotTextReadAsDamaged)
{
    TempDir dir;
    auto dictionary = [](std::string key) {
        // { key: "x" }, the key object given whole (marker and bytes)
        std::string out = std::string("bplist00", 8) + std::string("\xD1\x01\x02", 3) + key + "\x51x";
        std::size_t valueAt = 8 + 3 + key.size();
        out += std::string("\x08\x0B", 2) + char(valueAt);
        std::size_t table = valueAt + 2;
        return out + std::string(6, '\0') + "\x01\x01" + std::string("\0\0\0\0\0\0\0\x03", 8) + std::string(8, '\0')
            + std::string(7, '\0') + char(table);
    };
    for (auto const& [key, readable] : std::vector<std::pair<std::string, bool>> {
             { std::string("\x53" "a\0b", 4), false },
             { std::string("\x62\0a\0\0", 5), false },   // UTF-16 "a" and a NUL
             { std::string("\x62\0a\0b", 5), true },     // UTF-16 "ab"
             { std::string("\x10\x07", 2), false },      // the integer 7
             { std::string("\x52" "ab", 3), true } }) {
        std::string path = (dir / "key.bplist").string();
        writeFile(path, dictionary(key));
        EXPECT_EQ(readPropertyListFile(path).has_value(), readable) << key.size();
        EXPECT_EQ(inspectPropertyList(dictionary(key)) == PropertyListShape::Acceptable, readable);
    }
    // A key holding a NUL is not written cut short either.
    EXPECT_FALSE(writePropertyListFile((dir / "w.plist").string(),
        Value(Dictionary { { std::string("a\0b", 3), Value(1LL) } }), PropertyListFormat::Binary));
}
