// The real executable copies and then moves a batch of 2,000 files (the moves onto another file system
// when the test may mount one) and is killed with SIGKILL at random points of the run. After each kill:
// every file exists once (in its source folder or moved) with its contents, every copy is whole or
// absent, and the next run removes the temporary items that the killed run left. The one exception is
// the move in flight onto another file system: killed between placing its flushed copy and removing the
// source, it leaves the file whole in both places. Folders moved onto another file system are never left
// in part under their own or their new name.

#include "fs/FsTestSupport.h"
#include "support/ScriptBundle.h"

#include <csignal>
#include <gtest/gtest.h>
#include <chrono>
#include <random>
#include <thread>
#include <sys/wait.h>
#include <unistd.h>

using namespace quodrix::test;
namespace fs = std::filesystem;

namespace {

constexpr int kFiles = 2000;

std::string contentsOf(int i)
{
    return "file " + std::to_string(i) + " " + std::string(std::size_t(i % 97) * 13, char('a' + i % 26));
}

std::string nameOf(int i)
{
    return "f" + std::to_string(i) + ".jpg";
}

// The script: every file copied into copies/, then every file moved into moved/, one line per step.
std::string batchScript(fs::path const& source, fs::path const& copies, fs::path const& moved)
{
    return "io.stdout:setvbuf('line')\n"
           "local tb = objc.cToolBox\n"
           "for i = 0, "
        + std::to_string(kFiles - 1) + " do\n  local n = 'f' .. i .. '.jpg'\n"
           "  print(tb:hStoreFiles2__('" + source.string() + "/' .. n, '" + copies.string() + "/' .. n))\nend\n"
           "for i = 0, " + std::to_string(kFiles - 1) + " do\n  local n = 'f' .. i .. '.jpg'\n"
           "  print(tb:hStoreFiles3__('" + source.string() + "/' .. n, '" + moved.string() + "/' .. n))\nend\n";
}


// Reads lines from the child until `lines` have come (or the output ends), waits `delay` more, then kills it.
int killAfter(pid_t pid, int output, int lines, std::chrono::microseconds delay = {})
{
    int seen = 0;
    char buffer[4096];
    while (seen < lines) {
        ssize_t n = read(output, buffer, sizeof buffer);
        if (n <= 0)
            break;
        seen += int(std::count(buffer, buffer + n, '\n'));
    }
    if (delay.count() > 0)
        std::this_thread::sleep_for(delay);
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    close(output);
    return seen;
}

}

TEST(KillDuringABatch, EveryFileExactlyOnceAndWhole)
{
    TempDir dir(fastTemporaryFolder());
    SmallTmpfs other(dir / "other", "64m");
    fs::path source = dir / "source";
    fs::path copies = dir / "copies";
    fs::path moved = other.mounted() ? dir / "other" / "moved" : dir / "moved";
    ScriptBundle bundle;
    bundle.addScript("50_batch.lua", batchScript(source, copies, moved));

    unsigned seed = std::random_device {}();
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> point(1, 2 * kFiles - 1);
    for (int round = 0; round < killRounds(10); ++round) {
        for (auto const& folder : { source, copies, moved }) {
            fs::remove_all(folder);
            fs::create_directories(folder);
        }
        for (int i = 0; i < kFiles; ++i)
            writeFile(source / nameOf(i), contentsOf(i));

        int output = -1;
        pid_t pid = bundle.start({}, output);
        ASSERT_GT(pid, 0);
        int at = point(random);
        int seen = killAfter(pid, output, at);
        std::string where = "seed " + std::to_string(seed) + ", round " + std::to_string(round) + ", killed after "
            + std::to_string(seen) + " steps";

        int twice = 0;
        for (int i = 0; i < kFiles; ++i) {
            std::string name = nameOf(i);
            bool inSource = fs::exists(source / name);
            bool inMoved = fs::exists(moved / name);
            ASSERT_TRUE(inSource || inMoved) << where << ": " << name;
            if (inSource) {
                ASSERT_EQ(readFile(source / name), contentsOf(i)) << where << ": " << name;
            }
            if (inMoved) {
                ASSERT_EQ(readFile(moved / name), contentsOf(i)) << where << ": moved " << name;
            }
            // A move onto another file system killed after its flushed copy was in place and before the
            // source was removed leaves the file whole in both places; only the move in flight can.
            if (inSource && inMoved) {
                ASSERT_TRUE(other.mounted()) << where << ": " << name;
                ++twice;
            }
            if (fs::exists(copies / name)) {
                ASSERT_EQ(readFile(copies / name), contentsOf(i)) << where << ": copy of " << name;
            }
        }

        EXPECT_LE(twice, 1) << where;

        // The next run that writes into these folders removes what the killed run left there.
        ScriptBundle next;
        auto r = next.runScript("print(objc.cToolBox:hStoreFiles2__('" + (bundle.home() / ".").string() + "', '"
            + (copies / "next").string() + "'))\n"
            "print(objc.cToolBox:hStoreFiles2__('" + (bundle.home() / ".").string() + "', '" + (moved / "next").string()
            + "'))\n");
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, "successfull\nsuccessfull\n");
        EXPECT_EQ(temporariesBelow(dir.path()), std::vector<std::string> {}) << where;
    }
}

namespace {

constexpr int kFolders = 150;
constexpr int kFilesPerFolder = 40;

std::string folderFileContents(int folder, int file)
{
    return "folder " + std::to_string(folder) + " file " + std::to_string(file)
        + std::string(std::size_t((folder * 7 + file) % 50) * 40, 'z');
}

}

// Folders moved one by one onto another file system, killed at random points: every folder is whole at
// its source or at its destination (or, for the move in flight, whole at both), never a part of it under
// either name; the next folder moved out of the source folder into the destination clears what was left.
TEST(KillDuringABatch, NoFolderIsEverHalfUnderItsName)
{
    TempDir dir(fastTemporaryFolder());
    SmallTmpfs other(dir / "other", "64m");
    if (!other.mounted())
        GTEST_SKIP() << "mounting a tmpfs needs root";
    fs::path source = dir / "source";
    fs::path moved = dir / "other" / "moved";
    ScriptBundle bundle;
    bundle.addScript("50_batch.lua",
        "io.stdout:setvbuf('line')\nlocal tb = objc.cToolBox\nfor i = 0, " + std::to_string(kFolders - 1)
            + " do\n  local n = 'd' .. i\n  print(tb:hStoreFiles3__('" + source.string() + "/' .. n, '"
            + moved.string() + "/' .. n))\nend\n");

    unsigned seed = std::random_device {}();
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> point(1, kFolders - 1);
    // A moment after a folder's line, so that the kill also lands inside the removal of a source.
    std::uniform_int_distribution<int> moment(0, 1500);
    for (int round = 0; round < killRounds(10); ++round) {
        for (auto const& folder : { source, moved }) {
            fs::remove_all(folder);
            fs::create_directories(folder);
        }
        std::vector<Tree> expected;
        for (int d = 0; d < kFolders; ++d) {
            fs::path folder = source / ("d" + std::to_string(d));
            for (int file = 0; file < kFilesPerFolder; ++file)
                writeFile(folder / ("f" + std::to_string(file) + ".jpg"), folderFileContents(d, file));
            expected.push_back(treeAt(folder));
        }

        int output = -1;
        pid_t pid = bundle.start({}, output);
        ASSERT_GT(pid, 0);
        int seen = killAfter(pid, output, point(random), std::chrono::microseconds(moment(random)));
        std::string where = "seed " + std::to_string(seed) + ", round " + std::to_string(round) + ", killed after "
            + std::to_string(seen) + " folders";

        int twice = 0;
        for (int d = 0; d < kFolders; ++d) {
            std::string name = "d" + std::to_string(d);
            Tree atSource = treeAt(source / name);
            Tree atDestination = treeAt(moved / name);
            ASSERT_TRUE(atSource == expected[std::size_t(d)] || atSource.empty()) << where << ": " << name;
            ASSERT_TRUE(atDestination == expected[std::size_t(d)] || atDestination.empty()) << where << ": moved " << name;
            ASSERT_FALSE(atSource.empty() && atDestination.empty()) << where << ": " << name;
            if (!atSource.empty() && !atDestination.empty())
                ++twice;
        }
        EXPECT_LE(twice, 1) << where;

        // The next folder moved out of the source folder into the destination clears the killed run's
        // temporaries in both.
        writeFile(source / "next" / "f.jpg", "next");
        ScriptBundle next;
        auto r = next.runScript("print(objc.cToolBox:hStoreFiles3__('" + (source / "next").string() + "', '"
            + (moved / "next").string() + "'))\n");
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, "successfull\n");
        EXPECT_EQ(temporariesBelow(dir.path()), std::vector<std::string> {}) << where;
    }
}
