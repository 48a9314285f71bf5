#pragma once
// Conversion of bridge values to Lua and back, the contract that scripts rely on: nil is null (objc.null
// inside arrays and dictionaries); booleans, integers, floats and strings keep their kind; a sequence is
// an array and a table with string keys a dictionary, never both; data, dates, URLs, mutable strings,
// native objects and native classes are userdata; script classes and instances are their own tables.

#include "core/Value.h"

struct lua_State;

namespace quodrix::lua {

// [-0, +1] Pushes a value; null becomes nil.
void pushValue(lua_State* L, Value const& value);
// [-0, +1] The same for a value that is no longer needed: the strings of an array, and the blocks of a path
// list, are released as they go into Lua, so that a result of a million paths is not held in full by both
// sides at once.
void pushValue(lua_State* L, Value&& value);

// [-0, +0] The value at a stack index. Throws ArgumentError for what cannot cross the bridge (functions,
// threads, mixed or holed tables, tables nested too deeply or holding themselves).
Value toValue(lua_State* L, int index);

// [-0, +0] Whether the value at a stack index is a plain table that toValue() would convert into an array
// without error: checked without building anything.
bool isArrayThatCrosses(lua_State* L, int index);

}
