#include "lua/LuaCall.h"

#include <cstdio>
#include <cstdlib>

namespace quodrix {

// [-0, +1] The message handler of every protected call: the error's text and a traceback of where it
// happened, made without the script's globals.
static int messageHandler(lua_State* L)
{
    std::string const message = errorText(L, 1);
    luaL_traceback(L, L, message.c_str(), 1);
    return 1;
}

std::string errorText(lua_State* L, int index)
{
    index = lua_absindex(L, index);
    if (lua_type(L, index) == LUA_TSTRING)
        return lua_tostring(L, index);
    if (luaL_callmeta(L, index, "__tostring")) {
        std::string text = lua_type(L, -1) == LUA_TSTRING ? lua_tostring(L, -1) : "";
        lua_pop(L, 1);
        if (!text.empty())
            return text;
    }
    return std::string("(error object is a ") + luaL_typename(L, index) + " value)";
}

std::optional<std::string> protectedCall(lua_State* L, int nargs, int nresults)
{
    int const function = lua_gettop(L) - nargs;
    luaL_checkstack(L, 2, "a protected call");
    lua_pushcfunction(L, messageHandler);
    lua_insert(L, function);
    if (lua_pcall(L, nargs, nresults, function) != LUA_OK) {
        std::string message = lua_type(L, -1) == LUA_TSTRING ? lua_tostring(L, -1) : errorText(L, -1);
        lua_settop(L, function - 1);
        return message;
    }
    lua_remove(L, function);
    return std::nullopt;
}

#ifndef NDEBUG
void StackCheck::verify(int top) const
{
    if (top == m_expected)
        return;
    std::fprintf(stderr, "quodrix: Lua stack out of balance in %s: height %d, expected %d\n", m_where, top, m_expected);
    std::abort();
}
#endif

namespace detail {

void checkReturn(lua_State* L, int entryTop, int results, char const* where)
{
#ifndef NDEBUG
    // Lua takes the results from the top; anything else left behind is a fault of the function.
    int const top = lua_gettop(L);
    if (results < 0 || top != entryTop + results) {
        std::fprintf(stderr, "quodrix: Lua stack out of balance in %s: %d values on entry, %d on return of %d results\n",
            where, entryTop, top, results);
        std::abort();
    }
#else
    (void)L;
    (void)entryTop;
    (void)results;
    (void)where;
#endif
}

std::string describeException(std::exception const& e)
{
    if (auto const* raised = dynamic_cast<RaisedError const*>(&e))
        return raised->file() + " " + raised->method() + ": " + raised->description();
    return e.what();
}

}

}
