// quodrix undo in the hard cases: a move onto another file system cut short by a kill, an undo run after
// an undo that could not put everything back, a run still running or being undone, and two undo processes
// at once.

#include "fs/FsTestSupport.h"
#include "support/ScriptBundle.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <optional>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

using namespace quodrix::test;
namespace fs = std::filesystem;

namespace {

fs::path runsFolder(ScriptBundle const& bundle)
{
    return bundle.home() / ".local/state/quodrix/runs";
}

std::vector<fs::path> journals(ScriptBundle const& bundle)
{
    std::vector<fs::path> found;
    for (auto const& entry : fs::directory_iterator(runsFolder(bundle)))
        if (entry.path().extension() == ".journal")
            found.push_back(entry.path());
    std::sort(found.begin(), found.end());
    return found;
}

std::string idOf(fs::path const& journal)
{
    return journal.stem().string();
}

// Files of 20 KB in `folder`, named a.bin, b.bin, ...
std::map<std::string, std::string> makeFiles(fs::path const& folder, int count)
{
    std::map<std::string, std::string> made;
    for (int i = 0; i < count; ++i) {
        std::string name = std::string(1, char('a' + i % 26)) + std::to_string(i / 26) + ".bin";
        made[name] = std::string(20000, char('A' + i % 26)) + std::to_string(i);
        writeFile(folder / name, made[name]);
    }
    return made;
}

// A bundle whose files go from A, on the disk, to T, a small tmpfs of its own.
class UndoAcrossFileSystems : public ::testing::Test {
protected:
    UndoAcrossFileSystems() : bundle(true), a(bundle.root() / "A"), t(bundle.root() / "T") { }

    // Mounts the tmpfs on T; false when it cannot be mounted (that needs root).
    bool mountOtherFileSystem()
    {
        fs::create_directories(t);
        tmpfs.emplace(t, "8m");
        return tmpfs->mounted();
    }

    ScriptBundle bundle;
    fs::path const a, t;
    std::optional<SmallTmpfs> tmpfs;
};

}

// A kill after the last file's copy was placed on the other file system and its source removed, before
// its outcome was written (it goes out with the end record): the copy is a new item there, recognised by
// its size and modification time, and goes back.
TEST_F(UndoAcrossFileSystems, AMoveOntoAnotherFileSystemCutBeforeItsOutcomeGoesBack)
{
    if (!mountOtherFileSystem())
        GTEST_SKIP() << "mounting a tmpfs needs root";
    auto const made = makeFiles(a, 3);
    auto run = bundle.run({ "insert", "-m", "-d", t.string(), "P_", "0", a.string() });
    ASSERT_EQ(run.status, 0) << run.err;
    ASSERT_TRUE(fs::is_empty(a));

    fs::path const journal = journals(bundle).at(0);
    std::string const text = readFile(journal);
    auto const cut = text.rfind("\nO ");
    ASSERT_NE(cut, std::string::npos);
    writeFile(journal, text.substr(0, cut + 1));

    auto undo = bundle.run({ "undo" });
    EXPECT_EQ(undo.status, 0) << undo.err;
    EXPECT_EQ(undo.err, "undo " + idOf(journal) + ": 3 restored\n");
    EXPECT_EQ(folderContents(a), made);
    EXPECT_TRUE(fs::is_empty(t));
}

// The same cut after a folder was moved: its copy keeps its time but not its size, which is what each file
// system gives a folder, and goes back.
TEST_F(UndoAcrossFileSystems, AFolderMovedOntoAnotherFileSystemCutBeforeItsOutcomeGoesBack)
{
    if (!mountOtherFileSystem())
        GTEST_SKIP() << "mounting a tmpfs needs root";
    auto const made = makeFiles(a / "tree", 40);
    auto run = bundle.run({ "store", "move", (a / "tree").string(), (t / "tree").string() });
    ASSERT_EQ(run.status, 0) << run.err;
    fs::path const journal = journals(bundle).at(0);
    std::string const text = readFile(journal);
    writeFile(journal, text.substr(0, text.rfind("\nO ") + 1));

    auto undo = bundle.run({ "undo" });
    EXPECT_EQ(undo.status, 0) << undo.err;
    EXPECT_EQ(undo.err, "undo " + idOf(journal) + ": 1 restored\n");
    EXPECT_EQ(folderContents(a / "tree"), made);
    EXPECT_TRUE(fs::is_empty(t));
}

// A source that cannot be taken from its folder (here a read-only one) fails the move before anything is
// copied: no copy is left on the other file system for undo to find.
TEST_F(UndoAcrossFileSystems, AMoveWhoseSourceCannotGoLeavesNoCopy)
{
    if (!mountOtherFileSystem())
        GTEST_SKIP() << "mounting a tmpfs needs root";
    std::string const locked = (a / "locked").string();
    writeFile(a / "locked" / "f.bin", "kept");
    ReadOnlyFolder const readOnly(locked);
    if (!readOnly.mounted())
        GTEST_SKIP() << "cannot mount a read-only folder here";
    auto run = bundle.run({ "store", "move", locked + "/f.bin", (t / "f.bin").string() });
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "Failed\tremove " + locked + "/f.bin: Read-only file system\n");
    EXPECT_TRUE(fs::is_empty(t));
    EXPECT_EQ(readFile(a / "locked" / "f.bin"), "kept");
}

// The same cut, but the copy was edited since: it is not the item the run moved there and stays.
TEST_F(UndoAcrossFileSystems, AnEditedCopyOnAnotherFileSystemStays)
{
    if (!mountOtherFileSystem())
        GTEST_SKIP() << "mounting a tmpfs needs root";
    writeFile(a / "only.bin", std::string(20000, 'x'));
    ASSERT_EQ(bundle.run({ "insert", "-m", "-d", t.string(), "P_", "0", a.string() }).status, 0);
    fs::path const journal = journals(bundle).at(0);
    std::string const text = readFile(journal);
    writeFile(journal, text.substr(0, text.rfind("\nO ") + 1));
    writeFile(t / "P_only.bin", "edited");

    auto undo = bundle.run({ "undo" });
    EXPECT_EQ(undo.status, 1);
    EXPECT_EQ(undo.err, "quodrix undo: cannot restore " + (t / "P_only.bin").string()
            + ": not the item the run moved there (replaced since)\n"
            "undo " + idOf(journal) + ": 0 restored, 1 failed\n");
    EXPECT_EQ(readFile(t / "P_only.bin"), "edited");
}

// A planned rename that moves its files onto another file system records each copy as the item it made
// there, not as the source it came from. An undo takes back every copy, one edited in place since too (it
// is still the item the run made, which its size and time alone no longer show), and refuses one that
// another item replaced.
TEST_F(UndoAcrossFileSystems, APlannedMoveOntoAnotherFileSystemRecordsTheCopies)
{
    if (!mountOtherFileSystem())
        GTEST_SKIP() << "mounting a tmpfs needs root";
    auto const made = makeFiles(a, 4);
    auto run = bundle.run({ "rename", "-x", "-d", t.string(), "^", "P_", a.string() });
    ASSERT_EQ(run.status, 0) << run.err;
    ASSERT_EQ(run.err, "4 renamed\n");
    ASSERT_TRUE(fs::is_empty(a));
    std::string const id = idOf(journals(bundle).back());

    auto undo = bundle.run({ "undo" });
    EXPECT_EQ(undo.status, 0) << undo.err;
    EXPECT_EQ(undo.err, "undo " + id + ": 4 restored\n");
    EXPECT_EQ(folderContents(a), made);
    EXPECT_TRUE(fs::is_empty(t));

    fs::remove_all(a);
    writeFile(a / "edited.bin", std::string(20000, 'e'));
    writeFile(a / "replaced.bin", std::string(20000, 'r'));
    ASSERT_EQ(bundle.run({ "rename", "-x", "-d", t.string(), "^", "P_", a.string() }).status, 0);
    std::string const second = idOf(journals(bundle).back());
    {
        std::ofstream edit(t / "P_edited.bin", std::ios::app);
        edit << " and more";
    }
    writeFile(t / "other.bin", "another item");
    fs::rename(t / "other.bin", t / "P_replaced.bin");

    undo = bundle.run({ "undo" });
    EXPECT_EQ(undo.status, 1);
    EXPECT_EQ(undo.out, "restored\t" + (a / "edited.bin").string() + "\n");
    EXPECT_EQ(undo.err, "quodrix undo: cannot restore " + (t / "P_replaced.bin").string()
            + ": not the item the run moved there (replaced since)\n"
            "undo " + second + ": 1 restored, 1 failed\n");
    EXPECT_EQ(readFile(a / "edited.bin"), std::string(20000, 'e') + " and more");
    EXPECT_EQ(readFile(t / "P_replaced.bin"), "another item");
    EXPECT_FALSE(fs::exists(a / "replaced.bin"));
}

// Across file systems every item that went back is a new item at its source; a second undo passes over
// what the first put back and names only what is still to do; once mended, a third one finishes.
TEST_F(UndoAcrossFileSystems, ASecondUndoDoesOnlyWhatIsLeft)
{
    if (!mountOtherFileSystem())
        GTEST_SKIP() << "mounting a tmpfs needs root";
    auto const made = makeFiles(a, 5);
    ASSERT_EQ(bundle.run({ "insert", "-m", "-d", t.string(), "P_", "0", a.string() }).status, 0);
    std::string const id = idOf(journals(bundle).at(0));
    writeFile(a / "a0.bin", "someone else's");
    std::string const failure = "quodrix undo: cannot restore " + (t / "P_a0.bin").string() + ": "
        + (t / "P_a0.bin").string() + " to " + (a / "a0.bin").string() + ": would replace an existing item\n";

    auto undo = bundle.run({ "undo" });
    EXPECT_EQ(undo.status, 1);
    EXPECT_EQ(undo.err, failure + "undo " + id + ": 4 restored, 1 failed\n");
    undo = bundle.run({ "undo" });
    EXPECT_EQ(undo.status, 1);
    EXPECT_EQ(undo.out, "");
    EXPECT_EQ(undo.err, failure + "undo " + id + ": 0 restored, 1 failed\n");

    fs::remove(a / "a0.bin");
    undo = bundle.run({ "undo" });
    EXPECT_EQ(undo.status, 0) << undo.err;
    EXPECT_EQ(undo.out, "restored\t" + (a / "a0.bin").string() + "\n");
    EXPECT_EQ(undo.err, "undo " + id + ": 1 restored\n");
    EXPECT_EQ(folderContents(a), made);
    EXPECT_TRUE(fs::is_empty(t));
    undo = bundle.run({ "undo" });
    EXPECT_EQ(undo.status, 1);
    EXPECT_EQ(undo.err, "quodrix undo: nothing to undo: every run in " + runsFolder(bundle).string()
            + " is undone (an undo itself is taken back by its id: quodrix undo RUN)\n");
}

// An undo run that has not finished and whose process lives keeps its run from being undone again; one
// whose process is gone (killed) does not.
TEST(UndoHardCases, ARunBeingUndoneByALiveProcessIsNotTakenAgain)
{
    ScriptBundle bundle(true);
    fs::path a = bundle.root() / "A", b = bundle.root() / "B";
    writeFile(a / "a.jpg", "1");
    fs::create_directory(b);
    ASSERT_EQ(bundle.run({ "insert", "-m", "-d", b.string(), "X_", "0", a.string() }).status, 0);
    std::string const id = idOf(journals(bundle).at(0));
    auto undoJournal = [&](std::string const& pid) {
        std::string const undoId = "20000101-000000.000000-" + pid;
        writeFile(runsFolder(bundle) / (undoId + ".journal"),
            "quodrix-journal 1\nrun " + undoId + "\nstarted 1\ncommand undo\nundoes " + id + "\n");
        return runsFolder(bundle) / (undoId + ".journal");
    };

    fs::path const live = undoJournal(std::to_string(getpid()));
    auto undo = bundle.run({ "undo" });
    EXPECT_EQ(undo.status, 1);
    EXPECT_EQ(undo.err, "quodrix undo: run " + id + " is being undone by process " + std::to_string(getpid()) + "\n");
    undo = bundle.run({ "undo", id });
    EXPECT_EQ(undo.status, 1);
    EXPECT_EQ(undo.err, "quodrix undo: run " + id + " is being undone by process " + std::to_string(getpid()) + "\n");
    EXPECT_EQ(readFile(b / "X_a.jpg"), "1");

    fs::remove(live);
    undoJournal("999999999");
    undo = bundle.run({ "undo" });
    EXPECT_EQ(undo.status, 0) << undo.err;
    EXPECT_EQ(undo.err, "undo " + id + ": 1 restored\n");
    EXPECT_EQ(readFile(a / "a.jpg"), "1");
}

// A run whose process still lives and has not ended is not taken back while it makes its changes; once its
// process is gone, it is.
TEST(UndoHardCases, ARunStillRunningIsNotTakenBack)
{
    ScriptBundle bundle(true);
    fs::path const folder = bundle.root() / "A";
    writeFile(folder / "b.jpg", "1");
    fs::create_directories(runsFolder(bundle));
    struct stat info {};
    ASSERT_EQ(lstat((folder / "b.jpg").c_str(), &info), 0);
    std::string const identity = std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino) + ":1:"
        + std::to_string(std::int64_t(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec);
    // A run that moved a.jpg to b.jpg, as the journal of a run in progress reads; without the outcome, as
    // that of a run killed between the move and its record.
    auto runJournal = [&](std::string const& pid, bool outcome = true) {
        std::string const runId = "20000101-000000.000000-" + pid;
        writeFile(runsFolder(bundle) / (runId + ".journal"),
            "quodrix-journal 1\nrun " + runId + "\nstarted 1\ncommand insert\nI 1 move " + (folder / "a.jpg").string()
                + " " + (folder / "b.jpg").string() + " " + identity + " - - -\n"
                + (outcome ? "O 1 done " + identity + "\n" : ""));
        return std::pair(runId, runsFolder(bundle) / (runId + ".journal"));
    };

    auto const [live, livePath] = runJournal(std::to_string(getpid()));
    auto undo = bundle.run({ "undo" });
    EXPECT_EQ(undo.status, 1);
    std::string const refused
        = "quodrix undo: run " + live + " is still running in process " + std::to_string(getpid()) + "\n";
    EXPECT_EQ(undo.err, refused);
    EXPECT_EQ(bundle.run({ "undo", live }).err, refused);
    EXPECT_EQ(readFile(folder / "b.jpg"), "1");
    // The history says that it is running, not that it did not finish.
    EXPECT_NE(bundle.run({ "history" }).out.find("  1 done, 0 failed, running  insert\n"), std::string::npos);

    fs::remove(livePath);
    auto const [dead, deadPath] = runJournal("999999999", false);
    EXPECT_NE(bundle.run({ "history" }).out.find("  0 done, 0 failed, 1 maybe done, unfinished  insert\n"),
        std::string::npos);
    undo = bundle.run({ "undo" });
    EXPECT_EQ(undo.status, 0) << undo.err;
    EXPECT_EQ(undo.err, "undo " + dead + ": 1 restored\n");
    EXPECT_EQ(readFile(folder / "a.jpg"), "1");
}

// Two undo processes started together on one run: one takes it back, the other is refused (the run is
// being undone, or undone already) and changes nothing.
TEST(UndoHardCases, TwoUndosAtOnceTakeTheRunBackOnce)
{
    ScriptBundle bundle(true);
    fs::path a = bundle.root() / "A", b = bundle.root() / "B";
    fs::create_directory(b);
    std::map<std::string, std::string> made;
    for (int i = 0; i < 300; ++i) {
        made["f" + std::to_string(i) + ".jpg"] = std::to_string(i);
        writeFile(a / ("f" + std::to_string(i) + ".jpg"), std::to_string(i));
    }
    ASSERT_EQ(bundle.run({ "insert", "-m", "-d", b.string(), "X_", "0", a.string() }).status, 0);
    std::string const id = idOf(journals(bundle).at(0));

    fs::path const r = bundle.root();
    std::string const one = "unset XDG_STATE_HOME XDG_DATA_HOME XDG_CONFIG_HOME; export HOME='" + bundle.home().string()
        + "' LANG=C.UTF-8; '" + bundle.executable().string() + "' undo >/dev/null 2>'" + r.string() + "/err";
    auto both = runCommand(one + "1' & p1=$!; " + one + "2' & p2=$!; wait $p1; echo $? >'" + r.string()
        + "/status1'; wait $p2; echo $? >'" + r.string() + "/status2'");
    ASSERT_EQ(both.status, 0) << both.err;
    std::multiset<std::string> statuses { readFile(r / "status1"), readFile(r / "status2") };
    EXPECT_EQ(statuses, (std::multiset<std::string> { "0\n", "1\n" }));
    std::string const refused = readFile(r / (readFile(r / "status1") == "1\n" ? "err1" : "err2"));
    std::string const beingUndone = "quodrix undo: run " + id + " is being undone by process ";
    std::string const undoneAlready
        = "quodrix undo: nothing to undo: every run in " + runsFolder(bundle).string()
        + " is undone (an undo itself is taken back by its id: quodrix undo RUN)\n";
    EXPECT_TRUE(refused == undoneAlready || refused.starts_with(beingUndone)) << refused;
    EXPECT_EQ(folderContents(a), made);
    EXPECT_TRUE(fs::is_empty(b));
}
