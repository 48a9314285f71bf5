#pragma once
// RunUndo: takes back the changes of one recorded run, newest first, as a run of its own recorded in
// `journal` (marked as undoing that run), so that it can be undone in turn.
//
// What is on disk decides, not the record alone: a moved item goes back only when the item at its target
// is the one the run moved (same device and inode); a change recorded but never made is recognised (the
// item is still at its source) and passed over; a copy is removed only when unchanged since the run (same
// identity, size and modification time), otherwise it stays and is reported; an item the run replaced or
// removed comes back from the run's folder; a comment is written back; a file the run wrote is removed like
// a copy, and the item it replaced comes back. Nothing is ever replaced: an item
// that cannot go back names the cause. Removal moves the item into the undo run's own folder. Temporary
// items that the run's process left beside its targets are removed. When an item could not be put back the
// undo run is marked incomplete, and the run stays to be undone.
//
// A move onto another file system makes a new item at the target: when the source is gone and the item
// at the target keeps the source's size and modification time on another device, it is the one the run
// moved. Changes that an earlier undo of the same run already took back (its journal says so, or the disk
// shows its move made) are passed over silently, so that a second undo reports only what is still to do.

#include "fs/Status.h"
#include "history/RunRecords.h"

#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace quodrix {

class RunJournal;

struct UndoLine {
    enum class Word { Restored, Removed, Kept, Failed };
    Word word;
    std::string path;
    std::string detail;  // where the item came from, or the cause
};

struct UndoReport {
    std::vector<UndoLine> lines;
    std::size_t count(UndoLine::Word word) const;
    bool complete() const { return count(UndoLine::Word::Kept) == 0 && count(UndoLine::Word::Failed) == 0; }
};

class RunUndo {
public:
    // Writes the comment back (nullopt: the image had none, and is left with none).
    using CommentWriter = std::function<Status(std::string const& path, std::optional<std::string> const& comment)>;
    // The comment of an image now: nullopt when the file cannot be read as an image, else its comment
    // (nullopt inside: it has none).
    using CommentReader = std::function<std::optional<std::optional<std::string>>(std::string const& path)>;

    RunUndo(RunJournal& journal, CommentWriter writeComment, CommentReader readComment = {});

    // `earlier`: the undo runs of `run` made before (and not themselves undone).
    UndoReport undo(RunRecords const& run, std::vector<RunRecords> const& earlier = {});

private:
    // Takes back, with their intents recorded in one write, the moves of plain files that end
    // `changes[0, end)` and each need only one rename (see the definition); how many it took, 0 when the
    // last change is not of that kind.
    std::size_t reverseMovesTogether(std::vector<RecordedChange> const& changes, std::size_t end);
    void reverseMove(RecordedChange const& change);
    void reverseCopy(RecordedChange const& change);
    void reverseRemove(RecordedChange const& change);
    void reverseComment(RecordedChange const& change);
    void bringBackAside(RecordedChange const& change);
    void removeIfOurs(RecordedChange const& change, bool ours, char const* whyKept);
    void add(UndoLine::Word word, std::string const& path, std::string detail);
    // Whether an earlier undo moved the item from `from` to `to`, or removed `from` (empty `to`).
    bool takenBack(std::string const& from, std::string const& to) const;

    RunJournal& m_journal;
    CommentWriter m_writeComment;
    CommentReader m_readComment;
    UndoReport m_report;
    std::set<std::string> m_folders;
    std::set<std::pair<std::string, std::string>> m_takenBack;
};

}
