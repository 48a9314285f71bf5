#pragma once
// ChooserPanels: the small panels that ask the user for one place, followed by one write or read: saving a
// text or an action file ("c-action"), loading an action file, choosing a rename list ("txt", "csv") or a
// folder. Every panel runs through the platform's panels with the save- and open-panel rules applied.
//
// Writes replace the chosen file in one rename (the old file stays whole when a write fails). `cause`, when
// given, receives why a write or read failed; a cancelled panel is no failure.

#include "core/Value.h"
#include "fs/Status.h"

#include <optional>
#include <string>
#include <vector>

namespace quodrix {

class Panels;

class ChooserPanels {
public:
    static constexpr char const* kActionFileType = "c-action";
    static constexpr char const* kDefaultFolderTitle = "Testje";

    explicit ChooserPanels(Panels& panels) : m_panels(panels) { }

    // Saves a text under the given type; nothing is reported.
    void saveText(std::string const& type, std::optional<std::string> const& text, std::string const& suggestedName,
        Status* cause = nullptr);
    // Saves a text as an action file: the chosen path, or "" when cancelled (a failed write is not reported).
    std::string saveActionText(std::optional<std::string> const& text, std::string const& suggestedName,
        Status* cause = nullptr);
    // Saves data as an action file: the path written, or "" when cancelled or the write failed.
    std::string saveActionData(std::optional<std::string> const& bytes, std::string const& suggestedName,
        Status* cause = nullptr);
    // Loads an action file: its text; "" when cancelled; null when its bytes are not UTF-8 or unreadable.
    Value readActionFile(Status* cause = nullptr);
    // Chooses a rename list: the chosen path as the one element, or an empty array when cancelled.
    std::vector<std::string> chooseRenameList();
    // Chooses one folder (folder creation allowed): its path without a final "/", or nullopt when cancelled.
    std::optional<std::string> chooseFolder(std::optional<std::string> const& title);

private:
    std::optional<std::string> runSave(std::string const& type, std::string const& suggestedName);

    Panels& m_panels;
};

}
