#pragma once
// JournalObserver: records each change a rename plan makes in the run's journal, the intent before the
// change and its outcome after it, so that undo can take back every step, a cycle's steps through its
// temporary name included. The moves of a batch are recorded ahead, in one write; a move of the batch that
// the plan does not try is recorded as untried. When the journal cannot take an intent, the plan's run
// stops before that change.

#include "fs/RunJournal.h"
#include "rename/RenamePlan.h"

#include <cstdint>

namespace quodrix {

class JournalObserver final : public ChangeObserver {
public:
    JournalObserver(RunJournal& journal, Operation operation);

    [[nodiscard]] Status beforeMove(std::string const& source, std::string const& target) override;
    [[nodiscard]] Status beforeMoves(std::span<AnnouncedMove const> moves, FolderHandles& folders) override;
    void afterMove(std::string const& source, std::string const& target, Status const& outcome,
        bool inOneRename) override;
    void notMade(std::string const& source, std::string const& target) override;
    void holdInterruption(bool held) override { m_journal.holdInterruption(held); }

private:
    RunJournal& m_journal;
    JournalChange m_change;
    // The move under way: its record's number, and its source as it was found before the move. A file
    // renamed within its file system keeps that identity.
    std::uint64_t m_sequence = 0;
    std::optional<struct stat> m_source;
    bool m_recorded = false;  // beforeMove recorded the move under way
};

}
