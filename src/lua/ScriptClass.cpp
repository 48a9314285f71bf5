#include "lua/ScriptClass.h"

#include "core/BridgeError.h"
#include "core/Runtime.h"
#include "lua/LuaCall.h"
#include "lua/LuaHost.h"
#include "lua/LuaValues.h"

#include <algorithm>
#include <lua.hpp>

namespace quodrix {

// [-0, +0]
LuaRef::~LuaRef()
{
    if (m_anchor && m_anchor->state && !m_anchor->closing)
        luaL_unref(m_anchor->state, LUA_REGISTRYINDEX, m_ref);
}

std::string scriptKeyForSelector(std::string_view selector)
{
    std::string key(selector);
    std::replace(key.begin(), key.end(), ':', '_');
    return key;
}

std::string selectorForScriptKey(std::string_view key)
{
    std::string selector(key);
    std::replace(selector.begin(), selector.end(), '_', ':');
    return selector;
}

ScriptClass::ScriptClass(std::string name, std::string superclass, LuaHost& host, int tableRef)
    : Class(std::move(name), superclass)
    , m_host(host)
    , m_table(std::make_shared<LuaRef>(host.anchor(), tableRef))
{
}

// [-0, +1]
void ScriptClass::pushTable() const
{
    lua_rawgeti(m_host.state(), LUA_REGISTRYINDEX, m_table->ref());
}

// [-0, +1]
void ScriptClass::pushFunction(std::string_view selector) const
{
    lua_State* L = m_host.state();
    // The script's key is made on the stack: this runs for every message to a script class.
    char buffer[128];
    std::string longKey;
    std::string_view key;
    if (selector.size() <= sizeof buffer) {
        std::replace_copy(selector.begin(), selector.end(), buffer, ':', '_');
        key = std::string_view(buffer, selector.size());
    } else {
        longKey = scriptKeyForSelector(selector);
        key = longKey;
    }
    for (Class const* c = this; c; c = c->superclass()) {
        auto const* script = dynamic_cast<ScriptClass const*>(c);
        if (!script)
            break;
        script->pushTable();
        // Only what the script stored counts, not the fallbacks of the class table's metatable.
        for (std::string_view name : { key, selector }) {
            lua_pushlstring(L, name.data(), name.size());
            if (lua_rawget(L, -2) == LUA_TFUNCTION) {
                lua_remove(L, -2);
                return;
            }
            lua_pop(L, 1);
        }
        lua_pop(L, 1);
    }
    lua_pushnil(L);
}

static Class const* nativeAncestor(Class const* c)
{
    while (c && dynamic_cast<ScriptClass const*>(c))
        c = c->superclass();
    return c;
}

// [-0, +0]
bool ScriptClass::responds(std::string_view selector, Side side) const
{
    lua_State* L = m_host.state();
    StackCheck check(L, 0, "ScriptClass::responds");
    pushFunction(selector);
    bool found = !lua_isnil(L, -1);
    lua_pop(L, 1);
    if (found)
        return true;
    Class const* native = nativeAncestor(this);
    return native && native->responds(selector, side);
}

// [-0, +0] The script function runs as a protected call; its error becomes a BridgeError naming the
// class and the selector, with the traceback.
Value ScriptClass::invoke(Call const& call, Side side) const
{
    lua_State* L = m_host.state();
    StackCheck check(L, 0, "ScriptClass::invoke");
    // The name for error messages, made only when there is an error.
    auto const callName = [&] {
        return std::string(side == Side::Class ? "+[" : "-[") + name() + " " + std::string(call.selector) + "]";
    };
    pushFunction(call.selector);
    if (lua_isnil(L, -1)) {
        lua_pop(L, 1);
        Class const* native = nativeAncestor(this);
        if (!native)
            throw BridgeError(callName() + ": unrecognized selector");
        return native->invoke(call, side);
    }

    luaL_checkstack(L, int(call.args.size()) + 8, "calling a script method");
    if (side == Side::Class) {
        pushTable();
    } else {
        auto const* object = dynamic_cast<ScriptObject const*>(call.receiver);
        if (!object) {
            lua_pop(L, 1);
            throw BridgeError("the receiver of " + std::string(call.selector) + " is not a script object");
        }
        lua_rawgeti(L, LUA_REGISTRYINDEX, object->tableRef());
    }
    for (std::size_t i = 0; i < call.args.size(); ++i)
        m_host.push(call.args[i]);

    if (auto failure = protectedCall(L, int(call.args.size()) + 1, 1))
        throw BridgeError(callName() + ": " + *failure);
    Value result;
    try {
        result = m_host.toValue(-1);
    } catch (ArgumentError const& e) {
        lua_pop(L, 1);
        throw BridgeError(callName() + ": the result: " + e.what());
    }
    lua_pop(L, 1);
    return result;
}

// [-0, +0] The script function runs as invoke() runs it; an array it answers goes to the receiver's script
// method `next` as the same table. The receiver is a script object of this host whose class has `next`
// as a script method; otherwise this is invoke().
std::optional<Value> ScriptClass::invokeForwarding(Call const& call, Side side, Object& receiver,
    std::string_view next) const
{
    auto const* target = dynamic_cast<ScriptObject const*>(&receiver);
    auto const* targetClass = target ? dynamic_cast<ScriptClass const*>(receiver.objectClass()) : nullptr;
    if (!targetClass || &targetClass->m_host != &m_host || side != Side::Class)
        return invoke(call, side);
    lua_State* L = m_host.state();
    StackCheck check(L, 0, "ScriptClass::invokeForwarding");
    targetClass->pushFunction(next);
    pushFunction(call.selector);
    if (lua_isnil(L, -1) || lua_isnil(L, -2)) {
        lua_pop(L, 2);
        return invoke(call, side);
    }
    luaL_checkstack(L, int(call.args.size()) + 8, "calling a script method");
    // Below the call: the next function and its receiver, which take the answer where it lands.
    lua_rawgeti(L, LUA_REGISTRYINDEX, target->tableRef());
    lua_rotate(L, -2, 1);
    pushTable();
    for (std::size_t i = 0; i < call.args.size(); ++i)
        m_host.push(call.args[i]);
    auto const callName = [&] { return "+[" + name() + " " + std::string(call.selector) + "]"; };
    if (auto failure = protectedCall(L, int(call.args.size()) + 1, 1)) {
        lua_pop(L, 2);
        throw BridgeError(callName() + ": " + *failure);
    }
    if (!lua::isArrayThatCrosses(L, -1)) {
        // Not an array that could cross the bridge: converted as invoke() converts it, for the caller.
        Value result;
        try {
            result = m_host.toValue(-1);
        } catch (ArgumentError const& e) {
            lua_pop(L, 3);
            throw BridgeError(callName() + ": the result: " + e.what());
        }
        lua_pop(L, 3);
        return result;
    }
    if (auto failure = protectedCall(L, 2, 0))
        throw BridgeError("-[" + targetClass->name() + " " + std::string(next) + "]: " + *failure);
    return std::nullopt;
}

// [-0, +0]
void ScriptObject::setValueForKey(std::string const& key, Value value)
{
    if (!m_table.alive())
        return;
    lua_State* L = m_table.state();
    StackCheck check(L, 0, "ScriptObject::setValueForKey");
    lua_rawgeti(L, LUA_REGISTRYINDEX, m_table.ref());
    lua_pushlstring(L, key.data(), key.size());
    hostOf(L).push(value);
    lua_rawset(L, -3);
    lua_pop(L, 1);
}

// [-0, +0]
Value ScriptObject::valueForKey(std::string const& key) const
{
    if (!m_table.alive())
        return {};
    lua_State* L = m_table.state();
    StackCheck check(L, 0, "ScriptObject::valueForKey");
    lua_rawgeti(L, LUA_REGISTRYINDEX, m_table.ref());
    lua_pushlstring(L, key.data(), key.size());
    lua_rawget(L, -2);
    Value result;
    try {
        result = hostOf(L).toValue(-1);
    } catch (...) {
        lua_pop(L, 2);
        throw;
    }
    lua_pop(L, 2);
    return result;
}

// [-0, +0] A new table with the instances' metatable, held by the registry for the object.
ObjectRef ScriptClass::allocate(Runtime&) const
{
    lua_State* L = m_host.state();
    StackCheck check(L, 0, "ScriptClass::allocate");
    lua_newtable(L);
    pushTable();
    lua_rawgetp(L, LUA_REGISTRYINDEX, lua_topointer(L, -1));
    lua_setmetatable(L, -3);
    lua_pop(L, 1);
    auto object = std::make_shared<ScriptObject>(m_host.anchor(), luaL_ref(L, LUA_REGISTRYINDEX));
    object->setObjectClass(this);
    return object;
}

}
