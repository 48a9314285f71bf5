// The rename planner over real files in temporary folders: the predicted failures the commands do not
// show, one item under two spellings, an observer's refusal, cycles whose renames fail at every step, and a
// chain of 100,000 pairs. (Chains, swaps and cycles carried out are checked through the commands.)

#include "fs/FsTestSupport.h"
#include "rename/RenamePlan.h"
#include "support/FaultySystemCalls.h"
#include "support/ScriptBundle.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <gtest/gtest.h>

using namespace quodrix;
using namespace quodrix::test;
namespace fs = std::filesystem;

namespace {

std::string stateText(PairState state)
{
    switch (state) {
    case PairState::Planned: return "planned";
    case PairState::Unchanged: return "unchanged";
    case PairState::Done: return "done";
    case PairState::Failed: return "failed";
    }
    return "?";
}

// Each pair as "source -> target: state[: cause]", names relative to the folder.
std::vector<std::string> rows(RenamePlan const& plan, fs::path const& folder)
{
    std::vector<std::string> out;
    auto rel = [&](std::string const& p) {
        std::string prefix = folder.string() + "/";
        return p.compare(0, prefix.size(), prefix) == 0 ? p.substr(prefix.size()) : p;
    };
    for (auto const& pair : plan.pairs()) {
        std::string row = rel(pair.source) + " -> " + rel(pair.target) + ": " + stateText(pair.state);
        if (!pair.cause.empty())
            row += ": " + pair.cause;
        out.push_back(row);
    }
    return out;
}

class RenamePlanTest : public ::testing::Test {
protected:
    std::string at(std::string const& name) const { return (m_dir.path() / name).string(); }
    void make(std::initializer_list<std::pair<char const*, char const*>> files)
    {
        for (auto const& [name, contents] : files)
            writeFile(m_dir.path() / name, contents);
    }
    Tree tree() const { return treeAt(m_dir.path()); }
    // Every file of the folder by name, with its contents.
    std::map<std::string, std::string> contents() const { return folderContents(m_dir.path()); }
    std::vector<std::string> rowsOf(RenamePlan const& plan) const { return rows(plan, m_dir.path()); }

    TempDir m_dir;
};

// A folder named with trailing slashes is the folder before them: its name is looked for in its parent, it
// swaps with another folder like any item, and its files go with it.
TEST_F(RenamePlanTest, AFolderGivenWithATrailingSlashIsRenamedAsTheFolder)
{
    fs::create_directory(m_dir.path() / "one");
    fs::create_directory(m_dir.path() / "two");
    fs::create_directory(m_dir.path() / "three");
    make({ { "one/a", "in one" }, { "two/b", "in two" }, { "three/c", "in three" } });
    RenamePlan plan;
    plan.add(at("one/"), at("two"));
    plan.add(at("two//"), at("one"));
    plan.add(at("three/"), at("four"));
    plan.add(at("missing/"), at("five"));
    plan.check();
    EXPECT_EQ(1u, plan.predictedFailures());
    plan.execute(OnFailure::KeepGoing);
    EXPECT_EQ((std::vector<std::string> { "one/ -> two: done", "two// -> one: done", "three/ -> four: done",
                  "missing/ -> five: failed: " + std::string(std::strerror(ENOENT)) }),
        rowsOf(plan));
    EXPECT_EQ("in one", readFile(m_dir.path() / "two/a"));
    EXPECT_EQ("in two", readFile(m_dir.path() / "one/b"));
    EXPECT_EQ("in three", readFile(m_dir.path() / "four/c"));
    EXPECT_FALSE(fs::exists(m_dir.path() / "three"));
}

// The causes the command-level runs do not show: a missing folder of the new name, a name that climbs out
// of its folder, a trailing slash that leaves no name, one file renamed twice, and the name of a missing
// source that stays free.
TEST_F(RenamePlanTest, PredictedFailuresCarryTheirCause)
{
    make({ { "a", "A" }, { "e", "E" }, { "g", "G" }, { "h", "H" }, { "i", "I" }, { "j", "J" } });
    fs::create_directory(m_dir.path() / "sub");
    RenamePlan plan;
    plan.add(at("missing"), at("m2"));
    plan.add(at("a"), at("nowhere/a"));
    plan.add(at("e"), at(".."));
    plan.add(at("g"), at("g2"));
    plan.add(at("h"), at("sub/"));
    plan.add(at("i"), at("i2"));
    plan.add(at("i"), at("i3"));
    plan.add(at("j"), at("missing"));  // the name of a missing source is free
    plan.check();
    std::vector<std::string> expected {
        "missing -> m2: failed: No such file or directory",
        "a -> nowhere/a: failed: the folder " + at("nowhere") + " does not exist",
        "e -> ..: failed: not one path component",
        "g -> g2: planned",
        "h -> sub/: failed: the new name is empty",
        "i -> i2: failed: the file is renamed twice in this plan",
        "i -> i3: failed: the file is renamed twice in this plan",
        "j -> missing: planned",
    };
    EXPECT_EQ(expected, rowsOf(plan));
    EXPECT_EQ(6u, plan.predictedFailures());
}

TEST_F(RenamePlanTest, KeepGoingCarriesOutTheRestAndAChainBehindAFailureWaits)
{
    make({ { "a", "A" }, { "b", "B" }, { "c", "C" }, { "blocker", "X" } });
    RenamePlan plan;
    plan.add(at("a"), at("b"));        // waits for b, which cannot move
    plan.add(at("b"), at("blocker"));  // the name is taken by an item that stays
    plan.add(at("c"), at("c2"));
    plan.check();
    EXPECT_EQ((std::vector<std::string> { "a -> b: failed: would replace an existing item",
                  "b -> blocker: failed: would replace an existing item", "c -> c2: planned" }),
        rowsOf(plan));
    auto summary = plan.execute(OnFailure::KeepGoing);
    EXPECT_EQ(1u, summary.done);
    EXPECT_EQ(2u, summary.failed);
    EXPECT_TRUE(fs::exists(m_dir.path() / "c2"));
    EXPECT_TRUE(fs::exists(m_dir.path() / "a"));
    EXPECT_TRUE(fs::exists(m_dir.path() / "b"));
}

TEST_F(RenamePlanTest, OneItemUnderAnotherSpellingIsNoChange)
{
    make({ { "x.jpg", "X" }, { "y.jpg", "Y" } });
    fs::create_directory_symlink(m_dir.path(), m_dir.path() / "linked");
    RenamePlan plan;
    plan.add(at("x.jpg"), at("./x.jpg"));
    plan.add(at("y.jpg"), at("linked/y.jpg"));
    plan.check();
    EXPECT_EQ(0u, plan.predictedFailures());
    auto summary = plan.execute(OnFailure::Stop);
    EXPECT_EQ(2u, summary.unchanged);
    EXPECT_EQ(0u, summary.done);
    EXPECT_TRUE(fs::exists(m_dir.path() / "x.jpg"));
    EXPECT_TRUE(fs::exists(m_dir.path() / "y.jpg"));
}

TEST_F(RenamePlanTest, ATargetThatOnlyLooksFreeUnderAnotherSpellingIsTaken)
{
    // "linked/b" is the file b, which this plan moves away: a -> linked/b is a chain, not a replacement.
    make({ { "a", "A" }, { "b", "B" } });
    fs::create_directory_symlink(m_dir.path(), m_dir.path() / "linked");
    RenamePlan plan;
    plan.add(at("a"), at("linked/b"));
    plan.add(at("linked/b"), at("c"));
    auto summary = plan.execute(OnFailure::Stop);
    EXPECT_EQ(2u, summary.done) << ::testing::PrintToString(rowsOf(plan));
    EXPECT_EQ("A", readFile(m_dir.path() / "b"));
    EXPECT_EQ("B", readFile(m_dir.path() / "c"));
}

// An observer that refuses the nth move announced to it, as a journal that cannot be written does.
class Refuser final : public ChangeObserver {
public:
    explicit Refuser(int refuseAt) : m_refuseAt(refuseAt) { }
    Status beforeMove(std::string const&, std::string const&) override
    {
        return ++m_moves == m_refuseAt ? Status::refused("the journal cannot be written") : Status {};
    }
    // A batch is seen as its moves one by one; refused as a whole when one of them is.
    Status beforeMoves(std::span<AnnouncedMove const> batch, FolderHandles&) override
    {
        Status allowed;
        for (auto const& move : batch) {
            if (Status one = beforeMove(*move.source, *move.target); !one)
                allowed = one;
        }
        return allowed;
    }
    void afterMove(std::string const&, std::string const&, Status const&, bool) override { }
    void notMade(std::string const&, std::string const&) override { }

private:
    int m_moves = 0;
    int m_refuseAt;
};

// A refusal stops the run even when told to keep going; refused inside a cycle, the cycle is undone.
TEST_F(RenamePlanTest, AnObserverRefusalStopsTheRunAndUndoesItsCycle)
{
    make({ { "a", "A" }, { "b", "B" }, { "c", "C" }, { "d", "D" } });
    RenamePlan refused;
    refused.add(at("d"), at("e"));
    refused.add(at("a"), at("f"));
    Refuser first(1);
    EXPECT_EQ(0u, refused.execute(OnFailure::KeepGoing, &first).done);
    EXPECT_EQ((std::vector<std::string> { "d -> e: failed: the journal cannot be written",
                  "a -> f: failed: not done: the run stopped after a failure" }),
        rowsOf(refused));

    RenamePlan plan;
    plan.add(at("a"), at("b"));
    plan.add(at("b"), at("c"));
    plan.add(at("c"), at("a"));
    Refuser third(3);  // aside, c -> a, then b -> c is refused
    Tree before = tree();
    auto summary = plan.execute(OnFailure::KeepGoing, &third);
    EXPECT_EQ(0u, summary.done);
    EXPECT_EQ(3u, summary.failed);
    EXPECT_EQ(before, tree());
    EXPECT_EQ("b -> c: failed: the journal cannot be written", rowsOf(plan)[1]);
}

// A four-cycle a -> b -> c -> d -> a takes five renames: a aside, d -> a, c -> d, b -> c, aside -> b. Each
// fails in turn, and with it each rename that takes the cycle back; every row must say where its file is,
// nothing is lost, and a cycle whose step back went well is undone whole.
TEST_F(RenamePlanTest, EveryRowOfACycleWhoseStepAndStepBackFailSaysWhereItsFileIs)
{
    std::map<std::string, std::string> const original { { "a", "A" }, { "b", "B" }, { "c", "C" }, { "d", "D" } };
    for (int failing = 1; failing <= 5; ++failing) {
        // Taking back a failure at step f takes f - 1 renames: f - 2 pairs back, then the first one home.
        std::vector<std::vector<int>> backFailures { {} };
        for (int back = failing + 1; back <= 2 * failing - 1; ++back)
            backFailures.push_back({ back });
        if (failing > 1)
            backFailures.push_back({ 2 * failing - 1, 2 * failing });  // not home, nor beside it
        for (auto const& also : backFailures) {
            std::string const label = "step " + std::to_string(failing) + ", back " + ::testing::PrintToString(also);
            TempDir dir;
            for (auto const& [name, data] : original)
                writeFile(dir.path() / name, data);
            auto path = [&](std::string const& name) { return (dir.path() / name).string(); };
            RenamePlan plan;
            plan.add(path("a"), path("b"));
            plan.add(path("b"), path("c"));
            plan.add(path("c"), path("d"));
            plan.add(path("d"), path("a"));
            FaultySystemCalls faulty;
            faulty.fail(Call::Rename, failing, Repeat::Once);
            for (int nth : also)
                faulty.failAlso(nth);
            RenamePlan::Summary summary;
            {
                ScopedSystemCalls scoped(faulty);
                summary = plan.execute(OnFailure::KeepGoing);
            }
            EXPECT_EQ(int(1 + also.size()), faulty.failures()) << label;

            std::map<std::string, std::string> files;
            for (auto const& [name, data] : folderContents(dir.path()))
                files[(dir.path() / name).string()] = data;
            std::multiset<std::string> held;
            for (auto const& [name, data] : files)
                held.insert(data);
            EXPECT_EQ((std::multiset<std::string> { "A", "B", "C", "D" }), held) << label;  // nothing lost

            std::size_t done = 0;
            std::set<std::string> named;  // the paths the rows say their files are at
            for (auto const& pair : plan.pairs()) {
                std::string const data = original.at(fs::path(pair.source).filename().string());
                std::string at = pair.source;
                std::string const row = label + ": " + pair.source + ": " + pair.cause;
                if (pair.state == PairState::Done) {
                    ++done;
                    EXPECT_EQ("", pair.cause) << row;
                    at = pair.target;
                } else {
                    ASSERT_EQ(PairState::Failed, pair.state) << row;
                    for (std::string const where : { "it is now ", "it is left as " }) {
                        if (auto found = pair.cause.find(where); found != std::string::npos)
                            at = pair.cause.substr(found + where.size(), pair.cause.find(':', found) - found - where.size());
                    }
                }
                EXPECT_EQ(data, files[at]) << row;
                named.insert(at);
                if (pair.cause.find("it is now ") != std::string::npos) {
                    EXPECT_EQ(pair.source + ".quodrix-stranded", at) << row;  // visible, beside its own place
                }
            }
            EXPECT_EQ(done, summary.done) << label;
            if (also.empty()) {
                EXPECT_EQ(0u, done) << label;  // a cycle whose step failed is taken back whole
            }
            for (auto const& [file, data] : files) {
                if (!original.count(fs::path(file).filename().string())) {
                    EXPECT_TRUE(named.count(file)) << label << ": " << file << " is named by no row";
                }
            }
        }
    }
}

TEST_F(RenamePlanTest, AStepBackThatFailsLeavesItsPairDoneAndTheFirstFileBesideItsName)
{
    make({ { "a", "A" }, { "b", "B" }, { "c", "C" }, { "d", "D" }, { "a.quodrix-stranded", "S" } });
    RenamePlan plan;
    plan.add(at("a"), at("b"));
    plan.add(at("b"), at("c"));
    plan.add(at("c"), at("d"));
    plan.add(at("d"), at("a"));
    FaultySystemCalls faulty;
    faulty.fail(Call::Rename, 3, Repeat::Once);  // c -> d
    faulty.failAlso(4);  // d back from a
    {
        ScopedSystemCalls scoped(faulty);
        auto summary = plan.execute(OnFailure::KeepGoing);
        EXPECT_EQ(1u, summary.done);
        EXPECT_EQ(3u, summary.failed);
    }
    EXPECT_EQ((std::vector<std::string> {
                  "a -> b: failed: a rename of its cycle failed (Input/output error) and it could not be moved back: "
                  "it is now " + at("a.quodrix-stranded-2"),
                  "b -> c: failed: not done: a rename of its cycle failed (Input/output error)",
                  "c -> d: failed: Input/output error",
                  "d -> a: done",
              }),
        rowsOf(plan));
    EXPECT_EQ((std::map<std::string, std::string> { { "a", "D" }, { "a.quodrix-stranded", "S" },
                  { "a.quodrix-stranded-2", "A" }, { "b", "B" }, { "c", "C" } }),
        contents());

    // Taken back whole, every pair that moved is undone and the one that never moved is not.
    TempDir dir;
    for (auto const& [name, data] : std::map<std::string, std::string> { { "a", "A" }, { "b", "B" }, { "c", "C" }, { "d", "D" } })
        writeFile(dir.path() / name, data);
    RenamePlan whole;
    for (auto const& [from, to] : { std::pair { "a", "b" }, { "b", "c" }, { "c", "d" }, { "d", "a" } })
        whole.add((dir.path() / from).string(), (dir.path() / to).string());
    FaultySystemCalls once;
    once.fail(Call::Rename, 4, Repeat::Once);  // b -> c
    {
        ScopedSystemCalls scoped(once);
        (void)whole.execute(OnFailure::KeepGoing);
    }
    EXPECT_EQ((std::vector<std::string> { "a -> b: failed: undone: a rename of its cycle failed (Input/output error)",
                  "b -> c: failed: Input/output error",
                  "c -> d: failed: undone: a rename of its cycle failed (Input/output error)",
                  "d -> a: failed: undone: a rename of its cycle failed (Input/output error)" }),
        rows(whole, dir.path()));
}

TEST_F(RenamePlanTest, ACopyPlanFreesNoNameAndKeepsItsSources)
{
    make({ { "a", "A" }, { "b", "B" } });
    RenamePlan plan;
    plan.setOperation(Operation::Copy);
    plan.add(at("a"), at("b"));  // b is copied away, but stays: its name is not freed
    plan.add(at("b"), at("c"));
    plan.add(at("a"), at("a"));  // onto itself
    plan.check();
    EXPECT_EQ((std::vector<std::string> { "a -> b: failed: would replace an existing item", "b -> c: planned",
                  "a -> a: failed: would replace an existing item" }),
        rowsOf(plan));
    auto summary = plan.execute(OnFailure::KeepGoing);
    EXPECT_EQ(1u, summary.done);
    EXPECT_EQ((std::map<std::string, std::string> { { "a", "A" }, { "b", "B" }, { "c", "B" } }), contents());
}

// The moves go through their folders' handles; a folder that the plan moves is not reached through a
// handle opened before, so that a later pair that names the old path fails as its path says. The folder's
// type comes from a look at it (few pairs) or from its folder's listing (many).
TEST_F(RenamePlanTest, APairAfterItsFolderMovedGoesByThePath)
{
    for (int fillers : { 0, 40 }) {
        TempDir dir;
        auto path = [&](std::string const& name) { return (dir.path() / name).string(); };
        writeFile(dir.path() / "A" / "x1", "1");
        writeFile(dir.path() / "A" / "x2", "2");
        RenamePlan plan;
        for (int i = 0; i < fillers; ++i) {
            writeFile(dir.path() / ("f" + std::to_string(i)), "f");
            plan.add(path("f" + std::to_string(i)), path("g" + std::to_string(i)));
        }
        plan.add(path("A/x1"), path("A/y1"));
        plan.add(path("A"), path("B"));
        plan.add(path("A/x2"), path("A/y2"));
        plan.check();
        EXPECT_EQ(0u, plan.predictedFailures()) << fillers;
        (void)plan.execute(OnFailure::KeepGoing);
        auto const all = rows(plan, dir.path());
        EXPECT_EQ((std::vector<std::string>(all.end() - 3, all.end())),
            (std::vector<std::string> { "A/x1 -> A/y1: done", "A -> B: done",
                "A/x2 -> A/y2: failed: No such file or directory" }))
            << fillers;
        EXPECT_EQ(readFile(dir.path() / "B" / "y1"), "1");
        EXPECT_EQ(readFile(dir.path() / "B" / "x2"), "2");
        EXPECT_FALSE(fs::exists(dir.path() / "A"));
    }
}

TEST(RenamePlanScale, AHundredThousandPairsPlanAndRunInOneFolder)
{
    TempDir dir(fastTemporaryFolder());
    std::size_t const count = 100000;
    RenamePlan plan;
    plan.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        std::string name = "f" + std::to_string(i);
        std::ofstream(dir.path() / name).put('x');
        // Each takes the name of the next: one long chain, which must run from its end.
        plan.add((dir.path() / name).string(), (dir.path() / ("f" + std::to_string(i + 1))).string());
    }
    plan.check();
    EXPECT_EQ(0u, plan.predictedFailures());
    auto summary = plan.execute(OnFailure::Stop);
    EXPECT_EQ(count, summary.done);
    EXPECT_FALSE(fs::exists(dir.path() / "f0"));
    EXPECT_TRUE(fs::exists(dir.path() / ("f" + std::to_string(count))));
}

}
