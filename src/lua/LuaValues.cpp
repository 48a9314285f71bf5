#include "lua/LuaValues.h"

#include "core/BridgeError.h"
#include "core/Class.h"
#include "core/Object.h"
#include "core/Runtime.h"
#include "lua/LuaCall.h"
#include "lua/LuaHost.h"
#include "lua/LuaNames.h"
#include "lua/ScriptClass.h"

#include <lua.hpp>
#include <malloc.h>
#include <utility>

namespace quodrix::lua {

namespace {

int const kMaxDepth = 200;
// How many strings of an array handed over to Lua are released between two merges of the freed memory.
std::size_t const kReleasedBetweenTrims = 65536;

// [-0, +1] An element of an array or dictionary: null is objc.null there, since nil would end the table.
void pushElement(lua_State* L, Value const& value)
{
    if (value.isNull() || (value.kind() == Kind::Object && !value.asObject()))
        lua_getfield(L, LUA_REGISTRYINDEX, kNullMeta);
    else
        pushValue(L, value);
}

// [-0, +1] A table of `count` strings, which `each(put)` hands to `put` one by one, in order.
template<typename Each>
void pushStrings(lua_State* L, std::size_t count, Each const& each)
{
    lua_createtable(L, int(count), 0);
    lua_Integer i = 1;
    each([&](std::string_view text) {
        lua_pushlstring(L, text.data(), text.size());
        lua_rawseti(L, -2, i++);
    });
}

// [-0, +1]
void pushObject(lua_State* L, ObjectRef const& object)
{
    if (!object) {
        lua_pushnil(L);
        return;
    }
    if (auto const* script = dynamic_cast<ScriptObject const*>(object.get())) {
        lua_rawgeti(L, LUA_REGISTRYINDEX, script->tableRef());
        return;
    }
    pushUserdata(L, object, kObjectMeta);
}

// [-0, +1]
void pushClass(lua_State* L, Class const* cls)
{
    if (!cls) {
        lua_pushnil(L);
        return;
    }
    if (auto const* script = dynamic_cast<ScriptClass const*>(cls)) {
        script->pushTable();
        return;
    }
    pushUserdata(L, cls, kClassMeta);
}

// [-0, +0] The value of a userdata at an absolute index.
Value userdataValue(lua_State* L, int index)
{
    if (auto* object = testUserdata<ObjectRef>(L, index, kObjectMeta))
        return Value(*object);
    if (auto* cls = testUserdata<Class const*>(L, index, kClassMeta))
        return Value(ClassRef { *cls });
    if (auto* data = testUserdata<Data>(L, index, kDataMeta))
        return Value(*data);
    if (auto* date = testUserdata<Date>(L, index, kDateMeta))
        return Value(*date);
    if (auto* url = testUserdata<Url>(L, index, kUrlMeta))
        return Value(*url);
    if (auto* s = testUserdata<MutableString>(L, index, kMutableStringMeta))
        return Value(*s);
    lua_getfield(L, LUA_REGISTRYINDEX, kNullMeta);
    bool const isNull = lua_rawequal(L, index, -1);
    lua_pop(L, 1);
    if (isNull)
        return {};
    throw ArgumentError("a userdata of unknown kind cannot cross the bridge");
}

// [-0, +0] A script class or instance at an absolute index, told by its metatable; nullopt for a plain table.
std::optional<Value> scriptValue(lua_State* L, int index)
{
    StackCheck check(L, 0, "scriptValue");
    if (!lua_getmetatable(L, index))
        return std::nullopt;
    LuaHost& host = hostOf(L);
    if (lua_getfield(L, -1, kScriptClassField) == LUA_TSTRING) {
        Class const* cls = host.runtime().findClass(lua_tostring(L, -1));
        lua_pop(L, 2);
        return Value(ClassRef { cls });
    }
    lua_pop(L, 1);
    if (lua_getfield(L, -1, kScriptInstanceField) == LUA_TSTRING) {
        Class const* cls = host.runtime().findClass(lua_tostring(L, -1));
        lua_pop(L, 2);
        lua_pushvalue(L, index);
        auto object = std::make_shared<ScriptObject>(host.anchor(), luaL_ref(L, LUA_REGISTRYINDEX));
        object->setObjectClass(cls);
        return Value(ObjectRef(object));
    }
    lua_pop(L, 2);
    return std::nullopt;
}

Value toValueAt(lua_State* L, int index, int depth);
bool crosses(lua_State* L, int index, int depth);

// [-0, +0] Whether the table at an absolute index is a script class or instance, told by its metatable as
// scriptValue tells it.
bool isScriptTable(lua_State* L, int index)
{
    if (!lua_getmetatable(L, index))
        return false;
    bool script = lua_getfield(L, -1, kScriptClassField) == LUA_TSTRING;
    lua_pop(L, 1);
    if (!script) {
        script = lua_getfield(L, -1, kScriptInstanceField) == LUA_TSTRING;
        lua_pop(L, 1);
    }
    lua_pop(L, 1);
    return script;
}

// What a plain table's keys make of it: a sequence is an array, a table with string keys a dictionary; any
// other key, both kinds of key at once, or a sequence with holes cannot cross the bridge.
enum class TableShape { Array, Dictionary, OtherKeys, Mixed, Holed };

// The shape of a plain table, told from its keys as a traversal meets them.
class KeyShape {
public:
    // [-0, +0] For the plain table at an absolute index.
    KeyShape(lua_State* L, int index) : m_length(lua_Integer(lua_rawlen(L, index))) { }

    // [-0, +0] Takes the key at `keyIndex`; false when that key alone keeps the table from crossing.
    bool take(lua_State* L, int keyIndex)
    {
        ++m_count;
        if (lua_type(L, keyIndex) == LUA_TSTRING) {
            m_stringKeys = true;
            return true;
        }
        m_otherKey = !lua_isinteger(L, keyIndex) || lua_tointeger(L, keyIndex) < 1
            || lua_tointeger(L, keyIndex) > m_length;
        return !m_otherKey;
    }

    // The shape of the keys taken so far.
    TableShape shape() const
    {
        if (m_otherKey)
            return TableShape::OtherKeys;
        if (m_stringKeys)
            return m_length != 0 ? TableShape::Mixed : TableShape::Dictionary;
        return std::size_t(m_length) == m_count ? TableShape::Array : TableShape::Holed;
    }

private:
    lua_Integer m_length;
    std::size_t m_count = 0;
    bool m_stringKeys = false;
    bool m_otherKey = false;
};

// [-0, +0] The shape of the plain table at an absolute index.
TableShape tableShape(lua_State* L, int index)
{
    StackCheck check(L, 0, "tableShape");
    luaL_checkstack(L, 4, "looking at a table");
    KeyShape keys(L, index);
    lua_pushnil(L);
    while (lua_next(L, index)) {
        if (!keys.take(L, -2)) {
            lua_pop(L, 2);
            break;
        }
        lua_pop(L, 1);
    }
    return keys.shape();
}

// Its address is the registry key of the set of the metatables whose userdata cross the bridge.
char const kCrossingMetatables = 0;

// [-0, +1] The set (metatable -> true) of the metatables whose userdata cross the bridge. It is kept in the
// registry once every one of them exists, which is before any script runs.
void pushCrossingMetatables(lua_State* L)
{
    if (lua_rawgetp(L, LUA_REGISTRYINDEX, &kCrossingMetatables) == LUA_TTABLE)
        return;
    lua_pop(L, 1);
    auto const metas = { kObjectMeta, kClassMeta, kDataMeta, kDateMeta, kUrlMeta, kMutableStringMeta };
    lua_createtable(L, 0, int(metas.size()));
    bool complete = true;
    for (char const* meta : metas) {
        if (luaL_getmetatable(L, meta) != LUA_TTABLE) {
            lua_pop(L, 1);
            complete = false;
            continue;
        }
        lua_pushboolean(L, 1);
        lua_rawset(L, -3);
    }
    if (complete) {
        lua_pushvalue(L, -1);
        lua_rawsetp(L, LUA_REGISTRYINDEX, &kCrossingMetatables);
    }
}

// [-0, +0] Whether a plain table at an absolute index converts without error, by the rules of tableValue;
// `isArray` tells which kind it would be. One pass over the table: this runs for every row that a script
// answers to a native caller.
bool plainTableCrosses(lua_State* L, int index, int depth, bool& isArray)
{
    StackCheck check(L, 0, "plainTableCrosses");
    if (depth >= kMaxDepth)
        return false;
    // The key and value of lua_next, and below them what crosses() looks at a userdata with (its metatable,
    // the set of the bridge's metatables and one more while the set is made).
    luaL_checkstack(L, 6, "looking at a table");
    KeyShape keys(L, index);
    lua_pushnil(L);
    while (lua_next(L, index)) {
        if (!keys.take(L, -2) || !crosses(L, lua_gettop(L), depth + 1)) {
            lua_pop(L, 2);
            return false;
        }
        lua_pop(L, 1);
    }
    TableShape const shape = keys.shape();
    isArray = shape == TableShape::Array;
    return isArray || shape == TableShape::Dictionary;
}

// [-0, +0] Whether the value at an absolute index converts without error, by the rules of toValueAt.
bool crosses(lua_State* L, int index, int depth)
{
    switch (lua_type(L, index)) {
    case LUA_TNIL:
    case LUA_TBOOLEAN:
    case LUA_TNUMBER:
    case LUA_TSTRING:
        return true;
    case LUA_TUSERDATA: {
        if (lua_getmetatable(L, index)) {
            pushCrossingMetatables(L);
            lua_pushvalue(L, -2);
            bool const known = lua_rawget(L, -2) != LUA_TNIL;
            lua_pop(L, 3);
            if (known)
                return true;
        }
        lua_getfield(L, LUA_REGISTRYINDEX, kNullMeta);
        bool const isNull = lua_rawequal(L, index, -1);
        lua_pop(L, 1);
        return isNull;
    }
    case LUA_TTABLE: {
        bool isArray = false;
        return isScriptTable(L, index) || plainTableCrosses(L, index, depth, isArray);
    }
    default:
        return false;
    }
}

// [-0, +0] A plain table at an absolute index: a sequence is an array, a table with string keys a
// dictionary, never both.
Value tableValue(lua_State* L, int index, int depth)
{
    StackCheck check(L, 0, "tableValue");
    if (depth >= kMaxDepth)
        throw ArgumentError("a table nested too deeply (or holding itself) cannot cross the bridge");
    luaL_checkstack(L, 4, "converting a table");
    TableShape const shape = tableShape(L, index);
    if (shape == TableShape::OtherKeys)
        throw ArgumentError("a table whose keys are neither a sequence nor strings cannot cross the bridge");
    if (shape == TableShape::Mixed)
        throw ArgumentError("a table is an array or a dictionary, never both");
    if (shape == TableShape::Holed)
        throw ArgumentError("an array with holes cannot cross the bridge (use objc.null)");
    if (shape == TableShape::Dictionary) {
        Dictionary dictionary;
        lua_pushnil(L);
        while (lua_next(L, index)) {
            size_t keyLength = 0;
            char const* key = lua_tolstring(L, -2, &keyLength);
            Value element;
            try {
                element = toValueAt(L, lua_gettop(L), depth + 1);
            } catch (...) {
                lua_pop(L, 2);
                throw;
            }
            dictionary.emplace(std::string(key, keyLength), std::move(element));
            lua_pop(L, 1);
        }
        return Value(std::move(dictionary));
    }
    lua_Integer const length = lua_Integer(lua_rawlen(L, index));
    Array array;
    array.reserve(std::size_t(length));
    for (lua_Integer i = 1; i <= length; ++i) {
        lua_rawgeti(L, index, i);
        Value element;
        try {
            element = toValueAt(L, lua_gettop(L), depth + 1);
        } catch (...) {
            lua_pop(L, 1);
            throw;
        }
        array.push_back(std::move(element));
        lua_pop(L, 1);
    }
    return Value(std::move(array));
}

// [-0, +0]
Value toValueAt(lua_State* L, int index, int depth)
{
    switch (lua_type(L, index)) {
    case LUA_TNONE:
    case LUA_TNIL:
        return {};
    case LUA_TBOOLEAN:
        return Value(bool(lua_toboolean(L, index)));
    case LUA_TNUMBER:
        if (lua_isinteger(L, index))
            return Value(static_cast<long long>(lua_tointeger(L, index)));
        return Value(double(lua_tonumber(L, index)));
    case LUA_TSTRING: {
        size_t length = 0;
        char const* text = lua_tolstring(L, index, &length);
        return Value(std::string(text, length));
    }
    case LUA_TUSERDATA:
        return userdataValue(L, index);
    case LUA_TTABLE:
        if (auto script = scriptValue(L, index))
            return *script;
        return tableValue(L, index, depth);
    default:
        throw ArgumentError(std::string("a ") + luaL_typename(L, index) + " value cannot cross the bridge");
    }
}

}

void pushValue(lua_State* L, Value const& value)
{
    luaL_checkstack(L, 4, "pushing a bridge value");
    switch (value.kind()) {
    case Kind::Null:
        lua_pushnil(L);
        return;
    case Kind::Bool:
        lua_pushboolean(L, value.asBool());
        return;
    case Kind::Integer:
        lua_pushinteger(L, lua_Integer(value.asInteger()));
        return;
    case Kind::Float:
        lua_pushnumber(L, value.asFloat());
        return;
    case Kind::String:
        lua_pushlstring(L, value.asString().data(), value.asString().size());
        return;
    case Kind::Data:
        pushUserdata(L, value.asData(), kDataMeta);
        return;
    case Kind::Date:
        pushUserdata(L, value.asDate(), kDateMeta);
        return;
    case Kind::Url:
        pushUserdata(L, value.asUrl(), kUrlMeta);
        return;
    case Kind::MutableString:
        pushUserdata(L, value.asMutableString(), kMutableStringMeta);
        return;
    case Kind::Array: {
        auto const& array = value.asArray();
        lua_createtable(L, int(array.size()), 0);
        lua_Integer i = 1;
        for (auto const& element : array) {
            pushElement(L, element);
            lua_rawseti(L, -2, i++);
        }
        return;
    }
    case Kind::Dictionary: {
        auto const& dictionary = value.asDictionary();
        lua_createtable(L, 0, int(dictionary.size()));
        for (auto const& [key, element] : dictionary) {
            lua_pushlstring(L, key.data(), key.size());
            pushElement(L, element);
            lua_rawset(L, -3);
        }
        return;
    }
    case Kind::Object:
        pushObject(L, value.asObject());
        return;
    case Kind::Class:
        pushClass(L, value.asClass().cls);
        return;
    case Kind::PathList: {
        auto const& paths = value.asPathList();
        pushStrings(L, paths.size(), [&](auto const& put) { paths.forEach(put); });
        return;
    }
    }
}

void pushValue(lua_State* L, Value&& value)
{
    if (value.kind() == Kind::PathList) {
        // Each block of paths is released as soon as its strings are in Lua, whose strings then take its
        // memory instead of new pages.
        auto& paths = value.asPathList();
        luaL_checkstack(L, 4, "pushing a bridge value");
        pushStrings(L, paths.size(), [&](auto const& put) { paths.take(put); });
        return;
    }
    if (value.kind() != Kind::Array) {
        pushValue(L, std::as_const(value));
        return;
    }
    auto& array = value.asArray();
    luaL_checkstack(L, 4, "pushing a bridge value");
    lua_createtable(L, int(array.size()), 0);
    lua_Integer i = 1;
    std::size_t released = 0;
    for (auto& element : array) {
        pushElement(L, element);
        lua_rawseti(L, -2, i++);
        if (element.kind() == Kind::String) {
            element = Value();
            // The freed strings are small blocks that the allocator keeps apart until it merges them: merged
            // now and then, their memory takes the Lua strings that follow instead of new pages.
            if (++released % kReleasedBetweenTrims == 0)
                malloc_trim(0);
        }
    }
}

Value toValue(lua_State* L, int index)
{
    return toValueAt(L, lua_absindex(L, index), 0);
}

bool isArrayThatCrosses(lua_State* L, int index)
{
    index = lua_absindex(L, index);
    if (lua_type(L, index) != LUA_TTABLE || isScriptTable(L, index))
        return false;
    bool isArray = false;
    return plainTableCrosses(L, index, 0, isArray) && isArray;
}

}
