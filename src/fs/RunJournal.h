#pragma once
// RunJournal: the record of one run's changes to files, written before each change is made, so that the
// run can be taken back later, also after the process was killed at any point.
//
// One text file per run, `<folder>/<id>.journal`, created at the first record (a run that changes nothing
// leaves no file), and beside it the run's own folder `<folder>/<id>.items/` that keeps the items the run
// replaced or removed. The file is opened with O_APPEND and every intent reaches it with one write(2)
// through SystemCalls before the change it announces is made; the intents of a batch of changes that are
// to follow one another (the moves of a rename plan or of an insert run) go out together in one write. An
// outcome travels in the same write as the next intent (or the end record), so that a change costs at most
// one write: a process killed after a change and before the next write loses only the outcomes not yet
// written, which a reader then learns from the disk (the intent holds the identities it needs), as it does
// for an intent whose change was never made. The file is flushed to disk (fsync) when the run finishes,
// not per record.
//
// The caller's part is "record intent, then outcome": recordIntent() before a change, recordOutcome() after
// it. When a record cannot be written the journal stops: that call and every later one fail with the cause,
// and the caller must not make the change (nor any change of the batch). A journal knows nothing of what
// the changes are for.
//
// The format (version 1) is described in the file's own header; see kHeaderText in RunJournal.cpp.

#include "fs/FileDescriptor.h"
#include "fs/FolderHandles.h"
#include "fs/Status.h"

#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <vector>
#include <sys/stat.h>

namespace quodrix {

// What a change does. A move, copy or link whose record names an aside path first moved the item it
// replaces there; a remove moves its item to the aside path; a comment write keeps the comment it replaces;
// a create is a file the run wrote at the target (source and target are that path), which put aside the
// item it replaced.
enum class JournalChange { Move, Copy, Link, Remove, Comment, Create };

char const* journalChangeName(JournalChange change);
std::optional<JournalChange> journalChangeFromName(std::string_view name);

// Who an item is: device, inode, size and modification time in nanoseconds.
struct ItemIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    std::int64_t modifiedNs = 0;

    static ItemIdentity of(struct stat const& info);
    // The identity of the item at the path (links not followed); nullopt when there is none.
    static std::optional<ItemIdentity> at(std::string const& path);
    // The identity of the item the path leads to (links followed): the file a write through a link changes.
    static std::optional<ItemIdentity> followed(std::string const& path);
    bool sameItem(ItemIdentity const& other) const { return device == other.device && inode == other.inode; }
    bool operator==(ItemIdentity const&) const = default;
};

class RunJournal {
public:
    // A journal in `folder` (created when missing) for the command line; nothing is written yet.
    RunJournal(std::string folder, std::string commandLine);
    ~RunJournal();
    RunJournal(RunJournal const&) = delete;
    RunJournal& operator=(RunJournal const&) = delete;

    std::string const& id() const { return m_id; }
    std::string const& path() const { return m_path; }
    // The run's own folder for replaced and removed items.
    std::string itemsFolder() const;
    // The number that the next intent gets.
    std::uint64_t nextSequence() const { return m_sequence + 1; }
    // The path in the run's own folder for the item of record `sequence` (the folder is created).
    [[nodiscard]] Status asidePath(std::uint64_t sequence, std::string& path);

    // Marks this run as the reversal of run `runId`; to be called before the first record.
    void setUndoes(std::string runId) { m_undoes = std::move(runId); }
    // Writes the header now, when not yet written, so that the run exists even if it records nothing.
    [[nodiscard]] Status open();

    struct Intent {
        JournalChange change;
        std::string_view source;
        std::string_view target;
        std::optional<ItemIdentity> identity;        // of the source (of the file, for a comment)
        std::optional<ItemIdentity> targetIdentity;  // what stood at the target before, if anything
        std::string_view aside;                      // empty when nothing is put aside
        std::optional<std::string_view> previous;    // a comment write: the comment before, if there was one
        std::optional<std::string_view> written {};  // a comment write: the comment it writes (none: removes it)
    };
    // Writes the intent of the next change; its number goes to `sequence`.
    [[nodiscard]] Status recordIntent(Intent const& intent, std::uint64_t& sequence);

    // Changes recorded ahead: the intents of changes that are to follow one another, written together in
    // one write. The caller that makes the next of them takes its record with takeAhead() right before it
    // makes it, instead of recording an intent, then records its outcome as usual. Those never taken are
    // recorded untried by dropAhead(), by finish() and by any other intent recorded while they wait (which
    // then comes first: a change of theirs made after it is recorded anew); a reader leaves them out. Only
    // a change that names its source's identity (a move or a copy) is recorded ahead.
    struct Ahead {
        JournalChange change;
        std::string source;
        std::string target;
        std::optional<struct stat> sourceInfo;  // the source as it was before the record, if it was there
        std::uint64_t sequence = 0;             // set by recordAhead()
    };
    [[nodiscard]] Status recordAhead(std::vector<Ahead> changes);
    // The record of the next change recorded ahead when it is this change; nullopt otherwise (it is then
    // recorded as every change is).
    std::optional<Ahead> takeAhead(JournalChange change, std::string_view source, std::string_view target);
    // Records the changes recorded ahead and not taken as untried.
    void dropAhead();
    // The open folders that the moves recorded ahead go through, from the look at their sources to the
    // renames (see journaledMovesAhead); closed at the end of a batch of moves.
    FolderHandles& aheadFolders() { return m_aheadFolders; }
    // Records how change `sequence` ended: done (with the identity of the item now at the target, when
    // there is one) or failed with its cause. It is written with the next intent or at finish().
    [[nodiscard]] Status recordDone(std::uint64_t sequence, std::optional<ItemIdentity> const& made);
    [[nodiscard]] Status recordFailed(std::uint64_t sequence, std::string_view cause);
    // Records that change `sequence`, recorded in a batch, was never tried: a reader leaves it out.
    [[nodiscard]] Status recordUntried(std::uint64_t sequence);

    // Marks the run as not having done all it was to do (an undo that could not put everything back): the
    // end record says so.
    void markIncomplete() { m_incomplete = true; }

    // Starts flushing what is written so far to disk on a thread of its own, while the run goes on with work
    // that changes no file (printing its rows): finish() then waits for the rest only, and fails when this
    // flush failed. A flush still under way is waited for first.
    void flushInBackground();

    // Writes the end record and flushes the file and its folder. Fails with the cause that stopped the run
    // when one did.
    [[nodiscard]] Status finish();

    // Why the journal takes no further change: the failure that stopped it, or the interruption of the run
    // (Interruption) once its changes were under way; success while changes can be recorded. The outcomes
    // of changes made are still recorded after an interruption.
    Status const& stopped() const;
    // While held, an interruption does not stop the journal (the steps of a cycle, which must not be cut
    // in two); one that stopped it before stays.
    void holdInterruption(bool held) { m_interruptionHeld = held; }

    // The text escaping of the format: every byte below 0x21, 0x7f, every byte from 0x80 up, "\" and a
    // leading "-" become "\xHH"; an empty text is "-".
    static void appendEscaped(std::string& out, std::string_view bytes);
    // The bytes of an escaped field; nullopt when the field is not well formed.
    static std::optional<std::string> unescaped(std::string_view field);

private:
    void appendIntent(Intent const& intent, std::uint64_t sequence);
    [[nodiscard]] Status recordIntents(std::span<Intent const> intents, std::uint64_t& first);
    [[nodiscard]] Status writeLine();
    void joinBackgroundFlush();

    std::string m_folder;
    std::string m_commandLine;
    std::string m_id;
    std::string m_path;
    std::string m_undoes;
    FileDescriptor m_file { -1 };
    bool m_itemsFolderMade = false;
    bool m_finished = false;
    bool m_incomplete = false;
    std::uint64_t m_sequence = 0;
    std::string m_line;
    std::string m_pendingOutcome;
    std::deque<Ahead> m_ahead;
    FolderHandles m_aheadFolders;
    Status m_stopped;
    mutable Status m_interrupted;
    bool m_changesUnderWay = false;
    bool m_interruptionHeld = false;
    int m_backgroundFlushError = 0;  // written by the flush's thread, read after it was joined
    std::jthread m_backgroundFlush;  // declared after m_file, so that it ends before the file closes
};

}
