// Single file operations: placing items by move, copy and link with their status words, replacement in
// one step, refusals that leave everything as it was, folders, dates, sizes, types, icons and renaming.

#include "support/ScriptBundle.h"
#include "platform/Platform.h"
#include "util/cNSFileHandling.h"

#include <algorithm>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

using namespace quodrix;
using namespace quodrix::test;
namespace fs = std::filesystem;

namespace {

using Operation = std::string (*)(std::string const&, std::string const&);

struct Named {
    char const* name;
    Operation operation;
};

Named const kPlacements[] = {
    { "move", [](std::string const& a, std::string const& b) { return cNSFileHandling::hMoveFileTo(a, b); } },
    { "copy", [](std::string const& a, std::string const& b) { return cNSFileHandling::hCopyFileTo(a, b); } },
    { "link", [](std::string const& a, std::string const& b) { return cNSFileHandling::hAliasFileTo(a, b); } },
};

class FileOperations : public ::testing::Test {
protected:
    std::string at(std::string const& name) const { return (dir / name).string(); }
    void write(std::string const& name, std::string const& contents) const { writeFile(dir / name, contents); }
    std::string read(std::string const& name) const { return readFile(dir / name); }
    // Names and contents of everything under the folder, links as "-> target".
    std::string snapshot() const
    {
        std::string out;
        std::vector<std::string> lines;
        for (auto const& entry : fs::recursive_directory_iterator(dir.path())) {
            std::string line = entry.path().lexically_relative(dir.path()).string();
            if (entry.is_symlink())
                line += " -> " + fs::read_symlink(entry.path()).string();
            else if (entry.is_regular_file())
                line += " = " + readFile(entry.path());
            lines.push_back(line);
        }
        std::sort(lines.begin(), lines.end());
        for (auto const& line : lines)
            out += line + "\n";
        return out;
    }
    TempDir dir;
};

}

TEST_F(FileOperations, PlacingCreatesMissingFoldersAndReplacesTheDestination)
{
    for (auto const& [name, place] : kPlacements) {
        SCOPED_TRACE(name);
        std::string folder = std::string(name) + "/";
        write(folder + "src.txt", "new");
        EXPECT_EQ(place(at(folder + "src.txt"), at(folder + "a/b/c/out.txt")), "OK");
        EXPECT_EQ(read(folder + "a/b/c/out.txt"), "new");
        write(folder + "old.txt", "old");
        write(folder + "src2.txt", "second");
        EXPECT_EQ(place(at(folder + "src2.txt"), at(folder + "old.txt")), "OK");
        EXPECT_EQ(read(folder + "old.txt"), "second");
    }
    EXPECT_FALSE(fs::exists(at("move/src.txt")));
    EXPECT_EQ(read("copy/src.txt"), "new");
    EXPECT_EQ(fs::read_symlink(at("link/a/b/c/out.txt")), at("link/src.txt"));
    // Nothing of the work is left beside the destinations.
    for (auto const& entry : fs::recursive_directory_iterator(dir.path()))
        EXPECT_EQ(entry.path().filename().string().find(".quodrix-"), std::string::npos) << entry.path();
}

TEST_F(FileOperations, AFolderDestinationIsReplacedWholeByAFileAndTheOtherWayRound)
{
    write("dest/inner/deep.txt", "old tree");
    write("src.txt", "file");
    EXPECT_EQ(cNSFileHandling::hCopyFileTo(at("src.txt"), at("dest")), "OK");
    EXPECT_EQ(read("dest"), "file");

    write("tree/one.txt", "1");
    write("tree/sub/two.txt", "2");
    EXPECT_EQ(cNSFileHandling::hMoveFileTo(at("tree"), at("dest")), "OK");
    EXPECT_EQ(read("dest/sub/two.txt"), "2");
    EXPECT_FALSE(fs::exists(at("tree")));
    EXPECT_EQ(snapshot(), "dest\ndest/one.txt = 1\ndest/sub\ndest/sub/two.txt = 2\nsrc.txt = file\n");
}

TEST_F(FileOperations, FoldersReplaceFoldersAndMovesCrossFileSystems)
{
    write("new/a.txt", "a");
    write("new/sub/b.txt", "b");
    write("old/z.txt", "z");
    EXPECT_EQ(cNSFileHandling::hCopyFileTo(at("new"), at("old")), "OK");
    EXPECT_EQ(snapshot(),
        "new\nnew/a.txt = a\nnew/sub\nnew/sub/b.txt = b\nold\nold/a.txt = a\nold/sub\nold/sub/b.txt = b\n");

    // /dev/shm is another file system here: the move copies, then removes the source.
    if (!fs::is_directory("/dev/shm"))
        GTEST_SKIP() << "no /dev/shm";
    TempDir elsewhere;
    fs::path shm = fs::path("/dev/shm") / elsewhere.path().filename();
    fs::create_directories(shm / "tree");
    writeFile(shm / "tree" / "x.txt", "x");
    EXPECT_EQ(cNSFileHandling::hMoveFileTo((shm / "tree").string(), at("old")), "OK");
    EXPECT_FALSE(fs::exists(shm / "tree"));
    EXPECT_EQ(read("old/x.txt"), "x");
    EXPECT_FALSE(fs::exists(at("old/a.txt")));
    fs::remove_all(shm);
}

TEST_F(FileOperations, TheLinkTargetIsTheSourceTextAsPassed)
{
    write("d/a.txt", "x");
    EXPECT_EQ(cNSFileHandling::hAliasFileTo("a.txt", at("d/l")), "OK");
    EXPECT_EQ(fs::read_symlink(at("d/l")).string(), "a.txt");
    EXPECT_EQ(read("d/l"), "x");
    // A link to an item that does not exist is still a link.
    EXPECT_EQ(cNSFileHandling::hAliasFileTo("../nowhere", at("d/m")), "OK");
    EXPECT_EQ(fs::read_symlink(at("d/m")).string(), "../nowhere");
}

TEST_F(FileOperations, OneItemUnderTwoSpellingsIsRefusedAndUntouched)
{
    write("d/a.txt", "keep");
    fs::create_hard_link(at("d/a.txt"), at("d/hard.txt"));
    fs::create_directory_symlink(at("d"), at("via"));
    fs::create_symlink(at("d/a.txt"), at("d/to-a"));
    std::string const spellings[] = { at("d/a.txt"), at("d/./a.txt"), at("d//a.txt"), at("d/../d/a.txt"),
        at("via/a.txt"), at("d/hard.txt") };
    std::string before = snapshot();
    for (auto const& [name, place] : kPlacements) {
        for (auto const& spelling : spellings) {
            SCOPED_TRACE(std::string(name) + " onto " + spelling);
            EXPECT_EQ(place(at("d/a.txt"), spelling), "Failed");
            EXPECT_EQ(snapshot(), before);
        }
        SCOPED_TRACE(std::string(name) + " of a link onto what it leads to");
        EXPECT_EQ(place(at("d/to-a"), at("d/a.txt")), "Failed");
        EXPECT_EQ(snapshot(), before);
    }
}

TEST_F(FileOperations, ADanglingLinkAtTheDestinationCountsAsAbsentAndIsKept)
{
    fs::create_directories(dir / "d");
    fs::create_symlink(at("missing"), at("d/dangling"));
    write("src.txt", "s");
    std::string before = snapshot();
    for (auto const& [name, place] : kPlacements) {
        SCOPED_TRACE(name);
        EXPECT_EQ(place(at("src.txt"), at("d/dangling")), "Failed");
        EXPECT_EQ(snapshot(), before);
    }
    // A link whose target exists is replaced as the link itself; the target stays.
    write("target.txt", "t");
    fs::create_symlink(at("target.txt"), at("d/live"));
    EXPECT_EQ(cNSFileHandling::hCopyFileTo(at("src.txt"), at("d/live")), "OK");
    EXPECT_FALSE(fs::is_symlink(at("d/live")));
    EXPECT_EQ(read("d/live"), "s");
    EXPECT_EQ(read("target.txt"), "t");
}

TEST_F(FileOperations, FailuresLeaveSourceAndDestinationAsTheyWere)
{
    write("src.txt", "s");
    write("blocker", "a file where a folder should be");
    write("tree/inner/x.txt", "x");
    write("old/keep.txt", "k");
    std::string before = snapshot();
    struct Case {
        char const* what;
        std::string source;
        std::string destination;
    } const cases[] = {
        { "parent is a file", at("src.txt"), at("blocker/sub/out.txt") },
        { "missing source", at("nothing.txt"), at("old") },
        { "folder into itself", at("tree"), at("tree/inner/copy") },
        { "destination holds the source", at("tree/inner/x.txt"), at("tree") },
        { "empty destination", at("src.txt"), "" },
        { "destination named ..", at("src.txt"), at("old/..") },
    };
    for (auto const& [name, place] : kPlacements) {
        for (auto const& c : cases) {
            // A link may point at anything, its own folder included.
            if (std::string(name) == "link"
                && (std::string(c.what) == "missing source" || std::string(c.what) == "folder into itself"))
                continue;
            SCOPED_TRACE(std::string(name) + ": " + c.what);
            EXPECT_EQ(place(c.source, c.destination), "Failed");
            EXPECT_EQ(snapshot(), before);
        }
    }
}

TEST_F(FileOperations, AFailedReplacementKeepsTheOldDestination)
{
    // The folder of the destination refuses new entries for an unprivileged user, so the new item cannot
    // be built there; the old file must survive and the source stay.
    write("locked/dest.txt", "old");
    write("src/in.txt", "new");
    ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
    ASSERT_EQ(chmod(at("locked").c_str(), 0755), 0);
    ASSERT_EQ(chmod(at("locked/dest.txt").c_str(), 0666), 0);
    ASSERT_EQ(chmod(at("src").c_str(), 0777), 0);
    ASSERT_EQ(chmod(at("src/in.txt").c_str(), 0666), 0);
    ScriptBundle bundle;
    fs::permissions(bundle.root(), fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec);
    fs::permissions(bundle.home(), fs::perms::all);
    bundle.addScript("50_test.lua", "print(objc.cNSFileHandling:hMoveFileTo__('" + at("src/in.txt") + "', '"
            + at("locked/dest.txt") + "'), objc.cNSFileHandling:hCopyFileTo__('" + at("src/in.txt") + "', '"
            + at("locked/dest.txt") + "'))\n");
    RunResult r = runCommand("setpriv --reuid=nobody --regid=nogroup --clear-groups env HOME=" + bundle.home().string()
        + " " + bundle.executable().string());
    EXPECT_EQ(r.out, "Failed\tFailed\n") << r.err;
    EXPECT_EQ(read("locked/dest.txt"), "old");
    EXPECT_EQ(read("src/in.txt"), "new");
}

// The words a script sees for a new, an existing and an impossible folder are in FileHandlingScriptTest.cpp.
TEST_F(FileOperations, CreatingFolders)
{
    write("file", "f");
    EXPECT_EQ(cNSFileHandling::hCreateDirectory(at("file")), "EXISTS");
    EXPECT_EQ(cNSFileHandling::hCreateDirectory(""), "FAILED");
    fs::create_symlink(at("gone"), at("dangling"));
    EXPECT_EQ(cNSFileHandling::hCreateDirectory(at("dangling")), "FAILED");
}

TEST_F(FileOperations, DatesInTheThreeCodesInLocalTime)
{
    setenv("TZ", "Europe/Amsterdam", 1);
    write("f.txt", "x");
    // 5 December 2026, 15:27:54 in Amsterdam (UTC+1).
    timespec const times[2] = { { 1796480874, 0 }, { 1796480874, 0 } };
    ASSERT_EQ(utimensat(AT_FDCWD, at("f.txt").c_str(), times, 0), 0);

    cNSFileHandling f;
    EXPECT_EQ(f.hGetModificationDateFile(at("f.txt"), "0"), "2026-12-05-15-27-54");
    EXPECT_EQ(f.hGetModificationDateFile(at("f.txt"), "1"), "12-05-2026-15-27-54");
    EXPECT_EQ(f.hGetModificationDateFile(at("f.txt"), "2"), "05-12-2026-15-27-54");
    // An unknown code answers the previous text; a code with spaces is unknown.
    EXPECT_EQ(f.hGetModificationDateFile(at("f.txt"), "3"), "05-12-2026-15-27-54");
    EXPECT_EQ(f.hGetModificationDateFile(at("f.txt"), " 0"), "05-12-2026-15-27-54");
    EXPECT_EQ(f.hGetModificationDateFile(at("missing"), "0"), "(null)");
    EXPECT_EQ(f.hGetModificationDateFile(at("f.txt"), "3"), "(null)");

    cNSFileHandling fresh;
    EXPECT_EQ(fresh.hGetCreationDateFile(at("f.txt"), "3"), "(null)");
    std::string created = fresh.hGetCreationDateFile(at("f.txt"), "0");
    EXPECT_EQ(created.size(), 19u);
    EXPECT_EQ(fresh.hGetCreationDateFile(at("f.txt"), "3"), created);
    unsetenv("TZ");
}

TEST_F(FileOperations, SizesInDecimalUnitsWithTheLastAnswerKept)
{
    write("small", std::string(999, 'x'));
    write("kilo", std::string(1500, 'x'));
    cNSFileHandling f;
    EXPECT_EQ(f.getFileSize(at("missing")), std::nullopt);
    EXPECT_EQ(f.getFileSize(at("small")), "999 bytes");
    EXPECT_EQ(f.getFileSize(at("missing")), "999 bytes");
    EXPECT_EQ(f.getFileSize(at("kilo")), "1.5\u00a0kB");
    EXPECT_EQ(f.myFileSizeStr(), "1.5\u00a0kB");
}

TEST_F(FileOperations, ContentTypes)
{
    write("photo.jpg", "not really a jpeg");
    write("noext", "%PDF-1.4\n");
    fs::create_directories(dir / "folder");
    EXPECT_EQ(cNSFileHandling::hGetFileType(at("photo.jpg")), "image/jpeg");
    EXPECT_EQ(cNSFileHandling::hGetFileType(at("noext")), "application/pdf");
    EXPECT_EQ(cNSFileHandling::hGetFileType(at("folder")), "inode/directory");
}

TEST_F(FileOperations, IconsAreAnExtendedAttributeAndNeverFail)
{
    write("f.txt", "x");
    cNSFileHandling::hAddIconToFile(at("f.txt"), std::string("\x89PNG icon"));
    char buffer[64] = {};
    ssize_t n = getxattr(at("f.txt").c_str(), cNSFileHandling::kIconAttribute, buffer, sizeof buffer);
    EXPECT_EQ(std::string(buffer, n > 0 ? std::size_t(n) : 0), "\x89PNG icon");
    cNSFileHandling::hAddIconToFile(at("f.txt"), std::nullopt);
    EXPECT_LT(getxattr(at("f.txt").c_str(), cNSFileHandling::kIconAttribute, buffer, sizeof buffer), 0);
    cNSFileHandling::hAddIconToFile(at("missing"), std::string("x"));
    cNSFileHandling::hAddIconToFile(at("f.txt"), std::string(1 << 20, 'x'));
    EXPECT_EQ(read("f.txt"), "x");

    // Showing an item opens its file URL through the platform; a missing item opens nothing.
    Platform platform;
    std::vector<std::string> opened;
    platform.setUrlOpener([&](std::string const& url) { opened.push_back(url); });
    cNSFileHandling::hShowInFinder(platform, at("f.txt"));
    cNSFileHandling::hShowInFinder(platform, at("missing"));
    EXPECT_EQ(opened, std::vector<std::string> { Url::fromPath(at("f.txt")).text });
}

TEST_F(FileOperations, DeletingAndRenamingByUrl)
{
    write("a b.txt", "a");
    write("tree/x.txt", "x");
    write("keep.txt", "k");
    EXPECT_EQ(cNSFileHandling::hDeleteFiles({}), "OK");
    EXPECT_EQ(cNSFileHandling::hDeleteFiles({ Url::fromPath(at("a b.txt")).text, "not a url",
                  Url::fromPath(at("missing")).text, Url::fromPath(at("tree")).text, at("keep.txt") }),
        "OK");
    EXPECT_EQ(snapshot(), "keep.txt = k\n");

    cNSFileHandling::hRenameFile(Url::fromPath(at("keep.txt")).text, "new name.txt");
    EXPECT_EQ(snapshot(), "new name.txt = k\n");
    write("other.txt", "o");
    std::string before = snapshot();
    // An existing name is never replaced; a name that is not one component does nothing.
    cNSFileHandling::hRenameFile(Url::fromPath(at("other.txt")).text, "new name.txt");
    cNSFileHandling::hRenameFile(Url::fromPath(at("other.txt")).text, "../escaped.txt");
    cNSFileHandling::hRenameFile(Url::fromPath(at("other.txt")).text, "");
    EXPECT_EQ(snapshot(), before);
}
