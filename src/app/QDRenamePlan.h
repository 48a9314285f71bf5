#pragma once
// QDRenamePlan: a RenamePlan for scripts. A script fills one plan, by pairs (addPair::), by pattern
// (planPattern:, the whole of `quodrix rename`'s naming done natively) or from a rename list (planList:),
// then checks it, carries it out, and reads the rows back in one call, so that a run of many files costs a
// few bridge calls, not a few per file.
//
// Rows are in the order the pairs were added; a pair whose source and target are one item is no change and
// shows in `rows` with state "unchanged" but not in reportText nor in the log.

#include "core/Object.h"
#include "core/PathList.h"
#include "core/Value.h"
#include "fs/Status.h"
#include "rename/RenamePlan.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace quodrix {

class Runtime;

class QDRenamePlan : public Object {
public:
    static void registerClass(Runtime& runtime);

    // The files that a folder given to a command stands for: the "renameDir" walk (hidden items left out),
    // less the links that lead to no item or to a folder, which a file panel would not let its user choose
    // as files. `cause` and `stop` as the walk takes them. Scripts ask for it with the class method filesBelow:.
    static PathList filesBelow(std::string const& folder, Status* cause, std::function<bool()> const& stop = {});

    // The pairs of pattern renaming of the files (dictionary keys: find, replace, files, once, ignoreExt,
    // start, step, case, caseExt, flatten, destination). A folder among the files stands for its files
    // (filesBelow). The files are numbered in natural order of their paths, matching files only. nullopt
    // when planned; otherwise what is wrong with FIND or REPLACE.
    [[nodiscard]] std::optional<std::string> planPattern(Dictionary const& options);
    // The pairs of a rename list (keys: list, separator, folders, destination, copy): each present name is
    // looked for in the folders in turn; with copy the plan copies. nullopt when planned; otherwise why the list cannot be read or gives no pair.
    [[nodiscard]] std::optional<std::string> planList(Dictionary const& options);

    // The pairs of insert renaming (keys: text, positions, files, folders, destination, inPlace, copy): each
    // new name as the insert renaming controller makes it, in the destination (the controller's destination
    // text) or, with inPlace, in the file's own folder, the files then in natural order of their paths. Each
    // of the folders stands for its files (filesBelow), after the files; missed() says why a walk missed
    // some. With copy the plan copies. Into a destination a file whose new name is its own fails ("would
    // replace an existing item"), as the controller's store fails it; in place it is unchanged. Log rows
    // carry the action "Insert".
    void planInsert(Dictionary const& options);

    RenamePlan& plan() { return m_plan; }
    RenamePlan const& plan() const { return m_plan; }
    // One line per change: "old -> new", then "  would fail: CAUSE" (not executed) or "  failed: CAUSE".
    std::string reportText(bool executed) const;
    // The seven values of the action-log call (myAppLog hLogMyActions:::::::) for each change, in row order,
    // one after the other in one flat list: a run of many files hands them to its script as one table of
    // strings instead of a table for every change.
    PathList logTexts(bool executed) const;
    // The same for the pairs [first, first + count) of the plan (pairs without a change give none), so that
    // a script can take the rows of a plan of a million files a part at a time.
    PathList logTexts(bool executed, std::size_t first, std::size_t count) const;
    // The same values as an array of seven for each change.
    Array logValues(bool executed) const;
    // Why a folder walk of planPattern or planInsert missed files (a folder it could not read); empty when
    // it read all.
    std::string const& missed() const { return m_missed; }
    // How many names of the files given could not be searched (not valid UTF-8) and were left alone.
    std::size_t unsearchable() const { return m_unsearchable; }
    // How many files planPattern searched (those it left alone among them).
    std::size_t searched() const { return m_searched; }
    // Each change as { source, target, state, cause }, in row order; `onlyFailed` keeps the failed ones.
    Array rows(bool onlyFailed = false) const;
    // How many lines of the list that planList read are not one pair: its runs of characters other than
    // line ends, less its pairs; 0 for a file holding `logHeader` (an application log, whose header and
    // short lines are left out by design) and for a list that cannot be read now.
    std::size_t listLinesLeftOut(std::string_view logHeader) const;

private:
    RenamePlan m_plan;
    bool m_executed = false;
    std::string m_missed;
    std::size_t m_unsearchable = 0;
    std::size_t m_searched = 0;
    std::string m_action = "Rename";
    std::string m_list;  // the rename list of planList
    std::size_t m_listPairs = 0;
};

// A path as a row shows it: control characters and bytes that are not UTF-8 as \xHH (\t and \n by name).
std::string displayedPath(std::string const& path);

}
