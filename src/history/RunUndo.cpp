#include "history/RunUndo.h"

#include "fs/FileOps.h"
#include "fs/FileStore.h"
#include "fs/ItemNames.h"
#include "fs/JournaledChange.h"
#include "fs/RunJournal.h"
#include "fs/SystemCalls.h"

#include <cerrno>
#include <climits>
#include <utility>
#include <sys/stat.h>

namespace quodrix {

namespace {

bool sameItem(std::optional<ItemIdentity> const& a, std::optional<ItemIdentity> const& b)
{
    return a && b && a->sameItem(*b);
}

// Whether the item `at` the target `path` looks like the copy a killed run made of the source: copies keep
// the source's size and modification time, and are another item than the source and than what stood there.
bool looksLikeCopy(RecordedChange const& change, ItemIdentity const& at, std::string const& path)
{
    if (!change.identity || at.modifiedNs != change.identity->modifiedNs || at.sameItem(*change.identity)
        || sameItem(at, change.targetBefore))
        return false;
    if (at.size == change.identity->size)
        return true;
    // A folder's size is what its file system gives it: a copy of one keeps its time only.
    auto const info = itemStatus(path);
    return info && S_ISDIR(info->st_mode);
}

bool linkLeadsTo(std::string const& path, std::string const& target)
{
    char buffer[PATH_MAX];
    ssize_t length = systemCalls().readlink(path.c_str(), buffer, sizeof buffer);
    return length >= 0 && std::string(buffer, std::size_t(length)) == target;
}

}

std::size_t UndoReport::count(UndoLine::Word word) const
{
    std::size_t n = 0;
    for (auto const& line : lines)
        n += line.word == word;
    return n;
}

RunUndo::RunUndo(RunJournal& journal, CommentWriter writeComment, CommentReader readComment)
    : m_journal(journal)
    , m_writeComment(std::move(writeComment))
    , m_readComment(std::move(readComment))
{
}

void RunUndo::add(UndoLine::Word word, std::string const& path, std::string detail)
{
    m_report.lines.push_back({ word, path, std::move(detail) });
}

bool RunUndo::takenBack(std::string const& from, std::string const& to) const
{
    return m_takenBack.contains({ from, to });
}

UndoReport RunUndo::undo(RunRecords const& run, std::vector<RunRecords> const& earlier)
{
    m_report = {};
    m_folders.clear();
    m_takenBack.clear();
    for (auto const& before : earlier) {
        for (auto const& step : before.changes) {
            if (step.change == JournalChange::Move) {
                // A move without an outcome was made when its item stands at its target.
                bool const made = step.outcome == ChangeOutcome::Done
                    || (step.outcome == ChangeOutcome::Unknown && sameItem(ItemIdentity::at(step.target), step.identity));
                if (made)
                    m_takenBack.insert({ step.source, step.target });
            } else if (step.change == JournalChange::Remove
                && (step.outcome == ChangeOutcome::Done
                    || (step.outcome == ChangeOutcome::Unknown && sameItem(ItemIdentity::at(step.aside), step.identity)))) {
                m_takenBack.insert({ step.source, std::string() });
            } else if (step.change == JournalChange::Comment
                && (step.outcome == ChangeOutcome::Done
                    || (step.outcome == ChangeOutcome::Unknown
                        && !sameItem(ItemIdentity::followed(step.source), step.identity)))) {
                // A comment write puts a new file in the old one's place: made when the file is another.
                m_takenBack.insert({ step.source, step.target });
            }
        }
    }
    m_journal.setUndoes(run.id);
    if (Status opened = m_journal.open(); !opened) {
        add(UndoLine::Word::Failed, m_journal.path(), opened.message());
        return std::exchange(m_report, {});
    }
    // A cycle of renames is taken back whole: from before the step back that puts its first item under the
    // cycle's temporary name to after the one that takes it out, an interruption waits.
    auto const isCycleStep = [](RecordedChange const& change, std::string const& path) {
        return change.change == JournalChange::Move && isCycleTemporaryPath(path);
    };
    for (std::size_t left = run.changes.size(); left > 0; --left) {
        auto const it = run.changes.begin() + std::ptrdiff_t(left - 1);
        if (!m_journal.stopped().ok()) {
            add(UndoLine::Word::Failed, it->target, m_journal.stopped().message());
            continue;
        }
        if (std::size_t const together = reverseMovesTogether(run.changes, left); together > 0) {
            for (std::size_t k = left - together; k < left; ++k) {
                if (isCycleStep(run.changes[k], run.changes[k].target))
                    m_journal.holdInterruption(false);
            }
            left -= together - 1;
            continue;
        }
        if (isCycleStep(*it, it->source))
            m_journal.holdInterruption(true);
        m_folders.insert(FileStore::parentOf(it->target));
        switch (it->change) {
        case JournalChange::Move:
            reverseMove(*it);
            break;
        case JournalChange::Copy:
        case JournalChange::Link:
        case JournalChange::Create:
            reverseCopy(*it);
            break;
        case JournalChange::Remove:
            reverseRemove(*it);
            break;
        case JournalChange::Comment:
            reverseComment(*it);
            break;
        }
        if (isCycleStep(*it, it->target))
            m_journal.holdInterruption(false);
    }
    m_journal.holdInterruption(false);
    // Half-made copies of the run's (dead) process.
    for (auto const& folder : m_folders)
        removeStaleTemporaries(folder);
    if (m_report.count(UndoLine::Word::Failed) > 0)
        m_journal.markIncomplete();
    return std::exchange(m_report, {});
}

// A move whose item is a plain file that stands at its target as the item it moved, with its source free,
// goes back with one rename; moves of that kind one after the other (newest first) are decided before any
// of them is made and recorded ahead in one write, as a run records its moves. Deciding first holds: a
// path that an earlier member of the batch will vacate is taken when a later one is looked at, and a path
// it will fill is free, so a later member that needs either is not of that kind and ends the batch; no
// member moves a folder (which would carry other paths with it). The change that ends the batch goes the
// way of every change. A rename that then fails (something took the source's name meanwhile) falls back
// to the placement, which names the cause.
std::size_t RunUndo::reverseMovesTogether(std::vector<RecordedChange> const& changes, std::size_t end)
{
    // Each item is looked at through the folders that its move back goes through, and once: its record
    // takes what was seen here.
    FolderHandles& folders = m_journal.aheadFolders();
    std::vector<RecordedChange const*> batch;
    std::vector<struct stat> seen;
    for (std::size_t i = end; i > 0 && batch.size() < kMovesAheadAtMost; --i) {
        RecordedChange const& change = changes[i - 1];
        // The step back that puts a cycle's item under its temporary name goes on its own, so that an
        // interruption is held off from before it (see undo).
        if (change.change != JournalChange::Move || !change.aside.empty() || !change.identity
            || takenBack(change.target, change.source) || isCycleTemporaryPath(change.source))
            break;
        auto const info = itemStatus(change.target, folders);
        if (!info || !S_ISREG(info->st_mode))
            break;
        // The item the run moved, by its own identity: a move within one file system keeps it. (An item that
        // is the run's only by what a move onto another file system made goes back by a copy, on its own.)
        if (!ItemIdentity::of(*info).sameItem(*change.identity))
            break;
        errno = 0;
        if (itemStatus(change.source, folders) || errno != ENOENT)
            break;
        batch.push_back(&change);
        seen.push_back(*info);
    }
    if (batch.empty()) {
        // The change goes the way of every change, by its paths: no folder stays open past this look.
        folders.forgetAll();
        return 0;
    }
    std::vector<MoveAhead> moves;
    moves.reserve(batch.size());
    for (std::size_t k = 0; k < batch.size(); ++k)
        moves.push_back({ batch[k]->target, batch[k]->source, &seen[k] });
    // A journal that cannot take the records has stopped: every move below then names its failure.
    (void)journaledMovesAhead(&m_journal, moves);
    for (RecordedChange const* change : batch) {
        m_folders.insert(FileStore::parentOf(change->target));
        Status moved
            = journaledPlaceItem(&m_journal, Placement::Move, Existing::Kept, change->target, change->source);
        if (moved)
            add(UndoLine::Word::Restored, change->source, change->target);
        else
            add(UndoLine::Word::Failed, change->target, moved.message());
    }
    journaledEndOfMovesAhead(&m_journal);
    return batch.size();
}

void RunUndo::reverseMove(RecordedChange const& change)
{
    if (takenBack(change.target, change.source)) {
        bringBackAside(change);
        return;
    }
    auto const at = ItemIdentity::at(change.target);
    auto const source = ItemIdentity::at(change.source);
    // Onto another file system the item at the target is a new one, found by what its copy keeps. Within
    // one file system a move is one rename and leaves no copy: an item at the target with the same size and
    // time is another item (with moves recorded in a batch, one that was still to move away).
    bool const copiedAcross
        = at && change.identity && at->device != change.identity->device
        && looksLikeCopy(change, *at, change.target);
    bool const movedAcross = copiedAcross && !source && change.outcome != ChangeOutcome::Failed;
    bool const ours = sameItem(at, change.identity)
        || (change.outcome == ChangeOutcome::Done && sameItem(at, change.made)) || movedAcross;
    if (ours) {
        Status moved = journaledPlaceItem(&m_journal, Placement::Move, Existing::Kept, change.target, change.source);
        // Under a cycle's temporary name the item is on its way back, not restored: the step back out of
        // that name restores it, under the name it had.
        if (moved && !isCycleTemporaryPath(change.source))
            add(UndoLine::Word::Restored, change.source, change.target);
        else if (!moved)
            add(UndoLine::Word::Failed, change.target, moved.message());
    } else if (sameItem(source, change.identity)) {
        // Never made. A move across file systems killed between placing its copy and removing the source
        // leaves the whole copy at the target: it goes.
        if (copiedAcross && change.outcome == ChangeOutcome::Unknown)
            removeIfOurs(change, true, "");
    } else if (change.outcome != ChangeOutcome::Failed) {
        add(UndoLine::Word::Failed, change.target,
            at ? "not the item the run moved there (replaced since)" : "gone since the run");
    }
    bringBackAside(change);
}

void RunUndo::reverseCopy(RecordedChange const& change)
{
    if (takenBack(change.target, "")) {
        bringBackAside(change);
        return;
    }
    auto const at = ItemIdentity::at(change.target);
    if (at && !sameItem(at, change.targetBefore) && change.outcome != ChangeOutcome::Failed) {
        bool ours = false;
        if (change.outcome == ChangeOutcome::Done)
            ours = change.made && *at == *change.made;
        else if (change.change == JournalChange::Link)
            ours = linkLeadsTo(change.target, change.source);
        else if (change.change == JournalChange::Create)
            // A written file keeps the identity it had under its temporary name.
            ours = change.identity && *at == *change.identity;
        else
            ours = looksLikeCopy(change, *at, change.target);
        removeIfOurs(change, ours, "changed since the run");
    }
    bringBackAside(change);
}

void RunUndo::removeIfOurs(RecordedChange const& change, bool ours, char const* whyKept)
{
    if (!ours) {
        add(UndoLine::Word::Kept, change.target, whyKept);
        return;
    }
    Status removed = journaledRemove(m_journal, change.target);
    if (removed)
        add(UndoLine::Word::Removed, change.target, "");
    else
        add(UndoLine::Word::Failed, change.target, removed.message());
}

void RunUndo::reverseRemove(RecordedChange const& change)
{
    if (takenBack(change.aside, change.source))
        return;
    if (!ItemIdentity::at(change.aside)) {
        if (!sameItem(ItemIdentity::at(change.source), change.identity) && change.outcome == ChangeOutcome::Done)
            add(UndoLine::Word::Failed, change.source, "the removed item is gone from " + change.aside);
        return;
    }
    Status moved = journaledPlaceItem(&m_journal, Placement::Move, Existing::Kept, change.aside, change.source);
    if (moved)
        add(UndoLine::Word::Restored, change.source, change.aside);
    else
        add(UndoLine::Word::Failed, change.source, moved.message());
}

// A comment write puts a new file, whole, in the place of the old one: a file that is still the one from
// before the run was never written. The comment goes back into a file that holds what the run wrote: the
// file the run wrote, or one that a later change gave back the run's comment (an undo of a later write
// also writes a new file). A file with another comment is kept as it is. A run recorded without the
// comment it wrote is known only by the identity of the file it wrote.
void RunUndo::reverseComment(RecordedChange const& change)
{
    if (change.outcome == ChangeOutcome::Failed || takenBack(change.source, change.target))
        return;
    // A comment is written through a link into the file it leads to: that file is the one looked at.
    auto const now = ItemIdentity::followed(change.source);
    if (!now) {
        add(UndoLine::Word::Failed, change.source, "gone since the run");
        return;
    }
    if (change.identity && *now == *change.identity)
        return;  // never written
    bool ours = change.outcome == ChangeOutcome::Done && change.made && *now == *change.made;
    if (!ours && change.writtenKnown && m_readComment) {
        auto const present = m_readComment(change.source);
        ours = present && *present == change.written;
    }
    if (!ours && (change.writtenKnown || change.outcome == ChangeOutcome::Done)) {
        add(UndoLine::Word::Kept, change.source, "changed since the run");
        return;
    }
    Status written = m_writeComment ? m_writeComment(change.source, change.previous)
                                    : Status::refused("no comment writer");
    if (written)
        add(UndoLine::Word::Restored, change.source, "its previous comment");
    else
        add(UndoLine::Word::Failed, change.source, written.message());
}

void RunUndo::bringBackAside(RecordedChange const& change)
{
    if (change.aside.empty() || takenBack(change.aside, change.target))
        return;
    if (!ItemIdentity::at(change.aside)) {
        // A change that was made put the item it replaced there: gone, it cannot come back, and that is said.
        if (change.outcome == ChangeOutcome::Done)
            add(UndoLine::Word::Failed, change.target, "the item it replaced, kept at " + change.aside + ", is gone");
        return;
    }
    m_folders.insert(FileStore::parentOf(change.aside));
    Status moved = journaledPlaceItem(&m_journal, Placement::Move, Existing::Kept, change.aside, change.target);
    if (moved)
        add(UndoLine::Word::Restored, change.target, change.aside);
    else
        add(UndoLine::Word::Failed, change.target, moved.message() + " (the replaced item stays at " + change.aside + ")");
}

}
