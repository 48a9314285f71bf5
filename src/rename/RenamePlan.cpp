#include "rename/RenamePlan.h"

#include "fs/FileOps.h"
#include "fs/FileStore.h"
#include "fs/FolderListing.h"
#include "fs/Interruption.h"
#include "fs/ItemNames.h"
#include "fs/JournaledChange.h"
#include "fs/ItemPlacement.h"
#include "fs/SystemCalls.h"
#include "fs/TextMap.h"
#include "rename/ItemIndex.h"
#include "text/UnicodeText.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <dirent.h>
#include <optional>
#include <string_view>
#include <tuple>
#include <sys/stat.h>
#include <unistd.h>

namespace quodrix {

namespace {

constexpr char const* kWouldReplace = "would replace an existing item";

struct FolderIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    // Why the process may not give or take away names in the folder (EACCES, EROFS), else 0.
    int changeError = 0;
    // A folder with the sticky bit that the process does not own (as /tmp): only the owner of an item may
    // take its name away there.
    bool ownersOnly = false;
};

// The folders of a plan, each looked up once by the text of its path. A folder that many pairs use is
// read once, and the names in it answer whether an item exists; in other folders each item is looked up.
// The pairs of a plan come folder by folder: the entry asked for last is tried before the map is searched.
class FolderCache {
public:
    void use(std::string_view folder)
    {
        if (m_lastUse && m_lastUse->first == folder)
            ++m_lastUse->second;
        else if (auto found = m_uses.find(folder); found != m_uses.end())
            m_lastUse = &*found, ++found->second;
        else
            m_lastUse = &*m_uses.emplace(folder, 1).first;
    }

    // The identity of the folder, links followed; nullopt when it is not a folder.
    std::optional<FolderIdentity> identity(std::string_view folder)
    {
        if (m_lastFolder && m_lastFolder->first == folder)
            return m_lastFolder->second;
        auto found = m_folders.find(folder);
        if (found == m_folders.end()) {
            std::optional<FolderIdentity> id;
            std::string path(folder);
            struct stat info {};
            if (systemCalls().stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
                bool const mayChange = systemCalls().access(path.c_str(), W_OK | X_OK) == 0;
                id = FolderIdentity { info.st_dev, info.st_ino, mayChange ? 0 : errno,
                    (info.st_mode & S_ISVTX) != 0 && info.st_uid != ::geteuid() && ::geteuid() != 0 };
            }
            found = m_folders.emplace(std::move(path), id).first;
        }
        m_lastFolder = &*found;
        return found->second;
    }

    // Whether an item (a dangling link too) is at folder/name; 0 when there is, else the error number.
    // `mayBeFolder`, when given, is set unless the item is a regular file: a folder, a link (which may lead
    // to one), or what its folder's listing does not say. `position`, when given, is set to where the
    // folder's listing gave the name, or to kNoPosition when the folder was not read.
    static constexpr std::size_t kNoPosition = static_cast<std::size_t>(-1);
    int lookUp(std::string_view folder, std::string_view name, std::string const& path, bool* mayBeFolder = nullptr,
        std::size_t* position = nullptr)
    {
        if (position)
            *position = kNoPosition;
        if (auto const* listing = listingOf(folder); listing && name != "." && name != "..") {
            auto entry = listing->find(name);
            if (!entry)
                return ENOENT;
            if (mayBeFolder)
                *mayBeFolder = entry->type != DT_REG;
            if (position)
                *position = entry->position;
            return 0;
        }
        struct stat info {};
        if (systemCalls().lstat(path.c_str(), &info) != 0)
            return errno;
        if (mayBeFolder)
            *mayBeFolder = !S_ISREG(info.st_mode);
        return 0;
    }

    // What holds a new name in a folder. A file system that does not tell case apart (FAT and exFAT, as on
    // a camera's card) finds "IMG_1.JPG" as "img_1.jpg": the folder's listing lacks such a name, yet its path
    // reaches an item, which may be the item that is to get the name (`sourceName`, given when it lies in the
    // same folder) or another one (`holder`, its name in the folder). A folder tells case apart for every name
    // or for none, so one look at one path answers for a folder read whole; a folder of few items is read
    // whole when a new name is taken there.
    enum class NewName { Free, Taken, HeldByItsSource, HeldInAnotherCase };
    struct Holding {
        NewName state;
        std::string_view holder;  // with HeldInAnotherCase
    };
    Holding newName(
        std::string_view folder, std::string_view name, std::string const& path, std::string_view sourceName)
    {
        FolderListing const* listing = listingOf(folder);
        bool const readForThePlan = listing != nullptr;
        if (readForThePlan) {
            if (listing->find(name))
                return { NewName::Taken, {} };
            if (!ignoresCase(folder, *listing))
                return { NewName::Free, {} };
        } else {
            struct stat info {};
            if (systemCalls().lstat(path.c_str(), &info) != 0)
                return { NewName::Free, {} };
            // Where case is told apart, the name with the case of its letters turned is not found either
            // (unless an item holds that one too): the name is taken as it is, and the folder is not read.
            std::string const turned = turnedCase(name);
            std::string const turnedPath = path.substr(0, path.size() - name.size()) + turned;
            if (turned != name && systemCalls().lstat(turnedPath.c_str(), &info) != 0)
                return { NewName::Taken, {} };
            auto read = m_wholeListings.find(folder);
            if (read == m_wholeListings.end())
                read = m_wholeListings.emplace(folder, FolderListing::read(std::string(folder))).first;
            listing = read->second ? &*read->second : nullptr;
            if (!listing || listing->find(name))
                return { NewName::Taken, {} };
        }
        // The folder finds names in any case: the name of the item that the new name reaches.
        auto found = m_foldedNames.find(folder);
        if (found == m_foldedNames.end()) {
            found = m_foldedNames.emplace(folder, TextMap<std::string_view>()).first;
            listing->forEachName(
                [&](std::string_view entry) { found->second.emplace(unicode::foldedCase(entry), entry); });
        }
        auto const holder = found->second.find(unicode::foldedCase(name));
        if (holder == found->second.end())
            return { readForThePlan ? NewName::Free : NewName::Taken, {} };
        if (holder->second == sourceName)
            return { NewName::HeldByItsSource, {} };
        return { NewName::HeldInAnotherCase, holder->second };
    }

    // Whether a folder read whole was found to find its names in any case (it is asked when a new name is
    // looked up there); whether any was.
    bool foundToIgnoreCase(std::string_view folder) const
    {
        auto known = m_ignoresCase.find(folder);
        return known != m_ignoresCase.end() && known->second;
    }
    bool anyIgnoresCase() const { return m_anyIgnoresCase; }

private:
    // Whether the folder, read whole, finds its names in any case: a name of it with the case of its ASCII
    // letters turned, which it does not hold, is looked at by its path, once for the folder.
    bool ignoresCase(std::string_view folder, FolderListing const& listing)
    {
        if (m_lastIgnores && m_lastIgnores->first == folder)
            return m_lastIgnores->second;
        if (auto known = m_ignoresCase.find(folder); known != m_ignoresCase.end()) {
            m_lastIgnores = &*known;
            return known->second;
        }
        std::optional<std::string> turned;
        int tried = 0;
        listing.forEachName([&](std::string_view name) {
            if (turned || ++tried > 64)
                return;
            std::string other = turnedCase(name);
            if (other != name && !listing.find(other))
                turned = std::move(other);
        });
        struct stat info {};
        bool const ignores = turned
            && systemCalls().lstat(((folder == "/" ? "" : std::string(folder)) + "/" + *turned).c_str(), &info) == 0;
        m_lastIgnores = &*m_ignoresCase.emplace(folder, ignores).first;
        m_anyIgnoresCase = m_anyIgnoresCase || ignores;
        return ignores;
    }

    // The name with the case of its ASCII letters turned.
    static std::string turnedCase(std::string_view name)
    {
        std::string turned(name);
        for (char& c : turned)
            c = c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
        return turned;
    }

    FolderListing const* listingOf(std::string_view folder)
    {
        if (m_lastListing && m_lastListing->first == folder)
            return m_lastListing->second ? &*m_lastListing->second : nullptr;
        auto uses = m_uses.find(folder);
        if (uses == m_uses.end() || uses->second < FolderListing::kWorthReadingFrom)
            return nullptr;
        auto found = m_listings.find(folder);
        if (found == m_listings.end())
            found = m_listings.emplace(folder, FolderListing::readFor(std::string(folder), uses->second)).first;
        m_lastListing = &*found;
        return found->second ? &*found->second : nullptr;
    }

    // Entries of the maps below, whose nodes stay where they are while others are added.
    TextMap<std::optional<FolderIdentity>> m_folders;
    TextMap<std::size_t> m_uses;
    TextMap<std::optional<FolderListing>> m_listings;
    TextMap<std::optional<FolderListing>> m_wholeListings;  // folders of few items, read to tell case apart
    TextMap<bool> m_ignoresCase;                            // whether a folder read whole finds names in any case
    TextMap<TextMap<std::string_view>> m_foldedNames;       // of such a folder: each name in folded case
    TextMap<std::size_t>::value_type* m_lastUse = nullptr;
    TextMap<std::optional<FolderIdentity>>::value_type const* m_lastFolder = nullptr;
    TextMap<std::optional<FolderListing>>::value_type const* m_lastListing = nullptr;
    TextMap<bool>::value_type const* m_lastIgnores = nullptr;
    bool m_anyIgnoresCase = false;
};

// Why an item at `source` in the folder `from` (nullopt for a copy, which leaves the source where it is) may
// not be given a name in the folder `to`, as rename(2) would say: a folder whose names the process may not
// change (EACCES, EROFS), or a sticky folder where neither the folder nor the item is the process's (EPERM);
// 0 when it may.
int changeError(std::optional<FolderIdentity> const& from, FolderIdentity const& to, std::string const& source)
{
    if (from && from->changeError != 0)
        return from->changeError;
    if (to.changeError != 0)
        return to.changeError;
    struct stat info {};
    if (from && from->ownersOnly && systemCalls().lstat(source.c_str(), &info) == 0 && info.st_uid != ::geteuid())
        return EPERM;
    return 0;
}

// Why a new name cannot be used, or nothing when it can.
std::optional<std::string> nameProblem(std::string_view name, std::string const& target)
{
    if (name.empty())
        return "the new name is empty";
    if (name == "." || name == ".." || name.find('\0') != std::string_view::npos)
        return "not one path component";
    if (name.size() > NAME_MAX || target.size() >= PATH_MAX)
        return std::string(std::strerror(ENAMETOOLONG));
    return std::nullopt;
}

// The message of a failure without the `prefix` that names what the row already shows.
std::string withoutPrefix(Status const& status, std::string const& prefix)
{
    std::string const& message = status.message();
    if (message.compare(0, prefix.size(), prefix) == 0)
        return message.substr(prefix.size());
    return message;
}

// The cause of a failed move without the "rename A to B: " that the row already shows.
std::string shortCause(Status const& status, std::string const& source, std::string const& target)
{
    return withoutPrefix(status, "rename " + source + " to " + target + ": ");
}

// Whether a move failed only because its target exists.
bool isTaken(Status const& status)
{
    std::string_view const message = status.message();
    std::string_view const ending = kWouldReplace;
    return status.error() == 0 && message.size() >= ending.size()
        && message.substr(message.size() - ending.size()) == ending;
}

}

void RenamePlan::add(std::string source, std::string target)
{
    m_pairs.push_back({ std::move(source), std::move(target), PairState::Planned, {} });
    m_checked = false;
}

void RenamePlan::addFailed(std::string source, std::string target, std::string cause)
{
    m_pairs.push_back({ std::move(source), std::move(target), PairState::Failed, std::move(cause) });
    m_checked = false;
}

void RenamePlan::fail(std::size_t index, std::string cause)
{
    m_pairs[index].state = PairState::Failed;
    m_pairs[index].cause = std::move(cause);
}

void RenamePlan::check()
{
    std::size_t const count = m_pairs.size();
    FolderCache folders;
    std::vector<std::optional<ItemKey>> sourceKeys(count), targetKeys(count);
    m_withinOneDevice.assign(count, 0);
    m_mayBeFolder.assign(count, 1);

    // Folders and names are views into the pairs' paths, which stay in place while the plan is checked.
    std::vector<std::string_view> sourceFolders(count), sourceNames(count), targetFolders(count);
    // Where the listing of its folder gave each source (FolderCache::kNoPosition: not read).
    std::vector<std::size_t> listed(count, FolderCache::kNoPosition);
    for (std::size_t i = 0; i < count; ++i) {
        if (m_pairs[i].state == PairState::Failed)
            continue;
        std::tie(sourceFolders[i], sourceNames[i]) = FileStore::splitItemPath(m_pairs[i].source);
        targetFolders[i] = FileStore::splitPath(m_pairs[i].target).first;
        folders.use(sourceFolders[i]);
        folders.use(targetFolders[i]);
    }

    // Each pair on its own: the source, the new name, the two folders.
    for (std::size_t i = 0; i < count; ++i) {
        PlannedRename& pair = m_pairs[i];
        if (pair.state == PairState::Failed)
            continue;
        if (!FileStore::isUsablePath(pair.source)) {
            fail(i, "not a usable path");
            continue;
        }
        bool folder = true;
        if (int error = folders.lookUp(sourceFolders[i], sourceNames[i], pair.source, &folder, &listed[i]);
            error != 0) {
            fail(i, std::strerror(error));
            continue;
        }
        m_mayBeFolder[i] = folder;
        // Only a source that is there holds its name.
        auto const sourceId = folders.identity(sourceFolders[i]);
        if (sourceId)
            sourceKeys[i] = ItemKey { sourceId->device, sourceId->inode, sourceNames[i] };
        auto [targetFolder, targetName] = FileStore::splitPath(pair.target);
        if (auto problem = nameProblem(targetName, pair.target)) {
            fail(i, *problem);
            continue;
        }
        auto targetId = folders.identity(targetFolder);
        if (!targetId) {
            fail(i, "the folder " + std::string(targetFolder) + " does not exist");
            continue;
        }
        targetKeys[i] = ItemKey { targetId->device, targetId->inode, targetName };
        // A move within one file system is one rename; a copy, or a move onto another file system, makes a
        // new item that undo must tell from one that stood at the target, and is recorded on its own.
        m_withinOneDevice[i]
            = m_operation == Operation::Move && sourceKeys[i] && sourceKeys[i]->device == targetKeys[i]->device;
        if (m_operation == Operation::Move && sourceKeys[i] && *sourceKeys[i] == *targetKeys[i]) {
            if (m_sameItemFails)
                fail(i, kWouldReplace);
            else
                pair.state = PairState::Unchanged;
            continue;
        }
        // A folder whose names the process may not change fails each pair there at once, with the cause its
        // rename would give, instead of part way through the run.
        if (int error = changeError(m_operation == Operation::Move ? sourceId : std::nullopt, *targetId, pair.source);
            error != 0)
            fail(i, std::strerror(error));
    }

    // Names that the plan frees: the sources of pairs that move. A file named twice moves at most once.
    ItemIndex bySource(sourceKeys, count), byTarget(targetKeys, count);
    std::vector<std::size_t> twice;
    // A copy frees no name: its source stays.
    for (std::size_t i = 0; i < count && m_operation == Operation::Move; ++i) {
        if (!sourceKeys[i] || m_pairs[i].state == PairState::Unchanged)
            continue;
        if (std::size_t const holder = bySource.add(i); holder != ItemIndex::kNone) {
            twice.push_back(i);
            twice.push_back(holder);
        }
    }
    for (std::size_t i : twice)
        fail(i, "the file is renamed twice in this plan");
    twice.clear();
    for (std::size_t i = 0; i < count; ++i) {
        if (!targetKeys[i] || m_pairs[i].state != PairState::Planned)
            continue;
        if (std::size_t const holder = byTarget.add(i); holder != ItemIndex::kNone) {
            twice.push_back(i);
            twice.push_back(holder);
        }
    }
    for (std::size_t i : twice)
        fail(i, kSameNewName);

    // A taken target is free only when the pair that holds it moves away first.
    m_next.assign(count, kNone);
    m_previous.assign(count, kNone);
    std::vector<std::size_t> caseChanges;
    // A pair, and the pair whose source holds the first one's new name in another case.
    std::vector<std::pair<std::size_t, std::size_t>> inAnotherCase;
    for (std::size_t i = 0; i < count; ++i) {
        if (m_pairs[i].state != PairState::Planned)
            continue;
        if (std::size_t const holder = bySource.find(*targetKeys[i]); holder != ItemIndex::kNone && holder != i) {
            m_next[i] = holder;
            m_previous[holder] = i;
            continue;
        }
        bool const sameFolder = sourceKeys[i] && sourceKeys[i]->device == targetKeys[i]->device
            && sourceKeys[i]->inode == targetKeys[i]->inode;
        auto const holding = folders.newName(targetFolders[i], targetKeys[i]->name, m_pairs[i].target,
            sameFolder ? sourceNames[i] : std::string_view());
        switch (holding.state) {
        case FolderCache::NewName::Free:
            break;
        case FolderCache::NewName::Taken:
            fail(i, takenCause(i));
            break;
        case FolderCache::NewName::HeldByItsSource:
            caseChanges.push_back(i);
            break;
        case FolderCache::NewName::HeldInAnotherCase: {
            // Free once the item that holds it moves away, when that item is renamed in this plan.
            ItemKey const held { targetKeys[i]->device, targetKeys[i]->inode, holding.holder };
            if (std::size_t const holder = bySource.find(held); holder != ItemIndex::kNone && holder != i)
                inAnotherCase.emplace_back(i, holder);
            else
                fail(i, kWouldReplace);
            break;
        }
        }
    }
    // Where case is not told apart, a pair waits for the item that holds its new name in another case, as
    // for one that holds it exactly; two pairs waiting for one item would give two files one name.
    for (auto const& [i, holder] : inAnotherCase) {
        if (m_previous[holder] != kNone) {
            fail(i, kSameNewName);
            continue;
        }
        m_next[i] = holder;
        m_previous[holder] = i;
    }
    // A new name that differs from its source's in case alone, where case is not told apart: a cycle of one,
    // which goes through a temporary name. Its source's name stays held in the new case, so a pair that
    // waits for that name to be freed fails.
    for (std::size_t i : caseChanges) {
        if (std::size_t const waiting = m_previous[i]; waiting != kNone) {
            m_next[waiting] = kNone;
            fail(waiting, kWouldReplace);
        }
        m_next[i] = i;
        m_previous[i] = i;
    }
    // Where case is not told apart, two new names that differ in case alone are one name.
    if (folders.anyIgnoresCase()) {
        TextMap<std::size_t> named;
        std::vector<std::size_t> twice;
        for (std::size_t i = 0; i < count; ++i) {
            if (m_pairs[i].state != PairState::Planned || !folders.foundToIgnoreCase(targetFolders[i]))
                continue;
            std::string key = std::to_string(targetKeys[i]->device) + ":" + std::to_string(targetKeys[i]->inode) + "/"
                + unicode::foldedCase(targetKeys[i]->name);
            if (auto [at, added] = named.emplace(std::move(key), i); !added) {
                twice.push_back(i);
                twice.push_back(at->second);
            }
        }
        // None of them waits for another pair: a name held by an item of the plan, in any case, made every
        // pair but one that wants it fail above.
        for (std::size_t i : twice)
            fail(i, kSameNewName);
    }
    // A pair whose target is freed by a failing pair fails too, and so on up the chain.
    for (std::size_t i = 0; i < count; ++i) {
        if (m_pairs[i].state != PairState::Failed)
            continue;
        for (std::size_t up = m_previous[i]; up != kNone && m_pairs[up].state == PairState::Planned;
             up = m_previous[up])
            fail(up, kWouldReplace);
    }

    m_predictedFailures = 0;
    for (auto const& pair : m_pairs)
        m_predictedFailures += pair.state == PairState::Failed;
    orderRun(sourceFolders, listed);
    m_checked = true;
}

void RenamePlan::orderRun(std::span<std::string_view const> sourceFolders, std::span<std::size_t const> listed)
{
    // Folder by folder, in the order in which the plan first names each folder; within a folder whose
    // listing was read, in the order of the listing, else in the plan's order. An item that may be a folder
    // keeps its place in the plan's order, before and after every other pair: moving it changes the paths
    // of what lies below it.
    // The rank of the source's folder in the high half of `order`, where the listing gave the source (else
    // the pair's index) in the low half: one comparison of two numbers orders two pairs. Both are below
    // 2^32 for any plan that fits in memory.
    struct Placed {
        std::uint64_t order;
        std::size_t index;
        bool operator<(Placed const& other) const { return order < other.order; }
    };
    std::size_t const count = m_pairs.size();
    TextMap<std::size_t> ranks;
    // The pairs come folder by folder: the folder of the pair before is compared first.
    TextMap<std::size_t>::value_type const* last = nullptr;
    std::vector<Placed> placed(count);
    for (std::size_t i = 0; i < count; ++i) {
        std::string_view const folder = sourceFolders[i];
        if (!last || last->first != folder) {
            auto found = ranks.find(folder);
            if (found == ranks.end())
                found = ranks.emplace(std::string(folder), ranks.size()).first;
            last = &*found;
        }
        std::uint64_t const place = listed[i] == FolderCache::kNoPosition ? i : listed[i];
        placed[i] = { std::uint64_t(last->second) << 32 | place, i };
    }
    auto const keeps = [&](Placed const& pair) {
        return m_pairs[pair.index].state == PairState::Planned && mayBeFolder(pair.index);
    };
    for (auto begin = placed.begin(); begin != placed.end();) {
        auto const end = std::find_if(begin, placed.end(), keeps);
        std::sort(begin, end);
        begin = end == placed.end() ? end : end + 1;
    }
    m_order.resize(count);
    for (std::size_t k = 0; k < count; ++k)
        m_order[k] = placed[k].index;
}

Status RenamePlan::move(std::string const& source, std::string const& target, bool mayBeFolder)
{
    if (m_nextAnnounced < m_announced.size() && m_announced[m_nextAnnounced].source == &source
        && m_announced[m_nextAnnounced].target == &target) {
        // Told to the observer with its batch.
        ++m_nextAnnounced;
    } else if (m_observer) {
        // Not the move announced next (never so today): the rest of the batch is passed over, and this one
        // and every later one are told one by one.
        passOverAnnounced(m_announced.size());
        if (Status allowed = m_observer->beforeMove(source, target); !allowed) {
            m_stopped = true;
            return allowed;
        }
    }
    bool inOneRename = false;
    Status moved = m_operation == Operation::Copy
        ? placeItem(Placement::Copy, Existing::Kept, source, target)
        : renameKept(source, target, &inOneRename, &m_folders);
    if (mayBeFolder && m_operation == Operation::Move)
        m_folders.forgetAll();
    if (m_observer)
        m_observer->afterMove(source, target, moved, inOneRename);
    return moved;
}

// The next `count` announced moves are not tried.
void RenamePlan::passOverAnnounced(std::size_t count)
{
    for (; count > 0 && m_nextAnnounced < m_announced.size(); --count, ++m_nextAnnounced)
        m_observer->notMade(*m_announced[m_nextAnnounced].source, *m_announced[m_nextAnnounced].target);
}

void RenamePlan::markRest(std::span<std::size_t const> indices, std::size_t from, std::string const& cause)
{
    for (std::size_t k = from; k < indices.size(); ++k) {
        if (m_pairs[indices[k]].state == PairState::Planned)
            fail(indices[k], cause);
    }
}

// The pairs of a chain, in the order of execution (the one whose target is free first).
bool RenamePlan::runChain(std::span<std::size_t const> order)
{
    for (std::size_t k = 0; k < order.size(); ++k) {
        PlannedRename& pair = m_pairs[order[k]];
        Status moved = move(pair.source, pair.target, mayBeFolder(order[k]));
        if (!moved) {
            fail(order[k], shortCause(moved, pair.source, pair.target));
            markRest(order, k + 1, "not done: the rename that frees its new name failed");
            passOverAnnounced(order.size() - k - 1);
            return false;
        }
        pair.state = PairState::Done;
    }
    return true;
}

// Chains one after another (`order` holds their pairs, chain after chain, each ending where `chainEnds` says),
// their moves announced to the observer first as one batch. Returns whether the run stops.
bool RenamePlan::runChains(std::span<std::size_t const> order, std::span<std::size_t const> chainEnds,
    OnFailure onFailure)
{
    if (m_observer) {
        m_announced.clear();
        m_nextAnnounced = 0;
        for (std::size_t index : order)
            m_announced.push_back({ &m_pairs[index].source, &m_pairs[index].target });
        if (Status announced = m_observer->beforeMoves(m_announced, m_folders); !announced) {
            // As when the first move is refused: its chain is not done, and the run stops.
            m_announced.clear();
            m_stopped = true;
            PlannedRename const& first = m_pairs[order.front()];
            fail(order.front(), shortCause(announced, first.source, first.target));
            markRest(order.first(chainEnds.front()), 1, "not done: the rename that frees its new name failed");
            return true;
        }
    }
    bool stop = false;
    std::size_t begin = 0;
    for (std::size_t end : chainEnds) {
        if (stop)
            break;
        stop = m_stopped || (!runChain(order.subspan(begin, end - begin)) && onFailure == OnFailure::Stop);
        begin = end;
    }
    if (m_observer) {
        passOverAnnounced(m_announced.size());
        m_announced.clear();
        m_nextAnnounced = 0;
    }
    return stop || m_stopped;
}

namespace {

// The cause of a pair that a stopped run leaves: the interruption (Interruption), when it is what stopped
// the journal, else `otherwise`.
std::string notDoneCause(char const* otherwise)
{
    return Interruption::noted() != 0 ? std::string("not done: ") + Interruption::cause() : otherwise;
}

// Holds off an interruption of the run for the life of the object.
class InterruptionHold {
public:
    explicit InterruptionHold(ChangeObserver* observer) : m_observer(observer)
    {
        if (m_observer)
            m_observer->holdInterruption(true);
    }
    ~InterruptionHold()
    {
        if (m_observer)
            m_observer->holdInterruption(false);
    }
    InterruptionHold(InterruptionHold const&) = delete;
    InterruptionHold& operator=(InterruptionHold const&) = delete;

private:
    ChangeObserver* m_observer;
};

}

// Why a pair whose new name is taken fails: for a copy to another name, what a replacing copy would refuse
// there as well (a link that leads nowhere in the way, the source itself under another name), which a
// caller that lets copies replace must not pass over; else that it would replace an item.
std::string RenamePlan::takenCause(std::size_t index) const
{
    PlannedRename const& pair = m_pairs[index];
    if (m_operation == Operation::Copy && pair.source != pair.target) {
        if (Status refused = replacementRefused(Placement::Copy, pair.source, pair.target); !refused)
            return withoutPrefix(refused, pair.source + " to " + pair.target + ": ");
    }
    return kWouldReplace;
}

// A cycle c0 -> c1 -> ... -> c(k-1) -> c0, each pair's target being the next one's source: c0 steps aside
// to a temporary name, c(k-1) ... c1 follow, then c0 leaves the temporary name for its target. Should a
// step fail, the steps made are reversed, so the cycle ends as it began; should a step back fail too, the
// pairs still moved are done, and the first source is given its own name or a visible one beside it.
bool RenamePlan::runCycle(std::vector<std::size_t> const& cycle)
{
    PlannedRename& first = m_pairs[cycle.front()];
    bool const firstMayBeFolder = mayBeFolder(cycle.front());
    std::string const folder = FileStore::parentOf(first.source);
    std::string temporary;
    Status aside;
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = (folder == "/" ? "" : folder) + "/" + std::string(kCycleNamePrefix) + std::to_string(getpid())
            + "-" + std::to_string(cycle.front()) + "-" + std::to_string(attempt);
        aside = move(first.source, temporary, firstMayBeFolder);
        if (aside || aside.error() != 0 || m_stopped)
            break;  // done, or a failure other than a taken name
    }
    if (!aside) {
        fail(cycle.front(), shortCause(aside, first.source, temporary));
        markRest(cycle, 1, notDoneCause("not done: a rename of its cycle failed"));
        return false;
    }
    // From here on the cycle is made whole or taken back: an interruption waits for its end.
    InterruptionHold const held(m_observer);
    std::vector<std::size_t> made;  // in the order made
    std::string failure;
    for (std::size_t k = cycle.size() - 1; k >= 1; --k) {
        PlannedRename& pair = m_pairs[cycle[k]];
        Status moved = move(pair.source, pair.target, mayBeFolder(cycle[k]));
        if (!moved) {
            failure = shortCause(moved, pair.source, pair.target);
            fail(cycle[k], failure);
            break;
        }
        made.push_back(cycle[k]);
    }
    if (failure.empty()) {
        Status last = move(temporary, first.target, firstMayBeFolder);
        if (last) {
            for (std::size_t index : cycle)
                m_pairs[index].state = PairState::Done;
            return true;
        }
        failure = shortCause(last, temporary, first.target);
        fail(cycle.front(), failure);
    }
    // Back as it was: the moves made, last first. A move that cannot be taken back stays made, and so do the
    // ones made before it, whose old names it still holds: those pairs are done, and only the pairs whose
    // move back succeeded are undone.
    std::string const undone = "undone: a rename of its cycle failed (" + failure + ")";
    std::size_t kept = 0;  // made[0 .. kept) stay made
    for (std::size_t k = made.size(); k-- > 0;) {
        PlannedRename& pair = m_pairs[made[k]];
        if (Status back = move(pair.target, pair.source, mayBeFolder(made[k])); !back) {
            kept = k + 1;
            break;
        }
        fail(made[k], undone);
    }
    for (std::size_t k = 0; k < kept; ++k) {
        m_pairs[made[k]].state = PairState::Done;
        m_pairs[made[k]].cause.clear();
    }
    markRest(cycle, 1, "not done: a rename of its cycle failed (" + failure + ")");
    // The first source leaves the temporary name: for its own name when that is free, else for a visible
    // name beside it, so that no item is left under a hidden name alone.
    if (kept == 0) {
        Status back = move(temporary, first.source, firstMayBeFolder);
        if (back) {
            if (first.state == PairState::Planned)
                fail(cycle.front(), undone);
            return false;
        }
    }
    std::string const stranded = first.source + ".quodrix-stranded";
    Status placed;
    std::string visible;
    for (int attempt = 1; attempt <= 100; ++attempt) {
        visible = attempt == 1 ? stranded : stranded + "-" + std::to_string(attempt);
        placed = move(temporary, visible, firstMayBeFolder);
        if (placed || !isTaken(placed))
            break;  // placed, or a failure other than a taken name
    }
    if (placed)
        fail(cycle.front(), "a rename of its cycle failed (" + failure + ") and it could not be moved back: it is now " + visible);
    else
        fail(cycle.front(), "a rename of its cycle failed and it is left as " + temporary + ": " + placed.message());
    return false;
}

RenamePlan::Summary RenamePlan::execute(OnFailure onFailure, ChangeObserver* observer)
{
    if (!m_checked)
        check();
    if (onFailure == OnFailure::Stop && m_predictedFailures > 0) {
        for (auto& pair : m_pairs) {
            if (pair.state == PairState::Planned)
                fail(&pair - m_pairs.data(), "not done: the plan has failures");
        }
        return summary();
    }
    m_observer = observer;
    m_stopped = false;
    std::size_t const count = m_pairs.size();
    std::vector<char> visited(count, 0);
    std::vector<std::size_t> group;

    auto stopHere = [&](bool succeeded) { return m_stopped || (!succeeded && onFailure == OnFailure::Stop); };
    bool stop = false;
    // Chains, each from the pair that nobody waits on... from its end, where the target is free. They run a
    // batch at a time: a journal records the intents of a batch's moves in one write. A chain that is longer
    // than a batch, or that leaves its file system (a move there is a copy, then a removal), goes move by
    // move, each move recorded just before it is made.
    std::vector<std::size_t> batch, chainEnds;
    auto runBatch = [&] {
        if (!batch.empty())
            stop = runChains(batch, chainEnds, onFailure);
        batch.clear();
        chainEnds.clear();
    };
    for (std::size_t head : m_order) {
        if (stop)
            break;
        if (m_pairs[head].state != PairState::Planned || m_previous[head] != kNone)
            continue;
        group.clear();
        bool withinOneDevice = true;
        for (std::size_t i = head; i != kNone; i = m_next[i]) {
            visited[i] = 1;
            group.push_back(i);
            withinOneDevice = withinOneDevice && m_withinOneDevice[i];
        }
        std::reverse(group.begin(), group.end());
        if (!withinOneDevice || group.size() > kMovesAheadAtMost) {
            runBatch();
            if (!stop)
                stop = stopHere(runChain(group));
            continue;
        }
        if (batch.size() + group.size() > kMovesAheadAtMost)
            runBatch();
        if (stop)
            break;
        batch.insert(batch.end(), group.begin(), group.end());
        chainEnds.push_back(batch.size());
    }
    if (!stop)
        runBatch();
    // What is left planned lies on cycles.
    for (std::size_t start = 0; start < count && !stop; ++start) {
        if (m_pairs[start].state != PairState::Planned || visited[start])
            continue;
        group.clear();
        std::size_t i = start;
        do {
            visited[i] = 1;
            group.push_back(i);
            i = m_next[i];
        } while (i != start && i != kNone);
        stop = stopHere(runCycle(group));
    }
    // A run is stopped by an interruption as by a failure: the journal takes no further move.
    std::string const notDone = notDoneCause("not done: the run stopped after a failure");
    for (auto& pair : m_pairs) {
        if (pair.state == PairState::Planned) {
            pair.state = PairState::Failed;
            pair.cause = notDone;
        }
    }
    m_observer = nullptr;
    m_folders.forgetAll();
    return summary();
}

RenamePlan::Summary RenamePlan::summary() const
{
    Summary s;
    for (auto const& pair : m_pairs) {
        s.done += pair.state == PairState::Done;
        s.failed += pair.state == PairState::Failed;
        s.unchanged += pair.state == PairState::Unchanged;
    }
    return s;
}

}
