#include "history/QDRunHistory.h"

#include "core/Class.h"
#include "fs/FileOps.h"
#include "fs/RunJournal.h"
#include "history/RunHistory.h"
#include "history/RunUndo.h"
#include "history/RunsLock.h"
#include "meta/mMeta.h"
#include "platform/Paths.h"
#include "platform/Platform.h"

#include <memory>
#include <optional>
#include <set>

namespace quodrix {

namespace {

std::string runsFolder()
{
    return joinPath(stateDirectory(), "runs");
}

char const* wordOf(UndoLine::Word word)
{
    switch (word) {
    case UndoLine::Word::Restored:
        return "restored";
    case UndoLine::Word::Removed:
        return "removed";
    case UndoLine::Word::Kept:
        return "kept";
    case UndoLine::Word::Failed:
        break;
    }
    return "failed";
}

// The process of a run that has not finished, when it still lives.
std::optional<long> liveProcessOf(RunRecords const& records)
{
    if (records.ended)
        return std::nullopt;
    return RunHistory::liveProcess(records.id);
}

// The causes of what the history could not read.
Array unreadableOf(RunHistory const& history)
{
    Array causes;
    for (auto const& unreadable : history.unreadable())
        causes.push_back(Value(unreadable.cause));
    return causes;
}

}

Value QDRunHistory::runs()
{
    RunHistory history(runsFolder(), RunRecords::Reading::Counts);
    Array runs;
    runs.reserve(history.runs().size());
    for (auto const& run : history.runs()) {
        auto const& records = run.records;
        runs.push_back(Value(Dictionary {
            { "id", Value(records.id) },
            { "started", Value(double(records.startedNs) / 1e9) },
            { "command", Value(records.command) },
            { "done", Value(records.count(ChangeOutcome::Done)) },
            { "failed", Value(records.count(ChangeOutcome::Failed)) },
            { "unknown", Value(records.count(ChangeOutcome::Unknown)) },
            { "undone", Value(run.undone) },
            { "undoes", records.undoes.empty() ? Value() : Value(records.undoes) },
            { "finished", Value(records.ended) },
            { "incomplete", Value(records.incomplete) },
            { "interrupted", Value(records.interrupted) },
            { "running", Value(liveProcessOf(records).has_value()) },
        }));
    }
    return Value(Dictionary { { "runs", Value(std::move(runs)) }, { "unreadable", Value(unreadableOf(history)) } });
}

Value QDRunHistory::undoRun(Runtime& runtime, std::optional<std::string> const& id)
{
    Dictionary answer;
    answer["unreadable"] = Value(Array {});
    auto refuse = [&answer](std::string const& problem) {
        answer["problem"] = Value(problem);
        answer["lines"] = Value(Array {});
        return Value(std::move(answer));
    };
    // Held while the run is chosen and this undo's journal begins: another undo waits, then sees it.
    RunsLock lock(runsFolder());
    if (!lock.status())
        return refuse(lock.status().message());
    // The runs are listed by their counts; only the run to undo and its undo runs are read whole.
    std::optional<RunHistory> history;
    RunSummary const* run = nullptr;
    std::vector<std::string> earlierPaths;
    for (int reading = 0;; ++reading) {
        history.emplace(runsFolder(), RunRecords::Reading::Counts);
        answer["unreadable"] = Value(unreadableOf(*history));
        std::string problem;
        run = history->runToUndo(id, problem);
        if (!run)
            return refuse(problem);
        // Without an id the newest run is meant: a journal that cannot be read and is named as a later run
        // would be (or the folder itself) may be that run, and an older one is not taken back in its place.
        if (!id) {
            std::string const runName = run->path.substr(run->path.rfind('/') + 1);
            for (auto const& unreadable : history->unreadable()) {
                if (unreadable.name.empty() || unreadable.name > runName)
                    return refuse("the newest run may be one whose journal cannot be read; undo RUN takes back the "
                                  "run RUN (quodrix history lists the others)");
            }
        }
        // A run whose process still makes its changes is not taken back under its feet.
        if (auto pid = liveProcessOf(run->records))
            return refuse("run " + run->records.id + " is still running in process " + std::to_string(*pid));
        earlierPaths.clear();
        // An undo that had not ended when its journal was read and whose process is gone may have ended
        // in between (its end record written, then its exit): the history is read once more, when nothing
        // can change those journals any longer, so that a run it took back whole counts as undone.
        bool unended = false;
        for (auto const& other : history->runs()) {
            if (other.records.undoes != run->records.id || other.undone)
                continue;
            if (auto pid = liveProcessOf(other.records))
                return refuse("run " + run->records.id + " is being undone by process " + std::to_string(*pid));
            unended = unended || !other.records.ended;
            earlierPaths.push_back(other.path);
        }
        if (!unended || reading == 1)
            break;
    }
    std::optional<RunRecords> whole = RunRecords::read(run->path);
    if (!whole)
        return refuse("cannot read the journal of run " + run->records.id + ": " + run->path);
    // The undo runs of this run made before: what they took back is not done again.
    std::vector<RunRecords> earlier;
    for (auto const& path : earlierPaths) {
        auto records = RunRecords::read(path);
        if (!records)
            return refuse("cannot read the journal of an undo of run " + run->records.id + ": " + path);
        earlier.push_back(std::move(*records));
    }

    Platform& platform = runtime.platform();
    std::unique_ptr<RunJournal> own;
    RunJournal* journal = platform.journal();
    if (!journal) {
        own = std::make_unique<RunJournal>(runsFolder(), "undo " + run->records.id);
        journal = own.get();
    }
    journal->setUndoes(run->records.id);
    Status const opened = journal->open();
    lock.release();
    if (!opened)
        return refuse(opened.message());
    RunUndo undo(
        *journal,
        [&runtime](std::string const& path, std::optional<std::string> const& comment) {
            runtime.platform().clearLastFailure();
            if (mMeta::writeUserComment(runtime, path, comment) == mMeta::kOK)
                return Status();
            return Status::refused(runtime.platform().lastFailure().value_or("the comment could not be written"));
        },
        [&runtime](std::string const& path) { return mMeta::readUserComment(runtime, path); });
    UndoReport report = undo.undo(*whole, earlier);
    // The records of the runs are let go before the lines are handed over: at a million changes each holds
    // hundreds of megabytes.
    std::string const runId = run->records.id;
    run = nullptr;
    history.reset();
    whole.reset();
    earlier = {};
    if (own) {
        if (Status finished = own->finish(); !finished)
            report.lines.push_back({ UndoLine::Word::Failed, own->path(), finished.message() });
    }

    for (auto word : { UndoLine::Word::Restored, UndoLine::Word::Removed, UndoLine::Word::Kept, UndoLine::Word::Failed })
        answer[wordOf(word)] = Value(report.count(word));
    // Three texts a line (its word, its path, its detail) in one flat list: a table for each line of an undo
    // of a million files took more memory than the rest of the undo.
    PathList lines;
    for (auto const& line : report.lines) {
        lines.add(wordOf(line.word));
        lines.add(line.path);
        lines.add(line.detail);
    }
    report.lines = {};
    answer["run"] = Value(runId);
    answer["lines"] = Value(std::move(lines));
    return Value(std::move(answer));
}

Value QDRunHistory::forgetRuns(std::string const& id)
{
    Dictionary answer;
    Array forgotten, failures;
    auto finish = [&](std::optional<std::string> problem) {
        if (problem)
            answer["problem"] = Value(*problem);
        answer["forgotten"] = Value(std::move(forgotten));
        answer["failures"] = Value(std::move(failures));
        return Value(std::move(answer));
    };
    // Held as an undo holds it: no undo chooses a run that is being forgotten.
    RunsLock lock(runsFolder());
    if (!lock.status())
        return finish(lock.status().message());
    RunHistory history(runsFolder(), RunRecords::Reading::Counts);
    auto const runs = history.runsUpTo(id);
    if (runs.empty())
        return finish("no run " + id + " in " + history.folder());
    // Nothing is taken away from under a run that still makes its changes, nor from under an undo (a newer
    // run) that still takes them back: it brings the items back from the folder of the run it undoes.
    std::set<std::string> ids;
    for (auto const& run : runs) {
        if (auto pid = liveProcessOf(run.records))
            return finish("run " + run.records.id + " is still running in process " + std::to_string(*pid));
        ids.insert(run.records.id);
    }
    for (auto const& other : history.runs()) {
        if (!other.records.undoes.empty() && ids.contains(other.records.undoes)) {
            if (auto pid = liveProcessOf(other.records))
                return finish("run " + other.records.undoes + " is being undone by process " + std::to_string(*pid));
        }
    }
    // Oldest first, and a journal that cannot be removed stops the forget: the runs left are the newest,
    // which an undo would take first, and no undo run is left without the run it undid while that run stays.
    for (auto run = runs.rbegin(); run != runs.rend(); ++run) {
        if (Status removed = RunHistory::removeJournal(*run); !removed) {
            failures.push_back(Value(removed.message()));
            return finish(std::nullopt);
        }
        forgotten.push_back(Value(run->records.id));
        if (Status removed = RunHistory::removeKeptItems(*run); !removed)
            failures.push_back(Value(removed.message()));
    }
    // What an earlier forget left behind goes too; not what this one could not remove, said once above.
    if (failures.empty()) {
        if (Status swept = history.removeItemsWithoutJournal(id); !swept)
            failures.push_back(Value(swept.message()));
    }
    return finish(std::nullopt);
}

void QDRunHistory::registerClass(Runtime& runtime)
{
    ClassBuilder<QDRunHistory>(runtime, "QDRunHistory")
        .classMethod("runs", [](Call const&) { return runs(); })
        .classMethod("undoRun:", [](Call const& c) { return undoRun(c.runtime, c.args.optionalString(0)); })
        .classMethod("forgetRuns:", [](Call const& c) { return forgetRuns(c.args.string(0)); });
}

}
