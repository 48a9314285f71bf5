// The script bridge as scripts see it: every row of the contract, value round trips, errors and the exit
// status, through the built executable.

#include "support/ScriptBundle.h"

#include <gtest/gtest.h>

using namespace quodrix::test;

namespace {

// Runs a script that prints lines and ends the application itself.
RunResult runLua(std::string const& body, std::vector<std::string> const& args = {})
{
    ScriptBundle bundle;
    return bundle.runScript(body, args);
}

}

TEST(Bridge, ClassLookupByNameAtCallTime)
{
    auto r = runLua(R"(
        print(objc.class("cToolBox") ~= nil, objc.cToolBox ~= nil, objc.class("NoSuchClass"), objc.NoSuchClass)
        print(tostring(objc.cToolBox), tostring(objc.ASSuperclass), objc.ASSuperclass:className())
        print(objc.class("Later"))
        local Later = objc.defineClass("Later")
        print(objc.class("Later") == Later, objc.Later == Later)
    )");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "true\ttrue\tnil\tnil\ncToolBox\tASSuperclass\tASSuperclass\nnil\ntrue\ttrue\n");
}

TEST(Bridge, BothSelectorSpellingsOnClassesAndInstances)
{
    auto r = runLua(R"(
        print(objc.cToolBox:send("hGetTempDir") == objc.cToolBox:hGetTempDir())
        local home = objc.cToolBox:hGetHomeDir()
        print(objc.cToolBox:send("hGetTempDir") == home .. "/Temp")
        local list = objc.NSArrayController:alloc():init()
        list:send("addObject:", "a")
        list:addObject_("b")
        local rows = list:arrangedObjects()
        print(#rows, rows[1], rows[2])
        local other = objc.NSArrayController:new()
        print(#other:arrangedObjects(), other:className())
    )");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "true\ntrue\n2\ta\tb\n0\tNSArrayController\n");
}

TEST(Bridge, ValuesRoundTripThroughNativeCode)
{
    auto r = runLua(R"(
        local list = objc.NSArrayController:new()
        local nested = { "x", { 1, 2.5, { deep = objc.null } }, { k = "v", n = objc.null, t = true } }
        list:addObjects_({ 42, 2.5, true, false, "h\195\169llo \240\159\152\128", objc.data("a\0b\255"),
            objc.date(1700000000.25), objc.url("https://example.org/a?b=c"), objc.fileURL("/tmp/a b/é.jpg"),
            nested, {}, objc.null })
        local v = list:arrangedObjects()
        print(#v, math.type(v[1]), v[1], math.type(v[2]), v[2], v[3], v[4])
        print(v[5] == "h\195\169llo \240\159\152\128", #v[5])
        print(v[6]:length(), v[6]:bytes() == "a\0b\255", tostring(v[6]))
        print(v[7]:timeIntervalSince1970(), tostring(v[7]))
        print(v[8]:absoluteString(), v[8]:isFileURL(), v[8]:path())
        print(v[9]:absoluteString(), v[9]:path(), v[9]:isFileURL())
        print(v[10][1], v[10][2][1], v[10][2][2], v[10][2][3].deep == objc.null, v[10][3].k, v[10][3].n == objc.null, v[10][3].t)
        print(type(v[11]), #v[11], v[12] == objc.null, tostring(objc.null))
    )");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
        "12\tinteger\t42\tfloat\t2.5\ttrue\tfalse\n"
        "true\t11\n"
        "4\ttrue\t<610062ff>\n"
        "1700000000.25\t2023-11-14 22:13:20 +0000\n"
        "https://example.org/a?b=c\tfalse\tnil\n"
        "file:///tmp/a%20b/%C3%A9.jpg\t/tmp/a b/é.jpg\ttrue\n"
        "x\t1\t2.5\ttrue\tv\ttrue\ttrue\n"
        "table\t0\ttrue\tnull\n");
}

TEST(Bridge, MutableStringIsSharedAndChangedInPlace)
{
    auto r = runLua(R"(
        local s = objc.mutableString("abc")
        local list = objc.NSArrayController:new()
        list:addObject_(s)
        s:appendString("def")
        local back = list:arrangedObjects()[1]
        print(back:string(), tostring(back), back == s)
        back:setString("xyz")
        print(s:string())
    )");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "abcdef\tabcdef\ttrue\nxyz\n");
}

TEST(Bridge, SetValueForKeyConnectsOutletsAndProperties)
{
    auto r = runLua(R"(
        local o = objc.ASSuperclass:new()
        local table = objc.NSTableView:new()
        o:setValue_forKey_(table, "myLogTableView")
        o:setValue_forKey_("text", "myValue")
        print(o:valueForKey_("myLogTableView") == table, o:valueForKey_("myValue"), o:valueForKey_("never"))
        local S = objc.defineClass("Scripted")
        local s = S:new()
        s:setValue_forKey_(7, "count")
        print(s.count, s:valueForKey_("count"))
    )");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "true\ttext\tnil\n7\t7\n");
}

TEST(Bridge, ScriptClassesAreReachableFromNativeCode)
{
    auto r = runLua(R"(
        local Echo = objc.defineClass("Echo")
        function Echo.twice_(cls, x) return x .. x end
        function Echo.init(self) self.n = 1 return self end
        function Echo.bump(self) self.n = self.n + 1 return self.n end
        -- through the runtime: class messages and instance messages
        print(objc.Echo:send("twice:", "ab"), objc.class("Echo"):twice_("cd"))
        local e = objc.Echo:new()
        print(e.n, e:send("bump"), e:bump())
        -- a script object stored in native code comes back as the same table
        local list = objc.NSArrayController:new()
        list:addObject_(e)
        print(list:arrangedObjects()[1] == e)
        -- a subclass inherits
        local Sub = objc.defineClass("Sub", "Echo")
        print(objc.Sub:send("twice:", "z"))
    )");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "abab\tcdcd\n1\t2\t3\ntrue\nzz\n");
}

struct ErrorCase {
    char const* script;
    char const* expected;
};

TEST(Bridge, ErrorsNameClassAndSelectorAndCanBeCaught)
{
    ErrorCase const cases[] = {
        { R"(objc.cToolBox:send("hStoreFiles2::", "a"))", "+[cToolBox hStoreFiles2::]: expects 2 arguments, got 1" },
        { R"(objc.cToolBox:hStoreFiles2__("a", "b", "c"))", "+[cToolBox hStoreFiles2::]: expects 2 arguments, got 3" },
        { R"(objc.cToolBox:noSuchSelector_(1))", "+[cToolBox noSuchSelector:]: unrecognized selector" },
        { R"(objc.NSArrayController:new():frobnicate())", "-[NSArrayController frobnicate]: unrecognized selector" },
        { R"(objc.cToolBox:hStoreFiles2__({}, "b"))", "+[cToolBox hStoreFiles2::]: argument 1 must be a string, not array" },
        { R"(objc.cToolBox:hStoreFiles2__(function() end, "b"))", "[cToolBox hStoreFiles2::]: argument 1: a function value cannot cross the bridge" },
        { R"(objc.cToolBox:hStoreFiles2__({1, x = 2}, "b"))", "[cToolBox hStoreFiles2::]: argument 1: a table is an array or a dictionary, never both" },
        { R"(local t = {} t[1] = t objc.NSArrayController:new():addObject_(t))", "nested too deeply" },
        { R"(local B = objc.defineClass("Boom") function B.go_(cls, x) error("kaboom " .. x) end objc.Boom:send("go:", 1))",
            "+[Boom go:]: " },
        { R"(objc.defineClass("cToolBox"))", "objc.defineClass: cToolBox is a native class" },
    };
    for (auto const& c : cases) {
        std::string script = std::string("local ok, err = pcall(function() ") + c.script
            + " end)\nprint(ok)\nprint(err)\n";
        auto r = runLua(script);
        EXPECT_EQ(r.status, 0) << c.script << "\n" << r.err;
        EXPECT_EQ(r.out.substr(0, 6), "false\n") << c.script;
        EXPECT_NE(r.out.find(c.expected), std::string::npos) << c.script << "\ngot: " << r.out;
    }
}

TEST(MainLoop, DelegateQueueTerminateAndExitStatus)
{
    ScriptBundle bundle;
    bundle.addScript("10_app.lua", R"(
        AppDelegate = objc.defineClass("AppDelegate")
        -- The selector itself as the key (the bundled delegate uses the underscore spelling).
        AppDelegate["applicationDidFinishLaunching:"] = function(cls, note)
            print("launched", note, #objc.arguments, objc.arguments[2])
            objc.queue(function() print("first") end)
            objc.queue(function()
                print("second")
                objc.NSApp:setExitStatus_(tonumber(objc.arguments[2]))
                objc.NSApp:terminate_(nil)
            end)
            objc.queue(function() print("never") end)
        end
    )");
    auto r = bundle.run({ "7" });
    EXPECT_EQ(r.status, 7) << r.err;
    EXPECT_EQ(r.out, "launched\tnil\t2\t7\nfirst\nsecond\n");
}

TEST(MainLoop, ScriptsLoadInByteOrderAndEndWhenNothingIsLeft)
{
    ScriptBundle bundle;
    bundle.addScript("b.lua", "print('b')");
    bundle.addScript("B.lua", "print('B')");
    bundle.addScript("a.lua", "print('a')");
    bundle.addScript("notes.txt", "this is not loaded");
    auto r = bundle.run();
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "B\na\nb\n");
}

TEST(MainLoop, AnErrorReachingTheLoopGivesStatusOneAndATraceback)
{
    ScriptBundle bundle;
    bundle.addScript("10_app.lua", R"(
        AppDelegate = objc.defineClass("AppDelegate")
        function AppDelegate.applicationDidFinishLaunching_(cls, note)
            objc.queue(function() objc.cToolBox:hStoreFiles3__("only one") end)
        end
    )");
    auto r = bundle.run();
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("+[cToolBox hStoreFiles3::]: expects 2 arguments, got 1"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("stack traceback:"), std::string::npos) << r.err;

    ScriptBundle broken;
    broken.addScript("10_bad.lua", "this is not lua");
    auto b = broken.run();
    EXPECT_EQ(b.status, 1);
    EXPECT_NE(b.err.find("10_bad.lua"), std::string::npos) << b.err;

    ScriptBundle raising;
    raising.addScript("10_err.lua", "error(setmetatable({}, {}))");
    auto e = raising.run();
    EXPECT_EQ(e.status, 1);
    EXPECT_NE(e.err.find("(error object is a table value)"), std::string::npos) << e.err;
}
