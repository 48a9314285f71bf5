#pragma once
// CompiledScript: a script of the bundle as Lua bytecode, made when the bundle is laid out or installed, so
// that a start loads the bundle's scripts instead of parsing them (parsing took more than a third of the
// time of a short command such as `quodrix --version`).
//
// A compiled script is used only when it holds exactly the bytes that the script now holds and the chunk
// name that the host now gives the script ("@" and its path, which error messages and tracebacks show),
// when its checksum holds, and when this Lua loads its bytecode. Otherwise the host parses the script as
// before: an edited script, a copied bundle, a damaged or foreign file all cost only the time they saved.
//
// The file, <resources>/Compiled/NAME.luac for <resources>/Scripts/NAME.lua: the line
// "quodrix compiled script 1, Lua 5.4.4" (the release of Lua that made it), then four little-endian 64-bit
// numbers (the sizes of the chunk name, the source and the bytecode, and a checksum of the three), then the
// chunk name, the source and the bytecode (with its debug information, so that errors give lines and names
// as a parsed script does). Only the bundle's own scripts are looked for there: a script that the host runs
// from anywhere else is always parsed.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

struct lua_State;

namespace quodrix {

class CompiledScript {
public:
    // The folder of the compiled forms of the scripts in `scriptsFolder` (<resources>/Scripts).
    static std::filesystem::path folderFor(std::filesystem::path const& scriptsFolder);

    // Whether the script begins with what the host's loader passes over and Lua's parser does not (a "#"
    // line, a byte-order mark): such a script is not compiled, and is parsed at each start.
    static bool isLeftToTheLoader(std::string_view source);

    // The bytecode of `source` under `chunkName`, or nullopt with the reason in `error`: Lua's message for a
    // script that does not parse, or a script left to the loader.
    static std::optional<std::string> compile(std::string_view chunkName, std::string_view source, std::string& error);

    // The contents of a compiled script file.
    static std::string encode(std::string_view chunkName, std::string_view source, std::string_view bytecode);

    // The bytecode that `file` holds for `source` under `chunkName`; nullopt when it holds another script,
    // another name, or is damaged.
    static std::optional<std::string_view> bytecodeFor(std::string_view file, std::string_view chunkName,
        std::string_view source);

    // [-0, +1] Pushes the script at `script`, loaded from its compiled form in `compiledFolder` when that is
    // there and holds the script as it now is; false (and nothing pushed) otherwise.
    static bool load(lua_State* L, std::filesystem::path const& script, std::filesystem::path const& compiledFolder);
};

}
