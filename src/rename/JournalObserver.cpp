#include "rename/JournalObserver.h"

#include "fs/SystemCalls.h"

#include <sys/stat.h>

namespace quodrix {

JournalObserver::JournalObserver(RunJournal& journal, Operation operation)
    : m_journal(journal)
    , m_change(operation == Operation::Copy ? JournalChange::Copy : JournalChange::Move)
{
}

JournalObserver::Recorded JournalObserver::lookAt(std::string const& source)
{
    Recorded recorded;
    struct stat info {};
    if (systemCalls().lstat(source.c_str(), &info) == 0) {
        recorded.source = ItemIdentity::of(info);
        recorded.sourceIsFolder = S_ISDIR(info.st_mode);
    }
    return recorded;
}

Status JournalObserver::beforeMove(std::string const& source, std::string const& target)
{
    m_single = lookAt(source);
    RunJournal::Intent const intent { m_change, source, target, m_single.source, std::nullopt, {}, std::nullopt };
    return m_journal.recordIntent(intent, m_single.sequence);
}

Status JournalObserver::beforeMoves(std::span<AnnouncedMove const> moves)
{
    m_announced.clear();
    m_nextAnnounced = 0;
    m_intents.clear();
    for (AnnouncedMove const& move : moves) {
        m_announced.push_back(lookAt(*move.source));
        m_intents.push_back({ m_change, *move.source, *move.target, m_announced.back().source, std::nullopt, {},
            std::nullopt });
    }
    std::uint64_t first = 0;
    Status recorded = m_journal.recordIntents(m_intents, first);
    m_intents.clear();
    if (!recorded) {
        m_announced.clear();
        return recorded;
    }
    for (Recorded& move : m_announced)
        move.sequence = first++;
    return recorded;
}

JournalObserver::Recorded const& JournalObserver::next()
{
    return m_nextAnnounced < m_announced.size() ? m_announced[m_nextAnnounced++] : m_single;
}

void JournalObserver::afterMove(std::string const&, std::string const& target, Status const& outcome, bool inOneRename)
{
    // A record that cannot be written stops the journal: the plan's next intent then fails and ends the run.
    // A folder renamed into another folder may change with it (its ".." entry), so it is looked at again.
    Recorded const& move = next();
    if (outcome.ok())
        (void)m_journal.recordDone(move.sequence,
            inOneRename && move.source && !move.sourceIsFolder ? move.source : ItemIdentity::at(target));
    else
        (void)m_journal.recordFailed(move.sequence, outcome.message());
}

void JournalObserver::notMade(std::string const&, std::string const&)
{
    (void)m_journal.recordUntried(next().sequence);
}

}
