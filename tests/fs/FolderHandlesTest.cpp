// The open folders that a run's moves go through: each folder opened once, every move made where its path
// leads, a path without a usable folder taken as it is, and no more folders open than the limit.

#include "fs/FileOps.h"
#include "fs/FolderHandles.h"
#include "fs/FsTestSupport.h"
#include "support/FaultySystemCalls.h"
#include "support/ScriptBundle.h"

#include <climits>
#include <gtest/gtest.h>

using namespace quodrix;
using namespace quodrix::test;
namespace fs = std::filesystem;

TEST(FolderHandles, EachFolderIsOpenedOnceAndTheMovesLandWhereTheirPathsSay)
{
    TempDir dir;
    fs::create_directories(dir / "a b");
    fs::create_directories(dir / "c");
    for (int i = 0; i < 50; ++i)
        writeFile(dir / "a b" / ("f " + std::to_string(i)), std::to_string(i));
    FaultySystemCalls counted;
    FolderHandles folders;
    {
        ScopedSystemCalls installed(counted);
        for (int i = 0; i < 50; ++i) {
            std::string const from = (dir / "a b" / ("f " + std::to_string(i))).string();
            // Every other file leaves for another folder; the rest are renamed where they are.
            std::string const to = (dir / (i % 2 ? "c" : "a b") / ("g " + std::to_string(i))).string();
            auto const info = itemStatus(from, folders);
            ASSERT_TRUE(info && S_ISREG(info->st_mode)) << from;
            ASSERT_TRUE(renameNoReplace(from, to, &folders).ok()) << from;
        }
    }
    EXPECT_EQ(counted.calls(Call::Open), 2);
    EXPECT_EQ(folders.openCount(), 2u);
    // The calls read as the paths they stand for.
    EXPECT_EQ(counted.journal().back(),
        "rename " + (dir / "a b" / "f 49").string() + " " + (dir / "c" / "g 49").string());
    for (int i = 0; i < 50; ++i)
        EXPECT_EQ(readFile(dir / (i % 2 ? "c" : "a b") / ("g " + std::to_string(i))), std::to_string(i));
    folders.forgetAll();
    EXPECT_EQ(folders.openCount(), 0u);
}

TEST(FolderHandles, APathWithoutAUsableFolderIsTakenAsItIs)
{
    TempDir dir;
    FolderHandles folders;
    for (std::string const& path : { std::string("relative"), std::string("/"), (dir / "x/").string(),
             (dir / "x" / ".").string(), (dir / "..").string(), (dir / "missing" / "name").string() }) {
        auto const place = folders.at(path);
        EXPECT_EQ(place.folder, AT_FDCWD) << path;
        EXPECT_EQ(place.name, path.c_str()) << path;
    }
    // A missing folder gives the failure that the path gives.
    EXPECT_EQ(renameNoReplace((dir / "missing" / "a").string(), (dir / "b").string(), &folders).message(),
        renameNoReplace((dir / "missing" / "a").string(), (dir / "b").string()).message());
    // An item at the root is a name in "/".
    std::string const etc = "/etc";
    auto const root = folders.at(etc);
    EXPECT_NE(root.folder, AT_FDCWD);
    EXPECT_STREQ(root.name, "etc");
}

TEST(FolderHandles, AFolderThatCannotBeOpenedIsUsedByItsPath)
{
    TempDir dir;
    writeFile(dir / "a", "A");
    FaultySystemCalls faulty;
    faulty.fail(Call::Open, 1, Repeat::FromThenOn, EMFILE);
    FolderHandles folders;
    {
        ScopedSystemCalls installed(faulty);
        ASSERT_TRUE(renameNoReplace((dir / "a").string(), (dir / "b").string(), &folders).ok());
    }
    EXPECT_EQ(folders.openCount(), 0u);
    EXPECT_EQ(readFile(dir / "b"), "A");
}

TEST(FolderHandles, MoreFoldersThanTheLimitKeepAtMostTheLimitOpen)
{
    TempDir dir;
    std::size_t const count = FolderHandles::kLimit + 10;
    for (std::size_t i = 0; i < count; ++i)
        writeFile(dir / ("d" + std::to_string(i)) / "f", std::to_string(i));
    FolderHandles folders;
    for (int round = 0; round < 2; ++round) {
        for (std::size_t i = 0; i < count; ++i) {
            fs::path const folder = dir / ("d" + std::to_string(i));
            std::string const from = (folder / (round ? "g" : "f")).string();
            std::string const to = (folder / (round ? "h" : "g")).string();
            // Two places asked for one after the other stay valid together.
            auto const source = folders.at(from);
            std::string const other = (dir / ("d" + std::to_string((i + 1) % count)) / "x").string();
            auto const target = folders.at(other);
            struct stat info {};
            EXPECT_EQ(::fstatat(source.folder, source.name, &info, AT_SYMLINK_NOFOLLOW), 0) << from;
            EXPECT_EQ(::fstatat(target.folder, ".", &info, 0), 0) << from;
            ASSERT_TRUE(renameNoReplace(from, to, &folders).ok()) << from;
            EXPECT_LE(folders.openCount(), FolderHandles::kLimit);
        }
    }
    for (std::size_t i = 0; i < count; ++i)
        EXPECT_EQ(readFile(dir / ("d" + std::to_string(i)) / "h"), std::to_string(i));
}

// A handle stands for the folder it was opened on: a folder put in another one's place is reached once the
// handles are forgotten, as the holder of a run that moves a folder does.
TEST(FolderHandles, AForgottenFolderIsOpenedAnewWhereItsPathLeads)
{
    TempDir dir;
    writeFile(dir / "a" / "f", "old");
    FolderHandles folders;
    ASSERT_TRUE(itemStatus((dir / "a" / "f").string(), folders));
    fs::rename(dir / "a", dir / "a.old");
    writeFile(dir / "a" / "f", "new");
    folders.forgetAll();
    ASSERT_TRUE(renameNoReplace((dir / "a" / "f").string(), (dir / "a" / "g").string(), &folders).ok());
    EXPECT_EQ(readFile(dir / "a" / "g"), "new");
    EXPECT_EQ(readFile(dir / "a.old" / "f"), "old");
}

// A path too long for the system fails as it fails without handles, even where its folder could be
// opened and the name within it is short enough: undo, which goes by paths, could not take such a move back.
TEST(FolderHandles, APathTooLongForTheSystemFailsAsItWouldByItsPath)
{
    TempDir dir;
    fs::path folder = dir.path();
    while (folder.string().size() < 3950)
        folder /= std::string(std::min<std::size_t>(200, 3950 - folder.string().size()) + 1, 'd');
    fs::create_directories(folder);
    writeFile(folder / "a", "A");
    std::string const source = (folder / "a").string();
    std::string const target = (folder / std::string(200, 'b')).string();
    ASSERT_GE(target.size(), std::size_t(PATH_MAX));
    FolderHandles folders;
    Status const moved = renameNoReplace(source, target, &folders);
    EXPECT_EQ(moved.message(), renameNoReplace(source, target).message());
    EXPECT_EQ(moved.error(), ENAMETOOLONG);
    EXPECT_EQ(readFile(folder / "a"), "A");
}
