#pragma once
// SavePanelRules: what a save panel lets its user confirm, applied to every answer, whoever gave it.
//
// The chosen path is made absolute (without resolving links). When the panel has a type list and does not
// allow other types, the name always ends in an allowed extension: a name whose extension (compared without
// regard to case) is not in the list gets the first allowed one appended, as the panel supplies it. An
// answer naming a folder, or a place whose parent folder does not exist, counts as cancelled.

#include "platform/Panels.h"

#include <optional>
#include <string>

namespace quodrix {

std::optional<std::string> acceptSaveAnswer(SavePanelRequest const& request, std::optional<std::string> answer);

// Runs a save panel through `panels` and applies the rules above to its answer.
std::optional<std::string> runSavePanel(Panels& panels, SavePanelRequest const& request);

}
