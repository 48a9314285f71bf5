// The bundled application's meta, comment and print commands, and the metadata classes as scripts reach them.

#include "meta/ImageFixtures.h"

#include "support/ScriptBundle.h"

#include <gtest/gtest.h>

using namespace quodrix::test;

TEST(MetaCommands, MetaPrintsTheTreeAndCommentReadsAndWrites)
{
    ScriptBundle bundle(true);
    TempDir dir;
    std::string image = (dir / "photo.jpg").string();
    ASSERT_TRUE(convert("-size 640x480 gradient:red-blue " + shellQuoted(image)));
    ASSERT_TRUE(exiftool("-Make=Maker", image));

    auto r = bundle.run({ "meta", image });
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.substr(0, 49), "ColorModel: RGB\nPixelHeight: 480\nPixelWidth: 640\n");
    EXPECT_NE(r.out.find("\n{TIFF}\n  Manufacturer: Maker\n"), std::string::npos) << r.out;
    // A value with a line break and a terminal's escape stays on its line of the tree, escaped.
    ASSERT_TRUE(exiftool(shellQuoted("-Model=two\nlines \x1B[2J"), image));
    r = bundle.run({ "meta", image });
    EXPECT_NE(r.out.find("\n  Model: two\\nlines \\x1B[2J\n"), std::string::npos) << r.out;

    // No comment yet: a clear answer on standard error beside the editor's notice word.
    r = bundle.run({ "comment", image });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "quodrix comment: " + image + ": NotSupportedOrAvailable: the image has no user comment\n");

    r = bundle.run({ "comment", image, "Gr\xC3\xBC\xC3\x9F" "e \xF0\x9F\x91\x8B" });
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Edit meta data\tOK\tphoto.jpg\t" + image + " -> " + image + "\n");
    EXPECT_EQ(r.err, "1 comment written\n");
    EXPECT_EQ(exiftoolValue("UserComment", image), "Gr\xC3\xBC\xC3\x9F" "e \xF0\x9F\x91\x8B");
    r = bundle.run({ "comment", image });
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "Gr\xC3\xBC\xC3\x9F" "e \xF0\x9F\x91\x8B\n");
    // A comment written by another tool with line breaks and a terminal's escape is read on one line,
    // escaped; a TEXT that is not UTF-8 is refused and the comment stays.
    std::string const other = (dir / "other.jpg").string();
    std::filesystem::copy_file(image, other);
    ASSERT_TRUE(exiftool(shellQuoted("-UserComment=two\nlines \x1B[2J"), other));
    r = bundle.run({ "comment", other });
    EXPECT_EQ(r.out, "two\\nlines \\x1B[2J\n");
    r = bundle.run({ "comment", other, "bad \xFF\xFE" });
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err.substr(0, r.err.find('\n') + 1), "quodrix comment: TEXT is not UTF-8 text\n");
    EXPECT_EQ(bundle.run({ "comment", other }).out, "two\\nlines \\x1B[2J\n");
    // An empty comment is there but says nothing: told as such, with no empty notice word.
    std::string const empty = (dir / "empty.jpg").string();
    std::filesystem::copy_file(image, empty);
    ASSERT_EQ(bundle.run({ "comment", empty, "" }).status, 0);
    r = bundle.run({ "comment", empty });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "quodrix comment: " + empty + ": the image's user comment is empty\n");

    // The write is in the application log, as every logged action is.
    std::string logFile = readFile(bundle.home() / ".local/share/BriskloCom/Quodrix Log.txt");
    EXPECT_EQ(logFile.substr(0, 28), "Quodrix Log (tab delimited)\n");
    EXPECT_NE(logFile.find("\tFile Editing\tphoto.jpg\tEdit meta data\tphoto.jpg\tOK\t" + image + "\t" + image + "\n"),
        std::string::npos)
        << logFile;
}

TEST(MetaCommands, FailuresHaveTheirNoticesAndStatus)
{
    ScriptBundle bundle(true);
    TempDir dir;
    writeFile(dir / "notes.txt", "text");
    // A file that is not there is refused input, for every command that reads an image.
    for (auto const& command : { "meta", "comment", "print" }) {
        auto r = bundle.run({ command, (dir / "missing.jpg").string() });
        EXPECT_EQ(r.status, 2) << command;
        EXPECT_EQ(r.err.substr(0, r.err.find('\n') + 1),
            "quodrix " + std::string(command) + ": " + (dir / "missing.jpg").string() + ": no such file or folder\n");
    }
    auto r = bundle.run({ "meta", (dir / "notes.txt").string() });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "quodrix meta: " + (dir / "notes.txt").string() + ": no image properties\n");
    // A failed write: its row with the cause, and the summary.
    r = bundle.run({ "comment", (dir / "notes.txt").string(), "x" });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "Edit meta data\tFailed\tnotes.txt\t" + (dir / "notes.txt").string() + " -> "
            + (dir / "notes.txt").string() + "\twrite the comment of " + (dir / "notes.txt").string()
            + ": Failed to read input data\n");
    EXPECT_EQ(r.err, "1 failed\n");
    EXPECT_EQ(readFile(dir / "notes.txt"), "text");
    // A comment longer than a JPEG's Exif data can hold: the image stays as it was, and the row says why.
    std::string const image = (dir / "photo.jpg").string();
    ASSERT_TRUE(convert("-size 64x48 gradient:red-blue " + shellQuoted(image)));
    std::string const before = readFile(image);
    // (65,500 letters fit alone, but not with the image's other tags.)
    for (std::size_t length : { 65500, 70000 }) {
        r = bundle.run({ "comment", image, std::string(length, 'x') });
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, "Edit meta data\tFailed\tphoto.jpg\t" + image + " -> " + image + "\twrite the comment of "
                + image + ": the comment is too long for the Exif data of a JPEG image\n");
        EXPECT_EQ(readFile(image), before);
    }
    r = bundle.run({ "print", (dir / "notes.txt").string() });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "quodrix print: Print: \"notes.txt\" is not an image that can be printed.\n");
    r = bundle.run({ "comment" });
    EXPECT_EQ(r.status, 2);
}

TEST(MetaCommands, PrintPanelCanBeCancelledByTheScript)
{
    ScriptBundle bundle(true);
    TempDir dir;
    std::string image = (dir / "p.png").string();
    ASSERT_TRUE(convert("-size 64x48 xc:red " + shellQuoted(image)));
    auto r = bundle.run({ "print", image, "--cancel" });
    EXPECT_EQ(r.status, 0) << r.err;
    // Terminal words: no panel.
    EXPECT_EQ(r.out.rfind("printing " + image + " on ", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("\ncancelled\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("panel"), std::string::npos) << r.out;

    // Names are shown as rows show them: a control character in one cannot act on the terminal.
    std::string const odd = (dir / "p\x1b]0;x\a.png").string();
    std::filesystem::rename(image, odd);
    r = bundle.run({ "print", odd, "--cancel", "--printer", "P\x1b[31m" });
    EXPECT_EQ(r.out.rfind("printing " + dir.str() + "/p\\x1B]0;x\\x07.png on P\\x1B[31m\n", 0), 0u) << r.out;
}

TEST(MetaCommands, ScriptsReachTheControllerAndItsProperties)
{
    ScriptBundle bundle;
    TempDir dir;
    std::string image = (dir / "s.jpg").string();
    ASSERT_TRUE(convert("-size 640x480 gradient:red-blue " + shellQuoted(image)));
    auto r = bundle.runScript(R"(
        local m = objc.mMeta:new()
        local list = objc.NSArrayController:new()
        m:setMymMetaLogTableViewController_(list)
        print(m:mymMetaLogTableViewController() == list, m:themMetaLogTable())
        local size = m:hGetPixelFormat_(objc.arguments[2])
        print(size[1], size[2], math.type(size[1]))
        print(m:hSetExifData__(objc.arguments[2], "from a script"), m:hGetExifUc_(objc.arguments[2]))
        local tree = m:propTree_({ b = 1, A = { z = "", y = { 1, 2 } }, ["{G}"] = { k = 1 } })
        print(#tree, tree[1].key, tree[2].key, tree[3].key, tree[2].val, #tree[3].children, tree[1].children[1].key)
        print(m:hSetExifData__(42, "x"), m:hGetExifUc_(objc.null), m:hGetColorProfile_(objc.null))
        objc.NSApp:terminate_(nil)
    )", { image });
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "true\tnil\n640\t480\tnil\nOK\tfrom a script\n3\tA\tb\t{G}\t1\t1\ty\nFailed\t\tnil\n");
}

TEST(MetaCommands, SharedPrintSettingsKeepThePrintLayoutForLaterJobs)
{
    ScriptBundle bundle;
    TempDir dir;
    std::string image = (dir / "p.png").string();
    ASSERT_TRUE(convert("-size 64x48 xc:red " + shellQuoted(image)));
    auto r = bundle.runScript(R"(
        local info = objc.NSPrintInfo:sharedPrintInfo()
        print(info:topMargin(), info:leftMargin(), info:horizontalPagination(), info:isHorizontallyCentered())
        local seen
        objc.panels.print = function(request) seen = request; return nil end
        objc.cPrint:new():printService_(objc.arguments[2])
        print(seen.options, seen.showsPageSetup, seen.topMargin)
        local later = objc.NSPrintInfo:sharedPrintInfo()
        print(later:topMargin(), later:bottomMargin(), later:leftMargin(), later:rightMargin())
        print(later:horizontalPagination(), later:verticalPagination(), later:isHorizontallyCentered(), later:isVerticallyCentered())
        objc.NSApp:terminate_(nil)
    )", { image });
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "72.0\t72.0\t0\tfalse\n259\ttrue\t0.0\n0.0\t0.0\t0.0\t0.0\n1\t1\ttrue\ttrue\n");
}

// A comment that cannot be written gives "Failed" and says why: the system's message, or that the format
// takes no comment; the image stays as it was.
TEST(MetaCommands, AFailedCommentWriteRecordsItsCause)
{
    ScriptBundle bundle;
    TempDir dir;
    std::string const gif = (dir / "g.gif").string();
    ASSERT_TRUE(convert("-size 8x8 xc:red " + shellQuoted(gif)));
    std::string const before = readFile(gif);
    auto r = bundle.runScript(R"(
        local m = objc.mMeta:new()
        print(m:hSetExifData__(objc.arguments[2] .. "/missing.jpg", "x"), objc.lastFailure())
        print(m:hSetExifData__(objc.arguments[3], "x"), objc.lastFailure())
        print(m:hSetExifData__(objc.arguments[2], "x"), objc.lastFailure())
        objc.NSApp:terminate_(nil)
    )", { dir.str(), gif });
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
        "Failed\twrite the comment of " + dir.str() + "/missing.jpg: No such file or directory\n"
        "Failed\twrite the comment of " + gif + ": comments cannot be written into this image format\n"
        "Failed\twrite the comment of " + dir.str() + ": not a regular file\n");
    EXPECT_EQ(readFile(gif), before);
}
