#pragma once
// The one road by which a command's change to files is journaled: record the intent, make the change,
// record the outcome. With no journal (no run open, or a simulation) the change is made plainly.
//
// A placement that replaces an item (Existing::Replaced) first moves that item into the run's own folder
// (a rename on one file system, else a flushed copy and removal), so that undo can put it back; should the
// placement then fail, the item is moved back. When the journal cannot take a record, nothing is changed
// and the journal's failure is returned; the journal then refuses every later change of the run.

#include "fs/ItemPlacement.h"
#include "fs/Status.h"

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <sys/stat.h>

namespace quodrix {

class RunJournal;

Status journaledPlaceItem(RunJournal* journal, Placement how, Existing existing, std::string const& source,
    std::string const& destination);

// The moves without replacing (Placement::Move, Existing::Kept) that are to follow one another in this
// order, recorded ahead in one write: each one's journaledPlaceItem then finds its intent written and makes
// it with one rename. The sources are looked at, and the renames made, through the open folders of the
// journal's aheadFolders(), which journaledEndOfMovesAhead() closes. Only a move within one file system is
// recorded ahead (any other is recorded when it is made, with what stands at its destination). A move that
// is not made is recorded untried by journaledEndOfMovesAhead(), by the journal's finish, or by any other
// intent recorded first, and a reader leaves it out. With no journal, nothing is recorded. A failure is the
// journal's, which then refuses every change of the run as it would have refused the first of these.
// The moves recorded ahead in one write, at most: a process killed leaves at most this many intents whose
// outcome the disk tells.
constexpr std::size_t kMovesAheadAtMost = 128;
struct MoveAhead {
    std::string const& source;
    std::string const& destination;
    // The source as the caller looked at it through the journal's aheadFolders() right before, if it did:
    // it is recorded as it was then and not looked at again.
    struct stat const* seen = nullptr;
};
Status journaledMovesAhead(RunJournal* journal, std::span<MoveAhead const> moves);
void journaledEndOfMovesAhead(RunJournal* journal);

// Writes `bytes` as the file at `path`, recorded as a creation: undo removes the file while it is as the run
// wrote it, keeps it when it changed since, and brings back the item it replaced, which the run's own folder
// keeps meanwhile. With no journal the file is written in one atomic replacement. A file the user may not
// write is refused, as the system would refuse writing into it.
Status journaledWriteFile(RunJournal* journal, std::string const& path, std::string_view bytes);

// Takes the item away by moving it into the run's own folder (never destroying it), recorded as a removal.
Status journaledRemove(RunJournal& journal, std::string const& path);

}
