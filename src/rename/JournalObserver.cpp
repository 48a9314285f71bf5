#include "rename/JournalObserver.h"

#include "fs/SystemCalls.h"

#include <sys/stat.h>

namespace quodrix {

JournalObserver::JournalObserver(RunJournal& journal, Operation operation)
    : m_journal(journal)
    , m_change(operation == Operation::Copy ? JournalChange::Copy : JournalChange::Move)
{
}

Status JournalObserver::beforeMove(std::string const& source, std::string const& target)
{
    struct stat info {};
    m_source = systemCalls().lstat(source.c_str(), &info) == 0 ? std::optional(ItemIdentity::of(info)) : std::nullopt;
    m_sourceIsFolder = m_source && S_ISDIR(info.st_mode);
    RunJournal::Intent const intent { m_change, source, target, m_source, std::nullopt, {}, std::nullopt };
    return m_journal.recordIntent(intent, m_sequence);
}

void JournalObserver::afterMove(std::string const&, std::string const& target, Status const& outcome, bool inOneRename)
{
    // A record that cannot be written stops the journal: the plan's next intent then fails and ends the run.
    // A folder renamed into another folder may change with it (its ".." entry), so it is looked at again.
    if (outcome.ok())
        (void)m_journal.recordDone(m_sequence,
            inOneRename && m_source && !m_sourceIsFolder ? m_source : ItemIdentity::at(target));
    else
        (void)m_journal.recordFailed(m_sequence, outcome.message());
}

}
