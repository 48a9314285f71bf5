// Every failing file operation records "<what>: <cause>" with the system's own error text, for scripts
// (objc.lastFailure(), and objc.lastCause() without the operation) and the system log, while its status
// word or result stays what it always was.

#include "app/NativeClasses.h"
#include "core/Runtime.h"
#include "fs/FsTestSupport.h"
#include "fs/SystemCalls.h"
#include "platform/Platform.h"
#include "support/FaultySystemCalls.h"
#include "support/ScriptBundle.h"
#include "util/cNSFileHandling.h"

#include <functional>
#include <sys/stat.h>
#include <unistd.h>
#include <gtest/gtest.h>

using namespace quodrix;
using namespace quodrix::test;
namespace fs = std::filesystem;

// Failures a script can provoke for real: a file where a folder must be, a missing item, a name that is
// not one component, a save onto a named pipe, an action file that is not UTF-8.
TEST(FailureCauses, ScriptsReadTheCauseOfEveryFailedFileOperation)
{
    ScriptBundle bundle;
    TempDir dir;
    writeFile(dir / "file.txt", "x");
    writeFile(dir / "bad.c-action", "\xfe broken");
    ASSERT_EQ(::mkfifo((dir / "pipe.c-action").c_str(), 0600), 0);
    bundle.addScript("10_panels.lua", "answers = {}\n"
                                      "objc.panels.save = function() return table.remove(answers, 1) end\n"
                                      "objc.panels.open = function() return table.remove(answers, 1) end\n");
    auto r = bundle.runScript("local d = '" + dir.str() + R"('
        local fh = objc.cNSFileHandling:new()
        print(fh:hCreateDirectory_(d .. "/file.txt/sub"), objc.lastFailure())
        print(fh:hCreateDirectory_(d .. "/new/deeper"), objc.lastFailure(), objc.lastCause())
        print(fh:hRenameFile__("file://" .. d .. "/missing.jpg", "other.jpg"), objc.lastFailure())
        print(fh:hRenameFile__(d .. "/file.txt", "a/b"), objc.lastFailure())
        print(fh:hRenameFile__("http://example.com/x", "y"), objc.lastFailure())
        print(fh:hRenameFile__(d .. "/file.txt", "renamed.txt"), objc.lastFailure())
        print(fh:hDeleteFiles_({ "file://" .. d .. "/gone.jpg" }), objc.lastFailure())
        print(objc.cNSFileHandling:hTrashFile_(d .. "/missing.jpg"), objc.lastFailure())
        print(fh:readNSDataFromFile_(d .. "/new"), objc.lastFailure())
        print(fh:hReadTextFileLbyL_(d .. "/missing.txt"), objc.lastFailure())
        print(#fh:hReadMfrLog__(d .. "/bad.c-action", ";"), objc.lastFailure())
        local tb = objc.cToolBox:new()
        answers = { d .. "/pipe.c-action" }
        print(tb:hSaveNSDataWriteDialogFile__(objc.data("x"), "x"), objc.lastFailure())
        answers = { d .. "/pipe" }
        print(tb:hSaveWriteDialogFile2__("text", "y") == d .. "/pipe.c-action", objc.lastFailure())
        answers = { { d .. "/bad.c-action" } }
        print(tb:hReadNSDataInFile(), objc.lastFailure())
        print(objc.lastCause())
    )");
    ASSERT_EQ(r.status, 0) << r.err;
    std::string const d = dir.str();
    EXPECT_EQ(r.out,
        "FAILED\thCreateDirectory:: create the folder " + d + "/file.txt: File exists\n"
        "OK\tnil\tnil\n"
        "nil\thRenameFile::: read " + d + "/missing.jpg: No such file or directory\n"
        "nil\thRenameFile::: rename " + d + "/file.txt to \"a/b\": not one path component\n"
        "nil\thRenameFile::: rename http://example.com/x: not a file URL or absolute path\n"
        "nil\tnil\n"
        "OK\tnil\n"
        "Failed\thTrashFile:: Error trashing file " + d + "/missing.jpg: No such file or directory\n"
        "nil\treadNSDataFromFile:: read " + d + "/new: not a file\n"
        "nil\thReadTextFileLbyL:: open " + d + "/missing.txt: No such file or directory\n"
        "0\thReadMfrLog::: read " + d + "/bad.c-action: not UTF-8 text\n"
        "\thSaveNSDataWriteDialogFile::: write " + d + "/pipe.c-action: not a file\n"
        "true\thSaveWriteDialogFile2::: write " + d + "/pipe.c-action: not a file\n"
        "nil\thReadNSDataInFile: read " + d + "/bad.c-action: not UTF-8 text\n"
        "read " + d + "/bad.c-action: not UTF-8 text\n");
    EXPECT_TRUE(fs::is_directory(dir / "new" / "deeper"));
    EXPECT_EQ(readFile(dir / "renamed.txt"), "x");
}

// Failures only the seam can provoke as root: a read-only file system under creating, deleting, renaming.
TEST(FailureCauses, TheSystemsErrorTextOfAFailedCallIsTheCause)
{
    TempDir dir;
    writeFile(dir / "a.jpg", "a");
    Platform platform;
    Runtime runtime { platform };
    registerNativeClasses(runtime);
    Value handling = runtime.sendToClass("cNSFileHandling", "new");
    struct Case {
        char const* name;
        Call call;
        std::function<Value()> send;
        Value result;
        std::string cause;
    } const cases[] = {
        { "create", Call::Mkdir,
            [&] { return runtime.send(handling, "hCreateDirectory:", { Value((dir / "made").string()) }); }, Value("FAILED"),
            "hCreateDirectory:: create the folder " + dir.str() + "/made: Read-only file system" },
        { "delete", Call::Unlink,
            [&] {
                return runtime.send(handling, "hDeleteFiles:", { Value(Array { Value("file://" + dir.str() + "/a.jpg") }) });
            },
            Value("OK"), "hDeleteFiles:: remove " + dir.str() + "/a.jpg: Read-only file system" },
        { "rename", Call::Rename,
            [&] { return runtime.send(handling, "hRenameFile::", { Value(dir.str() + "/a.jpg"), Value("b.jpg") }); },
            Value(), "hRenameFile::: rename " + dir.str() + "/a.jpg to " + dir.str() + "/b.jpg: Read-only file system" },
    };
    for (auto const& c : cases) {
        platform.clearLastFailure();
        FaultySystemCalls faulty;
        faulty.fail(c.call, 1, Repeat::FromThenOn, EROFS);
        Value result;
        {
            ScopedSystemCalls installed(faulty);
            result = c.send();
        }
        EXPECT_EQ(result, c.result) << c.name;
        EXPECT_EQ(platform.lastFailure().value_or("none"), c.cause) << c.name;
    }
    EXPECT_EQ(readFile(dir / "a.jpg"), "a");
    EXPECT_FALSE(fs::exists(dir / "made"));
}

// Bookmarks answer null as before; when the per-user key is at fault, the cause says so.
TEST(FailureCauses, ABookmarkKeyThatCannotBeHadIsTheCause)
{
    ScriptBundle bundle;
    TempDir dir;
    writeFile(dir / "a.jpg", "a");
    fs::path const support = bundle.home() / ".local" / "share" / "BriskloCom";
    std::string const script = "local b = objc.QDbookmarks:new()\n"
                               "print(b:bookmarkForURL_(objc.fileURL('" + (dir / "a.jpg").string() + "')), objc.lastFailure())\n"
                               "print(b:urlForBookmark_(objc.data('x')), objc.lastFailure())\n";
    // A file where the application-support folder must be.
    fs::create_directories(support.parent_path());
    writeFile(support, "not a folder");
    auto r = bundle.runScript(script);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "nil\tbookmarkForURL:: create the folder " + support.string() + ": File exists\n"
                     "nil\turlForBookmark:: there is no bookmark key yet (" + support.string() + "/QuodrixBookmarks.key)\n");
    // A folder where the key file must be.
    fs::remove(support);
    fs::create_directories(support / "QuodrixBookmarks.key");
    r = bundle.runScript(script);
    ASSERT_EQ(r.status, 0) << r.err;
    std::string const notAKey = "the file " + support.string() + "/QuodrixBookmarks.key is not a bookmark key\n";
    EXPECT_EQ(r.out, "nil\tbookmarkForURL:: " + notAKey + "nil\turlForBookmark:: " + notAKey);
}

// A file is written anew beside the one it replaces, so its folder must take a new name: a folder that the
// user may not add to refuses even a file the user may write, and the cause says it is the folder. An
// image the user may not read says so.
TEST(FailureCauses, AFolderThatTakesNoNewFileIsTheCauseNotTheFile)
{
    TempDir dir;
    fs::permissions(dir.path(), fs::perms::others_read | fs::perms::others_exec, fs::perm_options::add);
    std::string const locked = dir.str() + "/locked", image = locked + "/a.jpg", home = dir.str() + "/home";
    fs::create_directories(locked);
    fs::create_directories(home);
    fs::copy_file(std::string(QUODRIX_SOURCE_DIR) + "/resources/Samples/Beach.jpg", image);
    std::string const before = readFile(image);
    std::string const asNobody = "setpriv --reuid=nobody --regid=nogroup --clear-groups env HOME='" + home + "' '"
        + std::string(QUODRIX_EXECUTABLE) + "' ";
    auto prepared = runCommand("chown nobody '" + image + "' '" + home + "' && " + asNobody + "--version 2>&1");
    if (getuid() != 0 || prepared.status != 0)
        GTEST_SKIP() << "cannot run the executable as another user here: " << prepared.out;

    auto comment = runCommand(asNobody + "comment '" + image + "' hello");
    EXPECT_EQ(comment.status, 1);
    EXPECT_EQ(comment.out, "Edit meta data\tFailed\ta.jpg\t" + image + " -> " + image + "\twrite the comment of "
        + image + ": add a file to the folder of " + image + ": Permission denied\n");
    EXPECT_EQ(readFile(image), before);
    // A text file written through a run's journal says the same of its own name.
    auto names = runCommand(asNobody + "names '" + locked + "' '" + image + "'");
    EXPECT_EQ(names.status, 1);
    std::string const list = locked + "/Quodrix_filenamelist.txt";
    EXPECT_EQ(names.err, "quodrix names: " + list + " was not written: add a file to the folder of " + list
        + ": Permission denied\n");

    // A list the user may not write is not replaced, though the folder would let its name go.
    std::string const open = dir.str() + "/open", theirs = open + "/Quodrix_filenamelist.txt";
    writeFile(theirs, "theirs");
    runCommand("chown nobody '" + open + "'");
    names = runCommand(asNobody + "names '" + open + "' '" + image + "'");
    EXPECT_EQ(names.status, 1);
    EXPECT_EQ(names.err, "quodrix names: " + theirs + " was not written: write " + theirs + ": Permission denied\n");
    EXPECT_EQ(readFile(theirs), "theirs");

    // An image the user may not read is no image that cannot be read: the cause is the permission.
    fs::permissions(image, fs::perms::none);
    for (std::string const command : { "meta", "comment" }) {
        auto read = runCommand(asNobody + command + " '" + image + "'");
        EXPECT_EQ(read.status, 1);
        EXPECT_EQ(read.err, "quodrix " + command + ": " + image + ": Permission denied\n");
    }
}
