// quodrix-compile-scripts SCRIPTS [NAMED]: compiles every SCRIPTS/NAME.lua into the compiled scripts' folder
// beside it (CompiledScript::folderFor, see src/lua/CompiledScript.h) under the chunk name "@NAMED/NAME.lua",
// NAMED being the folder where the executable will find the script (SCRIPTS itself by default; the installed
// folder when installing into a staging folder). The build runs it when it lays out the bundle, and the
// install step for the installed one. The names are those of the real folder (symbolic links resolved), as
// the executable finds its scripts. A script that does not parse stops it with Lua's message; a script left
// to the loader (CompiledScript::isLeftToTheLoader) is parsed at each start instead.

#include "fs/AtomicFile.h"
#include "lua/CompiledScript.h"

#include <cstdio>
#include <filesystem>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: quodrix-compile-scripts SCRIPTS [NAMED]\n");
        return 2;
    }
    std::filesystem::path const scripts = argv[1];
    std::filesystem::path const out = quodrix::CompiledScript::folderFor(scripts);
    std::error_code ec;
    // The executable finds its scripts through its own real path, so the names are those of the real folder:
    // a build folder reached through a symbolic link, a relative install prefix, "//" all come out as the
    // path the executable will see.
    char const* const given = argc == 3 ? argv[2] : argv[1];
    std::filesystem::path const named = std::filesystem::weakly_canonical(std::filesystem::absolute(given), ec);
    if (ec) {
        std::fprintf(stderr, "quodrix-compile-scripts: cannot resolve %s: %s\n", given, ec.message().c_str());
        return 1;
    }
    std::filesystem::create_directories(out, ec);
    if (ec) {
        std::fprintf(stderr, "quodrix-compile-scripts: cannot make %s: %s\n", out.c_str(), ec.message().c_str());
        return 1;
    }
    std::filesystem::directory_iterator entries(scripts, ec);
    for (; !ec && entries != std::filesystem::directory_iterator(); entries.increment(ec)) {
        std::filesystem::path const& script = entries->path();
        std::error_code typeError;
        if (script.extension() != ".lua" || !entries->is_regular_file(typeError))
            continue;
        std::string source;
        if (quodrix::Status read = quodrix::readWholeFile(script.string(), source); !read) {
            std::fprintf(stderr, "quodrix-compile-scripts: %s\n", read.message().c_str());
            return 1;
        }
        if (quodrix::CompiledScript::isLeftToTheLoader(source))
            continue;
        std::string const chunkName = "@" + (named / script.filename()).string();
        std::string error;
        auto const bytecode = quodrix::CompiledScript::compile(chunkName, source, error);
        if (!bytecode) {
            std::fprintf(stderr, "quodrix-compile-scripts: %s\n", error.c_str());
            return 1;
        }
        std::filesystem::path target = out / script.filename();
        target.replace_extension(".luac");
        std::string const file = quodrix::CompiledScript::encode(chunkName, source, *bytecode);
        if (quodrix::Status written = quodrix::writeFileAtomically(target.string(), file); !written) {
            std::fprintf(stderr, "quodrix-compile-scripts: %s\n", written.message().c_str());
            return 1;
        }
    }
    if (ec) {
        std::fprintf(stderr, "quodrix-compile-scripts: cannot read %s: %s\n", scripts.c_str(), ec.message().c_str());
        return 1;
    }
    return 0;
}
