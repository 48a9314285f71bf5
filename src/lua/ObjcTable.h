#pragma once
// The `objc` table through which scripts reach the runtime, and the metatables of what it hands out:
// classes and objects answer every selector (x:send("a:b:", ...) or x:a_b_(...)), script class tables fall
// back to their superclass, and objc[name] looks a class up at the moment of the call. The README's bridge
// page is the contract.

#include <lua.hpp>

namespace quodrix::lua {

// [-0, +0] Creates the metatables and the global `objc` (with objc.null, objc.panels, objc.arguments and
// objc.paths).
void openObjcTable(lua_State* L);

// [-0, +0] Gives the table at tableIndex the metatables of a script class named `name`: it falls back to its
// superclass for keys it does not hold, and its instances share a metatable that marks them.
void makeScriptClassTable(lua_State* L, char const* name, int tableIndex);

}
