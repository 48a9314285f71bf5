// Every way native code enters a script: the launch of the delegate, queued functions, script class
// methods, panels and alerts. They are protected calls whose traceback comes from the C API, so nothing a
// script does to its globals breaks them, and a delegate that cannot be launched is named.

#include "lua/LuaCall.h"
#include "support/ScriptBundle.h"

#include <filesystem>
#include <gtest/gtest.h>

using namespace quodrix;
using namespace quodrix::test;
namespace fs = std::filesystem;

TEST(HostEntries, ScriptsThatRemoveDebugAreStillCalledWithTracebacks)
{
    ScriptBundle bundle;
    bundle.addScript("10_app.lua", R"(
        debug = nil
        local Greeter = objc.defineClass("Greeter")
        function Greeter.greet_(cls, name) return "hello " .. name end
        function Greeter.fail(cls) error("greeting failed") end
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

// A log list sees the cause of the row it is given, and only of that row: a failure recorded for an earlier
// row, or by a message the callback sends, never shows on a later one.
TEST(HostEntries, EachReportedRowHasItsOwnCause)
{
    ScriptBundle bundle;
    TempDir dir;
    writeFile(dir / "in/a.txt", "a");
    writeFile(dir / "in/b.txt", "b");
    writeFile(dir / "out/aX.txt", "taken");
    auto r = bundle.runScript(R"(
        myAppLog = objc.defineClass("myAppLog")
        function myAppLog.hLogMyActions_______(cls, p, action, status, i, o, ip, op)
          return { { LogStatus = status, LogI = i, Cause = objc.rowFailure() } }
        end
        Printer = objc.defineClass("Printer")
        function Printer.addObjects_(self, rows)
          for _, row in ipairs(rows) do
            print(row.LogStatus, row.LogI, tostring(row.Cause), tostring(objc.rowFailure()))
          end
          -- A message that fails inside the callback is not the next row's cause.
          objc.cToolBox:hStoreFiles2__("/nonexistent/x", "/nonexistent/y")
        end
        local c = objc.ocFileRename:alloc():init()
        local function field(text) local f = objc.NSTextField:new(); f:setStringValue_(text); return f end
        c:setValue_forKey_(Printer:new(), "theLogDataArrayController")
        c:setValue_forKey_(field(objc.arguments[2] .. "/out/"), "tfFileRenameDestination")
        c:setValue_forKey_(field("X"), "tfInsertionString")
        c:setValue_forKey_(field("1"), "tfInsertionPosition")
        c:setValue_forKey_(objc.NSButton:new(), "btnOverwrite")
        objc.panels.open = function() return { objc.arguments[2] .. "/in/a.txt", objc.arguments[2] .. "/in/b.txt" } end
        c:hChooseFileToRenameInsert_(nil)
        print(objc.rowFailure())
        objc.NSApp:terminate_(nil)
    )", { dir.str() });
    EXPECT_EQ(r.status, 0) << r.err;
    std::string const cause = dir.str() + "/in/a.txt to " + dir.str() + "/out/aX.txt: would replace an existing item";
    EXPECT_EQ(r.out.substr(0, r.out.find("\nsuccessfull")), "Failed\ta.txt\t" + cause + "\t" + cause) << r.out;
    EXPECT_NE(r.out.find("\nsuccessfull\tb.txt\tnil\tnil\nnil\n"), std::string::npos) << r.out;
}

TEST(HostEntries, SystemLogFileItemKindsAndTemporaryFolders)
{
    ScriptBundle bundle;
    TempDir dir;
    writeFile(dir / "f", "");
    fs::create_directory_symlink(dir.path(), dir / "link");
    auto r = bundle.runScript(R"(
        local dir = objc.arguments[2]
        print(objc.itemKind(dir), objc.itemKind(dir .. "/f"), objc.itemKind("/dev/null"), objc.itemKind(dir .. "/none"),
          objc.itemKind(""))
        -- A folder reads as one exactly when cToolBox lists it, also through a link.
        local kinds = {}
        for _, path in ipairs({ dir, dir .. "/f", "/dev/null", dir .. "/none", "", dir .. "/link", dir .. "/f/" }) do
          local listed = objc.cToolBox:hGetFilesInDir_(path) ~= nil
          kinds[#kinds + 1] = tostring(objc.readsFolder(path)) .. (listed == objc.readsFolder(path) and "" or "!")
        end
        print(table.concat(kinds, " "))
        print(objc.systemLogTo(dir .. "/none/x.log"), objc.systemLogTo(dir .. "/system.log"))
        objc.cToolBox:hStoreFiles2__(dir .. "/none", dir .. "/g")
        local t = objc.makeTemporaryFolder("demo-")
        print(t:sub(1, #objc.paths.temporary + 6) == objc.paths.temporary .. "/demo-", objc.itemKind(t))
        print(objc.removeTemporaryFolder(t), objc.itemKind(t))
        print(pcall(objc.removeTemporaryFolder, dir))
        print(pcall(objc.removeTemporaryFolder, objc.paths.temporary .. "/../x"))
        print(pcall(objc.makeTemporaryFolder, "a/b"))
        objc.NSApp:terminate_(nil)
    )", { dir.str() });
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    std::string const temporary = (bundle.home() / "Temp").string();
    EXPECT_EQ(r.out,
        "folder\tfile\tother\tnil\tnil\ntrue false false false false true false\n"
        "false\ttrue\ntrue\tfolder\ntrue\tnil\nfalse\tobjc.removeTemporaryFolder: "
            + dir.str() + " is not inside " + temporary + "\nfalse\tobjc.removeTemporaryFolder: " + temporary
            + "/../x is not inside " + temporary + "\nfalse\tobjc.makeTemporaryFolder: the prefix is not part of one name\n");
    EXPECT_EQ(readFile(dir / "system.log").rfind("hStoreFiles2::: ", 0), 0u);
    EXPECT_TRUE(fs::exists(dir.path()));
}

// objc.firstFileIn gives, without a URL for every item, the file that the URLs of hGetFilesInDir: give
// first: the way the list command picked its file before, written out in Lua below, is the reference.
TEST(HostEntries, FirstFileInIsTheFirstFileThatTheFolderListingGives)
{
    ScriptBundle bundle;
    TempDir dir;
    for (char const* name : { "b.jpg", "B.jpg", "a b%20c.jpg", "\xc3\xa9t\xc3\xa9.png", "\xff raw", "-dash", "10",
             "9", ".hidden" })
        writeFile(dir / name, "x");
    fs::create_directory(dir / "0 folder");
    fs::create_directory(dir / "only folders");
    fs::create_directory(dir / "only folders" / "inner");
    fs::create_directory_symlink(dir / "0 folder", dir / "+ link to a folder");
    fs::create_directory(dir / "empty");
    bundle.setWorkingFolder(dir.path());
    RunResult const r = bundle.runScript(R"(
        local dir = objc.arguments[2]
        local function byUrls(folder)
          local names = {}
          for _, url in ipairs(objc.cToolBox:hGetFilesInDir_(folder) or {}) do
            if url:absoluteString():sub(-1) ~= "/" then names[#names + 1] = url:path() end
          end
          table.sort(names)
          return names[1]
        end
        for _, folder in ipairs({ dir, dir .. "/", dir .. "/./", dir .. "//", dir .. "/0 folder/..", ".", "./",
            dir .. "/only folders", dir .. "/empty", dir .. "/none", dir .. "/b.jpg", "" }) do
          local first = objc.firstFileIn(folder)
          print(first == byUrls(folder), first)
        end
        objc.NSApp:terminate_(nil)
    )", { dir.str() });
    ASSERT_EQ(r.status, 0) << r.err;
    // A link to a folder is listed as an item that is not a folder ("+" comes before "-").
    std::string const first = "/+ link to a folder\n";
    // The folder keeps its spelling, as the URLs keep it; a relative one is made absolute.
    EXPECT_EQ(r.out, "true\t" + dir.str() + first + "true\t" + dir.str() + first + "true\t" + dir.str() + "/."
        + first + "true\t" + dir.str() + "/" + first + "true\t" + dir.str() + "/0 folder/.." + first + "true\t"
        + dir.str() + "/." + first + "true\t" + dir.str() + "/." + first
        + "true\tnil\ntrue\tnil\ntrue\tnil\ntrue\tnil\ntrue\tnil\n");
    // Without the link, the first plain file.
    fs::remove(dir / "+ link to a folder");
    RunResult const plain = bundle.runScript("print(objc.firstFileIn(objc.arguments[2])) objc.NSApp:terminate_(nil)",
        { dir.str() });
    EXPECT_EQ(plain.out, dir.str() + "/-dash\n") << plain.err;
}

// objc.displayed shows names in rows: it must give, byte for byte, what the rule written out in Lua below
// gives (every valid UTF-8 character that is not a control character as it is, tab and newline named,
// anything else as \xHH), for chosen cases and for many random byte strings.
TEST(HostEntries, DisplayedNamesFollowTheRowRuleForEveryByteString)
{
    ScriptBundle bundle;
    auto r = bundle.runScript(R"(
        local named = { ["\t"] = "\\t", ["\n"] = "\\n" }
        local function rule(text)
          local parts, i = {}, 1
          while i <= #text do
            local char = text:match("^[\xC2-\xF4][\x80-\xBF]*", i)
            local code = char and utf8.len(char) == 1 and utf8.codepoint(char)
            if code and (code < 0x80 or code > 0x9F) then
              parts[#parts + 1] = char
              i = i + #char
            else
              local byte = text:sub(i, i)
              if byte:byte() >= 0x80 or byte:find("%c") then
                parts[#parts + 1] = named[byte] or string.format("\\x%02X", byte:byte())
              else
                parts[#parts + 1] = byte
              end
              i = i + 1
            end
          end
          return table.concat(parts)
        end
        local chosen = { "", "plain.jpg", "a\tb\nc\rd\0e\127f", "caf\xC3\xA9", "caf\xC3\xA9\x80", "\xC3", "\xC0\x80",
          "\xE0\x80\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xF0\x9F\x98\x80.png", "\xF5\x80", "\xFF\xFE", "\xC2\xA0",
          "\xC2\x9B" .. "2J\xC2\x85" }
        for _, text in ipairs(chosen) do print(objc.displayed(text)) end
        local mismatches = 0
        local function check(text)
          if objc.displayed(text) ~= rule(text) then
            mismatches = mismatches + 1
            if mismatches < 5 then io.stderr:write(string.format("%q\n", text)) end
          end
        end
        math.randomseed(7)
        local pieces = { "a", "\t", "\n", "\x7F", "\xC3", "\xA9", "\x80", "\xE2\x82\xAC", "\xF0\x9F", "\x98\x80", "\xED", "\xF4" }
        for n = 1, 20000 do
          local parts = {}
          for k = 1, math.random(0, 8) do
            if math.random(2) == 1 then parts[k] = pieces[math.random(#pieces)] else parts[k] = string.char(math.random(0, 255)) end
          end
          check(table.concat(parts))
        end
        -- Every byte at every place of a longer name, read eight bytes at a time while it is plain.
        for byte = 0, 255 do
          for at = 1, 17 do
            check(("abcdefghijklmnopq"):sub(1, at - 1) .. string.char(byte) .. ("rstuvwxyz0123456"):sub(at))
          end
        end
        print(mismatches, App == nil)
        objc.NSApp:terminate_(nil)
    )");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out,
        "\nplain.jpg\na\\tb\\nc\\x0Dd\\x00e\\x7Ff\ncaf\xC3\xA9\ncaf\\xC3\\xA9\\x80\n\\xC3\n\\xC0\\x80\n\\xE0\\x80\\xAF\n"
        "\\xED\\xA0\\x80\n\\xF4\\x90\\x80\\x80\n\xF0\x9F\x98\x80.png\n\\xF5\\x80\n\\xFF\\xFE\n\xC2\xA0\n"
        "\\xC2\\x9B2J\\xC2\\x85\n0\ttrue\n");
}

// objc.printRow and objc.logRow make the printed row and the log file's row of every command: for fields of
// every kind (nil, false, numbers, tables, tabs, line ends, bytes that are not UTF-8) they must give exactly
// what the rows written out in Lua below give.
TEST(HostEntries, PrintedAndLoggedRowsFollowTheirRulesForFieldsOfEveryKind)
{
    ScriptBundle bundle;
    TempDir dir;
    auto r = bundle.runScript(R"(
        local log = objc.arguments[2] .. "/log.txt"
        local named = { ["\t"] = "\\t", ["\n"] = "\\n", ["\r"] = "\\r" }
        local function displayed(text) return objc.displayed(tostring(text or "")) end
        local function clean(field) return (tostring(field or ""):gsub("[\t\r\n]", named)) end
        local fields = { "a.jpg", "tab\there", "line\nend\r", "caf\xC3\xA9", "\xFF\xFE", 12, 0.5, true, false }
        local expected, printed = { "head\n" }, {}
        for i = 1, #fields + 2 do
          local a, b, c, d, e = fields[i], fields[(i % #fields) + 1], fields[((i + 1) % #fields) + 1], fields[i + 3],
            fields[((i + 4) % #fields) + 1]
          for _, shown in ipairs({ true, false }) do
            local show = shown and displayed or tostring
            io.stdout:write(string.format("%s\t%s\t%s\t%s -> %s%s\n", a, b, show(c), show(d), show(e), "\tcause " .. i))
            printed[#printed + 1] = { shown, a, b, c, d, e, "\tcause " .. i }
          end
          assert(objc.logRow(log, "head\n", "2026-12-08 01:02:03", a, b, c, d, e, a, b) == nil)
          expected[#expected + 1] = table.concat({ "2026-12-08 01:02:03", clean(a), clean(b), clean(c), clean(d),
            clean(e), clean(a), clean(b) }, "\t") .. "\n"
        end
        -- A date is written as the local time of its whole second, as os.date writes it.
        local dated, datedExpected = objc.arguments[2] .. "/dated.txt", { "head\n" }
        for _, seconds in ipairs({ 0.5, 86399.25, 1765190399.999, 1765190400, 1765190400, -1.5 }) do
          assert(objc.logRow(dated, "head\n", objc.date(seconds), "p", "i", "a", "o", "s", "ip", "op") == nil)
          datedExpected[#datedExpected + 1] =
            os.date("%Y-%m-%d %H:%M:%S", math.floor(seconds)) .. "\tp\ti\ta\to\ts\tip\top\n"
        end
        assert(not pcall(objc.logRow, dated, "head\n", objc.date(1e300), "p"))
        io.stdout:write("@@@\n")
        for _, row in ipairs(printed) do objc.printRow(table.unpack(row, 1, 7)) end
        assert(objc.flushLogRows() == nil)
        local function contents(path)
          local file = io.open(path, "rb")
          local text = file:read("a")
          file:close()
          return text
        end
        local written = contents(log)
        io.stderr:write(written == table.concat(expected) and "" or "log differs:\n" .. written)
        local datedWritten = contents(dated)
        io.stderr:write(datedWritten == table.concat(datedExpected) and "" or "dated log differs:\n" .. datedWritten)
        io.stdout:flush()
        objc.NSApp:terminate_(nil)
    )", { dir.str() });
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    auto const separator = r.out.find("@@@\n");
    ASSERT_NE(separator, std::string::npos) << r.out;
    std::string const expected = r.out.substr(0, separator), printed = r.out.substr(separator + 4);
    EXPECT_EQ(printed, expected);
    EXPECT_NE(expected.find("\ttab\\there\t"), std::string::npos) << expected;
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
