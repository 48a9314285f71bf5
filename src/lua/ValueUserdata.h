#pragma once
// The userdata that stand for bridge values in Lua, and their metatables: data (:bytes(), :length(), #),
// dates (:timeIntervalSince1970()), URLs (:path(), :absoluteString(), :isFileURL()), mutable strings
// (:string(), :setString(s), :appendString(s)) and objc.null. Every one prints with tostring() and
// compares with == by its bridge value.

#include <lua.hpp>

namespace quodrix::lua {

// [-0, +0] Creates the metatable `name` in the registry: __tostring and __eq by bridge value, __gc when
// given, and __index either the methods given or, without them, `index`.
void newValueMetatable(lua_State* L, char const* name, luaL_Reg const* methods, lua_CFunction gc,
    lua_CFunction index = nullptr);

// [-0, +0] Creates the metatables of data, dates, URLs and mutable strings.
void openValueMetatables(lua_State* L);

// [-0, +1] Pushes objc.null, creating it (and keeping it in the registry) on first use.
void pushNull(lua_State* L);

// The __gc of a userdata holding a T.
template<typename T>
int destroyUserdata(lua_State* L)
{
    // The metatable names the type; a userdata of another type never reaches this __gc.
    static_cast<T*>(lua_touserdata(L, 1))->~T();
    return 0;
}

}
