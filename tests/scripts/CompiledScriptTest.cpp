// Compiled scripts: the bundle's scripts as Lua bytecode, used only for exactly the script and the chunk name
// they were made from and only whole. Checked on the file format (every byte damaged in turn, every length
// cut short), on copies of the built executable (a compiled script is run, an edited one is parsed, errors
// name the script's own path), and on the build tree's bundle, whose compiled scripts must all be usable.

#include "lua/CompiledScript.h"
#include "support/ScriptBundle.h"

#include <lua5.4/lua.hpp>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

using namespace quodrix;
using namespace quodrix::test;
namespace fs = std::filesystem;

namespace {

std::string compiled(std::string const& chunkName, std::string const& source)
{
    std::string error;
    auto const bytecode = CompiledScript::compile(chunkName, source, error);
    EXPECT_TRUE(bytecode) << error;
    return bytecode ? *bytecode : std::string();
}

std::string contents(fs::path const& path)
{
    std::ifstream in(path, std::ios::binary);
    return { std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>() };
}

// What a script prints when it runs in a fresh state from `bytecode`.
std::string runBytecode(std::string_view bytecode)
{
    lua_State* L = luaL_newstate();
    luaL_openlibs(L);
    std::string out;
    if (luaL_loadbufferx(L, bytecode.data(), bytecode.size(), "=test", "b") == LUA_OK
        && lua_pcall(L, 0, 1, 0) == LUA_OK && lua_isstring(L, -1))
        out = lua_tostring(L, -1);
    lua_close(L);
    return out;
}

}

TEST(CompiledScript, HoldsOnlyTheScriptAndTheNameItWasMadeFrom)
{
    std::string const name = "@/b/share/quodrix/Scripts/10_a.lua";
    std::string const source = "local t = {} for i = 1, 3 do t[#t + 1] = i end return table.concat(t, ',')\n";
    std::string const file = CompiledScript::encode(name, source, compiled(name, source));

    auto const bytecode = CompiledScript::bytecodeFor(file, name, source);
    ASSERT_TRUE(bytecode);
    EXPECT_EQ(runBytecode(*bytecode), "1,2,3");
    EXPECT_FALSE(CompiledScript::bytecodeFor(file, "@/c/share/quodrix/Scripts/10_a.lua", source));
    EXPECT_FALSE(CompiledScript::bytecodeFor(file, name, source + " "));
    std::string edited = source;
    edited[30] = '4';
    EXPECT_FALSE(CompiledScript::bytecodeFor(file, name, edited));

    // Any byte damaged, any end cut off: never used.
    for (std::size_t i = 0; i < file.size(); ++i) {
        std::string damaged = file;
        damaged[i] = char(damaged[i] ^ 0x20);
        EXPECT_FALSE(CompiledScript::bytecodeFor(damaged, name, source)) << "byte " << i;
        EXPECT_FALSE(CompiledScript::bytecodeFor(std::string_view(file).substr(0, i), name, source)) << "length " << i;
    }
    EXPECT_FALSE(CompiledScript::bytecodeFor(file + "x", name, source));
    EXPECT_FALSE(CompiledScript::bytecodeFor("", name, source));

    // What the host's loader reads otherwise than Lua's parser is left to it.
    std::string error;
    EXPECT_FALSE(CompiledScript::compile(name, "#!/usr/bin/env lua\nreturn 1\n", error));
    EXPECT_FALSE(CompiledScript::compile(name, "\xEF\xBB\xBFreturn 1\n", error));
    EXPECT_FALSE(CompiledScript::compile(name, "return (", error));
    EXPECT_NE(error.find("10_a.lua:1:"), std::string::npos) << error;
    EXPECT_EQ(CompiledScript::pathFor("/b/share/quodrix/Scripts/10_a.lua"), "/b/share/quodrix/Compiled/10_a.luac");
}

TEST(CompiledScript, AStartRunsTheCompiledScriptOnlyWhileItMatchesTheScript)
{
    ScriptBundle bundle;
    fs::path const script = fs::canonical(bundle.root()) / "share" / "quodrix" / "Scripts" / "50_test.lua";
    std::string const source = "print('parsed')\n";
    bundle.addScript("50_test.lua", source);
    // Made from other code than the script's, which only a test would do: it shows which of the two ran.
    std::string const name = "@" + script.string();
    fs::create_directories(CompiledScript::pathFor(script).parent_path());
    {
        std::ofstream out(CompiledScript::pathFor(script), std::ios::binary);
        out << CompiledScript::encode(name, source, compiled(name, "print('compiled')\n"));
    }
    RunResult r = bundle.run();
    EXPECT_EQ(r.out, "compiled\n") << r.err;

    bundle.addScript("50_test.lua", "print('parsed')  \n");
    r = bundle.run();
    EXPECT_EQ(r.out, "parsed\n") << r.err;

    // A compiled script cut short is parsed instead.
    bundle.addScript("50_test.lua", source);
    std::string const whole = contents(CompiledScript::pathFor(script));
    {
        std::ofstream out(CompiledScript::pathFor(script), std::ios::binary | std::ios::trunc);
        out << whole.substr(0, whole.size() - 10);
    }
    r = bundle.run();
    EXPECT_EQ(r.out, "parsed\n") << r.err;
}

TEST(CompiledScript, ErrorsOfACompiledScriptNameItsPathAndLine)
{
    ScriptBundle bundle;
    fs::path const script = fs::canonical(bundle.root()) / "share" / "quodrix" / "Scripts" / "50_test.lua";
    std::string const source = "local x = 1\nerror('broken on purpose')\n";
    bundle.addScript("50_test.lua", source);
    std::string const name = "@" + script.string();
    fs::create_directories(CompiledScript::pathFor(script).parent_path());
    {
        std::ofstream out(CompiledScript::pathFor(script), std::ios::binary);
        out << CompiledScript::encode(name, source, compiled(name, source));
    }
    RunResult const r = bundle.run();
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.err.find(script.string() + ":2: broken on purpose"), std::string::npos) << r.err;
}

TEST(CompiledScript, EveryScriptOfTheBuildTreeBundleHasAUsableCompiledForm)
{
    fs::path const bundle = fs::canonical(QUODRIX_EXECUTABLE).parent_path().parent_path();
    int scripts = 0;
    for (auto const& entry : fs::directory_iterator(bundle / "share" / "quodrix" / "Scripts")) {
        if (entry.path().extension() != ".lua")
            continue;
        ++scripts;
        std::string const file = contents(CompiledScript::pathFor(entry.path()));
        EXPECT_TRUE(CompiledScript::bytecodeFor(file, "@" + entry.path().string(), contents(entry.path())))
            << entry.path();
    }
    EXPECT_GT(scripts, 5);
}
