#pragma once
// LuaHost: the Lua 5.4 state that runs the application scripts, and the `objc` table through which they
// reach the runtime (see the bridge contract in the README).
//
// Values cross in both directions through push() and toValue(). Every C function that Lua calls catches
// C++ exceptions and raises them as Lua errors only after its C++ scope has unwound; every call from native
// code into a script is a protected call. The host owns the state; objects that outlive it (held by native
// code) let go of their script side without touching the closed state.

#include "app/Value.h"

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
    explicit LuaHost(Runtime& runtime);
    ~LuaHost();
    LuaHost(LuaHost const&) = delete;
    LuaHost& operator=(LuaHost const&) = delete;

    lua_State* state() const { return m_anchor->state; }
    Runtime& runtime() const { return m_runtime; }
    std::shared_ptr<LuaAnchor> const& anchor() const { return m_anchor; }

    // Sets objc.arguments.
    void setArguments(std::vector<std::string> const& arguments);
    // Loads and runs one script file. On failure returns false with the message and traceback in error.
    bool runFile(std::filesystem::path const& file, std::string& error);
    // Loads and runs every *.lua file of a folder in byte order of their names.
    bool loadScripts(std::filesystem::path const& folder, std::string& error);
    // Runs the main loop: AppDelegate applicationDidFinishLaunching:, then what scripts queued, until
    // terminate: or nothing is left. Returns the exit status; a script error gives 1 after its traceback
    // was written to standard error.
    int runMainLoop();

    // [-0, +1] Pushes a value; null becomes nil (objc.null inside arrays and dictionaries).
    void push(Value const& value);
    // [-0, +0] The value at a stack index. Throws ArgumentError for what cannot cross the bridge.
    Value toValue(int index);

    // Registers a script class, called by objc.defineClass. [-0, +0]; the class table is at tableIndex.
    ScriptClass& defineScriptClass(std::string const& name, Class const* superclass, int tableIndex);

private:
    void openObjcTable();
    Value toValue(int index, int depth);
    void pushCollectionElement(Value const& value);

    Runtime& m_runtime;
    std::shared_ptr<LuaAnchor> m_anchor;
};

// The host that owns a state, as recorded in the state's extra space.
LuaHost& hostOf(lua_State* L);

}
