#pragma once
// LuaHost: the Lua 5.4 state that runs the application scripts, and the main loop. The host opens the
// standard libraries and the `objc` table (lua/ObjcTable.h), loads the bundle's scripts and sends the
// script class AppDelegate applicationDidFinishLaunching: through the runtime, then runs what scripts
// queued until terminate: or until nothing is left.
//
// Every call from native code into a script is a protected call (lua/LuaCall.h); every C function that
// Lua calls is guarded, so no C++ exception crosses into Lua and no Lua error reaches the main loop as an
// exception. The host owns the state; objects that outlive it (held by native code) let go of their
// script side without touching the closed state.

#include "core/Value.h"
#include "lua/LuaAllocator.h"

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

struct lua_State;

namespace quodrix {

class Runtime;
class ScriptClass;

// Shared between the host and everything that keeps a reference into its state.
struct LuaAnchor {
    lua_State* state = nullptr;
    bool closing = false;
};

class LuaHost {
public:
    // Replaces the platform's panels with those answered by scripts (objc.panels) for its lifetime.
    explicit LuaHost(Runtime& runtime);
    ~LuaHost();
    LuaHost(LuaHost const&) = delete;
    LuaHost& operator=(LuaHost const&) = delete;

    lua_State* state() const { return m_anchor->state; }
    Runtime& runtime() const { return m_runtime; }
    std::shared_ptr<LuaAnchor> const& anchor() const { return m_anchor; }

    // Sets objc.arguments.
    void setArguments(std::vector<std::string> const& arguments);
    // Loads and runs one script file, parsed. On failure returns false with the message and traceback in
    // error.
    bool runFile(std::filesystem::path const& file, std::string& error);
    // Loads and runs every *.lua file of the bundle's scripts folder in byte order of their names, each from
    // its compiled form when that holds it as it is (lua/CompiledScript.h).
    bool loadScripts(std::filesystem::path const& folder, std::string& error);
    // Runs the main loop. Returns the exit status that a script set (0 by default); a script error, or an
    // AppDelegate that cannot be launched, gives 1 after its message was written to standard error.
    int runMainLoop();

    // [-0, +1] Pushes a value (lua/LuaValues.h).
    void push(Value const& value);
    // [-0, +0] The value at a stack index. Throws ArgumentError for what cannot cross the bridge.
    Value toValue(int index);

    // [-0, +0] Registers a script class whose table is at tableIndex; called by objc.defineClass.
    ScriptClass& defineScriptClass(std::string const& name, std::string const& superclass, int tableIndex);

private:
    // runFile, from the compiled form in `compiledFolder` when it holds the script (empty: always parsed).
    bool runScript(std::filesystem::path const& file, std::filesystem::path const& compiledFolder, std::string& error);

    // [-0, +0] Sends applicationDidFinishLaunching: to AppDelegate; false with the message on failure.
    bool launchDelegate(std::string& error);
    // [-0, +0] Runs the queued functions, first in first out; false with the message on failure.
    bool runQueue(std::string& error);

    Runtime& m_runtime;
    LuaAllocator m_memory;  // outlives the state, which the destructor closes
    std::shared_ptr<LuaAnchor> m_anchor;
};

// The host that owns a state, as recorded in the state's extra space.
LuaHost& hostOf(lua_State* L);

}
