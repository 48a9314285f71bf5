// The action-log call as the renaming controllers make it: a script class found by name at each call, its
// rows appended to the log list and the table redrawn, and nothing that goes wrong there stopping the caller.

#include "app/NativeClasses.h"
#include "core/Runtime.h"
#include "lua/LuaHost.h"
#include "platform/ActionLogEntry.h"
#include "platform/NSArrayController.h"
#include "platform/NSTableView.h"
#include "platform/Platform.h"
#include "platform/SystemLog.h"
#include "support/ScriptBundle.h"

#include <gtest/gtest.h>
#include <lua.hpp>

using namespace quodrix;
using namespace quodrix::test;

namespace {

class ActionLogFixture : public ::testing::Test {
protected:
    ActionLogFixture()
    {
        registerNativeClasses(runtime);
        list = runtime.instantiate<NSArrayController>("NSArrayController");
        table = runtime.instantiate<NSTableView>("NSTableView");
    }

    void run(std::string const& source)
    {
        writeFile(dir / "script.lua", source);
        std::string error;
        ASSERT_TRUE(host.runFile(dir / "script.lua", error)) << error;
    }

    // Reports a row to the native log list; answers the rows it appended.
    Array report(std::string const& name)
    {
        ActionLogEntry entry { "File renaming", "Insert", "successfull", name, "new-" + name, "/in/" + name,
            "/out/new-" + name };
        std::size_t const before = list->arrangedObjects().size();
        reportAction(runtime, Value(list), Value(table), entry);
        auto const& rows = list->arrangedObjects();
        return Array(rows.begin() + std::ptrdiff_t(before), rows.end());
    }

    Value global(char const* name)
    {
        lua_State* L = host.state();
        lua_getglobal(L, name);
        Value value = host.toValue(-1);
        lua_pop(L, 1);
        return value;
    }

    TempDir dir;
    Platform platform;
    Runtime runtime { platform };
    LuaHost host { runtime };
    std::shared_ptr<NSArrayController> list;
    std::shared_ptr<NSTableView> table;
};

}

TEST_F(ActionLogFixture, ThreeFilesMakeThreeCallsInOrderWithAReloadAfterEach)
{
    run(R"(
        calls = {}
        local Log = objc.defineClass("myAppLog")
        function Log.hLogMyActions_______(cls, p, a, s, i, o, ip, op)
            calls[#calls + 1] = table.concat({ p, a, s, i, o, ip, op }, "|")
            return { { LogDate = objc.date(0), LogProcess = p, LogAction = a, LogStatus = s, LogI = i, LogO = o,
                LogIpath = ip, LogOpath = op } }
        end
    )");
    for (char const* name : { "a.jpg", "b.jpg", "c.jpg" }) {
        long before = table->reloadCount();
        auto rows = report(name);
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_EQ(table->reloadCount(), before + 1);
    }
    auto const& rows = list->arrangedObjects();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[1].asDictionary().at("LogI"), Value("b.jpg"));
    EXPECT_EQ(rows[2].asDictionary().at("LogOpath"), Value("/out/new-c.jpg"));
    EXPECT_EQ(rows[0].asDictionary().at("LogDate"), Value(Date { 0 }));

    run(R"(assert(#calls == 3 and calls[1] == "File renaming|Insert|successfull|a.jpg|new-a.jpg|/in/a.jpg|/out/new-a.jpg"
        and calls[3]:find("^File renaming|Insert|successfull|c.jpg")))");
}

TEST_F(ActionLogFixture, MissingClassOrBrokenScriptAppendsNothing)
{
    // No myAppLog loaded: no rows, no redraw, no error.
    EXPECT_TRUE(report("a.jpg").empty());
    EXPECT_TRUE(list->arrangedObjects().empty());

    // A script error, or a result that is not an array.
    run(R"(
        local Log = objc.defineClass("myAppLog")
        function Log.hLogMyActions_______(cls, p, a, s, i) if i == "bad.jpg" then error("log failed") end return "no" end
    )");
    EXPECT_TRUE(report("bad.jpg").empty());
    EXPECT_TRUE(report("odd.jpg").empty());
    EXPECT_TRUE(list->arrangedObjects().empty());

    // The class is looked up at each call: a corrected definition is used at once.
    run(R"(
        function objc.myAppLog.hLogMyActions_______(cls, p, a, s, i) return { { LogI = i } } end
    )");
    EXPECT_EQ(report("good.jpg").size(), 1u);
    EXPECT_EQ(list->arrangedObjects().size(), 1u);
}

// A log list of the scripts gets the rows as the log call's script made them (the same table, its fields and
// their kinds as they were), and is redrawn after. A result that could not cross the bridge reaches no log
// list, whichever kind of list it is, and its error goes to the system log; a result that is not an array
// appends an empty one.
TEST_F(ActionLogFixture, AScriptLogListGetsTheRowsAsTheScriptMadeThem)
{
    run(R"(
        received, events = {}, {}
        local Log = objc.defineClass("myAppLog")
        function Log.hLogMyActions_______(cls, p, a, s, i)
            if i == "holed" then return { 1, nil, 3 } end
            if i == "mixed" then return { 1, x = 2 } end
            if i == "function" then return { { f = print } } end
            if i == "dictionary" then return { LogI = i } end
            if i == "nothing" then return nil end
            made = { { LogI = i, LogDate = objc.date(5), Count = 3, Ratio = 0.5, Flag = false, Null = objc.null,
                Nested = { "x", "y" } } }
            return made
        end
        local List = objc.defineClass("ScriptList")
        function List.addObjects_(self, rows) received[#received + 1] = rows events[#events + 1] = "add" end
        function List.reloadData(self) events[#events + 1] = "reload" end
        scriptList = List:new()
    )");
    Value scriptList = global("scriptList");
    auto reportTo = [&](std::string const& name) {
        reportAction(runtime, scriptList, scriptList, ActionLogEntry { "p", "a", "s", name, "o", "ip", "op" });
    };
    reportTo("a.jpg");
    run(R"(
        local rows = received[1]
        assert(#received == 1 and rows == made, "the same table")
        assert(table.concat(events, ",") == "add,reload", table.concat(events, ","))
        local row = rows[1]
        assert(row.LogI == "a.jpg" and row.LogDate:timeIntervalSince1970() == 5 and math.type(row.Count) == "integer"
            and row.Ratio == 0.5 and row.Flag == false and row.Null == objc.null and row.Nested[2] == "y")
    )");
    for (char const* name : { "holed", "mixed", "function" })
        reportTo(name);
    run(R"(assert(#received == 1, #received))");
    reportTo("dictionary");
    reportTo("nothing");
    run(R"(assert(#received == 3 and next(received[2]) == nil and next(received[3]) == nil))");

    // The same rows reach a native list converted, as before.
    reportAction(runtime, Value(list), Value(table), ActionLogEntry { "p", "a", "s", "b.jpg", "o", "ip", "op" });
    ASSERT_EQ(list->arrangedObjects().size(), 1u);
    auto const& row = list->arrangedObjects()[0].asDictionary();
    EXPECT_EQ(row.at("LogI"), Value("b.jpg"));
    EXPECT_EQ(row.at("Count"), Value(3));
    EXPECT_EQ(row.at("Nested"), Value(Array { Value("x"), Value("y") }));
}

// An error in the log list's addObjects: names that method and stops the redraw; the caller goes on.
TEST_F(ActionLogFixture, AFailingScriptLogListIsNamedAndSkipsTheRedraw)
{
    run(R"(
        reloads = 0
        local Log = objc.defineClass("myAppLog")
        function Log.hLogMyActions_______(cls, p, a, s, i) return { { LogI = i } } end
        local List = objc.defineClass("FailingList")
        function List.addObjects_(self, rows) error("cannot append " .. rows[1].LogI) end
        function List.reloadData(self) reloads = reloads + 1 end
        failing = List:new()
    )");
    Value failing = global("failing");
    std::string const logged = (dir / "system.log").string();
    ASSERT_TRUE(setSystemLogFile(logged));
    reportAction(runtime, failing, failing, ActionLogEntry { "p", "a", "s", "x.jpg", "o", "ip", "op" });
    (void)setSystemLogFile("");
    run(R"(assert(reloads == 0))");
    EXPECT_NE(readFile(dir / "system.log").find("-[FailingList addObjects:]: "), std::string::npos);
    EXPECT_NE(readFile(dir / "system.log").find("cannot append x.jpg"), std::string::npos);
}
