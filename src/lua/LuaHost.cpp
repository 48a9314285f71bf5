#include "lua/LuaHost.h"

#include "core/BridgeError.h"
#include "core/Class.h"
#include "core/Runtime.h"
#include "lua/CompiledScript.h"
#include "lua/LuaCall.h"
#include "lua/LuaNames.h"
#include "lua/LuaValues.h"
#include "lua/ObjcTable.h"
#include "lua/ScriptClass.h"
#include "lua/ScriptPanels.h"
#include "platform/Platform.h"

#include <algorithm>
#include <cstdio>

namespace quodrix {

LuaHost& hostOf(lua_State* L)
{
    return **static_cast<LuaHost**>(lua_getextraspace(L));
}

LuaHost::LuaHost(Runtime& runtime)
    : m_runtime(runtime)
    , m_anchor(std::make_shared<LuaAnchor>())
{
    lua_State* L = m_memory.newState();
    if (!L)
        throw std::runtime_error("cannot create the Lua state");
    m_anchor->state = L;
    *static_cast<LuaHost**>(lua_getextraspace(L)) = this;
    luaL_openlibs(L);
    lua::openObjcTable(L);
    m_runtime.platform().setPanels(std::make_unique<ScriptPanels>(*this));
}

LuaHost::~LuaHost()
{
    m_runtime.platform().setPanels(std::make_unique<TerminalPanels>());
    m_anchor->closing = true;
    lua_close(m_anchor->state);
    m_anchor->state = nullptr;
}

// [-0, +0]
void LuaHost::setArguments(std::vector<std::string> const& arguments)
{
    lua_State* L = state();
    StackCheck check(L, 0, "LuaHost::setArguments");
    lua_getglobal(L, "objc");
    lua_createtable(L, int(arguments.size()), 0);
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        lua_pushlstring(L, arguments[i].data(), arguments[i].size());
        lua_rawseti(L, -2, lua_Integer(i + 1));
    }
    lua_setfield(L, -2, "arguments");
    lua_pop(L, 1);
}

// [-0, +0]
bool LuaHost::runFile(std::filesystem::path const& file, std::string& error)
{
    return runScript(file, {}, error);
}

// [-0, +0]
bool LuaHost::runScript(std::filesystem::path const& file, std::filesystem::path const& compiledFolder,
    std::string& error)
{
    lua_State* L = state();
    StackCheck check(L, 0, "LuaHost::runScript");
    bool const compiled = !compiledFolder.empty() && CompiledScript::load(L, file, compiledFolder);
    if (!compiled && luaL_loadfilex(L, file.c_str(), "t") != LUA_OK) {
        error = errorText(L, -1);
        lua_pop(L, 1);
        return false;
    }
    if (auto failure = protectedCall(L, 0, 0)) {
        error = *failure;
        return false;
    }
    return true;
}

// [-0, +0]
bool LuaHost::loadScripts(std::filesystem::path const& folder, std::string& error)
{
    std::error_code ec;
    std::vector<std::filesystem::path> scripts;
    for (auto const& entry : std::filesystem::directory_iterator(folder, ec)) {
        if (entry.path().extension() == ".lua" && entry.is_regular_file(ec))
            scripts.push_back(entry.path());
    }
    if (ec) {
        error = "cannot read the scripts folder " + folder.string() + ": " + ec.message();
        return false;
    }
    std::sort(scripts.begin(), scripts.end(),
        [](auto const& a, auto const& b) { return a.filename().native() < b.filename().native(); });
    std::filesystem::path const compiledFolder = CompiledScript::folderFor(folder);
    for (auto const& script : scripts) {
        if (!runScript(script, compiledFolder, error))
            return false;
    }
    return true;
}

// [-0, +0]
bool LuaHost::launchDelegate(std::string& error)
{
    lua_State* L = state();
    StackCheck check(L, 0, "LuaHost::launchDelegate");
    Class const* delegate = m_runtime.findClass("AppDelegate");
    if (!delegate) {
        // A global of that name that is not a class would otherwise be passed over without a word.
        bool const global = lua_getglobal(L, "AppDelegate") != LUA_TNIL;
        lua_pop(L, 1);
        if (global)
            error = "AppDelegate is not a script class: define it with objc.defineClass(\"AppDelegate\")";
        return !global;
    }
    // Either spelling of the selector may be the script's key; the runtime finds both.
    if (!delegate->responds("applicationDidFinishLaunching:", Side::Class))
        return true;
    try {
        m_runtime.send(ClassRef { delegate }, "applicationDidFinishLaunching:", Array { Value() });
    } catch (std::exception const& e) {
        error = detail::describeException(e);
        return false;
    }
    return true;
}

// [-0, +0]
bool LuaHost::runQueue(std::string& error)
{
    lua_State* L = state();
    StackCheck check(L, 0, "LuaHost::runQueue");
    while (!m_runtime.terminateRequested()) {
        lua_getfield(L, LUA_REGISTRYINDEX, lua::kQueueKey);
        lua_Integer const count = lua_Integer(lua_rawlen(L, -1));
        if (count == 0) {
            lua_pop(L, 1);
            break;
        }
        lua_rawgeti(L, -1, 1);
        // Shift the rest down by one.
        for (lua_Integer i = 1; i < count; ++i) {
            lua_rawgeti(L, -2, i + 1);
            lua_rawseti(L, -3, i);
        }
        lua_pushnil(L);
        lua_rawseti(L, -3, count);
        lua_remove(L, -2);
        if (auto failure = protectedCall(L, 0, 0)) {
            error = *failure;
            return false;
        }
    }
    return true;
}

// [-0, +0]
int LuaHost::runMainLoop()
{
    std::string error;
    if (!launchDelegate(error) || !runQueue(error)) {
        error += '\n';
        std::fwrite(error.data(), 1, error.size(), stderr);
        return 1;
    }
    return m_runtime.exitStatus();
}

// [-0, +1]
void LuaHost::push(Value const& value)
{
    lua::pushValue(state(), value);
}

// [-0, +0]
Value LuaHost::toValue(int index)
{
    return lua::toValue(state(), index);
}

// [-0, +0]
ScriptClass& LuaHost::defineScriptClass(std::string const& name, std::string const& superclass, int tableIndex)
{
    lua_State* L = state();
    StackCheck check(L, 0, "LuaHost::defineScriptClass");
    lua::makeScriptClassTable(L, name.c_str(), tableIndex);
    lua_pushvalue(L, tableIndex);
    int const ref = luaL_ref(L, LUA_REGISTRYINDEX);
    auto cls = std::make_unique<ScriptClass>(name, superclass, *this, ref);
    ScriptClass& result = *cls;
    m_runtime.registerClass(std::move(cls));
    return result;
}

}
