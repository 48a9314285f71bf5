#pragma once
// RunHistory: the runs recorded in a journal folder (`<state>/runs`), newest first, each with its counts
// and whether it is undone. A run is undone when an undo run that names it finished having put back all it
// could (copies kept because they changed count as done; an item it could not restore does not, so that
// undo tries again once the cause is mended), and that undo run was not itself undone later (undoing an
// undo puts the run's changes back).

#include "history/RunRecords.h"

#include <optional>
#include <string>
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

private:
    std::string m_folder;
    std::vector<RunSummary> m_runs;
    std::vector<Unreadable> m_unreadable;
};

}
