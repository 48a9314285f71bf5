#include "rename/JournalObserver.h"

namespace quodrix {

JournalObserver::JournalObserver(RunJournal& journal, Operation operation)
    : m_journal(journal)
    , m_change(operation == Operation::Copy ? JournalChange::Copy : JournalChange::Move)
{
}

Status JournalObserver::beforeMove(std::string const& source, std::string const& target)
{
    RunJournal::Intent const intent { m_change, source, target, ItemIdentity::at(source), std::nullopt, {}, std::nullopt };
    return m_journal.recordIntent(intent, m_sequence);
}

void JournalObserver::afterMove(std::string const&, std::string const& target, Status const& outcome)
{
    // A record that cannot be written stops the journal: the plan's next intent then fails and ends the run.
    if (outcome.ok())
        (void)m_journal.recordDone(m_sequence, ItemIdentity::at(target));
    else
        (void)m_journal.recordFailed(m_sequence, outcome.message());
}

}
