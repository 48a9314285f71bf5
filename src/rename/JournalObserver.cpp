#include "rename/JournalObserver.h"

#include "fs/FileOps.h"

#include <sys/stat.h>
#include <vector>

namespace quodrix {

namespace {

std::optional<ItemIdentity> identityOf(std::optional<struct stat> const& info)
{
    return info ? std::optional(ItemIdentity::of(*info)) : std::nullopt;
}

}

JournalObserver::JournalObserver(RunJournal& journal, Operation operation)
    : m_journal(journal)
    , m_change(operation == Operation::Copy ? JournalChange::Copy : JournalChange::Move)
{
}

Status JournalObserver::beforeMove(std::string const& source, std::string const& target)
{
    m_recorded = true;
    m_source = itemStatus(source);
    // What stands at the target, so that undo tells it from a copy that this change may leave there.
    RunJournal::Intent const intent { m_change, source, target, identityOf(m_source), identityOf(itemStatus(target)),
        {}, std::nullopt };
    return m_journal.recordIntent(intent, m_sequence);
}

Status JournalObserver::beforeMoves(std::span<AnnouncedMove const> moves, FolderHandles& folders)
{
    std::vector<RunJournal::Ahead> ahead;
    ahead.reserve(moves.size());
    for (AnnouncedMove const& move : moves)
        ahead.push_back({ m_change, *move.source, *move.target, itemStatus(*move.source, folders) });
    return m_journal.recordAhead(std::move(ahead));
}

void JournalObserver::afterMove(std::string const& source, std::string const& target, Status const& outcome,
    bool inOneRename)
{
    // A move announced with its batch finds its record ahead in the journal; any other was recorded by
    // beforeMove. A move with neither record has no outcome to record: the disk tells undo what it did.
    if (auto ahead = m_journal.takeAhead(m_change, source, target)) {
        m_sequence = ahead->sequence;
        m_source = ahead->sourceInfo;
    } else if (!m_recorded)
        return;
    m_recorded = false;
    // A record that cannot be written stops the journal: the plan's next intent then fails and ends the run.
    // A folder renamed into another folder may change with it (its ".." entry), so it is looked at again.
    if (outcome.ok())
        (void)m_journal.recordDone(m_sequence,
            inOneRename && m_source && !S_ISDIR(m_source->st_mode) ? identityOf(m_source) : ItemIdentity::at(target));
    else
        (void)m_journal.recordFailed(m_sequence, outcome.message());
}

void JournalObserver::notMade(std::string const& source, std::string const& target)
{
    if (auto ahead = m_journal.takeAhead(m_change, source, target))
        (void)m_journal.recordUntried(ahead->sequence);
}

}
