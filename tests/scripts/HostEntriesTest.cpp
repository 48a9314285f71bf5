// Every way native code enters a script: the launch of the delegate, queued functions, script class
// methods, panels and alerts. They are protected calls whose traceback comes from the C API, so nothing a
// script does to its globals breaks them, and a delegate that cannot be launched is named.

#include "app/NativeClasses.h"
#include "core/Class.h"
#include "core/Object.h"
#include "core/Runtime.h"
#include "lua/LuaCall.h"
#include "lua/LuaHost.h"
#include "platform/Platform.h"
#include "support/ScriptBundle.h"

#include <gtest/gtest.h>

using namespace quodrix;
using namespace quodrix::test;

TEST(HostEntries, ScriptsThatRemoveDebugAreStillCalledWithTracebacks)
{
    ScriptBundle bundle;
    bundle.addScript("10_app.lua", R"(
        debug = nil
        local Greeter = objc.defineClass("Greeter")
        function Greeter.greet_(cls, name) return "hello " .. name end
        function Greeter.fail(cls) error("greeting failed") end
        objc.panels.open = function(request) return { "/nonexistent/a.txt" } end
        objc.panels.alert = function(title, message) print("alert", title, message) end
        AppDelegate = objc.defineClass("AppDelegate")
        function AppDelegate.applicationDidFinishLaunching_(cls, note)
            -- send goes through the runtime, which calls the script method as native code does.
            print(objc.cToolBox ~= nil, objc.Greeter:send("greet:", "you"))
            print(pcall(function() return objc.Greeter:send("fail") end))
            objc.queue(function() error("queued failure") end)
        end
    )");
    auto r = bundle.run();
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("true\thello you\n"), std::string::npos) << r.out;
    // The error of the script method, with its traceback, reaches the calling script.
    EXPECT_NE(r.out.find("false\t+[Greeter fail]: "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("greeting failed\nstack traceback:"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("attempt to index a nil value"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("queued failure\nstack traceback:"), std::string::npos) << r.err;
}

TEST(HostEntries, PanelsAndTheActionLogWorkWithoutDebug)
{
    ScriptBundle bundle(true);
    bundle.addScript("05_nodebug.lua", "debug = nil");
    TempDir dir;
    writeFile(dir / "a.txt", "a");
    auto r = bundle.run({ "insert", "-n", "X", "0", (dir / "a.txt").string() });
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Xa.txt"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Simulation"), std::string::npos) << r.out;
}

TEST(HostEntries, AnAppDelegateThatIsNotAScriptClassIsAnError)
{
    ScriptBundle bundle;
    bundle.addScript("10_app.lua", R"(
        AppDelegate = {}
        function AppDelegate.applicationDidFinishLaunching_() print("never") end
        objc.queue(function() print("never either") end)
    )");
    auto r = bundle.run();
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "AppDelegate is not a script class: define it with objc.defineClass(\"AppDelegate\")\n");

    // No delegate at all: what scripts queued still runs.
    ScriptBundle none;
    none.addScript("10_app.lua", "objc.queue(function() print('queued') end)");
    auto n = none.run();
    EXPECT_EQ(n.status, 0) << n.err;
    EXPECT_EQ(n.out, "queued\n");
}

TEST(HostEntries, TheLaunchGoesThroughTheRuntimeToANativeDelegateToo)
{
    Platform platform;
    Runtime runtime { platform };
    registerNativeClasses(runtime);
    int launches = 0;
    ClassBuilder<Object>(runtime, "AppDelegate").classMethod("applicationDidFinishLaunching:", [&](Call const& c) {
        ++launches;
        c.runtime.setExitStatus(4);
        return Value();
    });
    LuaHost host(runtime);
    EXPECT_EQ(host.runMainLoop(), 4);
    EXPECT_EQ(launches, 1);
}

TEST(HostEntries, PathsOfTheNativeSideAndTheLastFailure)
{
    ScriptBundle bundle;
    auto r = bundle.runScript(R"(
        local p = objc.paths
        print(p.home, p.support, p.logFile, p.state, p.config, p.applicationSupport, p.temporary)
        print(p.resources)
        print(pcall(function() return p.nothing end))
        print(objc.lastFailure(), objc.isTerminal(1), objc.isTerminal(2))
        objc.NSApp:terminate_(nil)
    )");
    EXPECT_EQ(r.status, 0) << r.err;
    std::string const home = bundle.home().string();
    EXPECT_EQ(r.out.substr(0, r.out.find('\n') + 1),
        home + "\t" + home + "/.local/share/BriskloCom\t" + home + "/.local/share/BriskloCom/Quodrix Log.txt\t" + home
            + "/.local/state/quodrix\t" + home + "/.config\t" + home + "/.local/share\t" + home + "/Temp\n");
    EXPECT_NE(r.out.find("\n" + (bundle.root() / "share/quodrix").string() + "\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("objc.paths: no path named nothing"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("nil\tfalse\tfalse\n"), std::string::npos) << r.out;

    // The XDG folders as the native side reads them; relative ones do not count.
    ScriptBundle env;
    env.addScript("10_paths.lua", "print(objc.paths.support, objc.paths.state, objc.paths.config)");
    auto e = env.run({}, { { "XDG_DATA_HOME", "/data" }, { "XDG_STATE_HOME", "/state" }, { "XDG_CONFIG_HOME", "rel" } });
    EXPECT_EQ(e.status, 0) << e.err;
    EXPECT_EQ(e.out, "/data/BriskloCom\t/state/quodrix\t" + env.home().string() + "/.config\n");
}

#ifndef NDEBUG
TEST(HostEntriesDeathTest, AnUnbalancedStackIsCaughtInDebugBuilds)
{
    lua_State* L = luaL_newstate();
    EXPECT_DEATH(
        {
            StackCheck check(L, 0, "a function that leaves a value behind");
            lua_pushinteger(L, 1);
        },
        "Lua stack out of balance in a function that leaves a value behind: height 1, expected 0");
    lua_close(L);
}
#endif
