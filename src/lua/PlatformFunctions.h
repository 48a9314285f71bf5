#pragma once
// What the objc table offers scripts of the platform's own knowledge: objc.paths (the folders and files
// the native side uses, read anew at each access), objc.lastFailure(), objc.isTerminal(fd) and objc.version.

#include <lua.hpp>

namespace quodrix::lua {

// [-0, +0] Adds paths, lastFailure, isTerminal and version to the table on top of the stack.
void addPlatformFunctions(lua_State* L);

}
