#pragma once
// Panels: the modal open, save and print panels and the alert sheets, as requests that someone answers.
//
// A request carries the settings that the caller gave the panel. The answer is what the user confirmed:
// paths for an open panel, one path for a save panel, the chosen settings for a print panel; nullopt when
// the user cancelled.

#include "core/Value.h"

#include <optional>
#include <string>
#include <vector>

namespace quodrix {

struct OpenPanelRequest {
    bool canChooseFiles = true;
    bool canChooseDirectories = false;
    bool allowsMultipleSelection = false;
    bool canCreateDirectories = false;
    std::optional<std::vector<std::string>> allowedFileTypes;  // nullopt: any type
    std::optional<std::string> title;                          // nullopt: the platform's default
};

struct SavePanelRequest {
    bool canCreateDirectories = true;
    std::optional<std::vector<std::string>> allowedFileTypes;
    std::optional<std::string> title;
    std::string nameFieldStringValue;
    bool allowsOtherFileTypes = false;
};

class Panels {
public:
    virtual ~Panels() = default;
    virtual std::optional<std::vector<std::string>> runOpen(OpenPanelRequest const& request) = 0;
    virtual std::optional<std::string> runSave(SavePanelRequest const& request) = 0;
    virtual std::optional<Dictionary> runPrint(Dictionary const& settings) = 0;
    virtual void alert(std::string const& title, std::string const& message) = 0;
};

// The panels with nobody to answer them but a terminal: a prompt when standard input is a terminal,
// otherwise every panel is cancelled; alerts are written to standard error.
class TerminalPanels final : public Panels {
public:
    std::optional<std::vector<std::string>> runOpen(OpenPanelRequest const& request) override;
    std::optional<std::string> runSave(SavePanelRequest const& request) override;
    std::optional<Dictionary> runPrint(Dictionary const& settings) override;
    void alert(std::string const& title, std::string const& message) override;
};

}
