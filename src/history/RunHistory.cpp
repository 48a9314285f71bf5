#include "history/RunHistory.h"

#include "fs/FileOps.h"
#include "fs/SystemCalls.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <map>
#include <unistd.h>

namespace quodrix {

namespace {

constexpr std::string_view kJournalSuffix = ".journal";
constexpr std::string_view kItemsSuffix = ".items";

// The folder of the items that the run of a journal kept: "<id>.items" beside "<id>.journal".
std::string itemsFolderOf(std::string_view journalPath)
{
    journalPath.remove_suffix(kJournalSuffix.size());
    return std::string(journalPath) + std::string(kItemsSuffix);
}

}

RunHistory::RunHistory(std::string folder, RunRecords::Reading reading)
    : m_folder(std::move(folder))
{
    std::vector<std::string> names;
    if (Status listed = readFolderNames(m_folder, names); !listed) {
        // A folder not made yet holds no run.
        if (listed.error() != ENOENT)
            m_unreadable.push_back({ "", listed.message() });
        return;
    }
    for (auto const& name : names) {
        if (!name.ends_with(kJournalSuffix))
            continue;
        std::string path = m_folder + "/" + name;
        Status failure;
        if (auto records = RunRecords::read(path, reading, &failure))
            m_runs.push_back({ std::move(*records), false, std::move(path) });
        else if (!failure.ok())
            m_unreadable.push_back({ name, failure.message() });
    }
    std::sort(m_unreadable.begin(), m_unreadable.end(),
        [](Unreadable const& a, Unreadable const& b) { return a.name < b.name; });
    // Oldest first to work out what is undone: a finished undo undoes its run and puts back what that run
    // (if an undo itself) had undone.
    std::sort(m_runs.begin(), m_runs.end(), [](RunSummary const& a, RunSummary const& b) {
        return a.records.startedNs != b.records.startedNs ? a.records.startedNs < b.records.startedNs
                                                          : a.records.id < b.records.id;
    });
    std::map<std::string, std::size_t> byId;
    for (std::size_t i = 0; i < m_runs.size(); ++i)
        byId[m_runs[i].records.id] = i;
    for (auto const& run : m_runs) {
        if (run.records.undoes.empty() || !run.records.ended || run.records.incomplete)
            continue;
        auto found = byId.find(run.records.undoes);
        if (found == byId.end())
            continue;
        RunSummary& undone = m_runs[found->second];
        undone.undone = true;
        if (auto again = byId.find(undone.records.undoes); again != byId.end())
            m_runs[again->second].undone = false;
    }
    std::reverse(m_runs.begin(), m_runs.end());
}

RunSummary const* RunHistory::runToUndo(std::optional<std::string> const& id, std::string& problem) const
{
    if (id) {
        for (auto const& run : m_runs) {
            if (run.records.id != *id)
                continue;
            if (run.undone) {
                problem = "run " + *id + " is undone already";
                return nullptr;
            }
            return &run;
        }
        problem = "no run " + *id + " in " + m_folder;
        return nullptr;
    }
    // A run whose every change failed changed nothing: there is nothing of it to take back, so the newest
    // run that may have changed something is taken (a change without an outcome may have been made).
    bool anyChangedNothing = false, anyUndo = false;
    for (auto const& run : m_runs) {
        bool const changedNothing = run.records.changeCount() > 0
            && run.records.count(ChangeOutcome::Failed) == run.records.changeCount();
        if (!run.undone && run.records.undoes.empty() && !changedNothing)
            return &run;
        anyChangedNothing = anyChangedNothing || (!run.undone && run.records.undoes.empty() && changedNothing);
        anyUndo = anyUndo || (!run.undone && !run.records.undoes.empty());
    }
    // The runs left are not counted as undone by the history: said what they are.
    problem = "nothing to undo: every run in " + m_folder + " is undone";
    if (anyChangedNothing)
        problem += " or changed nothing";
    if (anyUndo)
        problem += " (an undo itself is taken back by its id: quodrix undo RUN)";
    if (m_runs.empty())
        problem = "nothing to undo: no run in " + m_folder;
    return nullptr;
}

std::optional<long> RunHistory::liveProcess(std::string_view id)
{
    auto const dash = id.rfind('-');
    long pid = 0;
    if (dash == std::string_view::npos)
        return std::nullopt;
    auto [end, error] = std::from_chars(id.data() + dash + 1, id.data() + id.size(), pid);
    if (error != std::errc() || end != id.data() + id.size() || pid <= 0 || pid == long(getpid())
        || !processIsRunning(pid))
        return std::nullopt;
    return pid;
}

std::span<RunSummary const> RunHistory::runsUpTo(std::string const& id) const
{
    auto const found = std::find_if(
        m_runs.begin(), m_runs.end(), [&id](RunSummary const& run) { return run.records.id == id; });
    return { found, m_runs.end() };
}

Status RunHistory::removeJournal(RunSummary const& run)
{
    if (systemCalls().unlink(run.path.c_str()) != 0 && errno != ENOENT)
        return Status::fromErrno("remove " + run.path);
    return {};
}

Status RunHistory::removeKeptItems(RunSummary const& run)
{
    return removeTree(itemsFolderOf(run.path), LockedFolders::Opened);
}

Status RunHistory::removeItemsWithoutJournal(std::string const& newestId) const
{
    std::vector<std::string> names;
    if (Status listed = readFolderNames(m_folder, names); !listed)
        return listed.error() == ENOENT ? Status() : listed;
    Status first;
    for (auto const& name : names) {
        if (!name.ends_with(kItemsSuffix))
            continue;
        std::string_view const id = std::string_view(name).substr(0, name.size() - kItemsSuffix.size());
        std::string const journal = m_folder + "/" + std::string(id) + std::string(kJournalSuffix);
        if (id > newestId || itemStatus(journal) || liveProcess(id))
            continue;
        if (Status removed = removeTree(m_folder + "/" + name, LockedFolders::Opened); !removed && first.ok())
            first = removed;
    }
    return first;
}

}
