// quodrix-compile-scripts SCRIPTS OUT [NAMED]: compiles every SCRIPTS/NAME.lua into OUT/NAME.luac (see
// src/lua/CompiledScript.h) under the chunk name "@NAMED/NAME.lua", NAMED being the folder where the
// executable will find the script (SCRIPTS itself by default; the installed folder when installing into a
// staging folder). The build runs it when it lays out the bundle, and the install step for the installed one.
// A script that does not parse stops it with Lua's message; a script that begins with a "#" line or a
// byte-order mark is left to be parsed at each start.

#include "lua/CompiledScript.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

bool readFile(std::filesystem::path const& path, std::string& bytes)
{
    std::ifstream in(path, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return in.good() || in.eof();
}

bool writeFile(std::filesystem::path const& path, std::string const& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    out.close();
    return !out.fail();
}

}

int main(int argc, char** argv)
{
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: quodrix-compile-scripts SCRIPTS OUT [NAMED]\n");
        return 2;
    }
    std::filesystem::path const scripts = argv[1];
    std::filesystem::path const out = argv[2];
    std::error_code ec;
    // The executable finds its scripts through its own real path, so the names are those of the real folder:
    // a build folder reached through a symbolic link, a relative install prefix, "//" all come out as the
    // path the executable will see.
    std::filesystem::path const named
        = std::filesystem::weakly_canonical(std::filesystem::absolute(argc == 4 ? argv[3] : argv[1]), ec);
    if (ec) {
        std::fprintf(stderr, "quodrix-compile-scripts: cannot resolve %s: %s\n", argc == 4 ? argv[3] : argv[1],
            ec.message().c_str());
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
        if (!readFile(script, source)) {
            std::fprintf(stderr, "quodrix-compile-scripts: cannot read %s\n", script.c_str());
            return 1;
        }
        std::string const chunkName = "@" + (named / script.filename()).string();
        std::string error;
        auto const bytecode = quodrix::CompiledScript::compile(chunkName, source, error);
        if (!bytecode) {
            if (source.starts_with('#') || source.starts_with("\xEF\xBB\xBF"))
                continue;
            std::fprintf(stderr, "quodrix-compile-scripts: %s\n", error.c_str());
            return 1;
        }
        std::filesystem::path target = out / script.filename();
        target.replace_extension(".luac");
        if (!writeFile(target, quodrix::CompiledScript::encode(chunkName, source, *bytecode))) {
            std::fprintf(stderr, "quodrix-compile-scripts: cannot write %s\n", target.c_str());
            return 1;
        }
    }
    if (ec) {
        std::fprintf(stderr, "quodrix-compile-scripts: cannot read %s: %s\n", scripts.c_str(), ec.message().c_str());
        return 1;
    }
    return 0;
}
