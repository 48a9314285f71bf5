#pragma once
// PanelRules: what an open or save panel lets its user confirm, applied to every answer, whoever gave it (a
// script's objc.panels.open, the terminal prompt, a test).
//
// A panel shows only items that exist, so an answer is checked item by item: the path is made absolute
// (without resolving links), an item that does not exist is refused, a folder is refused by a panel that
// cannot choose folders and a file by one that cannot choose files (a package folder, such as "x.app",
// counts as a file, as the platform shows it), and a file whose extension is not in the type list (compared
// without regard to case) is refused when the panel has a list. Repeated items are kept once. Refused items
// are named in the system log and left out. When nothing is left, or a single-selection panel was given
// several items, the panel counts as cancelled: there is no way of telling which one the user meant.

#include "platform/Panels.h"

#include <optional>
#include <string>
#include <vector>

namespace quodrix {

// The answer as the panel would have allowed it; nullopt for a cancelled panel.
std::optional<std::vector<std::string>> acceptOpenAnswer(OpenPanelRequest const& request,
    std::optional<std::vector<std::string>> answer);

// Runs an open panel through `panels` and applies the rules above to its answer.
std::optional<std::vector<std::string>> runOpenPanel(Panels& panels, OpenPanelRequest const& request);

// A save panel's answer: the path made absolute; when the panel has a type list and allows no other types,
// a name whose extension (compared without regard to case) is not in the list gets the first allowed one
// appended, as the panel supplies it. A folder, or a place whose parent folder does not exist, counts as
// cancelled.
std::optional<std::string> acceptSaveAnswer(SavePanelRequest const& request, std::optional<std::string> answer);
std::optional<std::string> runSavePanel(Panels& panels, SavePanelRequest const& request);

}
