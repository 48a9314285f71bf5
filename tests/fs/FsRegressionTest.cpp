// Regression tests of the file-system layer, each named after the fault it caught or rules out.

#include "core/Runtime.h"
#include "fs/AtomicFile.h"
#include "fs/FileOps.h"
#include "fs/FileStore.h"
#include "fs/FolderWalk.h"
#include "fs/Interruption.h"
#include "fs/ItemNames.h"
#include "fs/FsTestSupport.h"
#include "fs/ItemPlacement.h"
#include "fs/Status.h"
#include "meta/ImageFixtures.h"
#include "meta/mMeta.h"
#include "platform/Platform.h"
#include "support/FaultySystemCalls.h"
#include "support/ScriptBundle.h"
#include "toolbox/cToolBox.h"
#include "util/cNSFileHandling.h"

#include <algorithm>
#include <csignal>
#include <fstream>
#include <cstring>
#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

using namespace quodrix;
using namespace quodrix::test;
namespace fs = std::filesystem;

namespace {

void makeTree(fs::path const& root)
{
    writeFile(root / "a.jpg", "a");
    writeFile(root / "sub" / "b.jpg", "bb");
    writeFile(root / "sub" / "deeper" / "c.jpg", "ccc");
}

// A process id that surely runs no process: a child that has ended and been reaped.
pid_t deadProcess()
{
    pid_t child = fork();
    if (child == 0)
        _exit(0);
    int status = 0;
    waitpid(child, &status, 0);
    return child;
}

std::string temporaryOf(pid_t pid, char const* tag)
{
    return ".quodrix-" + std::to_string(pid) + "-" + tag + ".partial";
}

}

// A folder read that fails halfway through a copy used to give a copy with entries missing, reported as
// done; a move across file systems then removed the source (EveryFault's moves of folders onto another file
// system cover that case).
TEST(FsRegression, AFailingFolderReadFailsTheCopyAndKeepsTheSource)
{
    TempDir dir(fastTemporaryFolder());
    fs::path const source = dir / "src" / "item", destination = dir / "dst" / "item";
    int failedRuns = 0;
    for (int n = 1; n <= 12; ++n) {
        fs::remove_all(dir / "src");
        fs::remove_all(destination);
        fs::create_directories(dir / "dst");
        makeTree(source);
        Tree const original = treeAt(source);
        FaultySystemCalls faulty;
        faulty.fail(Call::ReadFolder, n, Repeat::Once);
        Status cause;
        std::string word;
        {
            ScopedSystemCalls installed(faulty);
            word = cToolBox::hStoreFiles2(source.string(), destination.string(), &cause);
        }
        if (word == "successfull") {
            EXPECT_EQ(treeAt(destination), original) << n;
            continue;
        }
        EXPECT_EQ(word, "Failed");
        ++failedRuns;
        EXPECT_NE(cause.message().find("the copy could not read every entry of " + source.string()), std::string::npos)
            << cause.message();
        EXPECT_NE(cause.message().find("Input/output error"), std::string::npos) << cause.message();
        EXPECT_EQ(treeAt(source), original) << n;
        EXPECT_EQ(treeAt(destination), Tree {}) << n;
        EXPECT_TRUE(temporariesBelow(dir.path()).empty());
    }
    EXPECT_GE(failedRuns, 3);
}

// A replacing move whose rename into place failed, and whose rollback failed too, used to leave the item
// only under a hidden temporary name.
TEST(FsRegression, AFailedRollbackLeavesTheItemVisibleAndSaysWhere)
{
    TempDir dir(fastTemporaryFolder());
    writeFile(dir / "src" / "x.jpg", "new pixels");
    writeFile(dir / "dst" / "x.jpg", "old pixels");
    FaultySystemCalls faulty;
    // Rename 1 takes the source aside, 2 is the rename into place, 3 the rollback.
    faulty.fail(Call::Rename, 2, 2);
    Status cause;
    std::string word;
    {
        ScopedSystemCalls installed(faulty);
        word = cNSFileHandling::hMoveFileTo((dir / "src" / "x.jpg").string(), (dir / "dst" / "x.jpg").string(), &cause);
    }
    EXPECT_EQ(word, "Failed");
    std::string visible = (dir / "dst" / ("x (recovered " + std::to_string(getpid()) + ").jpg")).string();
    EXPECT_NE(cause.message().find("left as " + visible + " after a failed rollback: "), std::string::npos)
        << cause.message();
    EXPECT_EQ(readFile(visible), "new pixels");
    EXPECT_EQ(readFile(dir / "dst" / "x.jpg"), "old pixels");
    EXPECT_TRUE(temporariesBelow(dir.path()).empty());
}

// Temporary items of a process that died stay forever unless someone removes them; those of a process
// still at work must never be touched. A killed process that its parent has not reaped yet is a zombie: it
// runs no more, so its temporaries are leftovers too.
TEST(FsRegression, StaleTemporariesOfDeadProcessesGoThoseOfLiveOnesStay)
{
    pid_t const dead = deadProcess();
    pid_t const live = getppid();
    pid_t const zombie = fork();
    if (zombie == 0)
        _exit(0);
    ASSERT_GT(zombie, 0);
    // Wait until the child has ended, without reaping it.
    siginfo_t info {};
    ASSERT_EQ(waitid(P_PID, id_t(zombie), &info, WEXITED | WNOWAIT), 0);
    struct Operation {
        char const* name;
        std::function<std::string(fs::path const&)> run;
    };
    Operation const operations[] = {
        { "store copy", [](fs::path const& d) { return cToolBox::hStoreFiles2((d / "in.jpg").string(), (d / "out" / "new.jpg").string()); } },
        { "replacing copy", [](fs::path const& d) { return cNSFileHandling::hCopyFileTo((d / "in.jpg").string(), (d / "out" / "new.jpg").string()); } },
        { "text write", [](fs::path const& d) {
             Status cause;
             cNSFileHandling::hWriteTextFile((d / "out" / "new.txt").string(), std::string("text"), &cause);
             return std::string(cause.ok() ? "OK" : "Failed");
         } },
    };
    for (auto const& operation : operations) {
        TempDir dir;
        writeFile(dir / "in.jpg", "pixels");
        writeFile(dir / "out" / temporaryOf(dead, "0123456789abcdef"), "half a file");
        writeFile(dir / "out" / temporaryOf(dead, "fedcba9876543210") / "inner.jpg", "half a folder");
        writeFile(dir / "out" / temporaryOf(zombie, "0123456789abcdef"), "half");
        writeFile(dir / "out" / temporaryOf(live, "00000000000000aa"), "being written");
        writeFile(dir / "out" / ".quodrix-notapid-1.partial", "not ours");
        std::string word = operation.run(dir.path());
        EXPECT_TRUE(word == "successfull" || word == "OK") << operation.name;
        EXPECT_FALSE(fs::exists(dir / "out" / temporaryOf(dead, "0123456789abcdef"))) << operation.name;
        EXPECT_FALSE(fs::exists(dir / "out" / temporaryOf(dead, "fedcba9876543210"))) << operation.name;
        EXPECT_FALSE(fs::exists(dir / "out" / temporaryOf(zombie, "0123456789abcdef"))) << operation.name;
        EXPECT_EQ(readFile(dir / "out" / temporaryOf(live, "00000000000000aa")), "being written") << operation.name;
        EXPECT_TRUE(fs::exists(dir / "out" / ".quodrix-notapid-1.partial")) << operation.name;
    }
    waitpid(zombie, nullptr, 0);
}

// A move across file systems used to remove the source before the copy had reached the disk.
TEST(FsRegression, AMoveAcrossFileSystemsFlushesTheCopyBeforeTheSourceGoes)
{
    TempDir dir(fastTemporaryFolder());
    SmallTmpfs other(dir / "other");
    if (!other.mounted())
        GTEST_SKIP() << "mounting a tmpfs needs root";
    makeTree(dir / "src" / "item");
    FaultySystemCalls counting;
    Status cause;
    {
        ScopedSystemCalls installed(counting);
        ASSERT_EQ(cToolBox::hStoreFiles3((dir / "src" / "item").string(), (dir / "other" / "item").string(), &cause),
            "successfull") << cause.message();
    }
    auto const& journal = counting.journal();
    std::string sourcePrefix = (dir / "src" / "item").string();
    // The source folder is first renamed aside (so that no part of it stays under its name), then removed.
    std::string const aside = "rename " + sourcePrefix + " " + (dir / "src" / ".quodrix-").string();
    auto firstRemoval = std::find_if(journal.begin(), journal.end(), [&](std::string const& line) {
        return line.starts_with(aside) || line.starts_with("unlink " + sourcePrefix) || line.starts_with("rmdir " + sourcePrefix);
    });
    ASSERT_NE(firstRemoval, journal.end());
    EXPECT_TRUE(firstRemoval->starts_with(aside)) << *firstRemoval;
    auto flushesBefore = std::count(journal.begin(), firstRemoval, std::string("fsync"));
    // Three files, three folders, and the folder that received the copy.
    EXPECT_GE(flushesBefore, 7);
    EXPECT_EQ(std::count(firstRemoval, journal.end(), std::string("fsync")), flushesBefore > 0 ? 2 : 0)
        << "after that only the source's old folder is flushed: for the name put aside, then for the removal";
    EXPECT_FALSE(fs::exists(dir / "src" / "item"));
    EXPECT_EQ(readFile(dir / "other" / "item" / "sub" / "deeper" / "c.jpg"), "ccc");
}

// A walk that could not read a subfolder used to look complete.
TEST(FsRegression, AWalkThatCannotReadASubfolderSaysSo)
{
    TempDir dir;
    makeTree(dir / "in");
    // Opening: the starting folder first, then "sub" (or "sub/deeper" after it): fail each in turn.
    for (int n = 2; n <= 3; ++n) {
        FaultySystemCalls faulty;
        faulty.fail(Call::Open, n, Repeat::Once, EACCES);
        std::vector<std::string> seen;
        Status walked;
        {
            ScopedSystemCalls installed(faulty);
            walked = walkFolder((dir / "in").string(), PackageContents::Entered,
                [&](WalkItem const& item) { seen.emplace_back(item.name); });
        }
        EXPECT_FALSE(walked.ok()) << n;
        EXPECT_NE(walked.message().find("read the folder " + (dir / "in").string()), std::string::npos) << walked.message();
        EXPECT_NE(walked.message().find("Permission denied"), std::string::npos) << walked.message();
        EXPECT_NE(std::find(seen.begin(), seen.end(), "a.jpg"), seen.end());
    }
    EXPECT_TRUE(walkFolder((dir / "in").string(), PackageContents::Entered, [](WalkItem const&) { }).ok());
}

// `quodrix insert FOLDER` on a tree with an unreadable subfolder used to exit 0 as if every file had
// been renamed; so would a rename in place, whose plan gathers the files itself. Root reads every folder, so
// the runs are an unprivileged user's.
TEST(FsRegression, InsertOnATreeWithAnUnreadableSubfolderFails)
{
    if (geteuid() != 0 || runCommand("command -v setpriv >/dev/null").status != 0)
        GTEST_SKIP() << "needs root and setpriv to run as another user";
    for (bool const inPlace : { false, true }) {
        SCOPED_TRACE(inPlace ? "in place" : "into a destination");
        TempDir root;
        writeFile(root / "in" / "a.txt", "a");
        writeFile(root / "in" / "locked" / "b.txt", "b");
        writeFile(root / "in" / "z" / "c.txt", "c");
        fs::create_directories(root / "out");
        fs::create_directories(root / "home");
        ScriptBundle bundle(true);
        fs::permissions(root / "in" / "locked", fs::perms::none);
        for (auto const& open : { root.path(), bundle.root(), bundle.root() / "bin", bundle.root() / "share",
                 bundle.root() / "share/quodrix", bundle.root() / "share/quodrix/Scripts" })
            fs::permissions(open, fs::perms(0755));
        for (auto const& open : { root / "in", root / "in" / "z", root / "out", root / "home" })
            fs::permissions(open, fs::perms(0777));
        std::string const where = inPlace ? "-m -i" : "-d " + (root / "out").string();
        auto r = runCommand("cd / && HOME=" + (root / "home").string()
            + " setpriv --reuid=nobody --regid=nogroup --clear-groups '" + bundle.executable().string() + "' insert "
            + where + " X 0 " + (root / "in").string());
        EXPECT_EQ(r.status, 1) << r.out << r.err;
        EXPECT_NE(r.err.find("quodrix insert: not every folder could be read: read the folder "
                      + (root / "in" / "locked").string() + ": Permission denied\n"), std::string::npos) << r.err;
        // What could be collected was renamed all the same.
        fs::path const out = inPlace ? root / "in" : root / "out";
        EXPECT_EQ(readFile(out / "Xa.txt"), "a");
        EXPECT_EQ(readFile((inPlace ? out / "z" : out) / "Xc.txt"), "c");
    }
}

// Scripts see the cause of a failed storing or placing.
TEST(FsRegression, ScriptsReadTheCauseOfAFailure)
{
    TempDir dir;
    writeFile(dir / "x.jpg", "x");
    writeFile(dir / "y.jpg", "y");
    ScriptBundle bundle;
    auto r = bundle.runScript("local d = '" + dir.str() + "'\n"
        "print(objc.cToolBox:hStoreFiles2__(d .. '/x.jpg', d .. '/y.jpg'))\n"
        "print(objc.lastFailure())\n"
        "print(objc.cNSFileHandling:hCopyFileTo__(d .. '/missing.jpg', d .. '/z.jpg'))\n"
        "print(objc.lastFailure())\n"
        "print(objc.cNSFileHandling:hCopyFileTo__(d .. '/x.jpg', d .. '/z.jpg'), objc.lastFailure())\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Failed\nhStoreFiles2::: " + dir.str() + "/x.jpg to " + dir.str()
            + "/y.jpg: would replace an existing item\nFailed\nhCopyFileTo::: read " + dir.str()
            + "/missing.jpg: No such file or directory\nOK\tnil\n");
}

namespace {

// A disk that acknowledges every write whole but keeps it damaged: the last bytes of a large write left
// out (a short write), or one byte changed (a torn one). Writes of 64 bytes or fewer are kept as given.
class LyingDisk : public SystemCalls {
public:
    enum class Damage { Short, Torn };
    explicit LyingDisk(Damage damage) : m_damage(damage) { }

    ssize_t write(int fd, void const* buffer, std::size_t size) override
    {
        if (size <= 64)
            return SystemCalls::write(fd, buffer, size);
        std::string kept(static_cast<char const*>(buffer), size);
        if (m_damage == Damage::Short)
            kept.resize(size - 7);
        else
            kept[size / 2] = char(kept[size / 2] ^ 0x20);
        std::size_t done = 0;
        while (done < kept.size()) {
            ssize_t n = SystemCalls::write(fd, kept.data() + done, kept.size() - done);
            if (n <= 0)
                return n;
            done += std::size_t(n);
        }
        return ssize_t(size);
    }

private:
    Damage m_damage;
};

}

// The read-back of a flushed temporary compares it piece by piece with what was to be written: a short or
// torn write is refused, the old file stays, and no temporary is left; what was written whole passes.
TEST(FsRegression, AShortOrTornWriteNeverReplacesTheFile)
{
    TempDir dir(fastTemporaryFolder());
    fs::path target = dir / "the file";
    writeFile(target, "old contents");
    std::string bytes(3 * 1024 * 1024 + 5, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = char('a' + i % 23);
    for (auto damage : { LyingDisk::Damage::Short, LyingDisk::Damage::Torn }) {
        LyingDisk disk(damage);
        Status written;
        {
            ScopedSystemCalls installed(disk);
            written = writeFileAtomically(target.string(), bytes, ReadBack::Checked);
        }
        ASSERT_FALSE(written.ok());
        EXPECT_NE(written.message().find(": the file does not read back as written"), std::string::npos) << written.message();
        EXPECT_EQ(readFile(target), "old contents");
        EXPECT_TRUE(temporariesBelow(dir.path()).empty());
    }
    ASSERT_TRUE(writeFileAtomically(target.string(), bytes, ReadBack::Checked).ok());
    EXPECT_EQ(readFile(target), bytes);
    // An empty file reads back as empty.
    ASSERT_TRUE(writeFileAtomically(target.string(), "", ReadBack::Checked).ok());
    EXPECT_EQ(readFile(target), "");
}

// A copy is made by the kernel (copy_file_range), as cp makes it, rather than read into the process and
// written out again; where the kernel cannot copy between the two files, by reading and writing. Either way
// the copy holds the same bytes. (A disk that fills up halfway: ACopyOntoAFullDiskNamesTheDestination.)
TEST(FsRegression, ACopyIsTheKernelsWhereItCanAndTheSameBytesWhereItCannot)
{
    TempDir dir(fastTemporaryFolder());
    fs::path const source = dir / "big file.bin";
    std::string bytes(3 * 1024 * 1024 + 5, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = char('a' + i % 23);
    writeFile(source, bytes);
    auto const calledAs = [](FaultySystemCalls const& calls, std::string const& name) {
        auto const& journal = calls.journal();
        return std::count_if(journal.begin(), journal.end(),
            [&](std::string const& entry) { return entry.substr(0, entry.find(' ')) == name; });
    };

    fs::path const byKernel = dir / "by kernel.bin";
    FaultySystemCalls counted;
    {
        ScopedSystemCalls installed(counted);
        ASSERT_TRUE(placeItem(Placement::Copy, Existing::Kept, source.string(), byKernel.string()).ok());
    }
    EXPECT_EQ(readFile(byKernel), bytes);
    EXPECT_GE(calledAs(counted, "copy_file_range"), 1);
    EXPECT_EQ(calledAs(counted, "read"), 0);

    fs::path const byHand = dir / "by hand.bin";
    FaultySystemCalls refusing;
    refusing.fail(Call::Write, 1, Repeat::Once, EXDEV);
    {
        ScopedSystemCalls installed(refusing);
        ASSERT_TRUE(placeItem(Placement::Copy, Existing::Kept, source.string(), byHand.string()).ok());
    }
    EXPECT_EQ(readFile(byHand), bytes);
    EXPECT_GE(calledAs(refusing, "read"), 1);

    // Any other failure of the kernel's copy names the source (a disk that cannot be read).
    fs::path const full = dir / "failed.bin";
    FaultySystemCalls unreadable;
    unreadable.fail(Call::Write, 1, Repeat::Once, EIO);
    Status copied;
    {
        ScopedSystemCalls installed(unreadable);
        copied = placeItem(Placement::Copy, Existing::Kept, source.string(), full.string());
    }
    ASSERT_FALSE(copied.ok());
    EXPECT_NE(copied.message().find("read " + source.string() + ": Input/output error"), std::string::npos)
        << copied.message();
    EXPECT_FALSE(fs::exists(full));
    EXPECT_TRUE(temporariesBelow(dir.path()).empty());
}

// The comment write checks the flushed new image the same way: a torn write leaves the image as it was.
TEST(FsRegression, ATornCommentWriteKeepsTheImage)
{
    TempDir dir(fastTemporaryFolder());
    fs::path image = dir / "photo 1.jpg";
    ASSERT_TRUE(convert("-size 64x48 xc:blue -quality 80 " + shellQuoted(image.string())));
    std::string const original = readFile(image);
    Platform platform;
    Runtime runtime { platform };
    LyingDisk disk(LyingDisk::Damage::Torn);
    std::string word;
    {
        ScopedSystemCalls installed(disk);
        word = mMeta::hSetExifData(runtime, image.string(), "new comment");
    }
    EXPECT_EQ(word, "Failed");
    EXPECT_EQ(readFile(image), original);
    ASSERT_TRUE(platform.lastFailure());
    EXPECT_NE(platform.lastFailure()->find("the file does not read back as written"), std::string::npos);
    EXPECT_TRUE(temporariesBelow(dir.path()).empty());
}

namespace {

// The extended attributes of the file at `path`, by name; nullopt where the file system takes none.
std::optional<std::map<std::string, std::string>> extendedAttributes(fs::path const& path)
{
    char names[4096];
    ssize_t const size = ::listxattr(path.c_str(), names, sizeof names);
    if (size < 0)
        return std::nullopt;
    std::map<std::string, std::string> attributes;
    for (char const* name = names; name < names + size; name += std::strlen(name) + 1) {
        char value[4096];
        ssize_t const length = ::getxattr(path.c_str(), name, value, sizeof value);
        if (length >= 0)
            attributes[name] = std::string(value, std::size_t(length));
    }
    return attributes;
}

}

// A file written anew in its place (an image's comment, a text, a property list) keeps the extended
// attributes of the file it replaces: a file manager's tags, an access control list. A write that cannot
// read or set one of them fails and leaves the file as it was; one that the process may not set is left
// out.
TEST(FsRegression, AFileWrittenInItsPlaceKeepsItsExtendedAttributes)
{
    ScriptBundle bundle(true);
    fs::path const image = bundle.root() / "tagged photo.jpg";
    fs::copy_file(std::string(QUODRIX_SOURCE_DIR) + "/resources/Samples/Forest.jpg", image);
    if (::setxattr(image.c_str(), "user.xdg.tags", "holiday,sea", 11, 0) != 0)
        GTEST_SKIP() << "no user attributes on this file system: " << std::strerror(errno);
    ASSERT_EQ(0, ::setxattr(image.c_str(), "user.xdg.comment", "", 0, 0));
    auto const tagged = extendedAttributes(image);
    auto written = bundle.run({ "comment", image.string(), "kept" });
    ASSERT_EQ(0, written.status) << written.err;
    EXPECT_EQ("kept\n", bundle.run({ "comment", image.string() }).out);
    EXPECT_EQ(tagged, extendedAttributes(image));

    fs::path const text = bundle.root() / "notes.txt";
    writeFile(text, "old contents");
    ASSERT_EQ(0, ::setxattr(text.c_str(), "user.origin", "the web", 7, 0));
    auto const before = extendedAttributes(text);
    bool readFailure = false, setFailure = false;
    for (int nth = 1;; ++nth) {
        FaultySystemCalls calls;
        calls.fail(Call::Attributes, nth, Repeat::Once);
        Status status;
        {
            ScopedSystemCalls installed(calls);
            status = writeFileAtomically(text.string(), "new contents");
        }
        if (calls.failures() == 0) {
            ASSERT_TRUE(status.ok()) << status.message();
            break;
        }
        if (status.ok())
            continue;
        // A failure names the file written, never the temporary file that stood in for it.
        EXPECT_EQ(std::string::npos, status.message().find(".partial")) << status.message();
        readFailure |= status.message() == "read the extended attributes of " + text.string() + ": Input/output error";
        setFailure |= status.message() == "set the extended attributes of " + text.string() + ": Input/output error";
        EXPECT_EQ("old contents", readFile(text)) << status.message();
        EXPECT_EQ(before, extendedAttributes(text)) << status.message();
        EXPECT_TRUE(temporariesBelow(bundle.root()).empty()) << status.message();
        writeFile(text, "old contents");
    }
    EXPECT_TRUE(readFailure);
    EXPECT_TRUE(setFailure);
    EXPECT_EQ("new contents", readFile(text));
    EXPECT_EQ(before, extendedAttributes(text));

    // Nor does a file that could not be made.
    FaultySystemCalls noOpen;
    noOpen.fail(Call::Open, 1, Repeat::FromThenOn);
    {
        ScopedSystemCalls installed(noOpen);
        EXPECT_EQ("create " + text.string() + ": Input/output error",
            writeFileAtomically(text.string(), "newer contents").message());
    }

    // An attribute that the process may not set is left out; the rest are kept.
    FaultySystemCalls refusing;
    refusing.fail(Call::Attributes, 6, Repeat::Once, EPERM);  // after fchmod, two lists and two reads
    {
        ScopedSystemCalls installed(refusing);
        ASSERT_TRUE(writeFileAtomically(text.string(), "newer contents").ok());
    }
    EXPECT_EQ("newer contents", readFile(text));
}

// The folder and the name of an item, split in place; the folder part and the name part agree with parentOf
// and lastComponent (a row's name) for every spelling, trailing slashes included.
TEST(FsRegression, APathSplitsIntoTheFolderAndTheNameOfItsItem)
{
    using Split = std::pair<std::string_view, std::string_view>;
    for (auto const& [path, split] : std::vector<std::pair<std::string, Split>> { { "/a/b/x.jpg", { "/a/b", "x.jpg" } },
             { "x", { ".", "x" } }, { "/x", { "/", "x" } }, { "a/b/", { "a", "b" } }, { "a/b//", { "a", "b" } },
             { "/a/", { "/", "a" } }, { "/", { "/", "" } }, { "//", { "/", "" } }, { "", { ".", "" } },
             { "./x", { ".", "x" } }, { "a//b", { "a/", "b" } }, { "a//", { ".", "a" } },
             { "/a/a name of more than fifteen bytes.jpg", { "/a", "a name of more than fifteen bytes.jpg" } } }) {
        EXPECT_EQ(FileStore::splitItemPath(path), split) << path;
        EXPECT_EQ(FileStore::parentOf(path), split.first) << path;
        EXPECT_EQ(FileStore::lastComponent(path), split.second) << path;
    }
    // A new name's path keeps its trailing slashes: its name part is then empty.
    EXPECT_EQ(FileStore::splitPath("a/b/"), Split("a/b", ""));
    EXPECT_EQ(FileStore::splitPath("/"), Split("/", ""));
    EXPECT_EQ(FileStore::splitPath("/a/x.jpg"), Split("/a", "x.jpg"));
    EXPECT_EQ(FileStore::splitPath("x"), Split(".", "x"));
}

// One spelling of a path: "." components and repeated or trailing slashes go, ".." stays. A path is taken as
// clean exactly when cleaning leaves it as it is, for every path of up to seven bytes of "/", "." and "a".
TEST(FsRegression, APathHasOnePlainSpelling)
{
    for (auto const& [path, plain] : std::vector<std::pair<std::string, std::string>> { { "/a/./b//c/", "/a/b/c" },
             { "a/b", "a/b" }, { "./a", "a" }, { "/./", "/" }, { "//", "/" }, { ".", "." }, { "./.", "." },
             { "", "." }, { "a/../b", "a/../b" }, { "/a/.b/..", "/a/.b/.." } })
        EXPECT_EQ(cleanedPath(path), plain) << path;
    std::vector<std::string> paths { "" };
    for (std::size_t from = 0; paths.back().size() < 7; ) {
        std::size_t const to = paths.size();
        for (std::size_t i = from; i < to; ++i) {
            for (char c : { '/', '.', 'a' })
                paths.push_back(paths[i] + c);
        }
        from = to;
    }
    for (auto const& path : paths) {
        std::string const plain = cleanedPath(path);
        EXPECT_EQ(isCleanPath(path), plain == path) << path;
        EXPECT_EQ(cleanedPath(plain), plain) << path;
        EXPECT_EQ(plain.find("//"), std::string::npos) << path;
        EXPECT_EQ(("/" + plain + "/").find("/./"), plain == "." ? 0u : std::string::npos) << path;
    }
}

namespace {

// The system's calls, with SIGINT sent to the process as the kernel starts copying a file's first range.
class InterruptingCopy : public SystemCalls {
public:
    ssize_t copyFileRange(int from, int to, std::size_t size) override
    {
        if (++m_ranges == 1)
            ::raise(SIGINT);
        return SystemCalls::copyFileRange(from, to, size);
    }

private:
    int m_ranges = 0;
};

}

// A copy of a large file that its run's interruption overtakes stops between two ranges: the copy fails
// with the interruption as its cause and leaves nothing at the destination, not even its temporary item.
// The process's signal handling is its own, so the copy goes in a child process.
TEST(FsRegression, AnInterruptedRunStopsCopyingALargeFile)
{
    TempDir dir;
    fs::path const source = dir / "large.bin", destination = dir / "out" / "large.bin", results = dir / "results";
    fs::create_directories(dir / "out");
    {
        std::ofstream out(source, std::ios::binary);
        std::string const block(std::size_t(1) << 20, 'q');
        for (int i = 0; i < 160; ++i)
            out << block;
    }
    pid_t const child = fork();
    ASSERT_NE(-1, child);
    if (child == 0) {
        Interruption::catchSignals();
        Interruption::setChangesUnderWay(true);
        InterruptingCopy calls;
        Status copied;
        {
            ScopedSystemCalls installed(calls);
            copied = placeItem(Placement::Copy, Existing::Kept, source.string(), destination.string());
        }
        std::ofstream(results) << copied.ok() << "\n" << copied.message() << "\n";
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(child, ::waitpid(child, &status, 0));
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    std::ifstream in(results);
    std::string ok, message;
    std::getline(in, ok);
    std::getline(in, message);
    EXPECT_EQ("0", ok);
    EXPECT_NE(std::string::npos, message.find("the run was interrupted (SIGINT)")) << message;
    EXPECT_TRUE(fs::is_empty(dir / "out"));
    EXPECT_EQ(fs::file_size(source), std::uintmax_t(160) << 20);
}

namespace {

// A file of `size` bytes that holds only a few words, at its start, in its middle and near its end; the
// rest are holes.
void writeFileWithHoles(fs::path const& path, off_t size)
{
    std::ofstream out(path, std::ios::binary);
    out << "head";
    out.seekp(size / 2);
    out << "middle";
    out.seekp(size - 100);
    out << "tail";
    out.close();
    fs::resize_file(path, std::uintmax_t(size));
}

std::string firstBytes(fs::path const& path, std::size_t count)
{
    std::string bytes(count, '\0');
    std::ifstream in(path, std::ios::binary);
    in.read(bytes.data(), std::streamsize(count));
    bytes.resize(std::size_t(in.gcount()));
    return bytes;
}

std::uintmax_t bytesOnDisk(fs::path const& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? std::uintmax_t(info.st_blocks) * 512 : 0;
}

}

// A copy wrote every hole of a file as zeros: a disk image of 256 MiB that held a few bytes took 256 MiB
// again, and did not fit on a small disk at all. Copied, and moved onto another file system, it now keeps
// its holes and every byte of its data.
TEST(FsRegression, ACopyOfAFileWithHolesKeepsItsHoles)
{
    TempDir dir;
    SmallTmpfs small(dir / "small");  // 8 MiB
    fs::path const source = dir / "disk.img";
    constexpr off_t kSize = off_t(1) << 28;
    writeFileWithHoles(source, kSize);
    ASSERT_LT(bytesOnDisk(source), std::uintmax_t(1) << 20) << "the file system keeps no holes";
    ScriptBundle bundle(true);
    auto copied = bundle.run({ "store", "copy", source.string(), (dir / "copy.img").string() });
    ASSERT_EQ(0, copied.status) << copied.err;
    EXPECT_EQ(kSize, off_t(fs::file_size(dir / "copy.img")));
    EXPECT_LT(bytesOnDisk(dir / "copy.img"), std::uintmax_t(1) << 20);
    EXPECT_EQ(0, runCommand("cmp " + source.string() + " " + (dir / "copy.img").string()).status);
    if (!small.mounted())
        GTEST_SKIP() << "mounting a tmpfs needs root";
    auto moved = bundle.run({ "store", "move", (dir / "copy.img").string(), (dir / "small" / "disk.img").string() });
    ASSERT_EQ(0, moved.status) << moved.err;
    EXPECT_FALSE(fs::exists(dir / "copy.img"));
    EXPECT_EQ(0, runCommand("cmp " + source.string() + " " + (dir / "small" / "disk.img").string()).status);
    EXPECT_EQ("head", firstBytes(dir / "small" / "disk.img", 4));
}

// A copy onto a disk that fills up named its temporary item as what could not be written
// (".quodrix-4711-9f3a0c1e.partial"), a name the user never gave and that is gone afterwards; it now names
// the destination, and for a folder the path of the file within it.
TEST(FsRegression, ACopyOntoAFullDiskNamesTheDestination)
{
    TempDir dir;
    SmallTmpfs small(dir / "small");  // 8 MiB
    if (!small.mounted())
        GTEST_SKIP() << "mounting a tmpfs needs root";
    writeFile(dir / "big.bin", std::string(std::size_t(10) << 20, 'x'));
    writeFile(dir / "tree" / "sub" / "big.bin", std::string(std::size_t(10) << 20, 'y'));
    ScriptBundle bundle(true);
    auto file = bundle.run({ "store", "copy", (dir / "big.bin").string(), (dir / "small" / "big.bin").string() });
    EXPECT_EQ(1, file.status);
    EXPECT_EQ("Failed\twrite " + (dir / "small" / "big.bin").string() + ": No space left on device\n", file.out);
    auto tree = bundle.run({ "store", "copy", (dir / "tree").string(), (dir / "small" / "tree").string() });
    EXPECT_EQ(1, tree.status);
    EXPECT_EQ("Failed\twrite " + (dir / "small" / "tree" / "sub" / "big.bin").string() + ": No space left on device\n",
        tree.out);
    EXPECT_TRUE(fs::is_empty(dir / "small"));
}

// A file system that cannot tell data from holes (SEEK_DATA refused with EINVAL) gets the file copied
// whole, as before holes were kept: every byte, nothing missing.
TEST(FsRegression, AFileSystemThatCannotFindHolesGetsTheWholeFile)
{
    TempDir dir;
    fs::path const source = dir / "disk.img", copy = dir / "copy.img";
    writeFileWithHoles(source, off_t(4) << 20);
    FaultySystemCalls calls;
    calls.fail(Call::Read, 1, Repeat::Once, EINVAL);
    Status copied;
    {
        ScopedSystemCalls installed(calls);
        copied = placeItem(Placement::Copy, Existing::Kept, source.string(), copy.string());
    }
    ASSERT_TRUE(copied.ok()) << copied.message();
    // The one call failed was the look for the first data (SEEK_DATA is 3).
    auto const& journal = calls.journal();
    EXPECT_EQ(1, std::count_if(journal.begin(), journal.end(),
                     [](std::string const& line) { return line == "lseek 0 3 (failed)"; }));
    EXPECT_EQ(1, calls.failures());
    EXPECT_EQ(readFile(source), readFile(copy));
}
