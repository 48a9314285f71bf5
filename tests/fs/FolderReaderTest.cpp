// The one folder reader: every name once however small its buffer, and a failed read never taken for
// the end of the folder, whatever the system left in errno.

#include "fs/FileDescriptor.h"
#include "fs/FileOps.h"
#include "fs/FolderReader.h"
#include "fs/FolderWalk.h"
#include "fs/FsTestSupport.h"
#include "support/FaultySystemCalls.h"
#include "support/ScriptBundle.h"

#include <algorithm>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>

using namespace quodrix;
using namespace quodrix::test;
namespace fs = std::filesystem;

namespace {

std::vector<std::string> expectedNames(int count)
{
    std::vector<std::string> names;
    for (int i = 0; i < count; ++i)
        names.push_back("name " + std::to_string(i) + std::string(std::size_t(i % 40), 'x') + ".jpg");
    names.push_back("sub folder");
    std::sort(names.begin(), names.end());
    return names;
}

// Reads the open folder with a buffer of `size` bytes; the names sorted, and the reader's error.
std::pair<std::vector<std::string>, int> readAll(int fd, std::size_t size)
{
    std::vector<char> buffer(size);
    FolderReader reader(fd, buffer);
    FolderReader::Entry entry;
    std::vector<std::string> names;
    while (reader.next(entry)) {
        names.emplace_back(entry.name);
        EXPECT_EQ(entry.type == DT_DIR, entry.name == "sub folder") << entry.name;
    }
    std::sort(names.begin(), names.end());
    return { names, reader.error() };
}

}

TEST(FolderReader, GivesEveryNameOnceWithAnyBufferSize)
{
    TempDir dir;
    auto const expected = expectedNames(700);
    for (auto const& name : expected)
        if (name != "sub folder")
            writeFile(dir / name, "");
    fs::create_directory(dir / "sub folder");
    for (std::size_t size : { std::size_t(300), std::size_t(4096), std::size_t(1) << 16 }) {
        FileDescriptor fd(::open(dir.path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        ASSERT_TRUE(fd.valid());
        auto [names, error] = readAll(fd.get(), size);
        EXPECT_EQ(error, 0) << size;
        EXPECT_EQ(names, expected) << size;
    }
}

TEST(FolderReader, AFailedReadIsAnErrorNeverTheEnd)
{
    TempDir dir;
    for (int i = 0; i < 300; ++i)
        writeFile(dir / ("f" + std::to_string(i)), "");
    // The first read, a later one; with the error number the system gave, or none at all.
    for (int nth : { 1, 2, 3 }) {
        for (int error : { EIO, ENOENT, 0 }) {
            FileDescriptor fd(::open(dir.path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
            FaultySystemCalls faulty;
            faulty.fail(Call::ReadFolder, nth, Repeat::Once, error);
            ScopedSystemCalls installed(faulty);
            auto [names, got] = readAll(fd.get(), 1024);
            EXPECT_EQ(got, error == 0 ? EIO : error) << nth << " " << error;
            EXPECT_LT(names.size(), 300u);
        }
    }
}

TEST(FolderReader, BothListingsFailWithTheCauseOfAFailedRead)
{
    TempDir dir;
    writeFile(dir / "a.jpg", "a");
    fs::create_directory(dir / "sub");
    writeFile(dir / "sub" / "b.jpg", "b");
    FaultySystemCalls faulty;
    faulty.fail(Call::ReadFolder, 1, Repeat::FromThenOn, EIO);
    ScopedSystemCalls installed(faulty);
    std::vector<std::string> names;
    Status read = readFolderNames(dir.str(), names);
    EXPECT_EQ(read.message(), "read the folder " + dir.str() + ": Input/output error");
    int visited = 0;
    Status walked = walkFolder(dir.str(), PackageContents::Entered, [&](WalkItem const&) { ++visited; });
    EXPECT_EQ(walked.message(), "read the folder " + dir.str() + ": Input/output error");
    EXPECT_EQ(visited, 0);
}

// Whether a folder can be listed is told from its first batch of entries: a large folder is not read
// whole for it, and a read that fails further on is left to whoever lists the folder.
TEST(FolderWalk, WhetherAFolderCanBeListedReadsOneBatch)
{
    TempDir dir;
    for (int i = 0; i < 1000; ++i)
        std::ofstream(dir / ("item " + std::to_string(i)));
    EXPECT_FALSE(canListFolder((dir / "missing").string()));
    EXPECT_FALSE(canListFolder((dir / "item 1").string()));
    EXPECT_FALSE(canListFolder(""));
    {
        FaultySystemCalls counted;
        ScopedSystemCalls installed(counted);
        EXPECT_TRUE(canListFolder(dir.str()));
        EXPECT_EQ(counted.calls(Call::ReadFolder), 1);
        EXPECT_EQ(counted.calls(Call::Close), 1);
    }
    for (int failing : { 1, 2 }) {
        for (bool whole : { false, true }) {
            FaultySystemCalls faulty;
            faulty.fail(Call::ReadFolder, failing, Repeat::Once, EIO);
            ScopedSystemCalls installed(faulty);
            if (whole)
                EXPECT_FALSE(listFolder(dir.str())) << failing;
            else
                EXPECT_EQ(canListFolder(dir.str()), failing == 2) << failing;
        }
    }
    // An empty folder can be listed.
    fs::create_directory(dir / "empty");
    EXPECT_TRUE(canListFolder((dir / "empty").string()));
}

// A walk told to stop reads no folder after that: it is asked before each folder below the start.
TEST(FolderWalk, AWalkToldToStopReadsNoFurtherFolder)
{
    TempDir dir;
    for (int i = 0; i < 5; ++i)
        writeFile(dir / ("d" + std::to_string(i)) / "f.jpg", "f");
    writeFile(dir / "top.jpg", "t");
    int asked = 0;
    std::vector<std::string> files;
    Status walked = walkFolder(
        dir.str(), PackageContents::Entered,
        [&](WalkItem const& item) {
            if (!item.isFolder)
                files.emplace_back(item.name);
        },
        [&] { return ++asked > 2; });
    EXPECT_TRUE(walked.ok());
    EXPECT_EQ(asked, 3);
    // The files of the two folders read before the walk stopped, and perhaps the top one.
    EXPECT_EQ(std::count(files.begin(), files.end(), "f.jpg"), 2);
    EXPECT_LE(files.size(), 3u);
}
