#pragma once
// QDRunHistory: the run history and its undo, for the scripts.
//
// Class methods:
//   runs      a dictionary: runs, the runs recorded under `<state>/runs`, newest first, and unreadable, the
//             causes (texts) of the journals (or of the folder) that could not be read, left out of runs.
//             Each run is a dictionary: id, started (seconds
//             since 1970), command, done, failed (counts of changes), undone (bool), undoes (the id of the
//             run an undo run reversed, or null), finished (whether the run recorded its end), incomplete
//             (whether its end says that, as an undo, it could not put everything back), interrupted
//             (whether its end says it was interrupted, making no change after that), running (not
//             finished, and the process that records it still lives).
//   undoRun:  undoes the run of that id, or with null the newest run not undone (undo runs left out),
//             recording the undo in the journal of the run in progress (Platform::journal(); one of its
//             own when none is open). Answers a dictionary: run (the id, or null when there was nothing to
//             undo), problem (why not, or null), lines (three texts a line, flat: word, path, detail, the
//             word being "restored", "removed", "kept" or "failed"), the counts restored, removed, kept,
//             failed, and unreadable (as runs gives it). Without an id it refuses when a journal that cannot
//             be read is named as a later run than the newest it can read.
//   forgetRuns:  takes the run of that id and every older run out of the history for good: their journals,
//             then the items they kept; refused (nothing removed) while one of them is still running or
//             being undone.
//             Answers a dictionary: problem (why nothing was forgotten, or null), forgotten (the ids, oldest
//             first), failures (the causes of what could not be removed). A journal that cannot be read
//             is left as it is.

#include "core/Object.h"

namespace quodrix {

class Runtime;

class QDRunHistory : public Object {
public:
    static void registerClass(Runtime& runtime);

    static Value runs();
    static Value undoRun(Runtime& runtime, std::optional<std::string> const& id);
    static Value forgetRuns(std::string const& id);
};

}
