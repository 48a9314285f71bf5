// A batch of 2,000 files renamed by insert (moved into another folder, moved in place, copied) is killed
// with SIGKILL at random points; after each kill `quodrix undo` brings every file back to its own path with
// its contents, removes exactly the copies made, leaves no temporary item and exits 0. The same holds for
// rename plans, whose journal takes the intents of many moves at once: killed while they move, by pattern,
// along chains of names (each move freeing the name of the one before), along one chain longer than a
// batch, and through cycles. An undo killed while it moves the files back leaves the rest to the next undo,
// and a store killed while it writes a copy leaves only a hidden part, which undo takes away.

#include "fs/FsTestSupport.h"
#include "support/ScriptBundle.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>
#include <functional>
#include <random>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace quodrix::test;
namespace fs = std::filesystem;

namespace {

constexpr int kFiles = 2000;

std::string contentsOf(int i)
{
    return "file " + std::to_string(i) + " " + std::string(std::size_t(i % 89) * 17, char('a' + i % 26));
}

// Runs the bundle's executable with the arguments, reads its output until `lines` rows have come (or it
// ends) and kills it; the rows seen.
int runAndKill(ScriptBundle const& bundle, std::vector<std::string> arguments, int lines)
{
    int output = -1;
    pid_t pid = bundle.start(std::move(arguments), output);
    int seen = 0;
    char buffer[4096];
    while (pid > 0 && seen < lines) {
        ssize_t n = read(output, buffer, sizeof buffer);
        if (n <= 0)
            break;
        seen += int(std::count(buffer, buffer + n, '\n'));
    }
    if (pid > 0) {
        kill(pid, SIGKILL);
        int status = 0;
        waitpid(pid, &status, 0);
    }
    if (output >= 0)
        close(output);
    return seen;
}

// A rename run over the files of `folder`, with the name of each file before it.
struct Mode {
    char const* name;
    std::function<std::string(int)> fileName;
    std::vector<std::string> arguments;
};

// Pattern: img_N.jpg -> photo_N.jpg.
Mode patternMode(fs::path const& folder)
{
    return { "pattern", [](int i) { return "img_" + std::to_string(i) + ".jpg"; },
        { "rename", "-x", "^img_(\\d+)", "photo_$1", folder.string() } };
}

// Chains: N.jpg -> (N+1000).jpg, a thousand chains of two moves.
Mode chainsOfTwoMode(fs::path const& folder)
{
    return { "chains of two", [](int i) { return std::to_string(i + 1) + ".jpg"; },
        { "rename", "-x", "--start", "1001", "^\\d+", "{n}", folder.string() } };
}

// The size of the journals of the runs in `runs` together; 0 while there is none.
std::uintmax_t journalSize(fs::path const& runs)
{
    std::error_code error;
    std::uintmax_t size = 0;
    for (auto const& entry : fs::directory_iterator(runs, error)) {
        if (entry.path().extension() == ".journal")
            size += fs::file_size(entry.path(), error);
    }
    return size;
}

// Starts the bundle's executable and kills it as soon as the journals have grown to `bytes` (or lets it end
// first); whether it was killed before it ended.
bool runAndKillAtJournalSize(ScriptBundle const& bundle, std::vector<std::string> arguments, std::uintmax_t bytes)
{
    fs::path const runs = bundle.home() / ".local/state/quodrix/runs";
    int output = -1;
    pid_t pid = bundle.start(std::move(arguments), output);
    if (pid <= 0)
        return false;
    fcntl(output, F_SETFL, fcntl(output, F_GETFL) | O_NONBLOCK);
    char buffer[65536];
    bool killed = false;
    int status = 0;
    auto const deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (waitpid(pid, &status, WNOHANG) == 0) {
        while (read(output, buffer, sizeof buffer) > 0) { }
        if (journalSize(runs) >= bytes || std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            killed = true;
            break;
        }
    }
    close(output);
    return killed && WIFSIGNALED(status);
}

}

TEST(UndoAfterKill, ARenamePlanKilledWhileItMovesIsTakenBackWhole)
{
    TempDir dir(fastTemporaryFolder());
    fs::path const folder = dir / "pics";
    // Besides the pattern and the chains of two: one long chain, N.jpg -> (N+1).jpg, and cycles, the names of
    // pairs of files swapped.
    fs::path const list = dir / "swap.txt";
    {
        std::string lines;
        for (int i = 0; i < kFiles; i += 2) {
            std::string const a = "s" + std::to_string(i) + ".jpg", b = "s" + std::to_string(i + 1) + ".jpg";
            lines += a + ";" + b + "\n" + b + ";" + a + "\n";
        }
        writeFile(list, lines);
    }
    std::vector<Mode> const modes { patternMode(folder), chainsOfTwoMode(folder),
        { "one long chain", [](int i) { return std::to_string(i + 1) + ".jpg"; },
            { "rename", "-x", "--start", "2", "^\\d+", "{n}", folder.string() } },
        { "cycles", [](int i) { return "s" + std::to_string(i) + ".jpg"; },
            { "rename", "-x", "--from-list", list.string(), folder.string() } },
    };
    unsigned const seed = std::random_device {}();
    std::mt19937 random(seed);
    int killedInRuns = 0;
    for (Mode const& mode : modes) {
        ScriptBundle bundle(true);
        std::map<std::string, std::string> original;
        for (int i = 0; i < kFiles; ++i)
            original[mode.fileName(i)] = contentsOf(i);
        auto makeFiles = [&] {
            fs::remove_all(folder);
            fs::create_directories(folder);
            for (auto const& [name, data] : original)
                writeFile(folder / name, data);
        };
        // A whole run first, for the size of its journal; undone, it gives every file back too.
        makeFiles();
        auto const whole = bundle.run(mode.arguments);
        ASSERT_EQ(whole.status, 0) << mode.name << "\n" << whole.err;
        ASSERT_NE(folderContents(folder), original) << mode.name;
        std::uintmax_t const size = journalSize(bundle.home() / ".local/state/quodrix/runs");
        ASSERT_EQ(bundle.run({ "undo" }).status, 0) << mode.name;
        ASSERT_EQ(folderContents(folder), original) << mode.name;
        fs::remove_all(bundle.home() / ".local/state/quodrix/runs");

        std::uniform_int_distribution<std::uintmax_t> point(1, size);
        for (int round = 0; round < killRounds(4); ++round) {
            makeFiles();
            std::uintmax_t const bytes = point(random);
            bool const killed = runAndKillAtJournalSize(bundle, mode.arguments, bytes);
            killedInRuns += killed;
            std::string const where = std::string(mode.name) + ", seed " + std::to_string(seed) + ", killed at "
                + std::to_string(bytes) + " of " + std::to_string(size) + " journal bytes";
            bool const untouched = folderContents(folder) == original;
            auto undo = bundle.run({ "undo" });
            // Killed before its first move, the run left no journal or one with nothing done.
            if (untouched)
                EXPECT_TRUE(undo.status == 0 || undo.status == 1) << where << "\n" << undo.err;
            else
                ASSERT_EQ(undo.status, 0) << where << "\n" << undo.out << undo.err;
            ASSERT_EQ(folderContents(folder), original) << where << "\n" << undo.out;
            fs::remove_all(bundle.home() / ".local/state/quodrix/runs");
        }
    }
    std::printf("killed inside the run in %d of %d rounds\n", killedInRuns, int(modes.size()) * killRounds(4));
    EXPECT_GT(killedInRuns, 0) << "seed " << seed << ": no kill landed inside a run";
}

TEST(UndoAfterKill, EveryFileBackAndEveryCopyGone)
{
    TempDir dir(fastTemporaryFolder());
    fs::path const source = dir / "source", destination = dir / "destination";
    std::map<std::string, std::string> original;
    for (int i = 0; i < kFiles; ++i)
        original["f" + std::to_string(i) + ".jpg"] = contentsOf(i);

    struct Mode {
        char const* name;
        std::vector<std::string> arguments;
    };
    std::vector<Mode> const modes {
        { "move into another folder", { "insert", "-m", "-d", destination.string(), "X_", "0", source.string() } },
        { "move in place", { "insert", "-m", "-d", source.string(), "X_", "0", source.string() } },
        { "copy", { "insert", "-d", destination.string(), "X_", "0", source.string() } },
    };
    unsigned const seed = std::random_device {}();
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> point(1, kFiles - 1);
    int killedInRuns = 0;
    for (int round = 0; round < killRounds(12); ++round) {
        Mode const& mode = modes[round % modes.size()];
        ScriptBundle bundle(true);
        fs::remove_all(source);
        fs::remove_all(destination);
        fs::create_directories(destination);
        for (auto const& [name, data] : original)
            writeFile(source / name, data);

        int const seen = runAndKill(bundle, mode.arguments, point(random));
        std::string const where = std::string(mode.name) + ", seed " + std::to_string(seed) + ", round "
            + std::to_string(round) + ", killed after " + std::to_string(seen) + " rows";

        bool const killedInTheRun = bundle.run({ "history" }).out.find(", unfinished") != std::string::npos;
        killedInRuns += killedInTheRun;
        auto undo = bundle.run({ "undo" });
        ASSERT_EQ(undo.status, 0) << where << "\n" << undo.err;
        ASSERT_EQ(folderContents(source), original) << where;
        EXPECT_TRUE(fs::is_empty(destination)) << where;
        EXPECT_EQ(temporariesBelow(dir.path()), std::vector<std::string> {}) << where;
        // Nothing is left to undo: the run is marked undone.
        EXPECT_EQ(bundle.run({ "undo" }).status, 1) << where;
    }
    // Most kills land inside the run (a run may have finished before its killer read the rows it wanted).
    std::printf("killed inside the run in %d of %d rounds\n", killedInRuns, killRounds(12));
}

// An undo killed while it moves the files back (a batch of moves at a time, through chains and cycles) has
// done part of its work; the next undo does the rest, and every file is back at its own name.
TEST(UndoAfterKill, AnUndoKilledHalfwayLeavesTheRestToTheNextOne)
{
    TempDir dir(fastTemporaryFolder());
    fs::path const folder = dir / "pics";
    std::vector<Mode> const modes { patternMode(folder), chainsOfTwoMode(folder) };
    unsigned const seed = std::random_device {}();
    std::mt19937 random(seed);
    int killedInUndos = 0;
    for (Mode const& mode : modes) {
        ScriptBundle bundle(true);
        fs::path const runs = bundle.home() / ".local/state/quodrix/runs";
        std::map<std::string, std::string> original;
        for (int i = 0; i < kFiles; ++i)
            original[mode.fileName(i)] = contentsOf(i);
        auto makeRun = [&] {
            fs::remove_all(runs);
            fs::remove_all(folder);
            fs::create_directories(folder);
            for (auto const& [name, data] : original)
                writeFile(folder / name, data);
            auto const run = bundle.run(mode.arguments);
            EXPECT_EQ(run.status, 0) << mode.name << "\n" << run.err;
            return journalSize(runs);
        };
        // A whole undo first, for the size of its journal.
        std::uintmax_t const runSize = makeRun();
        auto const whole = bundle.run({ "undo" });
        ASSERT_EQ(whole.status, 0) << mode.name << "\n" << whole.err;
        ASSERT_EQ(folderContents(folder), original) << mode.name;
        std::uintmax_t const undoSize = journalSize(runs) - runSize;

        std::uniform_int_distribution<std::uintmax_t> point(1, undoSize);
        for (int round = 0; round < killRounds(4); ++round) {
            std::uintmax_t const before = makeRun();
            std::uintmax_t const bytes = point(random);
            bool const killed = runAndKillAtJournalSize(bundle, { "undo" }, before + bytes);
            killedInUndos += killed;
            std::string const where = std::string(mode.name) + ", seed " + std::to_string(seed) + ", killed at "
                + std::to_string(bytes) + " of " + std::to_string(undoSize) + " journal bytes";
            auto const next = bundle.run({ "undo" });
            // Killed after its end record, the undo had taken the run back whole: nothing is left to undo.
            if (killed) {
                EXPECT_TRUE(next.status == 0 || next.err.find(": nothing to undo: ") != std::string::npos)
                    << where << "\n" << next.out << next.err;
            }
            ASSERT_EQ(folderContents(folder), original) << where << "\n" << next.err;
            EXPECT_EQ(temporariesBelow(dir.path()), std::vector<std::string> {}) << where;
        }
    }
    std::printf("killed inside the undo in %d of %d rounds\n", killedInUndos, int(modes.size()) * killRounds(4));
    EXPECT_GT(killedInUndos, 0) << "seed " << seed << ": no kill landed inside an undo";
}

// A store copy, and a move onto another file system (a copy, then the source removed), killed while the
// copy is being written: the source is whole at its place, the part written is hidden under a temporary
// name, and undo takes it away. Killed after the end, undo takes the whole copy back.
TEST(UndoAfterKill, AStoreKilledWhileItCopiesLeavesTheSourceWholeAndUndoTakesThePartAway)
{
    TempDir disk;  // the temporary folder, on disk
    TempDir memory(fastTemporaryFolder());
    struct stat diskInfo {}, memoryInfo {};
    ASSERT_EQ(::stat(disk.str().c_str(), &diskInfo), 0);
    ASSERT_EQ(::stat(memory.str().c_str(), &memoryInfo), 0);
    std::string data(std::size_t(96) << 20, '\0');
    std::mt19937_64 random(7);
    for (std::size_t i = 0; i + 8 <= data.size(); i += 8) {
        std::uint64_t const word = random();
        std::memcpy(&data[i], &word, 8);
    }
    std::vector<std::pair<char const*, fs::path>> modes { { "copy", disk / "copy.bin" } };
    if (diskInfo.st_dev != memoryInfo.st_dev)
        modes.push_back({ "move", memory / "moved.bin" });
    int killedInRuns = 0;
    for (auto const& [mode, destination] : modes) {
        ScriptBundle bundle(true);
        fs::path const source = disk / "big.bin";
        writeFile(source, data);
        int output = -1;
        pid_t const pid = bundle.start({ "store", mode, source.string(), destination.string() }, output);
        ASSERT_GT(pid, 0);
        // Killed as soon as the copy's part is there (or when the store has ended).
        int status = 0;
        auto const deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (waitpid(pid, &status, WNOHANG) == 0) {
            if (!temporariesBelow(destination.parent_path()).empty() || std::chrono::steady_clock::now() > deadline) {
                kill(pid, SIGKILL);
                waitpid(pid, &status, 0);
                break;
            }
        }
        close(output);
        killedInRuns += WIFSIGNALED(status);
        std::string const where = std::string(mode) + (WIFSIGNALED(status) ? ", killed" : ", ended first");

        auto const undo = bundle.run({ "undo" });
        EXPECT_EQ(undo.status, 0) << where << "\n" << undo.out << undo.err;
        EXPECT_TRUE(readFile(source) == data) << where;
        EXPECT_FALSE(fs::exists(destination)) << where;
        EXPECT_EQ(temporariesBelow(disk.path()), std::vector<std::string> {}) << where;
        EXPECT_EQ(temporariesBelow(memory.path()), std::vector<std::string> {}) << where;
        fs::remove(source);
    }
    std::printf("killed inside the store in %d of %zu runs\n", killedInRuns, modes.size());
}
