#include "fs/JournaledChange.h"

#include "fs/AtomicFile.h"
#include "fs/FileOps.h"
#include "fs/FileStore.h"
#include "fs/RunJournal.h"
#include "fs/SystemCalls.h"

#include <sys/stat.h>
#include <vector>

namespace quodrix {

namespace {

JournalChange changeOf(Placement how)
{
    switch (how) {
    case Placement::Move:
        return JournalChange::Move;
    case Placement::Copy:
        return JournalChange::Copy;
    case Placement::Link:
        break;
    }
    return JournalChange::Link;
}

// Whether the item at the destination is one that a replacing placement may put aside: present, not a
// link that leads nowhere, not the source itself, neither holding the source nor inside it. Anything else
// the placement refuses on its own, with the destination untouched.
bool mayPutAside(std::string const& source, std::string const& destination, ItemIdentity const& target)
{
    struct stat sourceInfo {}, followed {};
    if (systemCalls().lstat(source.c_str(), &sourceInfo) != 0 || !itemExists(destination))
        return false;
    if (ItemIdentity::of(sourceInfo).sameItem(target))
        return false;
    if (systemCalls().stat(source.c_str(), &followed) == 0 && ItemIdentity::of(followed).sameItem(target))
        return false;
    auto sourcePath = resolvedPath(source);
    auto destinationPath = resolvedPath(destination);
    if (!sourcePath || !destinationPath || *sourcePath == *destinationPath)
        return false;
    return !liesInside(*sourcePath, *destinationPath) && !liesInside(*destinationPath, *sourcePath);
}

// Records the outcome of change `sequence`; the change's own status is what the caller gets, unless the
// change succeeded and its outcome could not be recorded.
Status recordOutcome(RunJournal& journal, std::uint64_t sequence, Status const& change,
    std::optional<ItemIdentity> const& made)
{
    Status recorded = change.ok() ? journal.recordDone(sequence, made) : journal.recordFailed(sequence, change.message());
    if (change.ok() && !recorded.ok())
        return recorded.within("done, but the run stops");
    return change;
}

// The same, with the identity of what is at `made` now.
Status recordOutcome(RunJournal& journal, std::uint64_t sequence, Status const& change, std::string const& made)
{
    return recordOutcome(journal, sequence, change, change.ok() ? ItemIdentity::at(made) : std::nullopt);
}

// Whether the move of `source` to `destination` may be recorded ahead, and the source's information when
// it may: a usable move within one file system, where it is one rename and leaves no copy, so that undo
// need not know what stood at the destination to tell an item there from a copy of the source.
std::optional<struct stat> aheadMoveSource(std::string const& source, std::string const& destination,
    std::optional<dev_t> destinationDevice, FolderHandles& folders, struct stat const* seen)
{
    if (!destinationDevice || !FileStore::isUsablePath(source) || !FileStore::isUsablePath(destination))
        return std::nullopt;
    auto info = seen ? std::optional(*seen) : itemStatus(source, folders);
    return info && info->st_dev == *destinationDevice ? info : std::nullopt;
}

// A move that replaces nothing and was recorded ahead with its batch: its record, and one rename
// (RENAME_NOREPLACE refuses whatever stands at the destination, a missing source and a missing folder on
// its own). A file keeps its identity through a rename within its file system, so the outcome needs no
// second look. Anything else, including a rename that failed, goes the way of every placement, whose
// checks name the cause as they always have. A move not recorded ahead is recorded by placeRecorded, with
// what stands at its destination.
std::optional<Status> moveKeptRecorded(RunJournal& journal, std::string const& source, std::string const& destination)
{
    auto ahead = journal.takeAhead(JournalChange::Move, source, destination);
    if (!ahead)
        return std::nullopt;
    if (!ahead->sourceInfo) {
        (void)journal.recordUntried(ahead->sequence);
        return std::nullopt;
    }
    struct stat const& info = *ahead->sourceInfo;
    std::uint64_t const sequence = ahead->sequence;
    Status placed = renameNoReplace(source, destination, &journal.aheadFolders());
    // A folder's handle opened before a folder (or a link, which may lead to one) moved may no longer stand
    // for its path.
    if (!S_ISREG(info.st_mode))
        journal.aheadFolders().forgetAll();
    if (!placed)
        placed = placeItem(Placement::Move, Existing::Kept, source, destination);
    else if (!S_ISDIR(info.st_mode))
        return recordOutcome(journal, sequence, placed, ItemIdentity::of(info));
    return recordOutcome(journal, sequence, placed, destination);
}

// Places the item as journaledPlaceItem does, recorded as `change` with `recordedSource` as its source.
Status placeRecorded(RunJournal* journal, JournalChange change, Placement how, Existing existing,
    std::string const& source, std::string const& destination, std::string const& recordedSource)
{
    // One look at each path serves the record and the placement's own checks.
    KnownItems known;
    struct stat info {};
    if (systemCalls().lstat(source.c_str(), &info) == 0)
        known.source = info;
    if (systemCalls().lstat(destination.c_str(), &info) == 0)
        known.destination = info;
    auto const identity = known.source ? std::optional(ItemIdentity::of(*known.source)) : std::nullopt;
    auto const before = known.destination ? std::optional(ItemIdentity::of(*known.destination)) : std::nullopt;
    bool const aside = existing == Existing::Replaced && before && mayPutAside(source, destination, *before);
    std::string asidePath;
    if (aside) {
        if (Status prepared = journal->asidePath(journal->nextSequence(), asidePath); !prepared)
            return prepared;
    }
    std::uint64_t sequence = 0;
    RunJournal::Intent const intent { change, recordedSource, destination, identity, before, asidePath, std::nullopt };
    if (Status recorded = journal->recordIntent(intent, sequence); !recorded)
        return recorded;

    if (aside) {
        if (Status putAside = placeItem(Placement::Move, Existing::Kept, destination, asidePath); !putAside)
            return recordOutcome(*journal, sequence, putAside.within("put aside " + destination), destination);
    }
    // A replacing placement looks again: what stood at the destination has just been put aside.
    Status placed = existing == Existing::Kept ? placeItem(how, existing, source, destination, known)
                                               : placeItem(how, existing, source, destination);
    if (!placed && aside) {
        // The replaced item goes back to its place; should that fail, the run's folder keeps it for undo.
        if (Status back = placeItem(Placement::Move, Existing::Kept, asidePath, destination); !back)
            placed = Status::refused(placed.message() + "; the replaced item is kept at " + asidePath);
    }
    return recordOutcome(*journal, sequence, placed, destination);
}

}

Status journaledPlaceItem(RunJournal* journal, Placement how, Existing existing, std::string const& source,
    std::string const& destination)
{
    if (!journal)
        return placeItem(how, existing, source, destination);
    if (!journal->stopped().ok())
        return journal->stopped();
    if (how == Placement::Move && existing == Existing::Kept) {
        if (auto moved = moveKeptRecorded(*journal, source, destination))
            return *moved;
    }
    return placeRecorded(journal, changeOf(how), how, existing, source, destination, source);
}

Status journaledMovesAhead(RunJournal* journal, std::span<MoveAhead const> moves)
{
    if (!journal || !journal->stopped().ok())
        return journal ? journal->stopped() : Status();
    std::vector<RunJournal::Ahead> ahead;
    ahead.reserve(moves.size());
    // The device of each destination folder, looked up once for a run of moves into one folder.
    std::optional<std::string> folder;
    std::optional<dev_t> folderDevice;
    for (MoveAhead const& move : moves) {
        std::string destinationFolder = FileStore::parentOf(move.destination);
        if (destinationFolder != folder) {
            struct stat info {};
            folderDevice = systemCalls().stat(destinationFolder.c_str(), &info) == 0 ? std::optional(info.st_dev)
                                                                                      : std::nullopt;
            folder = std::move(destinationFolder);
        }
        // Any other move is recorded when it is made, the way of every placement.
        auto info = aheadMoveSource(move.source, move.destination, folderDevice, journal->aheadFolders(), move.seen);
        if (info)
            ahead.push_back({ JournalChange::Move, move.source, move.destination, info });
    }
    return journal->recordAhead(std::move(ahead));
}

void journaledEndOfMovesAhead(RunJournal* journal)
{
    if (journal) {
        journal->dropAhead();
        journal->aheadFolders().forgetAll();
    }
}

Status journaledWriteFile(RunJournal* journal, std::string const& path, std::string_view bytes)
{
    // A file the user may not write is not replaced, though its folder would let its name go.
    if (systemCalls().access(path.c_str(), W_OK) != 0 && errno != ENOENT)
        return Status::fromErrno("write " + path);
    if (!journal)
        return writeFileAtomically(path, bytes);
    if (!journal->stopped().ok())
        return journal->stopped();
    if (!FileStore::isUsablePath(path) || !FileStore::isSingleComponent(FileStore::lastComponent(path)))
        return Status::refused("not a usable path: \"" + path + "\"");
    // As an unjournaled write does, a link to a file is written through, and only a file is replaced.
    auto const linkInfo = itemStatus(path);
    std::string const target = linkInfo && S_ISLNK(linkInfo->st_mode) ? resolvedPath(path).value_or(path) : path;
    struct stat existing {};
    bool const hasOld = systemCalls().stat(target.c_str(), &existing) == 0;
    if (!hasOld && errno != ENOENT)
        return Status::fromErrno("read " + target);
    if (hasOld && !S_ISREG(existing.st_mode))
        return Status::refused("write " + target + ": not a file");
    // The new file is whole and on disk under a temporary name beside its place before it is recorded, so
    // that the record holds the identity that undo recognises it by. It keeps the permissions of the file
    // it replaces.
    std::string const staged = temporaryNameBeside(target);
    if (Status written = writeNewFile(staged, bytes, hasOld ? existing.st_mode & 07777 : 0666); !written)
        return written.naming(staged, target);
    Status placed
        = placeRecorded(journal, JournalChange::Create, Placement::Move, Existing::Replaced, staged, target, target);
    if (!placed && itemExists(staged))
        (void)removeTree(staged);
    return placed;
}

Status journaledRemove(RunJournal& journal, std::string const& path)
{
    if (!journal.stopped().ok())
        return journal.stopped();
    std::string asidePath;
    if (Status prepared = journal.asidePath(journal.nextSequence(), asidePath); !prepared)
        return prepared;
    std::uint64_t sequence = 0;
    RunJournal::Intent const intent { JournalChange::Remove, path, path, ItemIdentity::at(path), std::nullopt,
        asidePath, std::nullopt };
    if (Status recorded = journal.recordIntent(intent, sequence); !recorded)
        return recorded;
    Status moved = placeItem(Placement::Move, Existing::Kept, path, asidePath);
    return recordOutcome(journal, sequence, moved, asidePath);
}

}
