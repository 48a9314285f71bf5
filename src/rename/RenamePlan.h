#pragma once
// RenamePlan: a batch of renames (source path, target path) worked out as a whole before anything moves.
//
// check() predicts every failure it can see, each with its cause: a source that is missing, a destination
// folder that is missing, a new name that is empty, not one path component or too long, two files given
// one name, one file named twice, and a target that exists and is not itself renamed away in this plan
// ("would replace an existing item"; also when the rename that would free it fails). A pair whose source
// and target are one item, decided by the device and inode of the resolved folders and the name, never by
// the text of the paths, changes nothing and is no failure. On a file system that does not tell letter case
// apart, a new name that differs from its source's in case alone is held by the source itself, and a new
// name that another item holds in another case is taken, unless that item is renamed away in this plan.
//
// execute() makes the moves in an order in which every one succeeds: in a chain (a->b while b->c) the
// rename that frees a name goes first. The chains are taken up folder by folder, and within a folder that
// check() read whole in the order of its listing: a file system finds names that lie near in its listing
// near in its index too, and renames them faster than in the plan's order (with 10,000 names, by a tenth).
// The pairs and their rows keep the plan's order. A cycle (a<->b, a->b->c->a) goes through a temporary
// name in the folder of one of its sources; so does a change of case alone where case is not told apart
// (a cycle of one). A cycle whose step fails is taken back: a pair is reported
// undone only when its move back succeeded; a pair whose move could not be taken back (and those it
// blocks) is done; the first source, should its own name not be free again, leaves the temporary name for
// "<source>.quodrix-stranded" (or "-2", ...), which its cause names. Every step is a rename that never
// replaces (renameKept), and every step goes through move(), which tells the ChangeObserver before and
// after; the moves of chains within one file system are told before in batches of up to kMovesAheadAtMost
// (beforeMoves), so that a journal records a batch in one write. The moves of a run go through the
// handles of their folders (FolderHandles), opened once each, and the run forgets them all after moving an
// item that may be a folder (anything but a regular file: a link may lead to a folder). With
// OnFailure::Stop a plan with any predicted failure moves nothing (its other pairs fail as "not done: the
// plan has failures"), and the first failure while moving ends the run; with KeepGoing the pairs that are
// predicted to fail are left alone and the others are carried out.
//
// A plan of copies (Operation::Copy) has no chains: every target must be free, and each step is the
// Existing::Kept copy of placeItem.
//
// Time and memory grow linearly with the number of pairs: names are found through hash maps keyed by
// (folder identity, name), and each folder is looked up once.

#include "fs/FolderHandles.h"
#include "fs/Status.h"

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quodrix {

// The cause of the pairs of a plan (or of a list) that would give one new name to two files.
inline constexpr char const* kSameNewName = "two files would get this name";

// A move as the plan announces it: paths that stay valid while the plan executes.
struct AnnouncedMove {
    std::string const* source;
    std::string const* target;
};

// Sees every change a plan makes, so that a journal can record each one before and after it happens: each
// rename (a copy, in a plan of copies), the steps through a cycle's temporary name and the steps that undo
// a cycle that could not be completed included.
class ChangeObserver {
public:
    virtual ~ChangeObserver() = default;
    // Before a move; a failure leaves this move unmade and ends the run, its message being the cause.
    [[nodiscard]] virtual Status beforeMove(std::string const& source, std::string const& target) = 0;
    // Before a batch of moves that are to follow one another in this order, so that they can be recorded
    // together. Each of them then comes to afterMove without a beforeMove of its own, or, when the run does
    // not try it (a failure before it), to notMade, in the same order. A failure leaves them all unmade and
    // ends the run, its message being the cause. `folders` are the open folders that the moves go through.
    [[nodiscard]] virtual Status beforeMoves(std::span<AnnouncedMove const> moves, FolderHandles& folders) = 0;
    // After a move was tried, with its outcome; `inOneRename`: it was one rename within a file system, so the
    // item at the target is the source's own, with its identity.
    virtual void afterMove(std::string const& source, std::string const& target, Status const& outcome,
        bool inOneRename) = 0;
    // An announced move that the run did not try.
    virtual void notMade(std::string const& source, std::string const& target) = 0;
    // Around the steps of a cycle after its first one, which must all be made (or all taken back): a run
    // that is interrupted (Interruption) stops before a cycle or after it, never inside it.
    virtual void holdInterruption(bool held) { (void)held; }
};

enum class PairState {
    Planned,    // will be carried out (after check, before execute)
    Unchanged,  // source and target are one item: nothing to do
    Done,
    Failed,     // predicted by check, or failed while moving; `cause` says why
};

enum class OnFailure { Stop, KeepGoing };

// What a plan does with each source: renames it (the source's name is freed), or copies it under the new
// name (the source stays, so no name is freed and a source and target that are one item is a failure).
enum class Operation { Move, Copy };

struct PlannedRename {
    std::string source;
    std::string target;
    PairState state = PairState::Planned;
    std::string cause;
};

class RenamePlan {
public:
    struct Summary {
        std::size_t done = 0;
        std::size_t failed = 0;
        std::size_t unchanged = 0;
    };

    void reserve(std::size_t count) { m_pairs.reserve(count); }
    void setOperation(Operation operation) { m_operation = operation; m_checked = false; }
    Operation operation() const { return m_operation; }
    // For a plan that only predicts a run which stores each file anew under its new name (and never
    // replaces): a move whose source and target are one item fails there, as a copy's does, instead of
    // being no change.
    void setSameItemFails(bool fails) { m_sameItemFails = fails; m_checked = false; }
    // A pair given as two paths; the target's last component is its new name.
    void add(std::string source, std::string target);
    // A pair that is known to fail already (its new name could not be made); it is reported, never moved.
    void addFailed(std::string source, std::string target, std::string cause);

    // Predicts the failures and works out the order. Called by execute() when it was not called before.
    void check();
    std::size_t predictedFailures() const { return m_predictedFailures; }

    // Carries the plan out. The observer, when given, sees every move.
    Summary execute(OnFailure onFailure, ChangeObserver* observer = nullptr);

    std::vector<PlannedRename> const& pairs() const { return m_pairs; }
    Summary summary() const;

private:
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

    // The one road by which a plan changes the disk. `mayBeFolder`: the item may be a folder or a link to
    // one, so that a folder's handle opened before the move may not stand for the path afterwards.
    Status move(std::string const& source, std::string const& target, bool mayBeFolder);
    bool mayBeFolder(std::size_t index) const { return m_mayBeFolder[index] != 0; }

    void fail(std::size_t index, std::string cause);
    std::string takenCause(std::size_t index) const;
    // Works out m_order from the sources' folders and where each folder's listing gave them (SIZE_MAX: the
    // folder was not read).
    void orderRun(std::span<std::string_view const> sourceFolders, std::span<std::size_t const> listed);
    bool runChain(std::span<std::size_t const> order);
    bool runChains(std::span<std::size_t const> order, std::span<std::size_t const> chainEnds, OnFailure onFailure);
    void passOverAnnounced(std::size_t count);
    bool runCycle(std::vector<std::size_t> const& cycle);
    void markRest(std::span<std::size_t const> indices, std::size_t from, std::string const& cause);

    std::vector<PlannedRename> m_pairs;
    std::vector<std::size_t> m_next;  // the pair that must move first, because its source is this one's target
    std::vector<std::size_t> m_previous;
    std::vector<std::size_t> m_order;  // the pairs in the order in which a run takes up their chains
    bool m_checked = false;
    bool m_stopped = false;
    std::size_t m_predictedFailures = 0;
    ChangeObserver* m_observer = nullptr;
    std::vector<char> m_withinOneDevice;     // the pair's source and target folders are on one device
    std::vector<char> m_mayBeFolder;         // the pair's source is not known to be a regular file
    FolderHandles m_folders;                 // the folders that a run's moves go through
    std::vector<AnnouncedMove> m_announced;  // the batch of moves announced to the observer
    std::size_t m_nextAnnounced = 0;         // the first of them not yet tried or passed over
    Operation m_operation = Operation::Move;
    bool m_sameItemFails = false;
};

}
