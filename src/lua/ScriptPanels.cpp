#include "lua/ScriptPanels.h"

#include "core/BridgeError.h"
#include "lua/LuaCall.h"
#include "lua/LuaHost.h"

#include <lua.hpp>

namespace quodrix {

static Value typesValue(std::optional<std::vector<std::string>> const& types)
{
    if (!types)
        return {};
    return Value(*types);
}

static Value optionalText(std::optional<std::string> const& text)
{
    return text ? Value(*text) : Value();
}

// [-0, +1] or [-0, +0] when there is no handler.
bool ScriptPanels::pushHandler(char const* name)
{
    lua_State* L = m_host.state();
    lua_getglobal(L, "objc");
    if (!lua_istable(L, -1)) {
        lua_pop(L, 1);
        return false;
    }
    lua_getfield(L, -1, "panels");
    if (!lua_istable(L, -1)) {
        lua_pop(L, 2);
        return false;
    }
    lua_getfield(L, -1, name);
    lua_remove(L, -2);
    lua_remove(L, -2);
    if (!lua_isfunction(L, -1)) {
        lua_pop(L, 1);
        return false;
    }
    return true;
}

// [-(argumentCount + 1), +0]
Value ScriptPanels::call(char const* name, int argumentCount)
{
    lua_State* L = m_host.state();
    StackCheck check(L, -(argumentCount + 1), "ScriptPanels::call");
    if (auto failure = protectedCall(L, argumentCount, 1))
        throw BridgeError(std::string("objc.panels.") + name + ": " + *failure);
    Value result;
    try {
        result = m_host.toValue(-1);
    } catch (std::exception const& e) {
        lua_pop(L, 1);
        throw BridgeError(std::string("objc.panels.") + name + ": the answer: " + e.what());
    }
    lua_pop(L, 1);
    return result;
}

// [-0, +0]
std::optional<std::vector<std::string>> ScriptPanels::runOpen(OpenPanelRequest const& request)
{
    if (!pushHandler("open"))
        return m_terminal.runOpen(request);
    Dictionary table {
        { "kind", Value("open") },
        { "canChooseFiles", Value(request.canChooseFiles) },
        { "canChooseDirectories", Value(request.canChooseDirectories) },
        { "allowsMultipleSelection", Value(request.allowsMultipleSelection) },
        { "canCreateDirectories", Value(request.canCreateDirectories) },
    };
    if (request.allowedFileTypes)
        table["allowedFileTypes"] = typesValue(request.allowedFileTypes);
    if (request.title)
        table["title"] = optionalText(request.title);
    m_host.push(Value(std::move(table)));
    Value answer = call("open", 1);
    if (answer.isNull())
        return std::nullopt;
    if (answer.kind() == Kind::String)
        return std::vector<std::string> { answer.asString() };
    if (answer.kind() != Kind::Array)
        throw BridgeError("objc.panels.open: the answer must be an array of paths or nil");
    std::vector<std::string> paths;
    for (auto const& element : answer.asArray()) {
        if (element.kind() == Kind::Url && element.asUrl().path())
            paths.push_back(*element.asUrl().path());
        else if (auto text = element.text())
            paths.push_back(*text);
        else
            throw BridgeError("objc.panels.open: the answer must be an array of paths or nil");
    }
    return paths;
}

// [-0, +0]
std::optional<std::string> ScriptPanels::runSave(SavePanelRequest const& request)
{
    if (!pushHandler("save"))
        return m_terminal.runSave(request);
    Dictionary table {
        { "kind", Value("save") },
        { "canChooseFiles", Value(true) },
        { "canChooseDirectories", Value(false) },
        { "allowsMultipleSelection", Value(false) },
        { "canCreateDirectories", Value(request.canCreateDirectories) },
        { "nameFieldStringValue", Value(request.nameFieldStringValue) },
        { "allowsOtherFileTypes", Value(request.allowsOtherFileTypes) },
    };
    if (request.allowedFileTypes)
        table["allowedFileTypes"] = typesValue(request.allowedFileTypes);
    if (request.title)
        table["title"] = optionalText(request.title);
    m_host.push(Value(std::move(table)));
    Value answer = call("save", 1);
    if (answer.isNull())
        return std::nullopt;
    if (answer.kind() == Kind::Url && answer.asUrl().path())
        return *answer.asUrl().path();
    if (auto text = answer.text())
        return *text;
    throw BridgeError("objc.panels.save: the answer must be a path or nil");
}

// [-0, +0]
std::optional<Dictionary> ScriptPanels::runPrint(Dictionary const& settings)
{
    if (!pushHandler("print"))
        return m_terminal.runPrint(settings);
    m_host.push(Value(settings));
    Value answer = call("print", 1);
    if (answer.isNull())
        return std::nullopt;
    if (answer.kind() == Kind::Dictionary)
        return answer.asDictionary();
    if (answer.kind() == Kind::Array && answer.asArray().empty())
        return Dictionary {};
    throw BridgeError("objc.panels.print: the answer must be a table of settings or nil");
}

// [-0, +0]
void ScriptPanels::alert(std::string const& title, std::string const& message)
{
    if (!pushHandler("alert")) {
        m_terminal.alert(title, message);
        return;
    }
    m_host.push(Value(title));
    m_host.push(Value(message));
    call("alert", 2);
}

}
