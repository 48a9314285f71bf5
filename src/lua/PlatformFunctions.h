#pragma once
// What the objc table offers scripts of the platform's own knowledge: objc.paths (the folders and files
// the native side uses, read anew at each access), objc.lastFailure(), objc.lastCause(), objc.rowFailure(),
// objc.systemLogTo(path), objc.itemKind(path), objc.makeTemporaryFolder(prefix),
// objc.removeTemporaryFolder(path), objc.isTerminal(fd) and objc.version.

#include <lua.hpp>

namespace quodrix::lua {

// [-0, +0] Adds paths, lastFailure, lastCause, rowFailure, systemLogTo, itemKind, the temporary folders,
// isTerminal and version to the table on top of the stack.
void addPlatformFunctions(lua_State* L);

}
