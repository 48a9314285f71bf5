#pragma once
// ScriptPanels: panels and alerts answered by the functions that scripts put in objc.panels (open, save,
// alert, print). Where a script set no function, the terminal stand-in answers instead.

#include "platform/Panels.h"

namespace quodrix {

class LuaHost;

class ScriptPanels final : public Panels {
public:
    explicit ScriptPanels(LuaHost& host) : m_host(host) { }

    std::optional<std::vector<std::string>> runOpen(OpenPanelRequest const& request) override;
    std::optional<std::string> runSave(SavePanelRequest const& request) override;
    std::optional<Dictionary> runPrint(Dictionary const& settings) override;
    void alert(std::string const& title, std::string const& message) override;

private:
    // [-0, +1] Pushes objc.panels[name] when it is a function; returns false (pushing nothing) otherwise.
    bool pushHandler(char const* name);
    // [-(argumentCount + 1), +0] Calls the handler pushed below `argumentCount` arguments; the first result
    // as a value.
    Value call(char const* name, int argumentCount);

    LuaHost& m_host;
    TerminalPanels m_terminal;
};

}
