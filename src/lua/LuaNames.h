#pragma once
// The names that the Lua host keeps in the state: metatables of the userdata that stand for bridge
// values, registry keys, and the hidden fields that mark script classes and instances. Shared by the
// host's parts; scripts never see these names as API.

#include <new>
#include <utility>

#include <lua.hpp>

namespace quodrix::lua {

inline constexpr char const* kObjectMeta = "quodrix.Object";
inline constexpr char const* kClassMeta = "quodrix.Class";
inline constexpr char const* kDataMeta = "quodrix.Data";
inline constexpr char const* kDateMeta = "quodrix.Date";
inline constexpr char const* kUrlMeta = "quodrix.URL";
inline constexpr char const* kMutableStringMeta = "quodrix.MutableString";
// Also the registry key of objc.null itself.
inline constexpr char const* kNullMeta = "quodrix.Null";
// Registry key of the queue of functions that objc.queue adds to.
inline constexpr char const* kQueueKey = "quodrix.queue";
// Fields of the metatables of script class tables and of script instances.
inline constexpr char const* kScriptClassField = "__quodrix_class";
inline constexpr char const* kScriptInstanceField = "__quodrix_instance";

// [-0, +1] A userdata holding one C++ value (destroyed by the metatable's __gc where it has one).
template<typename T>
T* pushUserdata(lua_State* L, T value, char const* meta)
{
    void* memory = lua_newuserdatauv(L, sizeof(T), 0);
    T* object = new (memory) T(std::move(value));
    luaL_setmetatable(L, meta);
    return object;
}

// [-0, +0] The C++ value of a userdata with that metatable, or null.
template<typename T>
T* testUserdata(lua_State* L, int index, char const* meta)
{
    return static_cast<T*>(luaL_testudata(L, index, meta));
}

}
