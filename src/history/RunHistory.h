#pragma once
// RunHistory: the runs recorded in a journal folder (`<state>/runs`), newest first, each with its counts
// and whether it is undone. A run is undone when an undo run that names it finished having put back all it
// could (copies kept because they changed count as done; an item it could not restore does not, so that
// undo tries again once the cause is mended), and that undo run was not itself undone later (undoing an
// undo puts the run's changes back).

#include "history/RunRecords.h"

#include "fs/Status.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quodrix {

struct RunSummary {
    RunRecords records;
    bool undone = false;
    std::string path;  // of the journal file
};

class RunHistory {
public:
    // Reads every journal of the folder, each as `reading` says; a missing folder has no runs.
    explicit RunHistory(std::string folder, RunRecords::Reading reading = RunRecords::Reading::Changes);

    std::vector<RunSummary> const& runs() const { return m_runs; }  // newest first
    std::string const& folder() const { return m_folder; }
    // What could not be read, each with its cause: a journal of the folder (left out of runs()), named by
    // its file name, in the order of the names; or the folder itself, with an empty name.
    struct Unreadable {
        std::string name;
        std::string cause;
    };
    std::vector<Unreadable> const& unreadable() const { return m_unreadable; }

    // The run to undo: the one named `id`, else the newest run that is not undone, is no undo run itself
    // and did not fail in every change it began. Null when there is none; `problem` then says why.
    RunSummary const* runToUndo(std::optional<std::string> const& id, std::string& problem) const;

    // The process of run `id` when it is another process and still lives: a run id ends with "-<pid>".
    static std::optional<long> liveProcess(std::string_view id);
    // The run named `id` and every run older than it, newest first; empty when there is no such run.
    std::span<RunSummary const> runsUpTo(std::string const& id) const;
    // Takes a run out of the history for good: its journal first, so that the history never lists a run
    // whose kept items are partly gone, then (removeKeptItems) the folder of the items it kept.
    static Status removeJournal(RunSummary const& run);
    static Status removeKeptItems(RunSummary const& run);
    // Removes the folders of kept items whose journal is gone (a forget stopped part way) of the runs up to
    // the run `newestId`, but of a run whose process still lives: a run makes the folder of its items just
    // before its journal.
    Status removeItemsWithoutJournal(std::string const& newestId) const;

private:
    std::string m_folder;
    std::vector<RunSummary> m_runs;
    std::vector<Unreadable> m_unreadable;
};

}
