#pragma once
// RunRecords: one run's journal read back (see fs/RunJournal.h for the format): who the run was and its
// changes in the order they were recorded, each with its outcome when one was recorded. A record cut short
// (no final newline) or not well formed is left out; a file that is not a journal reads as nothing. A file
// is read a block at a time, never held whole.

#include "fs/RunJournal.h"
#include "fs/Status.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quodrix {

// Untried: recorded with a batch of changes and never tried; such a change is left out when read back.
enum class ChangeOutcome { Unknown, Done, Failed, Untried };

struct RecordedChange {
    std::uint64_t sequence = 0;
    JournalChange change = JournalChange::Move;
    std::string source;
    std::string target;
    std::optional<ItemIdentity> identity;
    std::optional<ItemIdentity> targetBefore;
    std::string aside;
    std::optional<std::string> previous;
    bool writtenKnown = false;           // a comment write recorded the comment it writes:
    std::optional<std::string> written;  // that comment (none: it removes the comment)
    ChangeOutcome outcome = ChangeOutcome::Unknown;  // Unknown: the process ended before recording it
    std::optional<ItemIdentity> made;
    std::string cause;
};

struct RunRecords {
    // How much of a journal is read: every change, or who the run was and how many changes of each outcome
    // it has, so that runs of a million changes are listed without holding their changes.
    enum class Reading { Changes, Counts };

    std::string id;
    std::int64_t startedNs = 0;
    std::string command;
    std::string undoes;   // the run this one reversed, empty for others
    bool ended = false;   // the end record was written: the run finished
    bool incomplete = false;  // the end record says the run could not do all it was to do
    bool interrupted = false;  // the end record says the run was interrupted (no change made after that)
    std::vector<RecordedChange> changes;  // empty when read as counts

    // How many changes the run has, and of them how many with the outcome; alike however it was read. An
    // item that a cycle of renames moved through a temporary name counts once.
    std::size_t changeCount() const;
    std::size_t count(ChangeOutcome outcome) const;

    // Reads the journal at `path`; nullopt when it cannot be read or is no journal, and then `failure`
    // (when given) says why. An empty file is no journal yet (one is made, then its header written), and
    // leaves `failure` as it was.
    static std::optional<RunRecords> read(std::string const& path, Reading reading = Reading::Changes,
        Status* failure = nullptr);
    // Reads journal text.
    static std::optional<RunRecords> parse(std::string_view text, Reading reading = Reading::Changes);

private:
    class Reader;

    // Read as counts: how many changes have each outcome (indexed by ChangeOutcome).
    std::optional<std::array<std::size_t, 4>> m_counts;
};

}
