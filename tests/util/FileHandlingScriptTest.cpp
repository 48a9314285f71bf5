// cNSFileHandling as scripts see it: class and instance selectors, status words, null results, rename
// pairs as arrays of two strings, and the trash of a throw-away home folder.

#include "support/ScriptBundle.h"

#include <filesystem>
#include <gtest/gtest.h>

using namespace quodrix::test;
namespace fs = std::filesystem;

TEST(FileHandlingScript, TrashUsesTheFreedesktopTrashOfTheHomeFolder)
{
    ScriptBundle bundle;
    writeFile(bundle.home() / "work" / "a.txt", "a");
    std::string work = (bundle.home() / "work").string();
    auto r = bundle.runScript("local F = objc.cNSFileHandling\n"
                              "print(F:hTrashFile_('" + work + "/a.txt'), F:hTrashFile_('" + work + "/missing'),"
                              " F:hTrashFile_(''), F:hTrashFile_(objc.null))\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "OK\tFailed\tFailed\tFailed\n");
    // The bundle's home is HOME and XDG_DATA_HOME is beneath it, so the real trash is never touched.
    fs::path trash = bundle.home() / ".local" / "share" / "Trash";
    EXPECT_EQ(readFile(trash / "files" / "a.txt"), "a");
    EXPECT_NE(readFile(trash / "info" / "a.txt.trashinfo").find("Path=" + work + "/a.txt"), std::string::npos);
    EXPECT_FALSE(fs::exists(bundle.home() / "work" / "a.txt"));
}

TEST(FileHandlingScript, SelectorsAndTheirResultForms)
{
    ScriptBundle bundle;
    std::string d = (bundle.home() / "d").string();
    writeFile(bundle.home() / "d" / "list.txt", "a.jpg;b.jpg\r\nc.jpg;\r\n");
    writeFile(bundle.home() / "d" / "src.txt", "s");
    auto r = bundle.runScript(R"(
        local F = objc.cNSFileHandling
        local d = ")" + d + R"("
        local f = F:alloc():init()
        local pairs = f:hReadMfrLog__(d .. "/list.txt", ";")
        print(#pairs, pairs[1][1], pairs[1][2], pairs[2][1], "[" .. pairs[2][2] .. "]")
        print(#f:hReadMfrLog__(d .. "/missing", ";"), f:hReadTextFileLbyL_(d .. "/missing"))
        print(F:hCopyFileTo__(d .. "/src.txt", d .. "/x/y.txt"), F:hMoveFileTo__(d .. "/src.txt", d .. "/src.txt"),
            F:hAliasFileTo__(d .. "/src.txt", d .. "/l"), F:hCopyFileTo__(objc.null, d .. "/z"))
        print(f:hCreateDirectory_(d), f:hCreateDirectory_(d .. "/n/m"), f:hCreateDirectory_(d .. "/src.txt/q"))
        print(f:hGetCreationDateFile__(d .. "/src.txt", 3), f:getFileSize_(d .. "/missing"))
        print(f:valueForKey_("dateString"), f:valueForKey_("myFileSizeStr"))
        print(f:getFileSize_(d .. "/src.txt"), f:valueForKey_("myFileSizeStr"))
        print(F:hGetFileType_(d .. "/list.txt"), F:hGetFileType_(d .. "/missing"))
        f:hWriteTextFile__(d .. "/t.txt", objc.null)
        print("[" .. f:readNSDataFromFile_(d .. "/t.txt"):bytes() .. "]", f:readNSDataFromFile_(d .. "/missing"))
        f:writeNSDataToFile__(objc.data("\0\1"), d .. "/b.bin")
        print(#f:readNSDataFromFile_(d .. "/b.bin"):bytes())
        print(f:hDeleteFiles_({ objc.fileURL(d .. "/b.bin"), objc.fileURL(d .. "/x") }), f:hDeleteFiles_({}))
        f:hRenameFile__(objc.fileURL(d .. "/t.txt"), "u.txt")
        f:hRenameFile__(tostring(objc.fileURL(d .. "/u.txt")), "v.txt")
        print(f:readNSDataFromFile_(d .. "/v.txt") ~= nil, f:readNSDataFromFile_(d .. "/x/y.txt"))
        print(f:readPlist__(d .. "/missing.plist", "k"), F:hShowInFinder_(d))
    )");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
        "2\ta.jpg\tb.jpg\tc.jpg\t[]\n"
        "0\tnil\n"
        "OK\tFailed\tOK\tFailed\n"
        "EXISTS\tOK\tFAILED\n"
        "(null)\tnil\n"
        "nil\tnil\n"
        "1 byte\t1 byte\n"
        "text/plain\tnil\n"
        "[]\tnil\n"
        "2\n"
        "OK\tOK\n"
        "true\tnil\n"
        "nil\tnil\n");
}
