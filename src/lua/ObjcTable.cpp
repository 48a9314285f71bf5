#include "lua/ObjcTable.h"

#include "core/BridgeError.h"
#include "core/Class.h"
#include "core/Object.h"
#include "core/Runtime.h"
#include "lua/LuaCall.h"
#include "lua/LuaHost.h"
#include "lua/LuaNames.h"
#include "lua/LuaValues.h"
#include "lua/PlatformFunctions.h"
#include "lua/ScriptClass.h"
#include "lua/ValueUserdata.h"
#include "platform/Platform.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <string_view>

namespace quodrix::lua {

namespace {

std::string receiverName(Value const& receiver)
{
    if (receiver.kind() == Kind::Class && receiver.asClass().cls)
        return receiver.asClass().cls->name();
    if (receiver.kind() == Kind::Object && receiver.asObject() && receiver.asObject()->objectClass())
        return receiver.asObject()->objectClass()->name();
    return std::string(kindName(receiver.kind()));
}

// [-0, +1] Sends `selector` to the receiver at index 1 with the arguments from index firstArgument up.
int sendFrom(lua_State* L, int firstArgument, std::string const& selector)
{
    LuaHost& host = hostOf(L);
    int const top = lua_gettop(L);
    Value const receiver = toValue(L, 1);
    Array args;
    args.reserve(std::size_t(std::max(0, top - firstArgument + 1)));
    for (int i = firstArgument; i <= top; ++i) {
        try {
            args.push_back(toValue(L, i));
        } catch (ArgumentError const& e) {
            throw BridgeError("[" + receiverName(receiver) + " " + selector + "]: argument "
                + std::to_string(i - firstArgument + 1) + ": " + e.what());
        }
    }
    // objc.lastFailure() answers for this message alone.
    host.runtime().platform().clearLastFailure();
    Value result = host.runtime().send(receiver, selector, args);
    pushValue(L, std::move(result));
    return 1;
}

// [-0, +1] x:send(selector, ...)
int l_send(lua_State* L)
{
    std::string const selector = luaL_checkstring(L, 2);
    return sendFrom(L, 3, selector);
}

// [-0, +1] The function behind x:hStoreFiles2__(a, b); upvalue 1 is the selector.
int l_sendSelector(lua_State* L)
{
    std::string const selector = lua_tostring(L, lua_upvalueindex(1));
    if (lua_gettop(L) < 1)
        throw BridgeError(selector + ": called without a receiver (use ':' to call a method)");
    return sendFrom(L, 2, selector);
}

// [-0, +1]
void pushSender(lua_State* L, std::string const& selector)
{
    lua_pushlstring(L, selector.data(), selector.size());
    lua_pushcclosure(L, guarded<l_sendSelector>, 1);
}

// [-0, +1] __index of objects and native classes: the sender of a selector.
int l_receiverIndex(lua_State* L)
{
    size_t length = 0;
    char const* key = luaL_checklstring(L, 2, &length);
    std::string_view const name(key, length);
    if (name == "send")
        lua_pushcfunction(L, guarded<l_send>);
    else
        pushSender(L, selectorForScriptKey(name));
    return 1;
}

// [-0, +1] __index of a script class table, for keys that the table does not hold: the key of a script
// base class, or the sender of a selector that the native superclass answers (alloc, new, init, ...).
int l_scriptClassIndex(lua_State* L)
{
    size_t length = 0;
    char const* key = lua_tolstring(L, 2, &length);
    if (!key || lua_type(L, 2) != LUA_TSTRING)
        return 0;
    std::string_view const name(key, length);
    if (name == "send") {
        lua_pushcfunction(L, guarded<l_send>);
        return 1;
    }
    if (name.starts_with("__"))
        return 0;
    Value const cls = toValue(L, 1);
    if (cls.kind() != Kind::Class)
        return 0;
    Class const* super = cls.asClass().cls->superclass();
    if (!super)
        return 0;
    if (auto const* scriptBase = dynamic_cast<ScriptClass const*>(super)) {
        scriptBase->pushTable();
        lua_pushvalue(L, 2);
        lua_gettable(L, -2);  // falls back the same way
        lua_remove(L, -2);
        return 1;
    }
    std::string const selector = selectorForScriptKey(name);
    if (!super->responds(selector, Side::Class) && !super->responds(selector, Side::Instance))
        return 0;
    pushSender(L, selector);
    return 1;
}

// [-0, +1] objc[name] and objc.class(name): the class of that name at the moment of the call, or nil.
int l_class(lua_State* L)
{
    char const* name = luaL_checkstring(L, lua_gettop(L) >= 2 && lua_istable(L, 1) ? 2 : 1);
    Class const* cls = hostOf(L).runtime().findClass(name);
    if (cls)
        pushValue(L, ClassRef { cls });
    else
        lua_pushnil(L);
    return 1;
}

// [-0, +1] objc.defineClass(name [, base]): the class table, new or the one defined before.
int l_defineClass(lua_State* L)
{
    std::string const name = luaL_checkstring(L, 1);
    LuaHost& host = hostOf(L);
    std::string superclass = "NSObject";
    if (lua_type(L, 2) == LUA_TSTRING) {
        superclass = lua_tostring(L, 2);
        if (!host.runtime().findClass(superclass))
            throw BridgeError("objc.defineClass: no base class named " + superclass);
    } else if (!lua_isnoneornil(L, 2)) {
        Value const base = toValue(L, 2);
        if (base.kind() != Kind::Class || !base.asClass().cls)
            throw BridgeError("objc.defineClass: the base of " + name + " must be a class or a class name");
        superclass = base.asClass().cls->name();
    }
    if (Class const* existing = host.runtime().findClass(name)) {
        auto const* script = dynamic_cast<ScriptClass const*>(existing);
        if (!script)
            throw BridgeError("objc.defineClass: " + name + " is a native class");
        script->pushTable();
        return 1;
    }
    lua_newtable(L);
    host.defineScriptClass(name, superclass, lua_gettop(L));
    return 1;
}

// [-0, +1] each of the value constructors.
int l_data(lua_State* L)
{
    size_t length = 0;
    char const* bytes = luaL_optlstring(L, 1, "", &length);
    pushValue(L, Data { std::string(bytes, length) });
    return 1;
}

int l_date(lua_State* L)
{
    double const seconds = lua_isnoneornil(L, 1) ? Date::now().secondsSince1970 : luaL_checknumber(L, 1);
    luaL_argcheck(L, std::isfinite(seconds), 1, "a date needs a finite number of seconds");
    pushValue(L, Date { seconds });
    return 1;
}

int l_url(lua_State* L)
{
    pushValue(L, Url { luaL_checkstring(L, 1) });
    return 1;
}

int l_fileURL(lua_State* L)
{
    pushValue(L, Url::fromPath(luaL_checkstring(L, 1)));
    return 1;
}

int l_mutableString(lua_State* L)
{
    size_t length = 0;
    char const* text = luaL_optlstring(L, 1, "", &length);
    pushValue(L, MutableString { std::make_shared<std::string>(text, length) });
    return 1;
}

// [-0, +0] objc.queue(fn): runs fn later in the main loop.
int l_queue(lua_State* L)
{
    luaL_checktype(L, 1, LUA_TFUNCTION);
    lua_getfield(L, LUA_REGISTRYINDEX, kQueueKey);
    lua_pushvalue(L, 1);
    lua_rawseti(L, -2, lua_Integer(lua_rawlen(L, -2) + 1));
    lua_pop(L, 1);
    return 0;
}


}

void openObjcTable(lua_State* L)
{
    StackCheck check(L, 0, "openObjcTable");
    newValueMetatable(L, kObjectMeta, nullptr, destroyUserdata<ObjectRef>, guarded<l_receiverIndex>);
    newValueMetatable(L, kClassMeta, nullptr, nullptr, guarded<l_receiverIndex>);
    openValueMetatables(L);

    lua_newtable(L);
    lua_setfield(L, LUA_REGISTRYINDEX, kQueueKey);

    lua_newtable(L);  // objc
    static luaL_Reg const functions[] = {
        { "class", guarded<l_class> },
        { "defineClass", guarded<l_defineClass> },
        { "data", guarded<l_data> },
        { "date", guarded<l_date> },
        { "url", guarded<l_url> },
        { "fileURL", guarded<l_fileURL> },
        { "mutableString", guarded<l_mutableString> },
        { "queue", guarded<l_queue> },
        { nullptr, nullptr },
    };
    luaL_setfuncs(L, functions, 0);
    pushNull(L);
    lua_setfield(L, -2, "null");
    lua_newtable(L);
    lua_setfield(L, -2, "panels");
    lua_newtable(L);
    lua_setfield(L, -2, "arguments");
    addPlatformFunctions(L);

    lua_newtable(L);  // metatable of objc: unknown keys are class names
    lua_pushcfunction(L, guarded<l_class>);
    lua_setfield(L, -2, "__index");
    lua_setmetatable(L, -2);
    lua_setglobal(L, "objc");
}

void makeScriptClassTable(lua_State* L, char const* name, int tableIndex)
{
    StackCheck check(L, 0, "makeScriptClassTable");
    tableIndex = lua_absindex(L, tableIndex);

    // The class table's metatable marks it as a class and falls back to the superclass.
    lua_newtable(L);
    lua_pushstring(L, name);
    lua_setfield(L, -2, kScriptClassField);
    lua_pushcfunction(L, guarded<l_scriptClassIndex>);
    lua_setfield(L, -2, "__index");
    lua_pushfstring(L, "class %s", name);
    lua_setfield(L, -2, "__name");
    lua_setmetatable(L, tableIndex);

    // The metatable its instances share, kept in the registry under the class table's address.
    lua_newtable(L);
    lua_pushstring(L, name);
    lua_setfield(L, -2, kScriptInstanceField);
    lua_pushvalue(L, tableIndex);
    lua_setfield(L, -2, "__index");
    lua_rawsetp(L, LUA_REGISTRYINDEX, lua_topointer(L, tableIndex));
}

}
