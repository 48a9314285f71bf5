// quodrix history and undo, run as a user runs them, on real files.

#include "fs/FsTestSupport.h"
#include "meta/ImageFixtures.h"
#include "support/ScriptBundle.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>
#include <sstream>
#include <unistd.h>

using namespace quodrix::test;
namespace fs = std::filesystem;

namespace {

std::vector<std::string> linesOf(std::string const& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

std::string runsFolder(ScriptBundle const& bundle)
{
    return (bundle.home() / ".local/state/quodrix/runs").string();
}

// The ids of the runs, newest first, from `quodrix history`.
std::vector<std::string> runIds(ScriptBundle const& bundle)
{
    std::vector<std::string> ids;
    for (auto const& line : linesOf(bundle.run({ "history" }).out))
        ids.push_back(line.substr(0, line.find(' ')));
    return ids;
}

}

TEST(UndoCommands, OddNamesRoundTripThroughAMoveAndItsUndo)
{
    ScriptBundle bundle(true);
    fs::path a = bundle.root() / "A", b = bundle.root() / "B";
    std::map<std::string, std::string> const original { { "t\tab.jpg", "1" }, { "new\nline.jpg", "2" },
        { "-lead.jpg", "3" }, { "emoji \xF0\x9F\x98\x80.jpg", "4" }, { "bad\xFF\xFE.jpg", "5" } };
    for (auto const& [name, data] : original)
        writeFile(a / name, data);
    fs::create_directory(b);

    // insert takes every name that is valid text (it refuses the other); store moves that one.
    // The name that is not valid text makes the plan fail; --keep-going renames the others.
    auto insert = bundle.run({ "insert", "-k", "-m", "-d", b.string(), "X_", "0", a.string() });
    EXPECT_EQ(insert.status, 1) << insert.err;
    auto store = bundle.run({ "store", "move", (a / "bad\xFF\xFE.jpg").string(), (b / "bad\xFF\xFE.jpg").string() });
    ASSERT_EQ(store.status, 0) << store.err;
    EXPECT_EQ(folderContents(b).size(), 5u);
    EXPECT_TRUE(fs::is_empty(a));

    auto undo = bundle.run({ "undo" });
    ASSERT_EQ(undo.status, 0) << undo.err;
    // Shown as rows show names: bytes that are not UTF-8 as \xHH.
    EXPECT_EQ(undo.out, "restored\t" + (a / "bad\\xFF\\xFE.jpg").string() + "\n");
    undo = bundle.run({ "undo" });
    ASSERT_EQ(undo.status, 0) << undo.err;
    EXPECT_EQ(linesOf(undo.out).size(), 4u) << undo.out;
    EXPECT_NE(undo.out.find("restored\t" + (a / "new\\nline.jpg").string() + "\n"), std::string::npos) << undo.out;
    EXPECT_TRUE(undo.err.ends_with(": 4 restored\n")) << undo.err;
    EXPECT_EQ(folderContents(a), original);
    EXPECT_TRUE(fs::is_empty(b));
}

TEST(UndoCommands, ACopyEditedSinceTheRunIsKeptAndNamed)
{
    ScriptBundle bundle(true);
    fs::path a = bundle.root() / "A", b = bundle.root() / "B";
    std::map<std::string, std::string> const original { { "one.jpg", "1" }, { "two.jpg", "22" }, { "three.jpg", "333" } };
    for (auto const& [name, data] : original)
        writeFile(a / name, data);
    fs::create_directory(b);
    auto copy = bundle.run({ "insert", "-d", b.string(), "C_", "0", a.string() });
    ASSERT_EQ(copy.status, 0) << copy.err;
    writeFile(b / "C_two.jpg", "edited");

    auto undo = bundle.run({ "undo" });
    EXPECT_EQ(undo.status, 1);
    std::string const id = runIds(bundle).at(1);
    EXPECT_EQ(undo.err, "quodrix undo: kept " + (b / "C_two.jpg").string() + ": changed since the run\n"
            "undo " + id + ": 0 restored, 2 removed, 1 kept\n");
    EXPECT_EQ(folderContents(a), original);
    EXPECT_EQ(folderContents(b), (std::map<std::string, std::string> { { "C_two.jpg", "edited" } }));

    // The undone run is marked; the undo run itself is listed too.
    auto history = linesOf(bundle.run({ "history" }).out);
    ASSERT_EQ(history.size(), 2u);
    EXPECT_TRUE(history[0].ends_with("  2 done, 0 failed  quodrix undo")) << history[0];
    EXPECT_NE(history[1].find("  3 done, 0 failed, undone  quodrix insert -d "), std::string::npos) << history[1];
}

TEST(UndoCommands, TwoRunsThenUndoTwiceGiveTheOriginalAndASimulationChangesNoHistory)
{
    ScriptBundle bundle(true);
    fs::path a = bundle.root() / "A";
    std::map<std::string, std::string> const original { { "one.jpg", "1" }, { "two.jpg", "22" } };
    for (auto const& [name, data] : original)
        writeFile(a / name, data);
    ASSERT_EQ(bundle.run({ "insert", "-m", "-d", a.string(), "X_", "0", a.string() }).status, 0);
    auto simulation = bundle.run({ "insert", "-n", "Y_", "0", a.string() });
    ASSERT_EQ(simulation.status, 0) << simulation.err;
    EXPECT_EQ(runIds(bundle).size(), 1u);
    ASSERT_EQ(bundle.run({ "insert", "-m", "-d", a.string(), "Y_", "0", a.string() }).status, 0);
    EXPECT_EQ(folderContents(a).count("Y_X_one.jpg"), 1u);

    auto undo = bundle.run({ "undo" });
    ASSERT_EQ(undo.status, 0) << undo.err;
    EXPECT_EQ(folderContents(a).count("X_one.jpg"), 1u);
    undo = bundle.run({ "undo" });
    ASSERT_EQ(undo.status, 0) << undo.err;
    EXPECT_EQ(folderContents(a), original);

    // An undo run can itself be undone by its id: the first run's names come back.
    std::string const lastUndo = runIds(bundle).at(0);
    undo = bundle.run({ "undo", lastUndo });
    ASSERT_EQ(undo.status, 0) << undo.err;
    EXPECT_EQ(folderContents(a).count("X_one.jpg"), 1u);
    undo = bundle.run({ "undo", lastUndo });
    EXPECT_EQ(undo.status, 1);
    EXPECT_EQ(undo.err, "quodrix undo: run " + lastUndo + " is undone already\n");
}

TEST(UndoCommands, TwoRunsAtTheSameTimeAreEachUndoneOnTheirOwnAndKeepTheirLogRows)
{
    ScriptBundle bundle(true);
    fs::path a = bundle.root() / "A", b = bundle.root() / "B";
    for (int i = 0; i < 300; ++i) {
        writeFile(a / ("a" + std::to_string(i) + ".jpg"), "a" + std::to_string(i));
        writeFile(b / ("b" + std::to_string(i) + ".jpg"), "b" + std::to_string(i));
    }
    auto before = folderContents(a), beforeB = folderContents(b);
    std::string const q = "HOME='" + bundle.home().string() + "' '" + bundle.executable().string() + "' insert -m -d ";
    auto both = runCommand(q + "'" + a.string() + "' X_ 0 '" + a.string() + "' >/dev/null & " + q + "'" + b.string()
        + "' Y_ 0 '" + b.string() + "' >/dev/null & wait");
    ASSERT_EQ(both.status, 0) << both.err;
    EXPECT_EQ(folderContents(a).count("X_a7.jpg"), 1u);
    EXPECT_EQ(folderContents(b).count("Y_b7.jpg"), 1u);

    // Both runs' rows are in the log, whole, after one header.
    auto log = linesOf(readFile(bundle.home() / ".local/share/BriskloCom/Quodrix Log.txt"));
    ASSERT_EQ(log.size(), 601u);
    EXPECT_EQ(log[0], "Quodrix Log (tab delimited)");
    for (std::size_t i = 1; i < log.size(); ++i)
        EXPECT_EQ(std::count(log[i].begin(), log[i].end(), '\t'), 7) << log[i];

    // Each run is undone on its own, by its id.
    std::vector<std::string> ids = runIds(bundle);
    ASSERT_EQ(ids.size(), 2u);
    for (auto const& id : ids) {
        auto undo = bundle.run({ "undo", id });
        ASSERT_EQ(undo.status, 0) << undo.err;
        EXPECT_TRUE(undo.err.ends_with(": 300 restored\n")) << undo.err;
    }
    EXPECT_EQ(folderContents(a), before);
    EXPECT_EQ(folderContents(b), beforeB);
}

TEST(UndoCommands, AListCopyThatReplacedAnItemBringsItBack)
{
    ScriptBundle bundle(true);
    fs::path a = bundle.root() / "A", b = bundle.root() / "B";
    writeFile(a / "a.jpg", "new a");
    writeFile(a / "b.jpg", "new b");
    writeFile(b / "x.jpg", "old x");
    writeFile(bundle.root() / "list.txt", "a.jpg;x.jpg\nb.jpg;y.jpg\n");
    auto list = bundle.run({ "list", "-d", b.string(), (bundle.root() / "list.txt").string(), a.string() });
    ASSERT_EQ(list.status, 0) << list.err;
    EXPECT_EQ(readFile(b / "x.jpg"), "new a");

    auto undo = bundle.run({ "undo" });
    ASSERT_EQ(undo.status, 0) << undo.err;
    EXPECT_EQ(undo.out, "removed\t" + (b / "y.jpg").string() + "\nremoved\t" + (b / "x.jpg").string() + "\nrestored\t"
            + (b / "x.jpg").string() + "\n");
    EXPECT_EQ(folderContents(b), (std::map<std::string, std::string> { { "x.jpg", "old x" } }));
    EXPECT_EQ(folderContents(a), (std::map<std::string, std::string> { { "a.jpg", "new a" }, { "b.jpg", "new b" } }));

    // The item kept for the undo, gone from the run's folder: the undo says it cannot come back.
    ASSERT_EQ(bundle.run({ "list", "-d", b.string(), (bundle.root() / "list.txt").string(), a.string() }).status, 0);
    std::string const run = runIds(bundle).front(), kept = runsFolder(bundle) + "/" + run + ".items";
    fs::remove_all(kept);
    undo = bundle.run({ "undo" });
    EXPECT_EQ(undo.status, 1);
    EXPECT_NE(undo.err.find("quodrix undo: cannot restore " + (b / "x.jpg").string()
                  + ": the item it replaced, kept at " + kept + "/"),
        std::string::npos)
        << undo.err;
}

// The list that `names` writes is a file the run made: undo takes it away while it is as written, keeps it
// when it was edited since, and brings back an older list that it replaced.
TEST(UndoCommands, ANameListIsRemovedWhenUnchangedKeptWhenEditedAndTheOlderListComesBack)
{
    ScriptBundle bundle(true);
    fs::path a = bundle.root() / "A", out = bundle.root() / "out dir";
    writeFile(a / "b \xF0\x9F\x98\x80.jpg", "");
    writeFile(a / "-a.jpg", "");
    fs::create_directory(out);
    fs::path const list = out / "Quodrix_filenamelist.txt";
    std::string const b = (a / "b \xF0\x9F\x98\x80.jpg").string(), dash = (a / "-a.jpg").string();

    // A new list: undone, it is gone (into the undo run's own folder), and nothing else is left beside it.
    auto names = bundle.run({ "names", out.string(), b, dash });
    ASSERT_EQ(names.status, 0) << names.err;
    EXPECT_EQ(readFile(list), "b \xF0\x9F\x98\x80.jpg\r-a.jpg");
    auto undo = bundle.run({ "undo" });
    ASSERT_EQ(undo.status, 0) << undo.err;
    EXPECT_EQ(undo.out, "removed\t" + list.string() + "\n");
    EXPECT_TRUE(fs::is_empty(out));

    // A list that replaced an older one: the older one comes back.
    writeFile(list, "old.jpg");
    names = bundle.run({ "names", out.string(), dash });
    ASSERT_EQ(names.status, 0) << names.err;
    EXPECT_EQ(readFile(list), "-a.jpg");
    undo = bundle.run({ "undo" });
    ASSERT_EQ(undo.status, 0) << undo.err;
    EXPECT_EQ(undo.out, "removed\t" + list.string() + "\nrestored\t" + list.string() + "\n");
    EXPECT_EQ(folderContents(out), (std::map<std::string, std::string> { { "Quodrix_filenamelist.txt", "old.jpg" } }));

    // A list edited since the run stays and is named; the older one waits in the run's folder rather than
    // replace it.
    names = bundle.run({ "names", out.string(), b });
    ASSERT_EQ(names.status, 0) << names.err;
    writeFile(list, "edited");
    undo = bundle.run({ "undo" });
    EXPECT_EQ(undo.status, 1);
    EXPECT_EQ(undo.err.rfind("quodrix undo: kept " + list.string() + ": changed since the run\n", 0), 0u) << undo.err;
    EXPECT_EQ(folderContents(out), (std::map<std::string, std::string> { { "Quodrix_filenamelist.txt", "edited" } }));
}

TEST(UndoCommands, OptionsAndNothingToUndo)
{
    ScriptBundle bundle(true);
    EXPECT_EQ(bundle.run({ "history", "-h" }).out.rfind("usage: quodrix history\n", 0), 0u);
    for (std::vector<std::string> const& wrong : { std::vector<std::string> { "undo", "--bogus" },
             { "undo", "a", "b" }, { "undo", "--log" }, { "undo", "--log", "x.txt", "a" }, { "history", "x" },
             { "history", "-x" } }) {
        auto run = bundle.run(wrong);
        EXPECT_EQ(run.status, 2) << wrong.back();
        EXPECT_EQ(run.out, "");
        EXPECT_NE(run.err.find(wrong[0] == "undo" ? "\nusage: quodrix undo [RUN]\n" : "\nusage: quodrix history\n"),
            std::string::npos) << run.err;
    }
    EXPECT_EQ(bundle.run({ "undo", "--bogus" }).err.rfind("quodrix undo: unknown option --bogus\n", 0), 0u);
    EXPECT_EQ(bundle.run({ "undo", "a", "--log", "x.txt" }).err.rfind(
                  "quodrix undo: a run id and --log together: give one of them\n", 0),
        0u);
    // A log that is a folder or is missing.
    auto const folderLog = bundle.run({ "undo", "--log", bundle.root().string() });
    EXPECT_EQ(folderLog.status, 1);
    EXPECT_EQ(folderLog.err, "quodrix undo: cannot read " + bundle.root().string() + ": not a file\n");
    auto const missingLog = bundle.run({ "undo", "--log", (bundle.root() / "none.txt").string() });
    EXPECT_EQ(missingLog.status, 1);
    EXPECT_EQ(missingLog.err,
        "quodrix undo: cannot read " + (bundle.root() / "none.txt").string() + ": No such file or directory\n");

    auto undo = bundle.run({ "undo" });
    EXPECT_EQ(undo.status, 1);
    EXPECT_EQ(undo.err, "quodrix undo: nothing to undo: no run in " + runsFolder(bundle) + "\n");
    auto history = bundle.run({ "history" });
    EXPECT_EQ(history.status, 0);
    EXPECT_EQ(history.out, "");
    EXPECT_FALSE(fs::exists(runsFolder(bundle)));

    // A run whose every change failed changed nothing to take back, and the refusal says so.
    writeFile(runsFolder(bundle) + "/20260101-000000.000000-1.journal",
        "quodrix-journal 1\nrun 20260101-000000.000000-1\nstarted 1\ncommand quodrix\nI 1 move /a /b 1:2:3:4 - - -\n"
        "O 1 failed no\nend 2\n");
    undo = bundle.run({ "undo" });
    EXPECT_EQ(undo.status, 1);
    EXPECT_EQ(undo.err,
        "quodrix undo: nothing to undo: every run in " + runsFolder(bundle) + " is undone or changed nothing\n");
}

// The state folder on a small, full tmpfs: the journal's write fails, the run stops with the cause and
// a non-zero status, and once there is room again undo restores what the run did.
TEST(UndoCommands, AJournalOnAFullFileSystemStopsTheRun)
{
    ScriptBundle bundle(true);
    fs::path state = bundle.root() / "state";
    fs::create_directories(state);
    SmallTmpfs tmpfs(state, "1m");
    if (!tmpfs.mounted())
        GTEST_SKIP() << "mounting a tmpfs needs root";
    fs::path a = bundle.root() / "A", b = bundle.root() / "B";
    for (int i = 0; i < 2000; ++i)
        writeFile(a / ("f" + std::to_string(i) + ".jpg"), std::to_string(i));
    fs::create_directories(b);
    // Room for the folder and a few records only.
    fs::create_directories(state / "quodrix" / "runs");
    runCommand("dd if=/dev/zero of='" + (state / "filler").string() + "' bs=4096 count=10000 2>/dev/null");
    runCommand("rm -f '" + (state / "filler").string() + "'; dd if=/dev/zero of='" + (state / "filler").string()
        + "' bs=1024 count=$(( $(stat -f -c %a '" + state.string() + "') * 4 - 8 )) 2>/dev/null");
    std::map<std::string, std::string> const env { { "XDG_STATE_HOME", state.string() } };
    auto run = bundle.run({ "insert", "-m", "-d", b.string(), "X_", "0", a.string() }, env);
    EXPECT_NE(run.status, 0);
    EXPECT_NE(run.err.find(": No space left on device"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("quodrix insert: journal " + state.string() + "/quodrix/runs/"), std::string::npos) << run.err;
    std::size_t moved = std::distance(fs::directory_iterator(b), fs::directory_iterator {});
    EXPECT_LT(moved, 2000u);

    // An undo that cannot begin its own journal says so once, changes nothing and leaves no journal.
    fs::path const runs = state / "quodrix" / "runs";
    auto const journalCount = [&runs] {
        return std::count_if(fs::directory_iterator(runs), fs::directory_iterator {},
            [](fs::directory_entry const& entry) { return entry.path().extension() == ".journal"; });
    };
    auto const journals = journalCount();
    runCommand("dd if=/dev/zero of='" + (state / "more").string() + "' bs=1024 2>/dev/null");
    auto refused = bundle.run({ "undo" }, env);
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.err.rfind("quodrix undo: journal " + runs.string() + "/", 0), 0u) << refused.err;
    EXPECT_TRUE(refused.err.ends_with(".journal: No space left on device\n")) << refused.err;
    EXPECT_EQ(std::count(refused.err.begin(), refused.err.end(), '\n'), 1) << refused.err;
    EXPECT_EQ(std::distance(fs::directory_iterator(b), fs::directory_iterator {}), std::ptrdiff_t(moved));
    EXPECT_EQ(journalCount(), journals);
    fs::remove(state / "more");

    fs::remove(state / "filler");
    auto undo = bundle.run({ "undo" }, env);
    ASSERT_EQ(undo.status, 0) << undo.err;
    EXPECT_TRUE(fs::is_empty(b));
    EXPECT_EQ(std::distance(fs::directory_iterator(a), fs::directory_iterator {}), 2000);
    EXPECT_EQ(readFile(a / "f1999.jpg"), "1999");
}

TEST(UndoCommands, ACommentIsWrittenBack)
{
    ScriptBundle bundle(true);
    TempDir dir;
    std::string image = (dir / "photo.jpg").string();
    ASSERT_TRUE(convert("-size 64x48 gradient:red-blue " + shellQuoted(image)));
    ASSERT_EQ(bundle.run({ "comment", image, "first \xF0\x9F\x91\x8B" }).status, 0);
    ASSERT_EQ(bundle.run({ "comment", image, "second" }).status, 0);

    auto undo = bundle.run({ "undo" });
    ASSERT_EQ(undo.status, 0) << undo.err;
    EXPECT_EQ(undo.out, "restored\t" + image + "\n");
    EXPECT_EQ(exiftoolValue("UserComment", image), "first \xF0\x9F\x91\x8B");
    // The image had no comment: it has none again, not an empty one.
    undo = bundle.run({ "undo" });
    ASSERT_EQ(undo.status, 0) << undo.err;
    auto const read = bundle.run({ "comment", image });
    EXPECT_EQ(read.status, 1);
    EXPECT_NE(read.err.find(": the image has no user comment"), std::string::npos) << read.out << read.err;

    // Written through a link, the comment goes back into the file the link leads to.
    std::string const link = (dir / "link.jpg").string();
    fs::create_symlink("photo.jpg", link);
    ASSERT_EQ(bundle.run({ "comment", link, "through a link" }).status, 0);
    EXPECT_EQ(exiftoolValue("UserComment", image), "through a link");
    undo = bundle.run({ "undo" });
    EXPECT_EQ(undo.status, 0) << undo.err;
    EXPECT_EQ(undo.out, "restored\t" + link + "\n");
    EXPECT_EQ(exiftoolValue("UserComment", image), "");
    EXPECT_TRUE(fs::is_symlink(link));
}

// Undo writes a comment back only into the file that holds what the run wrote: a file whose comment was
// changed since is kept as it is, and a file that a killed run never wrote is left alone.
TEST(UndoCommands, ACommentChangedSinceIsKeptAndOneNeverWrittenIsLeftAlone)
{
    ScriptBundle bundle(true);
    TempDir dir;
    std::string const image = (dir / "photo.jpg").string();
    ASSERT_TRUE(convert("-size 64x48 gradient:red-blue " + shellQuoted(image)));
    ASSERT_EQ(bundle.run({ "comment", image, "one" }).status, 0);
    ASSERT_TRUE(exiftool("-UserComment=later", image));
    auto undo = bundle.run({ "undo" });
    EXPECT_EQ(undo.status, 1);
    EXPECT_EQ(undo.out, "");
    EXPECT_EQ(undo.err.substr(0, undo.err.find('\n') + 1), "quodrix undo: kept " + image + ": changed since the run\n");
    EXPECT_EQ(exiftoolValue("UserComment", image), "later");

    // The journal of a run killed before its write replaced the file: the intent, and no outcome.
    struct stat info {};
    ASSERT_EQ(lstat(image.c_str(), &info), 0);
    std::string const bytes = readFile(image), id = "20300101-000000.000000-999999999";
    long long const modified = info.st_mtim.tv_sec * 1000000000LL + info.st_mtim.tv_nsec;
    std::string const identity = std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino) + ":"
        + std::to_string(info.st_size) + ":" + std::to_string(modified);
    writeFile(runsFolder(bundle) + "/" + id + ".journal",
        "quodrix-journal 1\nrun " + id + "\nstarted 1893456000000000000\ncommand quodrix\\x20comment\nI 1 comment "
            + image + " " + image + " " + identity + " - - =later =new\n");
    undo = bundle.run({ "undo", id });
    EXPECT_EQ(undo.status, 0) << undo.err;
    EXPECT_EQ(undo.out, "");
    EXPECT_EQ(readFile(image), bytes);
    fs::remove(runsFolder(bundle) + "/" + id + ".journal");

    // An undo that wrote the comment back but could not take back the rest of the run: the next undo of
    // that run leaves the comment as it is now.
    ASSERT_EQ(bundle.run({ "comment", image, "two" }).status, 0);
    std::string const run = runIds(bundle).front(), journal = runsFolder(bundle) + "/" + run + ".journal";
    std::string text = readFile(journal);
    text.insert(text.find("\nend ") + 1, "I 2 move /gone/a /gone/b 1:2:3:4 - - -\nO 2 done 1:2:3:4\n");
    writeFile(journal, text);
    std::string const tail = "quodrix undo: cannot restore /gone/b: gone since the run\nundo " + run + ": ";
    undo = bundle.run({ "undo", run });
    EXPECT_EQ(undo.err, tail + "1 restored, 1 failed\n");
    EXPECT_EQ(exiftoolValue("UserComment", image), "later");
    undo = bundle.run({ "undo", run });
    EXPECT_EQ(undo.err, tail + "0 restored, 1 failed\n");
}

// An item that cannot go back is named with its cause; the run stays to be undone, and once the cause is
// mended the next undo puts it back.
TEST(UndoCommands, WhatCannotGoBackIsNamedAndTheRunStaysToBeUndone)
{
    ScriptBundle bundle(true);
    fs::path a = bundle.root() / "A", b = bundle.root() / "B";
    writeFile(a / "a.jpg", "1");
    writeFile(a / "b.jpg", "2");
    fs::create_directory(b);
    ASSERT_EQ(bundle.run({ "insert", "-m", "-d", b.string(), "X_", "0", a.string() }).status, 0);
    writeFile(a / "a.jpg", "someone else's");

    auto undo = bundle.run({ "undo" });
    EXPECT_EQ(undo.status, 1);
    std::string const id = runIds(bundle).at(1);
    EXPECT_EQ(undo.err, "quodrix undo: cannot restore " + (b / "X_a.jpg").string() + ": " + (b / "X_a.jpg").string()
            + " to " + (a / "a.jpg").string() + ": would replace an existing item\n"
            "undo " + id + ": 1 restored, 1 failed\n");
    EXPECT_EQ(readFile(a / "a.jpg"), "someone else's");
    EXPECT_EQ(readFile(a / "b.jpg"), "2");
    // The history says so: the undo did not put everything back, and the run is not undone.
    std::string const history = bundle.run({ "history" }).out;
    EXPECT_NE(history.find("  1 done, 1 failed, incomplete  quodrix undo\n"), std::string::npos) << history;
    EXPECT_NE(history.find("  2 done, 0 failed  quodrix insert"), std::string::npos) << history;

    fs::remove(a / "a.jpg");
    undo = bundle.run({ "undo" });
    EXPECT_EQ(undo.status, 0) << undo.err;
    EXPECT_EQ(undo.err, "undo " + id + ": 1 restored\n");
    EXPECT_EQ(folderContents(a), (std::map<std::string, std::string> { { "a.jpg", "1" }, { "b.jpg", "2" } }));
    EXPECT_TRUE(fs::is_empty(b));
}

// The planner's renames go into the journal step by step, the steps of a cycle through its temporary
// name included, so undo takes back a three-cycle (swaps, chains and in-place inserts are undone below and in
// UndoKillTest).
TEST(UndoCommands, AThreeCycleIsUndone)
{
    ScriptBundle bundle(true);
    fs::path const p = bundle.root() / "p";
    std::map<std::string, std::string> const original { { "a", "A" }, { "b", "B" }, { "c", "C" } };
    for (auto const& [name, data] : original)
        writeFile(p / name, data);
    writeFile(bundle.root() / "cycle.txt", "a;b\nb;c\nc;a\n");
    auto cycle = bundle.run({ "rename", "-x", "--from-list", (bundle.root() / "cycle.txt").string(), p.string() });
    ASSERT_EQ(cycle.status, 0) << cycle.err;
    EXPECT_EQ(readFile(p / "a"), "C");

    auto undo = bundle.run({ "undo" });
    ASSERT_EQ(undo.status, 0) << undo.out << undo.err;
    EXPECT_EQ(folderContents(p), original);
    EXPECT_EQ(bundle.run({ "undo" }).err,
        "quodrix undo: nothing to undo: every run in " + runsFolder(bundle)
            + " is undone (an undo itself is taken back by its id: quodrix undo RUN)\n");
}

// A swap goes through a temporary name; the item is counted and reported once, under the names the user
// knows: the run and its undo each list two changes, and the undo names the two files it restored. So does
// the undo of the undo.
TEST(UndoCommands, ASwapIsReportedAndCountedByItsTwoFiles)
{
    ScriptBundle bundle(true);
    fs::path const p = bundle.root() / "p";
    writeFile(p / "a.jpg", "A");
    writeFile(p / "b.jpg", "B");
    writeFile(bundle.root() / "swap.txt", "a.jpg;b.jpg\nb.jpg;a.jpg\n");
    auto swap = bundle.run({ "rename", "-x", "--from-list", (bundle.root() / "swap.txt").string(), p.string() });
    ASSERT_EQ(swap.status, 0) << swap.err;
    ASSERT_EQ(readFile(p / "a.jpg"), "B");

    auto undo = bundle.run({ "undo" });
    EXPECT_EQ(undo.status, 0);
    EXPECT_EQ(undo.out, "restored\t" + (p / "b.jpg").string() + "\nrestored\t" + (p / "a.jpg").string() + "\n");
    EXPECT_EQ(undo.err, "undo " + runIds(bundle).at(1) + ": 2 restored\n");
    EXPECT_EQ(folderContents(p), (std::map<std::string, std::string> { { "a.jpg", "A" }, { "b.jpg", "B" } }));

    auto redo = bundle.run({ "undo", runIds(bundle).at(0) });
    EXPECT_EQ(redo.status, 0);
    EXPECT_EQ(redo.err, "undo " + runIds(bundle).at(1) + ": 2 restored\n");
    EXPECT_EQ(readFile(p / "a.jpg"), "B");
    auto history = linesOf(bundle.run({ "history" }).out);
    ASSERT_EQ(history.size(), 3u);
    for (auto const& line : history)
        EXPECT_NE(line.find("  2 done, 0 failed"), std::string::npos) << line;
}

// A plan's rows reach the script a part of the plan at a time (4,096 pairs): a run of more than one part
// prints every row once, in order, and its undo restores every file once.
TEST(UndoCommands, ARunOfSeveralPartsPrintsEveryRowOnceAndIsUndoneWhole)
{
    ScriptBundle bundle(true);
    fs::path const p = bundle.root() / "p";
    constexpr int kCount = 2 * 4096 + 3;
    std::map<std::string, std::string> original;
    for (int i = 0; i < kCount; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "img_%05d.jpg", i);
        original[name] = std::to_string(i);
        writeFile(p / name, original[name]);
    }
    auto const run = bundle.run({ "rename", "-x", "^img_", "photo_", p.string() });
    ASSERT_EQ(run.status, 0) << run.err;
    std::vector<std::string> expected, printed;
    for (auto const& [name, data] : original)
        expected.push_back((p / name).string() + " -> " + (p / ("photo_" + name.substr(4))).string());
    std::istringstream rows(run.out);
    for (std::string row; std::getline(rows, row);)
        printed.push_back(row.substr(row.find('\t', row.find('\t', row.find('\t') + 1) + 1) + 1));
    EXPECT_EQ(printed, expected);

    auto const undo = bundle.run({ "undo" });
    ASSERT_EQ(undo.status, 0) << undo.err;
    EXPECT_EQ(std::count(undo.out.begin(), undo.out.end(), '\n'), kCount);
    EXPECT_EQ(folderContents(p), original);
}

// A name holding a tab or a line end never shows as another name: the rows print it escaped, so no name can
// forge a row, and the log file writes it escaped, so that `undo --log` cannot take it for the name of
// another file (here one that holds a space where the other holds the tab).
TEST(UndoCommands, NamesWithLineBreakersNeitherForgeRowsNorNameAnotherFile)
{
    ScriptBundle bundle(true);
    fs::path const f = bundle.root() / "f";
    writeFile(f / "t\tab.txt", "TAB");
    writeFile(f / "S_t ab.txt", "SPACE");
    writeFile(f / "x\nInsert\tsuccessfull\tfake\tfake -> fake", "FORGED");

    auto insert = bundle.run({ "insert", "-i", "-m", "S_", "0", (f / "t\tab.txt").string(),
        (f / "x\nInsert\tsuccessfull\tfake\tfake -> fake").string() });
    ASSERT_EQ(insert.status, 0) << insert.out << insert.err;
    EXPECT_EQ(linesOf(insert.out).size(), 2u) << insert.out;
    EXPECT_NE(insert.out.find("\tt\\tab.txt\t"), std::string::npos) << insert.out;
    EXPECT_NE(insert.out.find("x\\nInsert\\tsuccessfull\\tfake\\tfake -> fake\t"), std::string::npos) << insert.out;

    auto undo = bundle.run({ "undo", "--log", (bundle.home() / ".local/share/BriskloCom/Quodrix Log.txt").string() });
    EXPECT_EQ(undo.status, 1) << undo.out << undo.err;
    EXPECT_EQ(readFile(f / "S_t ab.txt"), "SPACE");
    EXPECT_EQ(readFile(f / "S_t\tab.txt"), "TAB");
    EXPECT_FALSE(fs::exists(f / "t ab.txt"));
}

// A link to a folder or to nothing is no file of a folder given to a command: a run over the folder leaves
// both links alone, as its simulation shows; the files reached through the link given as a folder are
// renamed where they are, and undo puts them back.
TEST(UndoCommands, LinksToFoldersOrToNothingAreNoFilesOfARun)
{
    ScriptBundle bundle(true);
    fs::path const t = bundle.root() / "t", real = bundle.root() / "real";
    writeFile(real / "a.txt", "A");
    writeFile(real / "f.txt", "F");
    writeFile(t / "b.txt", "B");
    fs::create_directory_symlink("../real", t / "L");
    fs::create_symlink("nowhere", t / "N");
    fs::create_symlink("b.txt", t / "toB.txt");
    Tree const before = treeAt(t), beforeReal = treeAt(real);

    for (auto const& arguments : std::vector<std::vector<std::string>> {
             { "rename", "-x", "^", "z", t.string(), (t / "L").string() },
             { "insert", "-i", "-m", "z", "0", t.string(), (t / "L").string() },
             { "insert", "-n", "-i", "-m", "z", "0", t.string(), (t / "L").string() },
             { "rename", "^", "z", t.string(), (t / "L").string() } }) {
        auto run = bundle.run(arguments);
        EXPECT_EQ(run.status, 0) << run.out << run.err;
        // One row for each file; the two links are not among them.
        EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 4) << arguments[0] << run.out;
        EXPECT_EQ(run.out.find((t / "N").string() + "\t"), std::string::npos) << run.out;
        EXPECT_EQ(run.out.find((t / "L").string() + "\t"), std::string::npos) << run.out;
        EXPECT_NE(run.out.find((t / "toB.txt").string()), std::string::npos) << run.out;
        if (arguments[1] == "-x" || arguments[1] == "-i") {
            EXPECT_TRUE(fs::is_symlink(t / "L"));
            EXPECT_TRUE(fs::is_symlink(t / "N"));
            EXPECT_EQ(readFile(real / "za.txt"), "A");
            auto undo = bundle.run({ "undo" });
            EXPECT_EQ(undo.status, 0) << undo.err;
        }
        EXPECT_EQ(treeAt(t), before);
        EXPECT_EQ(treeAt(real), beforeReal);
    }
}

// An application log holds the runs of many folders: `undo --log` reverses each folder's renames into that
// folder, and a line of another process (a comment written) is no rename to reverse.
TEST(UndoCommands, UndoFromALogGoesFolderByFolder)
{
    ScriptBundle bundle(true);
    fs::path const a = bundle.root() / "A", b = bundle.root() / "B";
    writeFile(a / "a.jpg", "a");
    writeFile(a / "b.jpg", "b");
    writeFile(b / "c.jpg", "c");
    ASSERT_EQ(bundle.run({ "insert", "-m", "-i", "X", "0", a.string() }).status, 0);
    ASSERT_EQ(bundle.run({ "insert", "-m", "-i", "Y", "0", b.string() }).status, 0);
    fs::path const log = bundle.home() / ".local/share/BriskloCom/Quodrix Log.txt";
    std::string const yc = (b / "Yc.jpg").string();
    writeFile(log, readFile(log) + "2026-12-10 17:31:47\tFile Editing\tYc.jpg\tEdit meta data\tYc.jpg\tOK\t" + yc + "\t"
            + yc + "\n");

    auto undo = bundle.run({ "undo", "--log", log.string() });
    EXPECT_EQ(undo.status, 0) << undo.out << undo.err;
    EXPECT_EQ(folderContents(a), (std::map<std::string, std::string> { { "a.jpg", "a" }, { "b.jpg", "b" } }));
    EXPECT_EQ(folderContents(b), (std::map<std::string, std::string> { { "c.jpg", "c" } }));
    EXPECT_EQ(linesOf(undo.out).size(), 3u) << undo.out;
}

// The application log holds every run since it was begun. Runs that renamed the same files again (an insert
// after an insert, a renumbering after a renumbering, whose rows are chains of one run, and a swap of two
// names) are taken back by `undo --log` in one go: each file from its last name to its first.
TEST(UndoCommands, UndoFromALogTakesBackRunsThatRenamedTheSameFilesAgain)
{
    ScriptBundle bundle(true);
    fs::path const a = bundle.root() / "A", n = bundle.root() / "N";
    std::map<std::string, std::string> letters, numbers;
    for (std::string const name : { "a.jpg", "b.jpg", "c.jpg" })
        letters[name] = "letter " + name;
    for (int i = 1; i <= 5; ++i)
        numbers[std::to_string(i) + ".jpg"] = "number " + std::to_string(i);
    for (auto const& [name, data] : letters)
        writeFile(a / name, data);
    for (auto const& [name, data] : numbers)
        writeFile(n / name, data);
    fs::path const swap = bundle.root() / "swap.txt";
    writeFile(swap, "aYX.jpg;bYX.jpg\nbYX.jpg;aYX.jpg\n");
    for (auto const& arguments : std::vector<std::vector<std::string>> {
             { "insert", "-m", "-i", "X", "1", a.string() },
             { "rename", "-x", "--start", "2", "^\\d+", "{n}", n.string() },
             { "insert", "-m", "-i", "Y", "1", a.string() },
             { "list", swap.string(), a.string() },
             { "rename", "-x", "--start", "3", "^\\d+", "{n}", n.string() } }) {
        auto const run = bundle.run(arguments);
        ASSERT_EQ(run.status, 0) << arguments[0] << "\n" << run.out << run.err;
    }
    EXPECT_EQ(readFile(a / "aYX.jpg"), "letter b.jpg");
    EXPECT_EQ(readFile(n / "7.jpg"), "number 5");

    fs::path const log = bundle.home() / ".local/share/BriskloCom/Quodrix Log.txt";
    auto const undo = bundle.run({ "undo", "--log", log.string() });
    EXPECT_EQ(undo.status, 0) << undo.out << undo.err;
    EXPECT_EQ(folderContents(a), letters);
    EXPECT_EQ(folderContents(n), numbers);
    EXPECT_EQ(linesOf(undo.out).size(), 8u) << undo.out;

    // The log now holds the reversal too, which brought every file back to its first name: nothing to do.
    auto const again = bundle.run({ "undo", "--log", log.string() });
    EXPECT_EQ(again.status, 1);
    EXPECT_EQ(again.err, "quodrix undo: every file the log names is back at its first name\n");
    EXPECT_EQ(folderContents(a), letters);
    EXPECT_EQ(folderContents(n), numbers);
}

// From another folder `undo --log` puts copies back, and a copy would replace what stands under the first
// name: the original of a run that copied, or a file made since. That file is kept, and said so.
TEST(UndoCommands, UndoFromALogNeverCopiesOverAFileThatIsThere)
{
    ScriptBundle bundle(true);
    fs::path const a = bundle.root() / "A", b = bundle.root() / "B";
    writeFile(a / "a.jpg", "original a");
    writeFile(a / "b.jpg", "original b");
    fs::create_directories(b);
    ASSERT_EQ(bundle.run({ "insert", "-d", b.string(), "X", "0", a.string() }).status, 0);
    writeFile(b / "Xa.jpg", "the copy, edited");
    fs::remove(a / "b.jpg");

    fs::path const log = bundle.home() / ".local/share/BriskloCom/Quodrix Log.txt";
    auto const undo = bundle.run({ "undo", "--log", log.string() });
    EXPECT_EQ(undo.status, 1);
    EXPECT_EQ(undo.err, "quodrix undo: kept " + (b / "Xa.jpg").string() + ": " + (a / "a.jpg").string()
            + " is there already\n");
    EXPECT_EQ(folderContents(a),
        (std::map<std::string, std::string> { { "a.jpg", "original a" }, { "b.jpg", "original b" } }));
    EXPECT_EQ(readFile(b / "Xa.jpg"), "the copy, edited");
}

// History shows each run's command line as a shell reads it back: pasted, it gives the same words, whatever
// the names hold (a quote, a backslash, a tab, a line break, a control character of two bytes, bytes that
// are not UTF-8), and it stays one line.
TEST(UndoCommands, HistoryShowsACommandLineThatAShellReadsBackWordForWord)
{
    ScriptBundle bundle(true);
    std::string const source = (bundle.root() / "it's a \\ \"b\"\tc\nd \xFF\xFE\x7F.jpg").string();
    std::string const target = (bundle.root() / "\xC3\xA9t\xC3\xA9 $HOME `x` \xC2\x9B.jpg").string();
    writeFile(source, "data");
    auto const store = bundle.run({ "store", "copy", source, target });
    ASSERT_EQ(store.status, 0) << store.out << store.err;

    auto const lines = linesOf(bundle.run({ "history" }).out);
    ASSERT_EQ(lines.size(), 1u);
    std::string const commandLine = lines[0].substr(lines[0].find("quodrix "));
    // The words as bash reads them, each ended by a NUL.
    fs::path const script = bundle.root() / "words.sh";
    writeFile(script, "words() { shift; printf '%s\\0' \"$@\"; }\nwords " + commandLine.substr(8) + "\n");
    FILE* shell = popen(("bash " + script.string()).c_str(), "r");
    ASSERT_NE(shell, nullptr);
    std::string words;
    char buffer[4096];
    for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, shell)) > 0;)
        words.append(buffer, n);
    ASSERT_EQ(pclose(shell), 0) << commandLine;
    EXPECT_EQ(words, "copy" + std::string(1, '\0') + source + '\0' + target + '\0') << commandLine;
}

// A journal that cannot be read (here a folder in its place), or that is no journal, is left out of the
// history and named, and the history fails; an empty one (a journal made, its header not yet written) is
// no run yet. Undo without an id does not take back an older run in place of one such a journal may hold.
TEST(UndoCommands, AJournalThatCannotBeReadIsNamedAndNoOlderRunIsUndoneInItsPlace)
{
    ScriptBundle bundle(true);
    fs::path const a = bundle.root() / "A";
    writeFile(a / "a.jpg", "a");
    ASSERT_EQ(bundle.run({ "insert", "-m", "-i", "X", "0", a.string() }).status, 0);
    std::string const id = runIds(bundle).front();
    fs::path const runs = runsFolder(bundle);
    writeFile(runs / "99991231-235959.000000-1.journal", "some bytes\n");
    fs::create_directory(runs / "99991231-235959.000000-2.journal");
    writeFile(runs / "99991231-235959.000000-3.journal", "");

    auto const history = bundle.run({ "history" });
    EXPECT_EQ(history.status, 1);
    ASSERT_EQ(linesOf(history.out).size(), 1u) << history.out;
    EXPECT_EQ(history.out.substr(0, id.size()), id);
    EXPECT_EQ(history.err,
        "quodrix history: left out: " + (runs / "99991231-235959.000000-1.journal").string() + ": not a journal\n"
            + "quodrix history: left out: read " + (runs / "99991231-235959.000000-2.journal").string()
            + ": not a file\n");

    auto const undo = bundle.run({ "undo" });
    EXPECT_EQ(undo.status, 1);
    EXPECT_NE(undo.err.find("quodrix undo: the newest run may be one whose journal cannot be read; undo RUN takes "
                            "back the run RUN (quodrix history lists the others)\n"),
        std::string::npos)
        << undo.err;
    EXPECT_EQ(folderContents(a), (std::map<std::string, std::string> { { "Xa.jpg", "a" } }));

    // Named, the run is taken back; the journals it cannot read are still named.
    auto const named = bundle.run({ "undo", id });
    EXPECT_EQ(named.status, 0) << named.err;
    EXPECT_NE(named.err.find("quodrix undo: cannot read a journal: "), std::string::npos) << named.err;
    EXPECT_EQ(folderContents(a), (std::map<std::string, std::string> { { "a.jpg", "a" } }));

    // The runs folder itself cannot be read (a file stands in its place): no run is said to be there.
    ScriptBundle other(true);
    writeFile(runsFolder(other), "not a folder");
    auto const unlisted = other.run({ "history" });
    EXPECT_EQ(unlisted.status, 1);
    EXPECT_EQ(unlisted.out, "");
    EXPECT_NE(unlisted.err.find("quodrix history: left out: "), std::string::npos) << unlisted.err;
    EXPECT_EQ(unlisted.err.find("no run recorded"), std::string::npos) << unlisted.err;
}

// Forgetting takes a run and every older one out of the history with the items they kept, and leaves the
// newer runs to be undone; nothing is forgotten while one of those runs still runs.
TEST(UndoCommands, ForgettingRunsRemovesThemAndWhatTheyKept)
{
    ScriptBundle bundle(true);
    fs::path const a = bundle.root() / "A", copies = bundle.root() / "copies";
    writeFile(a / "a.jpg", "a");
    writeFile(a / "sub" / "b.jpg", "b");
    fs::create_directories(copies);
    ASSERT_EQ(bundle.run({ "store", "copy", a.string(), (copies / "A").string() }).status, 0);
    ASSERT_EQ(bundle.run({ "undo" }).status, 0);  // keeps the copy it took away in its own folder
    ASSERT_EQ(bundle.run({ "insert", "-m", "-i", "x_", "0", a.string() }).status, 0);
    auto const ids = runIds(bundle);
    ASSERT_EQ(ids.size(), 3u);
    std::string const runs = runsFolder(bundle);
    ASSERT_TRUE(fs::exists(runs + "/" + ids[1] + ".items"));

    auto const missing = bundle.run({ "history", "--forget", "nope" });
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, "quodrix history: no run nope in " + runs + "\n");

    // An older run whose process still lives (this one) refuses the whole forget.
    std::string const liveId = "20000101-000000.000000-" + std::to_string(getpid());
    writeFile(runs + "/" + liveId + ".journal",
        "quodrix-journal 1\nrun " + liveId + "\nstarted 946684800000000000\ncommand quodrix\\x20insert\n");
    auto const refused = bundle.run({ "history", "--forget", ids[1] });
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.err,
        "quodrix history: run " + liveId + " is still running in process " + std::to_string(getpid()) + "\n");
    EXPECT_EQ(runIds(bundle).size(), 4u);
    fs::remove(runs + "/" + liveId + ".journal");
    // So does an undo that still takes one of them back, from the folder of the items it kept.
    std::string const undoId = "20300101-000000.000000-" + std::to_string(getpid());
    writeFile(runs + "/" + undoId + ".journal", "quodrix-journal 1\nrun " + undoId
            + "\nstarted 1893456000000000000\ncommand quodrix\\x20undo\nundoes " + ids[2] + "\n");
    auto const beingUndone = bundle.run({ "history", "--forget", ids[1] });
    EXPECT_EQ(beingUndone.status, 1);
    EXPECT_EQ(beingUndone.err,
        "quodrix history: run " + ids[2] + " is being undone by process " + std::to_string(getpid()) + "\n");
    fs::remove(runs + "/" + undoId + ".journal");

    // The kept items of a forget that stopped part way (their journal gone) go with the next one.
    writeFile(runs + "/19990101-000000.000000-999999999.items/1/x", "x");
    auto const forgot = bundle.run({ "history", "--forget", ids[1] });
    EXPECT_EQ(forgot.status, 0) << forgot.err;
    EXPECT_EQ(forgot.out, "forgotten\t" + ids[1] + "\nforgotten\t" + ids[2] + "\n");
    EXPECT_EQ(forgot.err, "2 runs forgotten\n");
    EXPECT_EQ(runIds(bundle), std::vector<std::string> { ids[0] });
    std::vector<std::string> left;
    for (auto const& entry : fs::directory_iterator(runs))
        left.push_back(entry.path().filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string> { ids[0] + ".journal", "undo.lock" }));
    auto const undo = bundle.run({ "undo" });
    EXPECT_EQ(undo.status, 0) << undo.err;
    EXPECT_EQ(readFile(a / "a.jpg"), "a");
    EXPECT_EQ(readFile(a / "sub" / "b.jpg"), "b");
}

// A folder kept as it was, which its owner may not write, is emptied when its run is forgotten.
TEST(UndoCommands, AForgottenRunTakesItsLockedFoldersWithIt)
{
    TempDir dir;
    fs::permissions(dir.path(), fs::perms::others_read | fs::perms::others_exec, fs::perm_options::add);
    std::string const home = dir.str() + "/home", tree = dir.str() + "/tree", copies = dir.str() + "/copies";
    std::string const asNobody = "setpriv --reuid=nobody --regid=nogroup --clear-groups env HOME='" + home + "' '"
        + std::string(QUODRIX_EXECUTABLE) + "' ";
    fs::create_directories(home);
    fs::create_directories(copies);
    writeFile(tree + "/locked/a.jpg", "a");
    auto prepared = runCommand("chown -R nobody '" + home + "' '" + tree + "' '" + copies + "' && chmod 555 '" + tree
        + "/locked' && " + asNobody + "store copy '" + tree + "' '" + copies + "/tree' 2>&1");
    if (getuid() != 0 || prepared.status != 0)
        GTEST_SKIP() << "cannot run the executable as another user here: " << prepared.out;
    // The copy goes into the undo's own folder, with its folder as locked as it was.
    ASSERT_EQ(runCommand(asNobody + "undo 2>&1").status, 0);
    std::string const runs = home + "/.local/state/quodrix/runs";
    auto const newest = runCommand(asNobody + "history | head -1 | cut -d' ' -f1").out;
    auto const forgot = runCommand(asNobody + "history --forget " + newest.substr(0, newest.size() - 1) + " 2>&1");
    EXPECT_EQ(forgot.status, 0) << forgot.out;
    EXPECT_NE(forgot.out.find("2 runs forgotten\n"), std::string::npos) << forgot.out;
    std::vector<std::string> left;
    for (auto const& entry : fs::directory_iterator(runs))
        left.push_back(entry.path().filename().string());
    EXPECT_EQ(left, std::vector<std::string> { "undo.lock" });
}
