#pragma once
// ScriptClass and ScriptObject: classes defined by scripts with objc.defineClass, and their instances, as
// the runtime sees them. Native code finds them by name and sends them messages like any other class; a
// message runs the script function named after the selector (every ":" written as "_") as a protected call.

#include "core/Class.h"
#include "core/Object.h"
#include "lua/LuaHost.h"

#include <memory>

struct lua_State;

namespace quodrix {

// A reference from native code into the Lua registry; released when the last holder lets go, unless the
// state is already closing.
class LuaRef {
public:
    LuaRef(std::shared_ptr<LuaAnchor> anchor, int ref) : m_anchor(std::move(anchor)), m_ref(ref) { }
    ~LuaRef();
    LuaRef(LuaRef const&) = delete;
    LuaRef& operator=(LuaRef const&) = delete;
    int ref() const { return m_ref; }
    bool alive() const { return m_anchor && m_anchor->state && !m_anchor->closing; }
    lua_State* state() const { return m_anchor->state; }

private:
    std::shared_ptr<LuaAnchor> m_anchor;
    int m_ref;
};

class ScriptClass final : public Class {
public:
    ScriptClass(std::string name, std::string superclass, LuaHost& host, int tableRef);

    bool responds(std::string_view selector, Side side) const override;
    Value invoke(Call const& call, Side side) const override;
    std::optional<Value> invokeForwarding(Call const& call, Side side, Object& receiver,
        std::string_view next) const override;
    ObjectRef allocate(Runtime& runtime) const override;

    // [-0, +1] Pushes the class table.
    void pushTable() const;
    // [-0, +1] Pushes the script function for a selector (either spelling, looked up through the script
    // superclasses), or nil.
    void pushFunction(std::string_view selector) const;
    LuaHost& host() const { return m_host; }

private:
    LuaHost& m_host;
    std::shared_ptr<LuaRef> m_table;
};

class ScriptObject final : public Object {
public:
    ScriptObject(std::shared_ptr<LuaAnchor> anchor, int tableRef) : m_table(std::move(anchor), tableRef) { }
    int tableRef() const { return m_table.ref(); }
    bool isTransientProxy() const override { return true; }

    // Fields of a script object live in its table, where the script sees them.
    void setValueForKey(std::string const& key, Value value) override;
    Value valueForKey(std::string const& key) const override;

private:
    LuaRef m_table;
};

// The key under which a script function for a selector is stored: "hLogMyActions:::::::" becomes
// "hLogMyActions_______".
std::string scriptKeyForSelector(std::string_view selector);
std::string selectorForScriptKey(std::string_view key);

}
