// Storing items with cToolBox on real files and folders: copies and moves that never replace anything,
// never create folders, keep what the platform's copy keeps, and leave nothing half made.

#include "fs/FileStore.h"
#include "support/ScriptBundle.h"
#include "toolbox/cToolBox.h"

#include <algorithm>
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

std::vector<std::string> names(fs::path const& folder)
{
    std::vector<std::string> result;
    for (auto const& entry : fs::directory_iterator(folder))
        result.push_back(entry.path().filename().string());
    std::sort(result.begin(), result.end());
    return result;
}

timespec mtimeOf(fs::path const& path)
{
    struct stat info {};
    lstat(path.c_str(), &info);
    return info.st_mtim;
}

void setMtime(fs::path const& path, time_t seconds)
{
    timespec const times[2] = { { seconds, 0 }, { seconds, 123456789 } };
    utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW);
}

}

TEST(Storing, CopyBesideUnderANewName)
{
    TempDir dir;
    writeFile(dir / "x.jpg", "pixels");
    EXPECT_EQ(cToolBox::hStoreFiles((dir / "x.jpg").string(), "y.jpg"), "successfull");
    EXPECT_EQ(readFile(dir / "y.jpg"), "pixels");
    EXPECT_EQ(readFile(dir / "x.jpg"), "pixels");

    // An existing item under the new name is kept, and no "-temp" copy is left behind.
    writeFile(dir / "z.jpg", "other");
    EXPECT_EQ(cToolBox::hStoreFiles((dir / "x.jpg").string(), "z.jpg"), "Failed");
    EXPECT_EQ(readFile(dir / "z.jpg"), "other");
    EXPECT_EQ(names(dir.path()), (std::vector<std::string> { "x.jpg", "y.jpg", "z.jpg" }));

    // A new name must be one path component.
    fs::create_directory(dir / "sub");
    for (char const* bad : { "", ".", "..", "sub/w.jpg", "../w.jpg" })
        EXPECT_EQ(cToolBox::hStoreFiles((dir / "x.jpg").string(), bad), "Failed") << bad;
    EXPECT_TRUE(fs::is_empty(dir / "sub"));
    EXPECT_EQ(cToolBox::hStoreFiles((dir / "missing.jpg").string(), "w.jpg"), "Failed");
}

TEST(Storing, CopyToAFullDestination)
{
    TempDir dir;
    writeFile(dir / "a" / "x.jpg", "one");
    writeFile(dir / "b" / "y.jpg", "two");
    chmod((dir / "a" / "x.jpg").c_str(), 0640);
    setMtime(dir / "a" / "x.jpg", 1000000000);
    setxattr((dir / "a" / "x.jpg").c_str(), "user.quodrix.label", "3", 1, 0);

    EXPECT_EQ(cToolBox::hStoreFiles2((dir / "a" / "x.jpg").string(), (dir / "b" / "x.jpg").string()), "successfull");
    EXPECT_EQ(readFile(dir / "b" / "x.jpg"), "one");
    EXPECT_EQ(fs::status(dir / "b" / "x.jpg").permissions() & fs::perms::all,
        fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(mtimeOf(dir / "b" / "x.jpg").tv_sec, 1000000000);
    EXPECT_EQ(mtimeOf(dir / "b" / "x.jpg").tv_nsec, 123456789);
    char label[8] = {};
    EXPECT_EQ(getxattr((dir / "b" / "x.jpg").c_str(), "user.quodrix.label", label, sizeof label), 1);
    EXPECT_STREQ(label, "3");

    // Onto an existing file: both stay as they were.
    EXPECT_EQ(cToolBox::hStoreFiles2((dir / "a" / "x.jpg").string(), (dir / "b" / "y.jpg").string()), "Failed");
    EXPECT_EQ(readFile(dir / "b" / "y.jpg"), "two");
    // Into a folder that does not exist: no folder is made.
    EXPECT_EQ(cToolBox::hStoreFiles2((dir / "a" / "x.jpg").string(), (dir / "c" / "x.jpg").string()), "Failed");
    EXPECT_FALSE(fs::exists(dir / "c"));
    // A missing source, and a source that is the destination.
    EXPECT_EQ(cToolBox::hStoreFiles2((dir / "a" / "none").string(), (dir / "b" / "none").string()), "Failed");
    EXPECT_EQ(cToolBox::hStoreFiles2((dir / "a" / "x.jpg").string(), (dir / "a" / "x.jpg").string()), "Failed");
    EXPECT_EQ(readFile(dir / "a" / "x.jpg"), "one");
    // A dangling link at the destination is an item too.
    fs::create_symlink(dir / "nowhere", dir / "b" / "dangling");
    EXPECT_EQ(cToolBox::hStoreFiles2((dir / "a" / "x.jpg").string(), (dir / "b" / "dangling").string()), "Failed");
    EXPECT_TRUE(fs::is_symlink(dir / "b" / "dangling"));
    EXPECT_EQ(names(dir / "b"), (std::vector<std::string> { "dangling", "x.jpg", "y.jpg" }));
}

TEST(Storing, CopiesWholeFoldersWithLinksAsLinks)
{
    TempDir dir;
    writeFile(dir / "src" / "one.txt", "1");
    writeFile(dir / "src" / "deep" / "two.txt", "22");
    writeFile(dir / "src" / ".hidden", "h");
    fs::create_symlink("one.txt", dir / "src" / "link");
    chmod((dir / "src" / "deep").c_str(), 0750);
    setMtime(dir / "src" / "deep", 1200000000);
    fs::create_directory(dir / "dst");

    EXPECT_EQ(cToolBox::hStoreFiles2((dir / "src").string(), (dir / "dst" / "copy").string()), "successfull");
    EXPECT_EQ(readFile(dir / "dst" / "copy" / "deep" / "two.txt"), "22");
    EXPECT_EQ(readFile(dir / "dst" / "copy" / ".hidden"), "h");
    EXPECT_TRUE(fs::is_symlink(dir / "dst" / "copy" / "link"));
    EXPECT_EQ(fs::read_symlink(dir / "dst" / "copy" / "link"), "one.txt");
    EXPECT_EQ(fs::status(dir / "dst" / "copy" / "deep").permissions() & fs::perms::all,
        fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
    EXPECT_EQ(mtimeOf(dir / "dst" / "copy" / "deep").tv_sec, 1200000000);
    EXPECT_EQ(names(dir / "dst"), std::vector<std::string> { "copy" });

    // A folder copied into itself is refused instead of growing without end.
    EXPECT_EQ(cToolBox::hStoreFiles2((dir / "src").string(), (dir / "src" / "deep" / "again").string()), "Failed");
    EXPECT_FALSE(fs::exists(dir / "src" / "deep" / "again"));
}

TEST(Storing, MoveWithinAndAcrossFileSystems)
{
    TempDir dir;
    writeFile(dir / "a" / "x.jpg", "one");
    EXPECT_EQ(cToolBox::hStoreFiles3((dir / "a" / "x.jpg").string(), (dir / "a" / "y.jpg").string()), "successfull");
    EXPECT_EQ(readFile(dir / "a" / "y.jpg"), "one");
    EXPECT_FALSE(fs::exists(dir / "a" / "x.jpg"));
    // The second identical call fails: the source is gone.
    EXPECT_EQ(cToolBox::hStoreFiles3((dir / "a" / "x.jpg").string(), (dir / "a" / "y.jpg").string()), "Failed");
    // Onto an existing item, or into a missing folder: nothing changes.
    writeFile(dir / "a" / "z.jpg", "two");
    EXPECT_EQ(cToolBox::hStoreFiles3((dir / "a" / "y.jpg").string(), (dir / "a" / "z.jpg").string()), "Failed");
    EXPECT_EQ(readFile(dir / "a" / "y.jpg"), "one");
    EXPECT_EQ(readFile(dir / "a" / "z.jpg"), "two");
    EXPECT_EQ(cToolBox::hStoreFiles3((dir / "a" / "y.jpg").string(), (dir / "none" / "y.jpg").string()), "Failed");
    EXPECT_FALSE(fs::exists(dir / "none"));
    EXPECT_EQ(cToolBox::hStoreFiles3((dir / "a" / "y.jpg").string(), (dir / "a" / "y.jpg").string()), "Failed");
    EXPECT_EQ(readFile(dir / "a" / "y.jpg"), "one");

    // Across file systems: a file and a whole folder from the disk to /dev/shm and back.
    if (!fs::is_directory("/dev/shm"))
        GTEST_SKIP() << "no /dev/shm";
    std::string shm = "/dev/shm/quodrix-store-" + std::to_string(getpid());
    fs::create_directory(shm);
    writeFile(dir / "tree" / "in" / "f.txt", "content");
    setMtime(dir / "tree" / "in" / "f.txt", 1300000000);
    EXPECT_EQ(cToolBox::hStoreFiles3((dir / "a" / "y.jpg").string(), shm + "/y.jpg"), "successfull");
    EXPECT_EQ(cToolBox::hStoreFiles3((dir / "tree").string(), shm + "/tree"), "successfull");
    EXPECT_FALSE(fs::exists(dir / "a" / "y.jpg"));
    EXPECT_FALSE(fs::exists(dir / "tree"));
    EXPECT_EQ(readFile(shm + "/tree/in/f.txt"), "content");
    EXPECT_EQ(mtimeOf(shm + "/tree/in/f.txt").tv_sec, 1300000000);
    EXPECT_EQ(cToolBox::hStoreFiles3(shm + "/tree", (dir / "tree").string()), "successfull");
    EXPECT_EQ(readFile(dir / "tree" / "in" / "f.txt"), "content");
    EXPECT_EQ(cToolBox::hStoreFiles3(shm + "/y.jpg", (dir / "a" / "z.jpg").string()), "Failed");
    EXPECT_EQ(readFile(shm + "/y.jpg"), "one");
    fs::remove_all(shm);
}

TEST(Storing, TemporaryAndHomeFoldersThroughScripts)
{
    ScriptBundle bundle;
    writeFile(bundle.root() / "src.txt", "s");
    auto r = bundle.runScript(R"(
        local tb = objc.cToolBox
        print(tb:hGetHomeDir() == os.getenv("HOME"), tb:hGetTempDir() == os.getenv("HOME") .. "/Temp")
        local src = os.getenv("HOME") .. "/../src.txt"
        print(tb:hStoreTempFile__(src, "t.txt"))
        os.execute("mkdir '" .. tb:hGetTempDir() .. "'")
        print(tb:hStoreTempFile__(src, "t.txt"), tb:hStoreTempFile__(src, "t.txt"), tb:hStoreTempFile__(src, "../t.txt"))
    )");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "true\ttrue\nFailed\nsuccessfull\tFailed\tFailed\n");
    EXPECT_EQ(readFile(bundle.home() / "Temp" / "t.txt"), "s");
    EXPECT_FALSE(fs::exists(bundle.home() / "t.txt"));
}
