#pragma once
// FileCollector: the files of a batch action, chosen in an open panel that the action's name sets up.
//
// Each action name has one row: a file panel (several files, among a type list, or any type) whose chosen
// files are the result, or a folder panel (one folder) below which the files are collected by a walk
// (FolderWalk) and an exact, case-sensitive extension set. A cancelled panel gives the row's own result:
// null or an empty array. A name without a row gives null and shows no panel.

#include "core/PathList.h"
#include "fs/FolderWalk.h"
#include "platform/Panels.h"

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quodrix {

namespace collection {

enum class Panel { Files, Folder };
enum class Types { Any, LongImage, ShortImage, Emm, Watermark };
enum class Collect { Chosen, EveryFile, SortSet, WatermarkSet, EmmSet };
enum class OnCancel { Null, EmptyArray };

struct ActionRow {
    std::string_view name;
    Panel panel;
    Types types;
    Collect collect;
    PackageContents packages;
    OnCancel onCancel;
};

// The rows of the two collection methods, in the order in which the names are tested.
std::span<ActionRow const> openDialogFilesRows();
std::span<ActionRow const> openDialogFilesOCRows();

// The type list that a panel is given; nullopt for any type.
std::optional<std::vector<std::string>> typeList(Types types);

// Whether the extension is in the set used when collecting below a folder (EveryFile admits any).
bool extensionCollected(Collect collect, std::string_view extension);

// The request for the row's panel.
OpenPanelRequest panelRequest(ActionRow const& row);

// Which symbolic links a walk collects: every one, as the row says (a link is not a folder), or only those
// that lead to an item that is not a folder, as a file panel would let its user choose them.
enum class Links { Collected, ToFilesOnly };

// The paths that the walk below `folder` collects for the row, in walk order. `cause`, when given, says
// whether the walk could read every folder (the first folder it could not read, and why).
// `stop` as walkFolder takes it.
PathList collectBelow(ActionRow const& row, std::string const& folder, Status* cause = nullptr,
    std::function<bool()> const& stop = {}, Links links = Links::Collected);

}

// Runs the action's panel and gives the collected paths (nullopt is the null result); `cause` as for
// collectBelow.
std::optional<PathList> collectFiles(Panels& panels, std::span<collection::ActionRow const> rows,
    std::string_view action, Status* cause = nullptr);

}
