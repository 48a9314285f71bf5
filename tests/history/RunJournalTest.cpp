// The journal of a run read back, and its failure: a journal that cannot be written stops the run before
// its next change, and undo takes back what the run did.

#include "fs/FsTestSupport.h"
#include "fs/JournaledChange.h"
#include "fs/RunJournal.h"
#include "history/RunHistory.h"
#include "history/RunRecords.h"
#include "history/RunUndo.h"
#include "support/FaultySystemCalls.h"
#include "support/ScriptBundle.h"

#include <cstring>
#include <random>
#include <gtest/gtest.h>

using namespace quodrix;
using namespace quodrix::test;
namespace fs = std::filesystem;

namespace {

std::string runsIn(TempDir const& dir)
{
    return (dir / "runs").string();
}

RunRecords onlyRun(TempDir const& dir)
{
    RunHistory history(runsIn(dir));
    EXPECT_EQ(history.runs().size(), 1u);
    return history.runs().front().records;
}

// The only run of `dir` recorded one move and no outcome for it: its undo changes nothing and says nothing.
void expectOneUnmadeMoveUndoneWithoutALine(TempDir const& dir)
{
    RunRecords const run = onlyRun(dir);
    ASSERT_EQ(run.changes.size(), 1u);
    EXPECT_EQ(run.changes[0].outcome, ChangeOutcome::Unknown);
    RunJournal undoJournal(runsIn(dir), "quodrix undo");
    UndoReport const report = RunUndo(undoJournal, nullptr).undo(run);
    ASSERT_TRUE(undoJournal.finish().ok());
    EXPECT_TRUE(report.lines.empty());
}

}

TEST(RunJournal, EveryByteOfPathsAndCommentsRoundTrips)
{
    std::string every;
    for (int byte = 0; byte < 256; ++byte)
        every += char(byte);
    for (std::string const& text : { every, std::string("-"), std::string("--x"), std::string(), std::string("a b\\x41"),
             std::string("bad\xff\xfe name\t\n.jpg") }) {
        std::string escaped;
        RunJournal::appendEscaped(escaped, text);
        EXPECT_EQ(escaped.find_first_of(std::string(" \n\t\r\0", 5)), std::string::npos) << escaped;
        EXPECT_NE(escaped.substr(0, 2), "--");
        EXPECT_EQ(RunJournal::unescaped(escaped), text) << escaped;
    }
    // The bytes that journals on disk hold: a run of plain bytes as it is, each other byte as \xHH.
    std::string escaped = "kept:";
    RunJournal::appendEscaped(escaped, "-a b\\c-\xff\x7f~/x.jpg");
    EXPECT_EQ(escaped, "kept:\\x2da\\x20b\\x5cc-\\xff\\x7f~/x.jpg");
    // An empty field is written as "-".
    escaped.clear();
    RunJournal::appendEscaped(escaped, "");
    EXPECT_EQ(escaped, "-");
    for (std::string_view const bad : { "a\\x4", "a\\q41", "\\", "a\\x", "\\xg1", "ab\\x41\\", "\\x41\\x4" })
        EXPECT_EQ(RunJournal::unescaped(bad), std::nullopt) << bad;
    EXPECT_EQ(RunJournal::unescaped("\\x41b\\x5cx41\\x2d"), "Ab\\x41-");
    // An escape cut short by the end of the field, with hex digits just beyond it.
    EXPECT_EQ(RunJournal::unescaped(std::string_view("a\\x41", 4)), std::nullopt);
    // Every text of any bytes comes back as it was.
    std::mt19937 random(5);
    for (int round = 0; round < 20000; ++round) {
        std::string text(random() % 40, 'a');
        for (char& c : text)
            c = random() % 6 == 0 ? char(random() % 256) : char(0x21 + random() % 94);
        escaped.clear();
        RunJournal::appendEscaped(escaped, text);
        ASSERT_EQ(RunJournal::unescaped(escaped), text) << escaped;
    }

    TempDir dir;
    {
        RunJournal journal(runsIn(dir), "quodrix comment " + every);
        std::uint64_t sequence = 0;
        RunJournal::Intent const intent { JournalChange::Comment, every, every, ItemIdentity { 1, 2, 3, -4 },
            std::nullopt, {}, std::string_view("old\ncomment"), std::string_view(every) };
        ASSERT_TRUE(journal.recordIntent(intent, sequence).ok());
        ASSERT_TRUE(journal.recordFailed(sequence, "why\tnot").ok());
        // A comment removed: none written, and none before.
        RunJournal::Intent const removal { JournalChange::Comment, "/a.jpg", "/a.jpg", std::nullopt, std::nullopt, {},
            std::nullopt, std::nullopt };
        ASSERT_TRUE(journal.recordIntent(removal, sequence).ok());
        ASSERT_TRUE(journal.finish().ok());
    }
    RunRecords run = onlyRun(dir);
    EXPECT_EQ(run.command, "quodrix comment " + every);
    EXPECT_TRUE(run.ended);
    ASSERT_EQ(run.changes.size(), 2u);
    EXPECT_EQ(run.changes[0].source, every);
    EXPECT_EQ(run.changes[0].previous, "old\ncomment");
    EXPECT_TRUE(run.changes[0].writtenKnown);
    EXPECT_EQ(run.changes[0].written, every);
    EXPECT_TRUE(run.changes[1].writtenKnown);
    EXPECT_EQ(run.changes[1].written, std::nullopt);
    EXPECT_EQ(run.changes[1].previous, std::nullopt);
    EXPECT_EQ(run.changes[0].identity, (ItemIdentity { 1, 2, 3, -4 }));
    EXPECT_EQ(run.changes[0].outcome, ChangeOutcome::Failed);
    EXPECT_EQ(run.changes[0].cause, "why\tnot");
}

TEST(RunJournal, ARunWithoutChangesLeavesNoFile)
{
    TempDir dir;
    {
        RunJournal journal(runsIn(dir), "quodrix insert -n");
        ASSERT_TRUE(journal.finish().ok());
    }
    EXPECT_FALSE(fs::exists(dir / "runs"));
}

// The journal's header cannot be written, the disk being full: the change is
// refused with the cause, nothing is touched, and no journal is left behind, however often it is tried.
TEST(RunJournal, AJournalWhoseHeaderFailsIsNotLeftBehind)
{
    TempDir dir;
    writeFile(dir / "a", "a");
    for (int attempt = 0; attempt < 2; ++attempt) {
        Status moved, finished;
        {
            RunJournal journal(runsIn(dir), "quodrix insert -m");
            FaultySystemCalls faults;
            faults.fail(Call::Write, 1, Repeat::FromThenOn, ENOSPC);
            ScopedSystemCalls installed(faults);
            moved = journaledPlaceItem(&journal, Placement::Move, Existing::Kept, (dir / "a").string(),
                (dir / "b").string());
            finished = journal.finish();
        }
        EXPECT_FALSE(moved.ok());
        EXPECT_TRUE(moved.message().ends_with(".journal: No space left on device")) << moved.message();
        EXPECT_EQ(finished.message(), moved.message());
        EXPECT_EQ(readFile(dir / "a"), "a");
        EXPECT_FALSE(fs::exists(dir / "b"));
        EXPECT_TRUE(fs::is_empty(dir / "runs")) << attempt;
    }
}

// A move whose outcome was never written (the process was killed) and whose source is still in place was
// not made. The item at its target is left alone, even with the source's size and time: within one file
// system a move leaves no copy behind, so that item is another one.
TEST(RunJournal, AnUnmadeMoveLeavesALookAlikeAtItsTargetAlone)
{
    TempDir dir;
    writeFile(dir / "a.jpg", "same");
    writeFile(dir / "b.jpg", "SAME");
    auto const time = fs::last_write_time(dir / "a.jpg");
    fs::last_write_time(dir / "b.jpg", time);
    {
        RunJournal journal(runsIn(dir), "quodrix rename");
        std::string const source = (dir / "a.jpg").string(), target = (dir / "b.jpg").string();
        RunJournal::Intent const intent { JournalChange::Move, source, target, ItemIdentity::at(source), std::nullopt,
            {}, std::nullopt };
        std::uint64_t sequence = 0;
        ASSERT_TRUE(journal.recordIntent(intent, sequence).ok());
    }
    expectOneUnmadeMoveUndoneWithoutALine(dir);
    EXPECT_EQ(readFile(dir / "a.jpg"), "same");
    EXPECT_EQ(readFile(dir / "b.jpg"), "SAME");
}

namespace {

// Moves the files of `from` named in `names` into `to` as an insert run does: recorded ahead a batch at a
// time, each one then made, and the batch ended; `made` of them are made in each batch, the rest not tried.
// The journal's path.
std::string movesAhead(TempDir const& dir, fs::path const& from, fs::path const& to,
    std::vector<std::string> const& names, std::size_t batchSize, std::size_t made)
{
    RunJournal journal(runsIn(dir), "quodrix insert -m");
    for (std::size_t begin = 0; begin < names.size(); begin += batchSize) {
        std::vector<std::string> sources, targets;
        for (std::size_t i = begin; i < std::min(names.size(), begin + batchSize); ++i) {
            sources.push_back((from / names[i]).string());
            targets.push_back((to / names[i]).string());
        }
        std::vector<MoveAhead> moves;
        for (std::size_t i = 0; i < sources.size(); ++i)
            moves.push_back({ sources[i], targets[i] });
        (void)journaledMovesAhead(&journal, moves);
        for (std::size_t i = 0; i < std::min(made, sources.size()); ++i)
            (void)journaledPlaceItem(&journal, Placement::Move, Existing::Kept, sources[i], targets[i]);
        journaledEndOfMovesAhead(&journal);
        // As a run that reports its rows while the disk takes its journal; a test's counts never see it.
        journal.flushInBackground();
    }
    (void)journal.finish();
    return journal.path();
}

std::vector<std::string> twelveNames()
{
    std::vector<std::string> names;
    for (int i = 0; i < 12; ++i)
        names.push_back("f" + std::to_string(i));
    return names;
}

// The folder `a` holding a file for each name ("contents of NAME"), an empty `b`, and no runs.
void freshFolders(TempDir const& dir, std::vector<std::string> const& names)
{
    fs::remove_all(dir / "a");
    fs::remove_all(dir / "b");
    fs::remove_all(dir / "runs");
    fs::create_directories(dir / "a");
    fs::create_directories(dir / "b");
    for (auto const& name : names)
        writeFile(dir / "a" / name, "contents of " + name);
}

}

// A journal read as counts lists what reading its changes finds: a change without an outcome, one done, one
// failed, one never tried (none of the run's changes), an intent recorded twice under one number (the
// first counts), an outcome of no intent, and a record cut short.
TEST(RunJournal, AJournalReadAsCountsCountsWhatItsChangesSay)
{
    std::string const text = "quodrix-journal 1\n"
                             "run 20261209-101010.000001-42\n"
                             "started 1796848489411484475\n"
                             "command quodrix\\x20insert\n"
                             "I 1 move /p/a /p/A 1:11:3:5 - - -\n"
                             "I 2 move /p/b /p/B 1:12:3:5 - - -\n"
                             "I 3 move /p/c /p/C 1:13:3:5 - - -\n"
                             "I 4 move /p/d /p/D 1:14:3:5 - - -\n"
                             "I 2 move /p/x /p/X 1:15:3:5 - - -\n"
                             // Not well formed: an identity of three, five or empty numbers, a bad escape.
                             "I 5 move /p/e /p/E 1:16:3 - - -\n"
                             "I 6 move /p/f /p/F 1:17:3:5:6 - - -\n"
                             "I 7 move /p/g /p/G 1::3:5 - - -\n"
                             "I 8 move /p/h\\x4 /p/H 1:18:3:5 - - -\n"
                             "I 10 move /p/i /p/I 1:19:3:5 1:20:3:5: - -\n"
                             "O 1 done 1:11:3:5\n"
                             "O 2 failed File\\x20exists\n"
                             "O 3 untried -\n"
                             "O 9 done 1:19:3:5\n"
                             "O 4 done 1:1";
    auto const whole = RunRecords::parse(text);
    auto const counted = RunRecords::parse(text, RunRecords::Reading::Counts);
    ASSERT_TRUE(whole && counted);
    EXPECT_TRUE(counted->changes.empty());
    EXPECT_EQ(3u, whole->changeCount());
    EXPECT_EQ(3u, counted->changeCount());
    for (auto const& [outcome, expected] : { std::pair(ChangeOutcome::Unknown, 1u), std::pair(ChangeOutcome::Done, 1u),
             std::pair(ChangeOutcome::Failed, 1u), std::pair(ChangeOutcome::Untried, 0u) }) {
        EXPECT_EQ(expected, whole->count(outcome));
        EXPECT_EQ(expected, counted->count(outcome));
    }
    EXPECT_EQ("/p/b", whole->changes[1].source);
    EXPECT_EQ("quodrix insert", counted->command);
    EXPECT_FALSE(counted->ended);
    // Records without the header are no journal.
    EXPECT_FALSE(RunRecords::parse("I 1 move /a /b - - - -\n"));
}

// A journal file is read a block at a time: records that straddle two blocks, a record longer than a block
// and a last record cut short read as the same text does.
TEST(RunJournal, AJournalFileReadsAsItsTextDoes)
{
    std::string text = "quodrix-journal 1\nrun 20261210-101010.000001-7\nstarted 1\ncommand quodrix\n";
    for (int i = 1; i <= 30000; ++i) {
        std::string const n = std::to_string(i);
        text += "I " + n + " move /p/" + n + ".jpg /p/_" + n + ".jpg 1:" + n + ":0:5 - - -\n";
        if (i % 3 != 0)
            text += "O " + n + (i % 3 == 1 ? " done 1:" + n + ":0:5\n" : " failed No\\x20space\n");
    }
    text += "I 30001 move /p/" + std::string(1500000, 'l') + " /p/x 1:1:0:5 - - -\nO 30001 done 1:1:0:5\n";
    TempDir dir;
    auto const expectSame = [&](std::string const& content) {
        writeFile(dir / "run.journal", content);
        for (auto reading : { RunRecords::Reading::Changes, RunRecords::Reading::Counts }) {
            auto const fromFile = RunRecords::read((dir / "run.journal").string(), reading);
            auto const fromText = RunRecords::parse(content, reading);
            ASSERT_TRUE(fromFile && fromText);
            EXPECT_EQ(fromFile->changeCount(), fromText->changeCount());
            for (auto outcome : { ChangeOutcome::Unknown, ChangeOutcome::Done, ChangeOutcome::Failed })
                EXPECT_EQ(fromFile->count(outcome), fromText->count(outcome));
            ASSERT_EQ(fromFile->changes.size(), fromText->changes.size());
            for (std::size_t i = 0; i < fromFile->changes.size(); ++i) {
                EXPECT_EQ(fromFile->changes[i].source, fromText->changes[i].source);
                EXPECT_EQ(fromFile->changes[i].cause, fromText->changes[i].cause);
            }
        }
    };
    expectSame(text);
    auto const whole = RunRecords::read((dir / "run.journal").string());
    ASSERT_EQ(whole->changeCount(), 30001u);
    EXPECT_EQ(whole->count(ChangeOutcome::Done), 10001u);
    EXPECT_EQ(whole->changes.back().source.size(), 1500003u);
    EXPECT_EQ(whole->changes[1].cause, "No space");
    // Cut short inside the long record, and inside its outcome.
    expectSame(text.substr(0, text.size() - 700000));
    expectSame(text.substr(0, text.size() - 5));
    // A file whose first line is not the header is no journal.
    writeFile(dir / "run.journal", "quodrix-journal 2\n" + text.substr(18));
    EXPECT_FALSE(RunRecords::read((dir / "run.journal").string()));
}

// Moves recorded ahead cost one write for the batch; a move recorded ahead and never made is recorded
// untried and read back as no change of the run.
TEST(RunJournal, MovesRecordedAheadTakeOneWriteAndTheUntriedAreNoChanges)
{
    TempDir dir;
    fs::create_directories(dir / "a");
    fs::create_directories(dir / "b");
    std::vector<std::string> names;
    for (int i = 0; i < 10; ++i) {
        names.push_back("f" + std::to_string(i));
        writeFile(dir / "a" / names.back(), std::to_string(i));
    }
    FaultySystemCalls counted;
    std::string path;
    {
        ScopedSystemCalls installed(counted);
        path = movesAhead(dir, dir / "a", dir / "b", names, 4, 3);
    }
    // The header, one write for each of the three batches, the end record.
    EXPECT_EQ(counted.calls(Call::Write), 5);
    std::string const text = readFile(path);
    EXPECT_NE(text.find("\nO 4 untried -\nI 5 move "), std::string::npos) << text;
    auto const run = RunRecords::read(path);
    ASSERT_TRUE(run);
    ASSERT_EQ(run->changes.size(), 8u);  // 3 + 3 + 2 moves made
    EXPECT_EQ(run->count(ChangeOutcome::Done), 8u);
    EXPECT_EQ(run->changes[3].sequence, 5u);
    EXPECT_EQ(run->changes[3].source, (dir / "a" / "f4").string());
}

// Whichever system call fails (once, or from then on), undo of the run puts every file back.
TEST(RunJournal, WhicheverCallFailsMovesRecordedAheadComeBack)
{
    TempDir dir(fastTemporaryFolder());
    std::vector<std::string> const names = twelveNames();
    auto setUp = [&] { freshFolders(dir, names); };
    setUp();
    Tree const original = treeAt(dir / "a");
    FaultySystemCalls counted;
    {
        ScopedSystemCalls installed(counted);
        (void)movesAhead(dir, dir / "a", dir / "b", names, 5, 5);
    }
    int const total = counted.calls();
    for (Repeat repeat : { Repeat::Once, Repeat::FromThenOn }) {
        for (int n = 1; n <= total; ++n) {
            setUp();
            FaultySystemCalls faulty;
            faulty.fail(Call::Any, n, repeat);
            std::string path;
            {
                ScopedSystemCalls installed(faulty);
                path = movesAhead(dir, dir / "a", dir / "b", names, 5, 5);
            }
            std::string const where = "call " + std::to_string(n) + (repeat == Repeat::Once ? " once" : " on");
            if (auto run = RunRecords::read(path)) {
                RunJournal undoJournal(runsIn(dir), "quodrix undo");
                EXPECT_TRUE(RunUndo(undoJournal, nullptr).undo(*run).complete()) << where;
                (void)undoJournal.finish();
            }
            EXPECT_EQ(treeAt(dir / "a"), original) << where;
            EXPECT_TRUE(fs::is_empty(dir / "b")) << where;
        }
    }
}

// An undo of plain moves looks at each item and at its free name once, through the folders' handles, and
// whichever of its system calls fails (once, or from then on), a second undo puts every file back.
TEST(RunJournal, AnUndoOfMovesLooksAtEachItemOnceAndAnyFailedCallLosesNothing)
{
    TempDir dir(fastTemporaryFolder());
    std::vector<std::string> const names = twelveNames();
    auto setUp = [&] {
        freshFolders(dir, names);
        return RunRecords::read(movesAhead(dir, dir / "a", dir / "b", names, 5, 5));
    };
    auto run = setUp();
    ASSERT_TRUE(run);
    Tree const original = treeAt(dir / "b");
    int total = 0;
    {
        FaultySystemCalls counted;
        {
            ScopedSystemCalls installed(counted);
            RunJournal undoJournal(runsIn(dir), "quodrix undo");
            EXPECT_TRUE(RunUndo(undoJournal, nullptr).undo(*run).complete());
            (void)undoJournal.finish();
        }
        total = counted.calls();
        EXPECT_EQ(counted.calls(Call::Rename), 12);
        // Two looks a file (the item, its free name) and three for the undo as a whole.
        EXPECT_EQ(counted.calls(Call::Stat), 2 * 12 + 3);
    }
    EXPECT_EQ(treeAt(dir / "a"), original);
    for (Repeat repeat : { Repeat::Once, Repeat::FromThenOn }) {
        for (int n = 1; n <= total; ++n) {
            run = setUp();
            ASSERT_TRUE(run);
            std::string const where = "call " + std::to_string(n) + (repeat == Repeat::Once ? " once" : " on");
            {
                FaultySystemCalls faulty;
                faulty.fail(Call::Any, n, repeat);
                ScopedSystemCalls installed(faulty);
                RunJournal undoJournal(runsIn(dir), "quodrix undo");
                (void)RunUndo(undoJournal, nullptr).undo(*run);
                (void)undoJournal.finish();
            }
            // Every file is at one of its two names with its contents; the next undo does the rest.
            for (auto const& name : names) {
                bool const back = fs::exists(dir / "a" / name), left = fs::exists(dir / "b" / name);
                EXPECT_NE(back, left) << where << " " << name;
                EXPECT_EQ(readFile((back ? dir / "a" : dir / "b") / name), "contents of " + name) << where;
            }
            RunJournal undoJournal(runsIn(dir), "quodrix undo");
            (void)RunUndo(undoJournal, nullptr).undo(*run);
            (void)undoJournal.finish();
            EXPECT_EQ(treeAt(dir / "a"), original) << where;
            EXPECT_TRUE(fs::is_empty(dir / "b")) << where;
        }
    }
}

// Flushes in the background lose nothing: records written meanwhile and after them are all read back, a
// second one waits for the one under way, one after the end does nothing, and the end record is there.
TEST(RunJournal, AFlushInTheBackgroundLosesNoRecord)
{
    TempDir dir;
    RunJournal journal(runsIn(dir), "quodrix rename -x");
    journal.flushInBackground();  // nothing written yet: no file, nothing to flush
    std::vector<std::string> paths, targets;
    for (int i = 0; i < 300; ++i) {
        paths.push_back((dir / ("f" + std::to_string(i))).string());
        targets.push_back(paths.back() + ".x");
    }
    for (int i = 0; i < 300; ++i) {
        std::uint64_t sequence = 0;
        RunJournal::Intent const intent { JournalChange::Move, paths[std::size_t(i)], targets[std::size_t(i)],
            ItemIdentity { 1, std::uint64_t(i), 0, 0 }, std::nullopt, {}, std::nullopt };
        ASSERT_TRUE(journal.recordIntent(intent, sequence).ok());
        ASSERT_TRUE(journal.recordDone(sequence, std::nullopt).ok());
        if (i % 50 == 0) {
            journal.flushInBackground();
            journal.flushInBackground();
        }
    }
    ASSERT_TRUE(journal.finish().ok());
    journal.flushInBackground();
    auto const run = RunRecords::read(journal.path());
    ASSERT_TRUE(run);
    EXPECT_TRUE(run->ended);
    ASSERT_EQ(run->changes.size(), 300u);
    EXPECT_EQ(run->changes.back().source, paths.back());
}

// Moves recorded ahead go through their folders' handles; after a folder (or a link to one) moved, a move
// that names its old path fails as the path says, and undo puts all back.
TEST(RunJournal, AMoveAheadAfterItsFolderMovedGoesByThePath)
{
    for (bool const link : { false, true }) {
        TempDir dir;
        fs::path const folder = link ? dir / "real" : dir / "A";
        writeFile(folder / "x1", "1");
        writeFile(folder / "x2", "2");
        if (link)
            fs::create_directory_symlink("real", dir / "A");
        Tree const original = treeAt(dir.path());
        std::vector<std::string> const sources { (dir / "A" / "x1").string(), (dir / "A").string(),
            (dir / "A" / "x2").string() };
        std::vector<std::string> const targets { (dir / "A" / "y1").string(), (dir / "B").string(),
            (dir / "A" / "y2").string() };
        {
            RunJournal journal(runsIn(dir), "quodrix insert -m");
            std::vector<MoveAhead> moves;
            for (std::size_t i = 0; i < sources.size(); ++i)
                moves.push_back({ sources[i], targets[i] });
            ASSERT_TRUE(journaledMovesAhead(&journal, moves).ok());
            std::vector<bool> done;
            for (std::size_t i = 0; i < sources.size(); ++i)
                done.push_back(
                    journaledPlaceItem(&journal, Placement::Move, Existing::Kept, sources[i], targets[i]).ok());
            journaledEndOfMovesAhead(&journal);
            ASSERT_TRUE(journal.finish().ok());
            EXPECT_EQ(done, (std::vector<bool> { true, true, false })) << link;
        }
        EXPECT_EQ(readFile(dir / "B" / "y1"), "1") << link;
        EXPECT_EQ(readFile(dir / "B" / "x2"), "2") << link;
        RunJournal undoJournal(runsIn(dir), "quodrix undo");
        EXPECT_TRUE(RunUndo(undoJournal, nullptr).undo(onlyRun(dir)).complete()) << link;
        ASSERT_TRUE(undoJournal.finish().ok());
        fs::remove_all(dir / "runs");
        EXPECT_EQ(treeAt(dir.path()), original) << link;
    }
}

// Folders looked at for a batch of moves back that none joined are not kept open: a folder that the undo then
// moves back by its path would leave such a handle on the folder that its path no longer names. Here the
// newest move (A/g to A/h, inside the folder W that the run had renamed A) no longer finds its file; A is
// then moved back to W, Z back to A, and the oldest move must bring x back into that A, not into W.
TEST(RunJournal, AFolderLookedAtForNoBatchIsNotKeptForALaterOne)
{
    TempDir dir;
    writeFile(dir / "A" / "x", "x");
    writeFile(dir / "W" / "g", "g");
    fs::create_directories(dir / "B");
    std::string const path[] = { (dir / "A").string(), (dir / "B").string(), (dir / "W").string(),
        (dir / "Z").string() };
    {
        RunJournal journal(runsIn(dir), "quodrix store");
        auto const move = [&](std::string const& source, std::string const& target) {
            ASSERT_TRUE(journaledPlaceItem(&journal, Placement::Move, Existing::Kept, source, target).ok()) << source;
        };
        move(path[0] + "/x", path[1] + "/x");
        move(path[0], path[3]);
        move(path[2], path[0]);
        move(path[0] + "/g", path[0] + "/h");
        ASSERT_TRUE(journal.finish().ok());
    }
    // Another file now stands at A/h.
    writeFile(dir / "other", "other");
    fs::rename(dir / "other", dir / "A" / "h");

    RunJournal undoJournal(runsIn(dir), "quodrix undo");
    UndoReport const report = RunUndo(undoJournal, nullptr).undo(onlyRun(dir));
    ASSERT_TRUE(undoJournal.finish().ok());
    EXPECT_EQ(readFile(dir / "A" / "x"), "x");
    EXPECT_FALSE(fs::exists(dir / "W" / "x"));
    EXPECT_EQ(readFile(dir / "W" / "h"), "other");
    EXPECT_TRUE(fs::is_empty(dir / "B"));
    EXPECT_FALSE(fs::exists(dir / "Z"));
    EXPECT_FALSE(report.complete());
    EXPECT_EQ(report.count(UndoLine::Word::Restored), 3u);
}

// A flush in the background that fails fails the journal's end, even when the flush that follows finds
// nothing to report (the system tells a failed write-back to one flush only); it is no counted call.
TEST(RunJournal, AFailedFlushInTheBackgroundFailsTheEnd)
{
    auto end = [](bool inBackground, int& calls) {
        TempDir dir;
        FaultySystemCalls faulty;
        faulty.failBackgroundFlush(EIO);
        ScopedSystemCalls installed(faulty);
        RunJournal journal(runsIn(dir), "quodrix rename -x");
        std::string const source = (dir / "a").string(), target = (dir / "b").string();
        std::uint64_t sequence = 0;
        RunJournal::Intent const intent { JournalChange::Move, source, target, std::nullopt, std::nullopt, {},
            std::nullopt };
        EXPECT_TRUE(journal.recordIntent(intent, sequence).ok());
        if (inBackground)
            journal.flushInBackground();
        Status const finished = journal.finish();
        calls = faulty.calls();
        return finished.ok() ? std::string("ok") : finished.message().substr(finished.message().rfind(": ") + 2);
    };
    int plain = 0, background = 0;
    EXPECT_EQ(end(false, plain), "ok");
    EXPECT_EQ(end(true, background), std::strerror(EIO));
    EXPECT_EQ(plain, background);
}

// A change is made right after it takes its record: an intent recorded while records ahead still wait (a
// script's own change between the moves of a batch) comes first, the waiting ones are recorded untried, and
// their moves, made after it, are recorded anew, so that undo takes them back in the order they were made.
TEST(RunJournal, AnIntentRecordedWhileRecordsAheadWaitComesFirst)
{
    TempDir dir;
    fs::create_directories(dir / "a");
    fs::create_directories(dir / "b");
    for (char const* name : { "f1", "f2", "f3", "other" })
        writeFile(dir / "a" / name, name);
    auto at = [&](char const* folder, char const* name) { return (dir / folder / name).string(); };
    std::string const s1 = at("a", "f1"), s2 = at("a", "f2"), s3 = at("a", "f3");
    std::string const t1 = at("b", "f1"), t2 = at("b", "f2"), t3 = at("b", "f3");
    std::string journalPath;
    {
        RunJournal journal(runsIn(dir), "quodrix insert -m");
        MoveAhead const moves[] = { { s1, t1 }, { s2, t2 }, { s3, t3 } };
        ASSERT_TRUE(journaledMovesAhead(&journal, moves).ok());
        ASSERT_TRUE(journaledPlaceItem(&journal, Placement::Move, Existing::Kept, s1, t1).ok());
        // Between the moves: a change of its own, recorded now.
        std::string const otherSource = at("a", "other"), otherTarget = at("b", "other");
        ASSERT_TRUE(journaledPlaceItem(&journal, Placement::Move, Existing::Kept, otherSource, otherTarget).ok());
        ASSERT_TRUE(journaledPlaceItem(&journal, Placement::Move, Existing::Kept, s2, t2).ok());
        ASSERT_TRUE(journaledPlaceItem(&journal, Placement::Move, Existing::Kept, s3, t3).ok());
        journaledEndOfMovesAhead(&journal);
        ASSERT_TRUE(journal.finish().ok());
        journalPath = journal.path();
    }
    std::string const text = readFile(journalPath);
    EXPECT_NE(text.find("O 1 done "), std::string::npos) << text;
    EXPECT_NE(text.find("O 2 untried -\nO 3 untried -\nI 4 move "), std::string::npos) << text;
    auto const run = RunRecords::read(journalPath);
    ASSERT_TRUE(run);
    std::vector<std::string> order;
    for (auto const& change : run->changes)
        order.push_back(fs::path(change.source).filename().string() + " " + std::to_string(change.sequence));
    EXPECT_EQ(order, (std::vector<std::string> { "f1 1", "other 4", "f2 5", "f3 6" }));
    EXPECT_EQ(run->count(ChangeOutcome::Done), 4u);
}

// A move out of its file system is a copy and a removal, which undo must be able to tell from an item that
// stood at the target: such moves are recorded one by one when they are made, never ahead.
TEST(RunJournal, MovesOntoAnotherFileSystemAreNotRecordedAhead)
{
    TempDir dir;
    TempDir other(fastTemporaryFolder());
    if (onOneFileSystem(dir.str(), other.str()))
        GTEST_SKIP() << "the fast temporary folder is on the same file system";
    fs::create_directories(dir / "a");
    std::vector<std::string> names;
    for (int i = 0; i < 3; ++i) {
        names.push_back("f" + std::to_string(i));
        writeFile(dir / "a" / names.back(), std::to_string(i));
    }
    std::string const text = readFile(movesAhead(dir, dir / "a", other.path(), names, 3, 3));
    // Each intent follows the outcome of the move before it.
    auto const second = text.find("\nI 2 move ");
    ASSERT_NE(second, std::string::npos) << text;
    EXPECT_LT(text.find("\nO 1 done "), second) << text;
    for (auto const& name : names)
        EXPECT_EQ(readFile(other / name), name.substr(1));
    EXPECT_TRUE(fs::is_empty(dir / "a"));
}

// A move onto another file system, refused because its name is taken, whose outcome never reached the
// journal (the run was killed, or the disk filled): the item at its target, of the source's size and time,
// is the user's, not a copy the move left, and undo keeps it.
TEST(RunJournal, AnUnmadeMoveOntoAnotherFileSystemLeavesALookAlikeAlone)
{
    TempDir dir;
    TempDir other(fastTemporaryFolder());
    if (onOneFileSystem(dir.str(), other.str()))
        GTEST_SKIP() << "the fast temporary folder is on the same file system";
    writeFile(dir / "a.jpg", "same");
    writeFile(other / "a.jpg", "SAME");
    fs::last_write_time(other / "a.jpg", fs::last_write_time(dir / "a.jpg"));
    std::string const source = (dir / "a.jpg").string(), target = (other / "a.jpg").string();
    {
        RunJournal journal(runsIn(dir), "quodrix insert -m");
        FaultySystemCalls faults;
        faults.fail(Call::Write, 3, Repeat::FromThenOn, ENOSPC);  // the header, the intent, then nothing
        ScopedSystemCalls installed(faults);
        EXPECT_FALSE(journaledPlaceItem(&journal, Placement::Move, Existing::Kept, source, target).ok());
        EXPECT_FALSE(journal.finish().ok());
    }
    expectOneUnmadeMoveUndoneWithoutALine(dir);
    EXPECT_EQ(readFile(dir / "a.jpg"), "same");
    EXPECT_EQ(readFile(other / "a.jpg"), "SAME");
}
