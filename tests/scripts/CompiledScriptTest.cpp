// Compiled scripts: the bundle's scripts as Lua bytecode, used only for exactly the script and the chunk name
// they were made from and only whole. Checked on the file format (every byte damaged in turn, every length
// cut short, bits flipped in pairs), on the build's compiler (its messages, the names it gives through a
// symbolic link), on copies of the built executable (a compiled script is run, an edited one is parsed,
// errors name the script's own path, a script outside the bundle never looks for one), and on the build
// tree's bundle, whose compiled scripts must all be usable.

#include "app/NativeClasses.h"
#include "core/Runtime.h"
#include "lua/CompiledScript.h"
#include "lua/LuaHost.h"
#include "platform/Platform.h"
#include "support/ScriptBundle.h"

#include <lua5.4/lua.hpp>

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
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

// The one script of a test's bundle, by its real path (the one the executable finds it at).
fs::path testScript(ScriptBundle const& bundle)
{
    return fs::canonical(bundle.root()) / "share" / "quodrix" / "Scripts" / "50_test.lua";
}

fs::path compiledPath(fs::path const& script)
{
    return CompiledScript::folderFor(script.parent_path()) / script.filename().replace_extension(".luac");
}

void writeCompiled(fs::path const& script, std::string const& chunkName, std::string const& source,
    std::string const& bytecode)
{
    writeFile(compiledPath(script), CompiledScript::encode(chunkName, source, bytecode));
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

    // Two flipped bits, the same bit of two words or any other pair, and a few at random: never used.
    std::size_t const bytecodeStart = file.size() - compiled(name, source).size();
    for (std::size_t a = bytecodeStart; a < file.size(); ++a) {
        for (std::size_t b = a + 8; b < file.size(); b += 8) {
            std::string damaged = file;
            damaged[a] = char(damaged[a] ^ 0x80);
            damaged[b] = char(damaged[b] ^ 0x80);
            EXPECT_FALSE(CompiledScript::bytecodeFor(damaged, name, source)) << "bytes " << a << " and " << b;
        }
    }
    std::mt19937 random(7);
    for (int round = 0; round < 2000; ++round) {
        std::string damaged = file;
        int const flips = 2 + round % 5;
        for (int k = 0; k < flips; ++k) {
            std::size_t const at = bytecodeStart + random() % (file.size() - bytecodeStart);
            damaged[at] = char(damaged[at] ^ (1 << (random() % 8)));
        }
        if (damaged != file) {
            EXPECT_FALSE(CompiledScript::bytecodeFor(damaged, name, source)) << "round " << round;
        }
    }

    // What the host's loader reads otherwise than Lua's parser is left to it.
    std::string error;
    EXPECT_FALSE(CompiledScript::compile(name, "#!/usr/bin/env lua\nreturn 1\n", error));
    EXPECT_FALSE(CompiledScript::compile(name, "\xEF\xBB\xBFreturn 1\n", error));
    EXPECT_FALSE(CompiledScript::compile(name, "return (", error));
    EXPECT_NE(error.find("10_a.lua:1:"), std::string::npos) << error;
    EXPECT_EQ(CompiledScript::folderFor("/b/share/quodrix/Scripts"), "/b/share/quodrix/Compiled");
}

TEST(CompiledScript, AStartRunsTheCompiledScriptOnlyWhileItMatchesTheScriptAndNamesItsErrors)
{
    ScriptBundle bundle;
    fs::path const script = testScript(bundle);
    std::string const source = "print('parsed')\n";
    bundle.addScript("50_test.lua", source);
    // Made from other code than the script's, which only a test would do: it shows which of the two ran.
    std::string const name = "@" + script.string();
    writeCompiled(script, name, source, compiled(name, "print('compiled')\n"));
    RunResult r = bundle.run();
    EXPECT_EQ(r.out, "compiled\n") << r.err;

    bundle.addScript("50_test.lua", "print('parsed')  \n");
    r = bundle.run();
    EXPECT_EQ(r.out, "parsed\n") << r.err;

    // A compiled script cut short is parsed instead.
    bundle.addScript("50_test.lua", source);
    std::string const whole = readFile(compiledPath(script));
    writeFile(compiledPath(script), whole.substr(0, whole.size() - 10));
    r = bundle.run();
    EXPECT_EQ(r.out, "parsed\n") << r.err;

    // An error of a compiled script names the script's path, and the line of the bytecode, which raises its
    // error one line further down than the script does.
    std::string const failing = "local x = 1\nerror('broken on purpose')\n";
    bundle.addScript("50_test.lua", failing);
    writeCompiled(script, name, failing, compiled(name, "local x = 1\n\nerror('broken on purpose')\n"));
    r = bundle.run();
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.err.find(script.string() + ":3: broken on purpose"), std::string::npos) << r.err;
}

TEST(CompiledScript, EveryScriptOfTheBuildTreeBundleHasAUsableCompiledForm)
{
    fs::path const bundle = fs::canonical(QUODRIX_EXECUTABLE).parent_path().parent_path();
    int scripts = 0;
    for (auto const& entry : fs::directory_iterator(bundle / "share" / "quodrix" / "Scripts")) {
        if (entry.path().extension() != ".lua")
            continue;
        ++scripts;
        std::string const file = readFile(compiledPath(entry.path()));
        EXPECT_TRUE(CompiledScript::bytecodeFor(file, "@" + entry.path().string(), readFile(entry.path())))
            << entry.path();
    }
    EXPECT_GT(scripts, 5);
}

TEST(CompiledScript, AScriptRunFromOutsideTheBundleIsAlwaysParsed)
{
    // A folder beside the script's that anyone could write to: nothing there is ever run.
    TempDir dir;
    fs::path const script = fs::canonical(dir.path()) / "Scripts" / "x.lua";
    std::string const source = "result = 'parsed'\n";
    writeFile(script, source);
    std::string const name = "@" + script.string();
    writeCompiled(script, name, source, compiled(name, "result = 'compiled'\n"));
    Platform platform;
    Runtime runtime { platform };
    registerNativeClasses(runtime);
    LuaHost host { runtime };
    std::string error;
    ASSERT_TRUE(host.runFile(script, error)) << error;
    lua_getglobal(host.state(), "result");
    EXPECT_STREQ(lua_tostring(host.state(), -1), "parsed");
    lua_pop(host.state(), 1);

    // The bundle's way takes it.
    ASSERT_TRUE(host.loadScripts(script.parent_path(), error)) << error;
    lua_getglobal(host.state(), "result");
    EXPECT_STREQ(lua_tostring(host.state(), -1), "compiled");
    lua_pop(host.state(), 1);
}

TEST(CompiledScript, TheBuildsCompilerNamesScriptsByTheirRealPathsAndStopsAtASyntaxError)
{
    fs::path const compiler = fs::path(QUODRIX_EXECUTABLE).parent_path() / "quodrix-compile-scripts";
    TempDir dir;
    fs::path const real = fs::canonical(dir.path());
    writeFile(real / "res" / "Scripts" / "10_a.lua", "return 1\n");
    writeFile(real / "res" / "Scripts" / "20_b.lua", "#!/usr/bin/env lua\nreturn 2\n");
    writeFile(real / "res" / "Scripts" / "notes.txt", "not a script\n");
    fs::create_directory_symlink(real / "res", real / "link");
    RunResult r = runCommand("'" + compiler.string() + "' '" + (real / "link" / "Scripts").string() + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    // Into the folder beside the scripts, named as the executable would find the script, through the real
    // folder.
    fs::path const out = real / "res" / "Compiled";
    std::string const source = readFile(real / "res" / "Scripts" / "10_a.lua");
    EXPECT_TRUE(CompiledScript::bytecodeFor(readFile(out / "10_a.luac"),
        "@" + (real / "res" / "Scripts" / "10_a.lua").string(), source));
    EXPECT_FALSE(fs::exists(out / "20_b.luac"));
    EXPECT_FALSE(fs::exists(out / "notes.luac"));

    writeFile(real / "res" / "Scripts" / "30_c.lua", "local x = (\n");
    r = runCommand("'" + compiler.string() + "' '" + (real / "res" / "Scripts").string() + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "quodrix-compile-scripts: " + (real / "res" / "Scripts" / "30_c.lua").string()
        + ":2: unexpected symbol near <eof>\n");
}
