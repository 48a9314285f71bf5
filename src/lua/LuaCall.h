#pragma once
// Calls across the Lua boundary, in both directions.
//
// Into Lua: protectedCall() runs a function as a protected call whose message handler adds a traceback
// made by the C API (luaL_traceback), so that nothing a script does to its globals (`debug = nil`) can
// break a call from native code into a script. Every call from native code into Lua goes through it.
//
// Out of Lua: guarded<F> wraps each C function that Lua calls. C++ exceptions become Lua errors once the
// C++ scope has unwound, and in debug builds it checks that the function left only its results on the
// stack.
//
// StackCheck: in debug builds, checks on leaving a scope that the stack grew by the stack effect that the
// function's comment announces (`// [-0, +1]`); it aborts with the place and both heights when not.

#include "core/BridgeError.h"

#include <exception>
#include <optional>
#include <string>

#include <lua.hpp>

namespace quodrix {

// [-(nargs + 1), +nresults] on success, [-(nargs + 1), +0] on failure.
// Calls the function below the nargs arguments on top of the stack. Gives nullopt on success, with the
// results on the stack; on failure the error message followed by the traceback, with nothing left.
std::optional<std::string> protectedCall(lua_State* L, int nargs, int nresults);

// [-0, +0] The text of an error object: a string, what its __tostring gives, or its type.
std::string errorText(lua_State* L, int index);

class StackCheck {
public:
    StackCheck(lua_State* L, int expectedChange, char const* where)
#ifndef NDEBUG
        : m_state(L)
        , m_expected(lua_gettop(L) + expectedChange)
        , m_where(where)
        , m_exceptions(std::uncaught_exceptions())
#endif
    {
        (void)L;
        (void)expectedChange;
        (void)where;
    }
#ifndef NDEBUG
    ~StackCheck()
    {
        // A scope left by an exception leaves the stack to whoever catches it.
        if (std::uncaught_exceptions() == m_exceptions)
            verify(lua_gettop(m_state));
    }
#endif
    StackCheck(StackCheck const&) = delete;
    StackCheck& operator=(StackCheck const&) = delete;

private:
#ifndef NDEBUG
    void verify(int top) const;

    lua_State* m_state;
    int m_expected;
    char const* m_where;
    int m_exceptions;
#endif
};

namespace detail {
// [-0, +0] In debug builds: aborts when a C function that started with `entryTop` values returned
// `results` but left a stack of another height.
void checkReturn(lua_State* L, int entryTop, int results, char const* where);
std::string describeException(std::exception const& e);
}

// The C function F as Lua should call it: C++ exceptions become Lua errors (raised only after the C++
// scope has unwound); Lua's own errors pass through untouched.
template<lua_CFunction F>
int guarded(lua_State* L)
{
    std::string message;
    try {
        int const entryTop = lua_gettop(L);
        int const results = F(L);
        detail::checkReturn(L, entryTop, results, __PRETTY_FUNCTION__);
        return results;
    } catch (std::exception const& e) {
        message = detail::describeException(e);
    }
    lua_pushlstring(L, message.data(), message.size());
    return lua_error(L);
}

}
