// Inputs that once crashed, hung or acted on the wrong item: each must now give the operation's failure
// result quickly and leave everything as it was.

#include "support/ScriptBundle.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace quodrix::test;
namespace fs = std::filesystem;

TEST(HostileFileInput, DeepFolderPathsFailInsteadOfExhaustingTheStack)
{
    ScriptBundle bundle;
    auto r = bundle.runScript("local root = '" + bundle.root().string() + R"('
        local f = objc.cNSFileHandling:new()
        print(f:hCreateDirectory_(root .. "/x/" .. ("a/"):rep(100000)))
        print(objc.cNSFileHandling:hCopyFileTo__(root .. "/none", root .. "/y/" .. ("b/"):rep(100000) .. "f"))
        print(f:hCreateDirectory_(root .. "/x/a/b"))
    )");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "FAILED\nFailed\nOK\n");
}

TEST(HostileFileInput, PipesAndDevicesAreNotReadAsFiles)
{
    ScriptBundle bundle;
    ASSERT_EQ(mkfifo((bundle.root() / "fifo.txt").c_str(), 0600), 0);
    auto r = bundle.runScript("local root = '" + bundle.root().string() + R"('
        local f = objc.cNSFileHandling:new()
        print(f:readNSDataFromFile_(root .. "/fifo.txt"), f:readNSDataFromFile_("/dev/zero"))
        print(#f:hReadMfrLog__(root .. "/fifo.txt", ";"), f:hReadTextFileLbyL_(root .. "/fifo.txt"))
    )");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "nil\tnil\n0\tnil\n");
}

TEST(HostileFileInput, PathsWithANulNameNothing)
{
    ScriptBundle bundle;
    writeFile(bundle.root() / "docs" / "keep.txt", "keep");
    writeFile(bundle.root() / "src", "source");
    auto r = bundle.runScript("local root = '" + bundle.root().string() + R"('
        local F = objc.cNSFileHandling
        print(F:hMoveFileTo__(root .. "/src\0.bak", root .. "/dst"))
        print(objc.cToolBox:hStoreFiles2__(root .. "/src\0x", root .. "/copy"))
        print(objc.cToolBox:hStoreFiles3__(root .. "/src", root .. "/moved\0x"))
        print(F:hTrashFile_(root .. "/docs\0.bak"))
        print(F:new():hDeleteFiles_({ "file://" .. root .. "/docs\0.bak" }))
        print(F:new():hCreateDirectory_(root .. "/made\0x"))
    )");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Failed\nFailed\nFailed\nFailed\nOK\nFAILED\n");
    EXPECT_EQ(readFile(bundle.root() / "src"), "source");
    EXPECT_EQ(readFile(bundle.root() / "docs" / "keep.txt"), "keep");
    EXPECT_FALSE(fs::exists(bundle.root() / "dst"));
    EXPECT_FALSE(fs::exists(bundle.root() / "copy"));
    EXPECT_FALSE(fs::exists(bundle.root() / "moved"));
    EXPECT_FALSE(fs::exists(bundle.root() / "made"));
}

TEST(HostileFileInput, PropertyListStringsWithANulAreNotStoredCutShort)
{
    ScriptBundle bundle;
    std::string const original = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n"
                                 "\t<key>k</key>\n\t<string>v</string>\n</dict>\n</plist>\n";
    writeFile(bundle.root() / "p.plist", original);
    auto r = bundle.runScript("local root = '" + bundle.root().string() + R"('
        local f = objc.cNSFileHandling:new()
        f:writeToPlist___(root .. "/p.plist", "k", "a\0b")
        print(f:readPlist__(root .. "/p.plist", "k"))
        print(pcall(objc.date, 0/0))
    )");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.substr(0, 8), "v\nfalse\t") << r.out;
    EXPECT_NE(r.out.find("a date needs a finite number of seconds"), std::string::npos) << r.out;
    EXPECT_EQ(readFile(bundle.root() / "p.plist"), original);
}
