// A batch of 2,000 files renamed by insert (moved into another folder, moved in place, copied) is killed
// with SIGKILL at random points; after each kill `quodrix undo` brings every file back to its own path with
// its contents, removes exactly the copies made, leaves no temporary item and exits 0.

#include "fs/FsTestSupport.h"
#include "support/ScriptBundle.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <gtest/gtest.h>
#include <random>
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
    for (int round = 0; round < 12; ++round) {
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
    std::printf("killed inside the run in %d of 12 rounds\n", killedInRuns);
}
