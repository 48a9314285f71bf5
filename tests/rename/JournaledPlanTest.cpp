// A rename plan carried out with the run's journal: the moves of its chains are recorded a batch at a time,
// in one write each; a move of a batch that the run never tried is recorded as untried and read back as no
// change; and whichever system call fails, once or from then on, undo takes the run back to every file
// at its own name with its contents.

#include "fs/FsTestSupport.h"
#include "fs/Interruption.h"
#include "fs/RunJournal.h"
#include "history/RunRecords.h"
#include "history/RunUndo.h"
#include "rename/JournalObserver.h"
#include "rename/RenamePlan.h"
#include "support/FaultySystemCalls.h"
#include "support/ScriptBundle.h"

#include <csignal>
#include <fstream>
#include <map>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace quodrix;
using namespace quodrix::test;
namespace fs = std::filesystem;

namespace {

// 130 files renamed one by one, a chain of three (c0 -> c1 -> c2 -> c3) and a cycle of two: the chains'
// 133 moves make two batches, the cycle's three steps are recorded one by one.
constexpr int kSingles = 130;

void makeFiles(fs::path const& folder)
{
    fs::create_directories(folder);
    for (int i = 0; i < kSingles; ++i)
        std::ofstream(folder / ("img_" + std::to_string(i) + ".jpg")) << "pixels " << i;
    // Of one size and one time, as copies would be: undo must tell them apart by who they are.
    auto const time = fs::file_time_type::clock::now();
    for (char const* name : { "c0", "c1", "c2", "x", "y" }) {
        std::ofstream(folder / name) << "contents of " << name;
        fs::last_write_time(folder / name, time);
    }
}

RenamePlan planIn(fs::path const& folder)
{
    RenamePlan plan;
    auto at = [&](std::string const& name) { return (folder / name).string(); };
    for (int i = 0; i < kSingles; ++i)
        plan.add(at("img_" + std::to_string(i) + ".jpg"), at("photo_" + std::to_string(i) + ".jpg"));
    plan.add(at("c0"), at("c1"));
    plan.add(at("c1"), at("c2"));
    plan.add(at("c2"), at("c3"));
    plan.add(at("x"), at("y"));
    plan.add(at("y"), at("x"));
    return plan;
}

struct JournaledRun {
    RenamePlan::Summary summary;
    std::vector<PlannedRename> pairs;
    Status finished;
    std::string journal;
};

// Carries out the plan of `folder` (checked first, outside the calls) with a journal in `runs`, every system
// call of the execution and of the journal's end going through `calls`.
JournaledRun runPlan(fs::path const& folder, fs::path const& runs, FaultySystemCalls& calls, OnFailure onFailure)
{
    RenamePlan plan = planIn(folder);
    plan.check();
    RunJournal journal(runs.string(), "quodrix rename");
    JournalObserver observer(journal, Operation::Move);
    ScopedSystemCalls installed(calls);
    JournaledRun run;
    run.summary = plan.execute(onFailure, &observer);
    run.pairs = plan.pairs();
    run.finished = journal.finish();
    run.journal = journal.path();
    return run;
}

// Whether the journal says of each pair of the chains (the cycle left aside) what the plan says: a pair done
// has its record, done or without an outcome (the write that would have carried it failed), and a record
// done is of a pair done.
bool recordsAgree(std::vector<PlannedRename> const& pairs, RunRecords const& records)
{
    auto onCycle = [](std::string const& path) {
        auto const name = fs::path(path).filename().string();
        return name == "x" || name == "y" || name.starts_with(".quodrix-cycle");
    };
    std::map<std::string, ChangeOutcome> recorded;
    for (auto const& change : records.changes) {
        if (!onCycle(change.source) && !onCycle(change.target))
            recorded[change.source + " > " + change.target] = change.outcome;
    }
    for (auto const& pair : pairs) {
        if (onCycle(pair.source))
            continue;
        auto found = recorded.find(pair.source + " > " + pair.target);
        bool const done = pair.state == PairState::Done;
        if (done && (found == recorded.end() || found->second == ChangeOutcome::Failed))
            return false;
        if (!done && found != recorded.end() && found->second == ChangeOutcome::Done)
            return false;
    }
    return true;
}

std::string textOf(std::string const& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

}

TEST(JournaledPlan, TheMovesOfChainsAreRecordedABatchAtATime)
{
    TempDir dir;
    fs::path const folder = dir / "pics";
    makeFiles(folder);
    FaultySystemCalls counted;
    JournaledRun const run = runPlan(folder, dir / "runs", counted, OnFailure::Stop);
    EXPECT_EQ(kSingles + 5u, run.summary.done);
    ASSERT_TRUE(run.finished.ok());
    // The header, two batches, the cycle's three steps one by one, the end record.
    EXPECT_EQ(7, counted.calls(Call::Write));
    auto const records = RunRecords::read(run.journal);
    ASSERT_TRUE(records);
    EXPECT_EQ(kSingles + 3 + 3u, records->changes.size());
    // The cycle's first item is counted once, by its move out of the temporary name.
    EXPECT_EQ(kSingles + 5u, records->count(ChangeOutcome::Done));
    EXPECT_TRUE(records->ended);
}

TEST(JournaledPlan, AMoveOfABatchThatWasNeverTriedIsNoChangeOfTheRun)
{
    TempDir dir;
    fs::path const folder = dir / "pics";
    fs::create_directories(folder);
    for (char const* name : { "a", "b", "c" })
        std::ofstream(folder / name) << name;
    RenamePlan plan;
    plan.add((folder / "a").string(), (folder / "A").string());
    plan.add((folder / "b").string(), (folder / "B").string());
    plan.add((folder / "c").string(), (folder / "C").string());
    plan.check();
    RunJournal journal((dir / "runs").string(), "quodrix rename");
    JournalObserver observer(journal, Operation::Move);
    FaultySystemCalls faulty;
    faulty.fail(Call::Rename, 2, Repeat::Once);
    {
        ScopedSystemCalls installed(faulty);
        (void)plan.execute(OnFailure::Stop, &observer);
    }
    ASSERT_TRUE(journal.finish());
    EXPECT_EQ("not done: the run stopped after a failure", plan.pairs()[2].cause);
    std::string const text = textOf(journal.path());
    EXPECT_NE(std::string::npos, text.find("\nO 1 done ")) << text;
    EXPECT_NE(std::string::npos, text.find("\nO 2 failed ")) << text;
    EXPECT_NE(std::string::npos, text.find("\nO 3 untried -\n")) << text;
    auto const records = RunRecords::read(journal.path());
    ASSERT_TRUE(records);
    ASSERT_EQ(2u, records->changes.size());
    EXPECT_EQ(ChangeOutcome::Done, records->changes[0].outcome);
    EXPECT_EQ(ChangeOutcome::Failed, records->changes[1].outcome);
}

TEST(JournaledPlan, WhicheverCallFailsUndoBringsEveryFileBack)
{
    TempDir dir(fastTemporaryFolder());
    fs::path const folder = dir / "pics";
    makeFiles(folder);
    Tree const original = treeAt(folder);

    // A clean run counts the calls of the execution.
    FaultySystemCalls counted;
    (void)runPlan(folder, dir / "runs", counted, OnFailure::Stop);
    int const total = counted.calls();
    fs::remove_all(folder);
    fs::remove_all(dir / "runs");
    ASSERT_GT(total, 2 * kSingles);

    struct Way {
        Repeat repeat;
        OnFailure onFailure;
    };
    for (Way const way : { Way { Repeat::Once, OnFailure::Stop }, Way { Repeat::Once, OnFailure::KeepGoing },
             Way { Repeat::FromThenOn, OnFailure::KeepGoing } }) {
        for (int n = 1; n <= total; ++n) {
            makeFiles(folder);
            FaultySystemCalls faulty;
            faulty.fail(Call::Any, n, way.repeat);
            JournaledRun const run = runPlan(folder, dir / "runs", faulty, way.onFailure);
            std::string const& journalPath = run.journal;
            std::string const where = "call " + std::to_string(n)
                + (way.repeat == Repeat::Once ? " failed once" : " failed from then on")
                + (way.onFailure == OnFailure::Stop ? ", stopping" : ", going on");
            auto const records = RunRecords::read(journalPath);
            if (records && way.repeat == Repeat::Once) {
                EXPECT_TRUE(recordsAgree(run.pairs, *records)) << where << "\n" << textOf(journalPath);
            }
            if (records) {
                RunJournal undoJournal((dir / "runs").string(), "quodrix undo");
                undoJournal.setUndoes(records->id);
                RunUndo undo(undoJournal, nullptr);
                UndoReport const report = undo.undo(*records);
                EXPECT_TRUE(report.complete()) << where;
                (void)undoJournal.finish();
            } else {
                // No journal at all: the run must not have changed anything.
                EXPECT_EQ(original, treeAt(folder)) << where << ": changed without a journal";
            }
            ASSERT_EQ(original, treeAt(folder)) << where;
            fs::remove_all(folder);
            fs::remove_all(dir / "runs");
        }
    }
}

// An undo takes back a batch of plain moves with one write, as the run made them; whichever call of the
// undo fails, once or from then on, a second undo, told of the first, does what is left and every file is
// back at its own name with its contents.
TEST(JournaledPlan, AnUndoFailingAtAnyCallLeavesTheRestToASecondUndo)
{
    TempDir dir(fastTemporaryFolder());
    fs::path const folder = dir / "pics";
    fs::path const runs = dir / "runs";
    makeFiles(folder);
    Tree const original = treeAt(folder);
    auto runClean = [&] {
        FaultySystemCalls none;
        JournaledRun const run = runPlan(folder, runs, none, OnFailure::Stop);
        EXPECT_EQ(kSingles + 5u, run.summary.done);
        auto records = RunRecords::read(run.journal);
        EXPECT_TRUE(records);
        return records.value_or(RunRecords {});
    };
    auto undo = [&](RunRecords const& run, std::vector<RunRecords> const& earlier, FaultySystemCalls& calls) {
        RunJournal journal(runs.string(), "quodrix undo");
        UndoReport report;
        {
            ScopedSystemCalls installed(calls);
            report = RunUndo(journal, nullptr).undo(run, earlier);
            (void)journal.finish();
        }
        return std::pair(report, journal.path());
    };

    RunRecords const run = runClean();
    FaultySystemCalls counted;
    UndoReport const clean = undo(run, {}, counted).first;
    EXPECT_TRUE(clean.complete());
    EXPECT_EQ(kSingles + 5u, clean.count(UndoLine::Word::Restored));
    EXPECT_EQ(original, treeAt(folder));
    // The header, a write a batch, the end record: the 130 single moves go in two batches, and the steps of
    // the cycle and the chain in small ones, each ending where a step touches a name of the step before
    // (one move at a time would take 138 writes).
    EXPECT_LE(counted.calls(Call::Write), 10);
    int const total = counted.calls();
    fs::remove_all(runs);

    // Every call in the plain build; the sanitized build, several times slower and there for the memory
    // errors of the same paths, takes every third, each pass from another start.
    int const stride = kKillRoundsPercent == 100 ? 1 : 3;
    for (Repeat const repeat : { Repeat::Once, Repeat::FromThenOn }) {
        for (int n = repeat == Repeat::Once ? 1 : stride; n <= total; n += stride) {
            std::string const where = "call " + std::to_string(n) + (repeat == Repeat::Once ? " once" : " on");
            RunRecords const done = runClean();
            FaultySystemCalls faulty;
            faulty.fail(Call::Any, n, repeat);
            auto const [first, firstJournal] = undo(done, {}, faulty);
            std::vector<RunRecords> earlier;
            if (auto records = RunRecords::read(firstJournal))
                earlier.push_back(std::move(*records));
            FaultySystemCalls none;
            UndoReport const second = undo(done, earlier, none).first;
            EXPECT_TRUE(second.complete()) << where;
            ASSERT_EQ(original, treeAt(folder)) << where;
            fs::remove_all(runs);
        }
    }
}

// A chain longer than a batch, and moves onto another file system, go move by move: one write an intent.
TEST(JournaledPlan, AChainLongerThanABatchOrLeavingItsFileSystemGoesMoveByMove)
{
    TempDir dir;
    fs::path const folder = dir / "chain";
    fs::create_directories(folder);
    constexpr int kLength = 200;
    RenamePlan chain;
    for (int i = 0; i < kLength; ++i) {
        std::ofstream(folder / std::to_string(i)) << i;
        chain.add((folder / std::to_string(i)).string(), (folder / std::to_string(i + 1)).string());
    }
    chain.check();
    {
        RunJournal journal((dir / "runs").string(), "quodrix rename");
        JournalObserver observer(journal, Operation::Move);
        FaultySystemCalls counted;
        ScopedSystemCalls installed(counted);
        EXPECT_EQ(std::size_t(kLength), chain.execute(OnFailure::Stop, &observer).done);
        ASSERT_TRUE(journal.finish().ok());
        EXPECT_EQ(kLength + 2, counted.calls(Call::Write));  // the header, each intent, the end
    }
    EXPECT_EQ("0", textOf((folder / "1").string()));
    EXPECT_FALSE(fs::exists(folder / "0"));

    TempDir other(fastTemporaryFolder());
    if (onOneFileSystem(dir.str(), other.str()))
        GTEST_SKIP() << "the fast temporary folder is on the same file system";
    RenamePlan away;
    for (char const* name : { "a", "b", "c" }) {
        std::ofstream(folder / name) << name;
        away.add((folder / name).string(), (other / name).string());
    }
    away.check();
    RunJournal journal((dir / "runs").string(), "quodrix rename -d");
    JournalObserver observer(journal, Operation::Move);
    FaultySystemCalls counted;
    {
        ScopedSystemCalls installed(counted);
        EXPECT_EQ(3u, away.execute(OnFailure::Stop, &observer).done);
    }
    ASSERT_TRUE(journal.finish().ok());
    EXPECT_EQ("a", textOf((other / "a").string()));  // copied there, then removed here
    EXPECT_FALSE(fs::exists(folder / "a"));
    std::string const text = textOf(journal.path());
    auto const second = text.find("\nI 2 move ");
    ASSERT_NE(second, std::string::npos) << text;
    EXPECT_LT(text.find("\nO 1 done "), second) << text;
}

namespace {

// The system's calls, with SIGINT sent to the process at the nth rename, as a user's Ctrl-C comes in the
// middle of a run.
class InterruptingCalls : public SystemCalls {
public:
    explicit InterruptingCalls(int nth) : m_nth(nth) { }
    int renameat2(int fromFolder, char const* from, int toFolder, char const* to, unsigned flags) override
    {
        if (++m_renames == m_nth)
            ::raise(SIGINT);
        return SystemCalls::renameat2(fromFolder, from, toFolder, to, flags);
    }
    int rename(char const* from, char const* to) override
    {
        if (++m_renames == m_nth)
            ::raise(SIGINT);
        return SystemCalls::rename(from, to);
    }

private:
    int m_nth;
    int m_renames = 0;
};

// Carries out the checked plan with a journal in `dir`/runs and SIGINT sent at its nth rename, in a child
// process, since a process's signal handling is its own. The lines the child tells: the pairs done and
// failed, the last pair's cause, whether the journal ended well, the journal's path.
std::vector<std::string> runInterrupted(RenamePlan& plan, fs::path const& dir, int nth, OnFailure onFailure)
{
    fs::path const results = dir / "results";
    pid_t const child = fork();
    if (child == 0) {
        Interruption::catchSignals();
        RunJournal journal((dir / "runs").string(), "quodrix rename");
        JournalObserver observer(journal, Operation::Move);
        InterruptingCalls calls(nth);
        RenamePlan::Summary summary;
        {
            ScopedSystemCalls installed(calls);
            summary = plan.execute(onFailure, &observer);
        }
        bool const finished = journal.finish().ok();
        std::ofstream(results) << summary.done << "\n" << summary.failed << "\n" << plan.pairs().back().cause
                               << "\n" << finished << "\n" << journal.path() << "\n";
        ::_exit(0);
    }
    int status = 0;
    EXPECT_TRUE(child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << status;
    std::vector<std::string> lines;
    std::ifstream in(results);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    lines.resize(5);
    return lines;
}

}

// Interrupted while its first batch of moves is made, a plan makes the rest of that batch (already
// recorded), then no further move: each of the rest is "not done" with the interruption as its cause, and
// the journal ends "interrupted", with an outcome for every move made.
TEST(JournaledPlan, AnInterruptedPlanMakesNoFurtherMove)
{
    TempDir dir;
    fs::path const folder = dir / "pics";
    makeFiles(folder);
    RenamePlan plan = planIn(folder);
    plan.check();
    auto const told = runInterrupted(plan, dir.path(), 3, OnFailure::KeepGoing);
    EXPECT_EQ("128", told[0]);
    EXPECT_EQ(std::to_string(kSingles + 5 - 128), told[1]);
    EXPECT_EQ("not done: the run was interrupted (SIGINT)", told[2]);
    EXPECT_EQ("1", told[3]);
    std::string const text = textOf(told[4]);
    EXPECT_NE(std::string::npos, text.find("\nO 128 done ")) << text;
    EXPECT_EQ(std::string::npos, text.find("\nI 129 ")) << text;
    EXPECT_NE(std::string::npos, text.find(" interrupted\n", text.rfind("\nend "))) << text;
    int renamed = 0;
    for (auto const& entry : fs::directory_iterator(folder))
        renamed += entry.path().filename().string().rfind("photo_", 0) == 0;
    EXPECT_EQ(128, renamed);
}

// Interrupted inside a cycle (at its last step), the plan makes the cycle whole before it stops: c0 and c1
// trade names, and no item is left under a temporary or stranded name. The next cycle is not begun, and
// its pairs say why.
TEST(JournaledPlan, AnInterruptionWaitsForTheEndOfACycle)
{
    TempDir dir;
    fs::path const folder = dir / "pics";
    makeFiles(folder);
    RenamePlan plan;
    plan.add((folder / "c0").string(), (folder / "c1").string());
    plan.add((folder / "c1").string(), (folder / "c0").string());
    plan.add((folder / "x").string(), (folder / "y").string());
    plan.add((folder / "y").string(), (folder / "x").string());
    plan.check();
    auto const told = runInterrupted(plan, dir.path(), 3, OnFailure::KeepGoing);
    EXPECT_EQ("2", told[0]);
    EXPECT_EQ("2", told[1]);
    EXPECT_EQ("not done: the run was interrupted (SIGINT)", told[2]);
    EXPECT_EQ("1", told[3]);
    EXPECT_NE(std::string::npos, textOf(told[4]).find(" interrupted\n")) << textOf(told[4]);
    EXPECT_EQ("contents of c1", textOf((folder / "c0").string()));
    EXPECT_EQ("contents of c0", textOf((folder / "c1").string()));
    EXPECT_EQ("contents of x", textOf((folder / "x").string()));
    EXPECT_EQ("contents of y", textOf((folder / "y").string()));
    for (auto const& entry : fs::directory_iterator(folder))
        EXPECT_EQ(std::string::npos, entry.path().filename().string().find("quodrix")) << entry.path();
}

// An undo interrupted as it takes back a cycle (its first step back puts an item under the cycle's
// temporary name) takes the whole cycle back before it stops: no item is left under that name.
TEST(JournaledPlan, AnInterruptedUndoTakesACycleBackWhole)
{
    TempDir dir;
    fs::path const folder = dir / "pics", runs = dir / "runs", results = dir / "results";
    makeFiles(folder);
    RenamePlan plan;
    plan.add((folder / "x").string(), (folder / "y").string());
    plan.add((folder / "y").string(), (folder / "x").string());
    std::string journalPath;
    {
        RunJournal journal(runs.string(), "quodrix rename");
        JournalObserver observer(journal, Operation::Move);
        ASSERT_EQ(2u, plan.execute(OnFailure::Stop, &observer).done);
        ASSERT_TRUE(journal.finish().ok());
        journalPath = journal.path();
    }
    auto const records = RunRecords::read(journalPath);
    ASSERT_TRUE(records);
    pid_t const child = fork();
    ASSERT_NE(-1, child);
    if (child == 0) {
        Interruption::catchSignals();
        RunJournal journal(runs.string(), "quodrix undo");
        InterruptingCalls calls(1);
        UndoReport report;
        {
            ScopedSystemCalls installed(calls);
            report = RunUndo(journal, nullptr).undo(*records, {});
        }
        (void)journal.finish();
        std::ofstream(results) << report.count(UndoLine::Word::Restored) << "\n" << Interruption::noted() << "\n";
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(child, ::waitpid(child, &status, 0));
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ("2\n" + std::to_string(SIGINT) + "\n", textOf(results.string()));
    EXPECT_EQ("contents of x", textOf((folder / "x").string()));
    EXPECT_EQ("contents of y", textOf((folder / "y").string()));
    for (auto const& entry : fs::directory_iterator(folder))
        EXPECT_EQ(std::string::npos, entry.path().filename().string().find("quodrix")) << entry.path();
}

// A change of case alone on a file system that does not tell case apart (exFAT, through FUSE) goes through a
// temporary name as a cycle of one: whichever call of the run fails, once or from then on, every file ends
// at one of its two names with its contents, no temporary name is left, and undo brings every file back.
TEST(JournaledPlan, ACaseChangeOnACardFailingAtAnyCallIsTakenBackWhole)
{
    TempDir dir;
    ExfatVolume card(dir / "card");
    if (!card.mounted())
        GTEST_SKIP() << card.whyNot();
    fs::path const folder = dir / "card" / "DCIM", runs = dir / "runs";
    std::map<std::string, std::string> const files { { "IMG_1.JPG", "one" }, { "IMG_2.JPG", "two" } };
    auto const make = [&] {
        fs::create_directories(folder);
        for (auto const& [name, data] : files)
            writeFile(folder / name, data);
    };
    auto const run = [&](FaultySystemCalls& calls) {
        RenamePlan plan;
        for (auto const& [name, data] : files) {
            std::string lower = name;
            for (char& c : lower)
                c = char(std::tolower(static_cast<unsigned char>(c)));
            plan.add((folder / name).string(), (folder / lower).string());
        }
        plan.check();
        EXPECT_EQ(0u, plan.predictedFailures());
        RunJournal journal(runs.string(), "quodrix rename");
        JournalObserver observer(journal, Operation::Move);
        ScopedSystemCalls installed(calls);
        plan.execute(OnFailure::KeepGoing, &observer);
        (void)journal.finish();
        std::string causes;
        for (auto const& pair : plan.pairs())
            causes += pair.source + ": " + pair.cause + "\n";
        return std::tuple(plan.summary(), journal.path(), causes);
    };

    make();
    FaultySystemCalls counted;
    auto const [clean, cleanJournal, cleanCauses] = run(counted);
    EXPECT_EQ(2u, clean.done);
    EXPECT_EQ((std::map<std::string, std::string> { { "img_1.jpg", "one" }, { "img_2.jpg", "two" } }),
        folderContents(folder));
    int const total = counted.calls();
    fs::remove_all(folder);
    fs::remove_all(runs);

    for (Repeat const repeat : { Repeat::Once, Repeat::FromThenOn }) {
        for (int n = 1; n <= total; ++n) {
            std::string const where = "call " + std::to_string(n) + (repeat == Repeat::Once ? " once" : " on");
            make();
            FaultySystemCalls faulty;
            faulty.fail(Call::Any, n, repeat);
            auto const [summary, journalPath, causes] = run(faulty);
            // Each file at one of its names, or, where the journal refused the step back out of the
            // temporary name, at that name, which the file's cause gives; undo takes it from there.
            auto const now = folderContents(folder);
            EXPECT_EQ(files.size(), now.size()) << where;
            for (auto const& [name, data] : now) {
                if (name.starts_with(".quodrix-cycle")) {
                    EXPECT_NE(causes.find("it is left as " + (folder / name).string() + ": "), std::string::npos)
                        << where << "\n" << causes;
                    continue;
                }
                auto const original = name == "img_1.jpg" ? "IMG_1.JPG" : name == "img_2.jpg" ? "IMG_2.JPG" : name;
                EXPECT_EQ(files.count(original) ? files.at(original) : "", data) << where << ": " << name;
            }
            if (auto records = RunRecords::read(journalPath)) {
                RunJournal undoJournal(runs.string(), "quodrix undo");
                undoJournal.setUndoes(records->id);
                EXPECT_TRUE(RunUndo(undoJournal, nullptr).undo(*records).complete()) << where;
                (void)undoJournal.finish();
            }
            ASSERT_EQ(files, folderContents(folder)) << where;
            fs::remove_all(folder);
            fs::remove_all(runs);
        }
    }
}
