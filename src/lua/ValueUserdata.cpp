#include "lua/ValueUserdata.h"

#include "core/Value.h"
#include "lua/LuaCall.h"
#include "lua/LuaNames.h"
#include "lua/LuaValues.h"

namespace quodrix::lua {

namespace {

// [-0, +1] tostring() of any bridge userdata: its value's text form.
int l_toString(lua_State* L)
{
    std::string const text = toValue(L, 1).description();
    lua_pushlstring(L, text.data(), text.size());
    return 1;
}

// [-0, +1]
int l_equals(lua_State* L)
{
    bool const equal = toValue(L, 1) == toValue(L, 2);
    lua_pushboolean(L, equal);
    return 1;
}

// [-0, +1] each accessor below.
int l_dataBytes(lua_State* L)
{
    auto* data = static_cast<Data*>(luaL_checkudata(L, 1, kDataMeta));
    lua_pushlstring(L, data->bytes.data(), data->bytes.size());
    return 1;
}

int l_dataLength(lua_State* L)
{
    auto* data = static_cast<Data*>(luaL_checkudata(L, 1, kDataMeta));
    lua_pushinteger(L, lua_Integer(data->bytes.size()));
    return 1;
}

int l_dateSeconds(lua_State* L)
{
    auto* date = static_cast<Date*>(luaL_checkudata(L, 1, kDateMeta));
    lua_pushnumber(L, date->secondsSince1970);
    return 1;
}

int l_urlPath(lua_State* L)
{
    auto* url = static_cast<Url*>(luaL_checkudata(L, 1, kUrlMeta));
    auto const path = url->path();
    if (!path)
        lua_pushnil(L);
    else
        lua_pushlstring(L, path->data(), path->size());
    return 1;
}

int l_urlAbsoluteString(lua_State* L)
{
    auto* url = static_cast<Url*>(luaL_checkudata(L, 1, kUrlMeta));
    lua_pushlstring(L, url->text.data(), url->text.size());
    return 1;
}

int l_urlIsFile(lua_State* L)
{
    auto* url = static_cast<Url*>(luaL_checkudata(L, 1, kUrlMeta));
    lua_pushboolean(L, url->isFile());
    return 1;
}

int l_mutableStringText(lua_State* L)
{
    auto* s = static_cast<MutableString*>(luaL_checkudata(L, 1, kMutableStringMeta));
    lua_pushlstring(L, s->text->data(), s->text->size());
    return 1;
}

// [-0, +0] both setters.
int l_mutableStringSet(lua_State* L)
{
    auto* s = static_cast<MutableString*>(luaL_checkudata(L, 1, kMutableStringMeta));
    size_t length = 0;
    char const* text = luaL_checklstring(L, 2, &length);
    s->text->assign(text, length);
    return 0;
}

int l_mutableStringAppend(lua_State* L)
{
    auto* s = static_cast<MutableString*>(luaL_checkudata(L, 1, kMutableStringMeta));
    size_t length = 0;
    char const* text = luaL_checklstring(L, 2, &length);
    s->text->append(text, length);
    return 0;
}

// [-0, +1]
int l_nullToString(lua_State* L)
{
    lua_pushliteral(L, "null");
    return 1;
}

}

void newValueMetatable(lua_State* L, char const* name, luaL_Reg const* methods, lua_CFunction gc, lua_CFunction index)
{
    StackCheck check(L, 0, "newValueMetatable");
    luaL_newmetatable(L, name);
    if (gc) {
        lua_pushcfunction(L, gc);
        lua_setfield(L, -2, "__gc");
    }
    lua_pushcfunction(L, guarded<l_toString>);
    lua_setfield(L, -2, "__tostring");
    lua_pushcfunction(L, guarded<l_equals>);
    lua_setfield(L, -2, "__eq");
    if (methods) {
        lua_newtable(L);
        luaL_setfuncs(L, methods, 0);
        lua_setfield(L, -2, "__index");
    } else if (index) {
        lua_pushcfunction(L, index);
        lua_setfield(L, -2, "__index");
    }
    lua_pop(L, 1);
}

void openValueMetatables(lua_State* L)
{
    StackCheck check(L, 0, "openValueMetatables");
    static luaL_Reg const dataMethods[] = { { "bytes", l_dataBytes }, { "length", l_dataLength }, { nullptr, nullptr } };
    newValueMetatable(L, kDataMeta, dataMethods, destroyUserdata<Data>);
    luaL_getmetatable(L, kDataMeta);
    lua_pushcfunction(L, l_dataLength);
    lua_setfield(L, -2, "__len");
    lua_pop(L, 1);

    static luaL_Reg const dateMethods[] = { { "timeIntervalSince1970", l_dateSeconds }, { nullptr, nullptr } };
    newValueMetatable(L, kDateMeta, dateMethods, nullptr);

    static luaL_Reg const urlMethods[] = { { "path", l_urlPath },
        { "absoluteString", l_urlAbsoluteString },
        { "isFileURL", l_urlIsFile },
        { nullptr, nullptr } };
    newValueMetatable(L, kUrlMeta, urlMethods, destroyUserdata<Url>);

    static luaL_Reg const stringMethods[] = { { "string", l_mutableStringText },
        { "setString", l_mutableStringSet },
        { "appendString", l_mutableStringAppend },
        { nullptr, nullptr } };
    newValueMetatable(L, kMutableStringMeta, stringMethods, destroyUserdata<MutableString>);
}

void pushNull(lua_State* L)
{
    if (lua_getfield(L, LUA_REGISTRYINDEX, kNullMeta) != LUA_TNIL)
        return;
    lua_pop(L, 1);
    lua_newuserdatauv(L, 0, 0);
    luaL_newmetatable(L, kNullMeta);
    lua_pushcfunction(L, l_nullToString);
    lua_setfield(L, -2, "__tostring");
    lua_setmetatable(L, -2);
    // The registry keeps the null value itself under the name of its metatable (the metatable is reached
    // through the value).
    lua_pushvalue(L, -1);
    lua_setfield(L, LUA_REGISTRYINDEX, kNullMeta);
}

}
