#pragma once
// NSSavePanel: a save panel as an object that an interface can configure before it runs, for example a
// format accessory changing its allowed types. runModal hands its settings to the platform's panels.

#include "core/Object.h"
#include "platform/Panels.h"

#include <optional>
#include <string>

namespace quodrix {

class Runtime;

class NSSavePanel : public Object {
public:
    static void registerClass(Runtime& runtime);

    SavePanelRequest const& request() const { return m_request; }
    void setAllowedFileTypes(std::optional<std::vector<std::string>> types) { m_request.allowedFileTypes = std::move(types); }
    void setAllowsOtherFileTypes(bool allows) { m_request.allowsOtherFileTypes = allows; }
    void setNameFieldStringValue(std::string name) { m_request.nameFieldStringValue = std::move(name); }
    void setTitle(std::optional<std::string> title) { m_request.title = std::move(title); }
    void setCanCreateDirectories(bool can) { m_request.canCreateDirectories = can; }

    // 1 when the user confirmed (the chosen path is then url()), 0 when cancelled.
    int runModal(Panels& panels);
    std::optional<std::string> const& chosenPath() const { return m_chosen; }

private:
    SavePanelRequest m_request;
    std::optional<std::string> m_chosen;
};

}
