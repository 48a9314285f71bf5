#pragma once
// JournalObserver: records each change a rename plan makes in the run's journal, the intent before the
// change and its outcome after it, so that undo can take back every step, a cycle's steps through its
// temporary name included. When the journal cannot take an intent, the plan's run stops before that
// change.

#include "fs/RunJournal.h"
#include "rename/RenamePlan.h"

#include <cstdint>

namespace quodrix {

class JournalObserver final : public ChangeObserver {
public:
    JournalObserver(RunJournal& journal, Operation operation);

    [[nodiscard]] Status beforeMove(std::string const& source, std::string const& target) override;
    void afterMove(std::string const& source, std::string const& target, Status const& outcome,
        bool inOneRename) override;

private:
    RunJournal& m_journal;
    JournalChange m_change;
    std::uint64_t m_sequence = 0;
    // The source of the move under way as beforeMove found it: a file renamed in place keeps this identity.
    std::optional<ItemIdentity> m_source;
    bool m_sourceIsFolder = false;
};

}
