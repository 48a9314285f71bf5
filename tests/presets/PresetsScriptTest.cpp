// The presets store as scripts reach it: every selector, the failure reports as Lua errors, the fields, and
// the `quodrix presets` command of the bundled application.

#include "presets/PresetsTestSupport.h"

#include <algorithm>
#include <gtest/gtest.h>

using namespace quodrix::test;

namespace {

std::string const kPrelude = R"(
local function sel(name, part, count)
  local s = name
  for p = 0, count - 1 do s = s .. part(p) end
  return s
end
CREATE = sel("createTableNamed:", function(p) return "withField" .. p .. ":" end, 62)
INSERT = sel("insertRecordIntoTableNamed:", function(p) return "withField" .. p .. ":field" .. p .. "Value:" end, 62)
function values(prefix)
  local v = {}
  for p = 0, 61 do v[#v + 1] = prefix .. p end
  return v
end
)";

RunResult runLua(ScriptBundle& bundle, std::string const& body)
{
    return bundle.runScript(kPrelude + body + "\nobjc.NSApp:terminate_(nil)\n");
}

}

TEST(PresetsScripts, EverySelectorIsThere)
{
    ScriptBundle bundle;
    auto r = runLua(bundle, R"(
        local db = objc.dbViewController:new()
        local selectors = { "dbFilePath", "openmyPresetsDb", CREATE, INSERT, "linkToPresetsDB", "creatTableIfNotExist",
          "myPresetValueStr", "setMyPresetValueStr:", "insertSortingPresetToDB01:" .. string.rep(":", 61),
          "insertHTMLPresetToDB01:" .. string.rep(":", 61), "insertSortingPresetToDB02:" .. string.rep(":", 61),
          "insertSortingPresetToDB", "getAllRowsFromTableNamed:", "checkPresetNameFromTableNamed:::",
          "removePresetFromDatabase:::", "checkForActionType:::", "hSaveSecurityScopedBookmarks:",
          "hGetBookMarkedFolders::::::", "SaveImagesToSql::", "LoadImagesFromSql:" }
        local missing = 0
        for _, s in ipairs(selectors) do
          if not db:respondsToSelector_(s) then print("missing " .. s); missing = missing + 1 end
        end
        local b = objc.QDbookmarks:new()
        print(missing, #CREATE, #INSERT, b:respondsToSelector_("bookmarkForURL:"), b:respondsToSelector_("urlForBookmark:"))
    )");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "0\t751\t1557\ttrue\ttrue\n");
}

TEST(PresetsScripts, TheLongSelectorsWriteAndTheFailuresAreCatchableErrors)
{
    ScriptBundle bundle;
    auto r = runLua(bundle, R"(
        local db = objc.dbViewController:new()
        db:linkToPresetsDB()
        local v = values("w")
        local args = { "Presets" }
        local names = values("StrField")
        names[1], names[2], names[3] = "NameOfPreset", "Process", "Action"
        for p = 1, 62 do args[#args + 1] = names[p]; args[#args + 1] = v[p] end
        db:send(INSERT, table.unpack(args))
        db:send("insertHTMLPresetToDB01:" .. string.rep(":", 61), table.unpack(values("h")))
        print(#db:checkForActionType___("Presets", "Process", "w1"), db:checkForActionType___("Presets", "Process", "h1")[1]:sub(1, 12))

        args[1] = "NoSuchTable"
        local ok, message = pcall(function() db:send(INSERT, table.unpack(args)) end)
        print(ok, message)
        ok, message = pcall(function() db:send(CREATE, "T", table.unpack(values("c"))) end)
        print(ok, message:sub(-31))
        db:openmyPresetsDb()
        db:send(CREATE, "T", table.unpack(values("c")))
        print(#db:checkForActionType___("T", "c0", "x"))
        local ok2, m2 = pcall(function() db:send("insertSortingPresetToDB02:" .. string.rep(":", 61), table.unpack(values("x"))) end)
        print(ok2)
    )");
    EXPECT_EQ(r.status, 0) << r.err;
    std::string insertFailure = "dbViewController insertRecordIntoTableNamed:withField0:field0Value:";
    EXPECT_NE(r.out.find("false\t" + insertFailure), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("withField61:field61Value:: Error updating table.\n"), std::string::npos) << r.out;
    EXPECT_TRUE(r.out.starts_with("1\th0|h1|h2|h3|\n")) << r.out;
    EXPECT_TRUE(r.out.ends_with("false\tPresets Table failed to create.\n0\ntrue\n")) << r.out;
}

TEST(PresetsScripts, FieldsAfterEachOperation)
{
    ScriptBundle bundle;
    auto r = runLua(bundle, R"(
        local db = objc.dbViewController:new()
        print(db:myPresetValueStr(), db:valueForKey_("myPresetExist"), db:valueForKey_("myPresetsArray"))
        db:linkToPresetsDB()
        print(db:removePresetFromDatabase___("Presets", "NameOfPreset", "none"), db:valueForKey_("myPresetExist"))
        db:checkForActionType___("AppResource", "StrField0", "appSys")
        print(#db:valueForKey_("myPresetsArray"), #db:valueForKey_("myPresetsArrayToPass"))
        local found = db:hGetBookMarkedFolders______("AppBookmarks", "StrField0", "myAppDestBookmark", "StrField1", "", "*")
        print(found:length(), tostring(db:valueForKey_("mySearchValue4")) == tostring(found))
        print(pcall(function() db:setValue_forKey_("x", "myPresetExist") end))
        print(db:send("checkPresetNameFromTableNamed:::", "Presets", "NameOfPreset", "nobody"))
    )");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
        "nil\tnil\tnil\n"
        "preset removed\tpreset removed\n"
        "1\t1\n"
        "17\ttrue\n"
        "false\t-[dbViewController setValue:forKey:]: myPresetExist is kept by the store's own operations\n"
        "nil\n");
}

TEST(PresetsScripts, BookmarksThroughTheBridge)
{
    ScriptBundle bundle;
    auto r = runLua(bundle, R"(
        local b = objc.QDbookmarks:new()
        local home = objc.cToolBox:hGetHomeDir()
        local data = b:bookmarkForURL_(objc.fileURL(home))
        print(b:urlForBookmark_(data):path() == home, b:urlForBookmark_("not a bookmark"), b:urlForBookmark_(nil))
        print(b:bookmarkForURL_(objc.fileURL(home .. "/missing")), b:bookmarkForURL_(nil))
        print(pcall(function() return b:bookmarkForURL_(home) end))
    )");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "true\tnil\tnil\nnil\tnil\n"
                     "false\t-[QDbookmarks bookmarkForURL:]: argument 1 must be a URL, not string\n");
}

TEST(PresetsCommand, SaveShowCheckRemoveByNameAndField)
{
    ScriptBundle bundle(true);
    auto saved = bundle.run({ "presets", "save", "Holiday", "text=2026-", "positions=0;4", "move=1", "field10=ten",
        "field30=7" });
    EXPECT_EQ(saved.status, 0) << saved.err;
    EXPECT_EQ(saved.out, "saved Holiday\n");
    std::string const shown = "name=Holiday\nprocess=File renaming\naction=Insert\ntext=2026-\npositions=0;4\ndest=\n"
                              "separator=;\nsimulate=0\nmove=1\nfield10=ten\nfield30=7\n";
    auto show = bundle.run({ "presets", "show", "Holiday" });
    EXPECT_EQ(show.status, 0) << show.err;
    EXPECT_EQ(show.out, shown);

    // The whole row, as `list` prints it: every field left out has its default.
    std::string line = "Holiday|File renaming|Insert|2026-|0;4||;";
    for (int column = 8; column <= 62; ++column) {
        std::string value = column >= 22 && column <= 42 ? "0" : "";
        if (column == 23) value = "1";
        if (column == 11) value = "ten";
        if (column == 31) value = "7";
        line += "|" + value;
    }
    auto listed = bundle.run({ "presets", "list", "Insert" });
    EXPECT_EQ(listed.status, 0) << listed.err;
    EXPECT_EQ(listed.out, line + "\n");
    EXPECT_EQ(bundle.run({ "presets", "list", "Other" }).out, "");

    // A name that exists is refused, and nothing changes; --replace replaces it.
    auto twice = bundle.run({ "presets", "save", "Holiday", "text=other" });
    EXPECT_EQ(twice.status, 1);
    EXPECT_EQ(twice.out, "");
    EXPECT_EQ(twice.err, "quodrix presets: a preset named Holiday exists; nothing changed (--replace replaces it)\n");
    EXPECT_EQ(bundle.run({ "presets", "show", "Holiday" }).out, shown);
    auto replaced = bundle.run({ "presets", "save", "--replace", "Holiday", "action=Rename", "separator=tab" });
    EXPECT_EQ(replaced.status, 0) << replaced.err;
    EXPECT_EQ(bundle.run({ "presets", "show", "Holiday" }).out,
        "name=Holiday\nprocess=File renaming\naction=Rename\ntext=\npositions=0\ndest=\nseparator=tab\nsimulate=0\n"
        "move=0\n");
    EXPECT_EQ(bundle.run({ "presets", "list", "Insert" }).out, "");

    auto checked = bundle.run({ "presets", "check", "Holiday" });
    EXPECT_EQ(checked.out, "Holiday\n");
    EXPECT_EQ(checked.status, 0);
    // A missing name: a clear answer and 1, for check, show and remove alike.
    for (auto const& action : { "check", "show", "remove" }) {
        auto missing = bundle.run({ "presets", action, "holiday" });
        EXPECT_EQ(missing.status, 1) << action;
        EXPECT_EQ(missing.out, "") << action;
        EXPECT_EQ(missing.err, "quodrix presets: no preset named holiday\n") << action;
    }
    auto removed = bundle.run({ "presets", "remove", "Holiday" });
    EXPECT_EQ(removed.out, "preset removed\n");
    EXPECT_EQ(removed.status, 0);
    EXPECT_EQ(bundle.run({ "presets", "list", "Rename" }).out, "");
    EXPECT_EQ(bundle.run({ "presets", "remove", "Holiday" }).status, 1);
    EXPECT_TRUE(std::filesystem::exists(bundle.home() / ".local/share/BriskloCom/QuodrixPresets.sql"));

    // The fields are documented where the command is.
    auto help = bundle.run({ "presets", "--help" });
    EXPECT_NE(help.out.find("  positions   the positions, separated by \";\" (insert) (default \"0\")\n"), std::string::npos)
        << help.out;
}

// The application itself may save a text with a line break or an escape: list and show keep each preset and
// each field on its line, and nothing reaches the terminal as a control.
TEST(PresetsCommand, StoredControlCharactersAreShownEscaped)
{
    ScriptBundle bundle(true);
    ASSERT_EQ(bundle.run({ "presets", "save", "Odd", "text=a" }).status, 0);
    execute(bundle.home() / ".local/share/BriskloCom/QuodrixPresets.sql",
        "update Presets set StrField3 = 'two' || char(10) || 'lines' || char(27) || '[2J' where NameOfPreset = 'Odd'");
    auto listed = bundle.run({ "presets", "list", "Insert" });
    EXPECT_EQ(listed.status, 0) << listed.err;
    EXPECT_EQ(listed.out.rfind("Odd|File renaming|Insert|two\\nlines\\x1B[2J|0|", 0), 0u) << listed.out;
    EXPECT_EQ(std::count(listed.out.begin(), listed.out.end(), '\n'), 1);
    auto show = bundle.run({ "presets", "show", "Odd" });
    EXPECT_EQ(show.out.substr(0, 68), "name=Odd\nprocess=File renaming\naction=Insert\ntext=two\\nlines\\x1B[2J\n");
}

// A word of a fixed set typed in another case is stored as the set writes it, which the application reads.
TEST(PresetsCommand, AFixedWordInAnotherCaseIsStoredAsTheSetWritesIt)
{
    ScriptBundle bundle(true);
    ASSERT_EQ(bundle.run({ "presets", "save", "Tabbed", "separator=TAB" }).status, 0);
    EXPECT_NE(bundle.run({ "presets", "show", "Tabbed" }).out.find("\nseparator=tab\n"), std::string::npos);
}

TEST(PresetsCommand, BadInputAndFailures)
{
    ScriptBundle bundle(true);
    struct Case {
        std::vector<std::string> line;
        std::string message;
    };
    std::vector<Case> const cases {
        { { "presets", "save", "P", "colour=red" }, "quodrix presets: unknown field colour\n" },
        { { "presets", "save", "P", "text" }, "quodrix presets: a field is KEY=VALUE: text\n" },
        { { "presets", "save", "P", "move=yes" }, "quodrix presets: move=yes: not one of 0, 1\n" },
        { { "presets", "save", "P", "field25=x" }, "quodrix presets: field25=x: not a whole number\n" },
        { { "presets", "save", "P", "field62=x" }, "quodrix presets: unknown field field62\n" },
        { { "presets", "save", "P", "text=a|b" }, "quodrix presets: text holds \"|\"\n" },
        { { "presets", "save", "P\nQ" }, "quodrix presets: the name holds a line break\n" },
        { { "presets", "save", "P", "dest=/a\r" }, "quodrix presets: dest holds a line break\n" },
        { { "presets", "save", "P\xFF" }, "quodrix presets: the name is not UTF-8 text\n" },
        { { "presets", "save", "P", "text=\xC3(" }, "quodrix presets: text is not UTF-8 text\n" },
        { { "presets", "save", "" }, "quodrix presets: a preset needs a name\n" },
        { { "presets", "show", "--replace", "P" }, "quodrix presets: --replace is for save\n" },
    };
    for (auto const& c : cases) {
        auto r = bundle.run(c.line);
        EXPECT_EQ(r.status, 2) << c.message;
        EXPECT_EQ(r.err.substr(0, r.err.find('\n') + 1), c.message);
    }
    EXPECT_EQ(bundle.run({ "presets", "check", "P" }).status, 1);

    // A support folder that can't be made: the store's failure report with its cause.
    writeFile(bundle.root() / "blocker", "");
    auto failed = bundle.run({ "presets", "list", "x" }, { { "XDG_DATA_HOME", (bundle.root() / "blocker").string() } });
    EXPECT_EQ(failed.status, 1);
    EXPECT_EQ(failed.err,
        "quodrix presets: dbViewController openmyPresetsDb: Presets Db failed to open. (open the presets store "
            + (bundle.root() / "blocker").string() + "/BriskloCom/QuodrixPresets.sql: unable to open database file)\n");
}

// A replacing save whose write fails, as every write of the store does, leaves the preset it was to replace
// as it was; replacing saves at once leave one preset; a failed removal names its cause.
TEST(PresetsCommand, AReplacingSaveThatFailsKeepsThePresetItReplaces)
{
    ScriptBundle bundle(true);
    auto dbPath = bundle.home() / ".local/share/BriskloCom/QuodrixPresets.sql";
    ASSERT_EQ(bundle.run({ "presets", "save", "Holiday", "text=kept" }).status, 0);
    execute(dbPath,
        "CREATE TRIGGER refuse BEFORE INSERT ON Presets BEGIN SELECT RAISE(ABORT, 'refused by a trigger'); END");
    auto r = bundle.run({ "presets", "save", "--replace", "Holiday", "process=blocked" });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "quodrix presets: Holiday was not saved: write a row of Presets: refused by a trigger\n");
    auto show = bundle.run({ "presets", "show", "Holiday" });
    EXPECT_EQ(show.status, 0) << show.err;
    EXPECT_NE(show.out.find("\nprocess=File renaming\naction=Insert\ntext=kept\n"), std::string::npos) << show.out;
    EXPECT_EQ(rowCount(dbPath, "Presets"), 1);

    execute(dbPath, "DROP TRIGGER refuse");
    std::string const q = "HOME='" + bundle.home().string() + "' '" + std::string(QUODRIX_EXECUTABLE) + "' ";
    std::string saves;
    for (int i = 0; i < 8; ++i)
        saves += q + "presets save --replace Holiday text=" + std::to_string(i) + " >/dev/null & ";
    runCommand(saves + "wait");
    EXPECT_EQ(rowCount(dbPath, "Presets"), 1);

    // A removal that fails says why, not that there is no such preset.
    execute(dbPath, "CREATE TRIGGER keep BEFORE DELETE ON Presets BEGIN SELECT RAISE(ABORT, 'kept by a trigger'); END");
    r = bundle.run({ "presets", "remove", "Holiday" });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "quodrix presets: Holiday was not removed: remove a row of Presets: kept by a trigger\n");
}

// A store file left empty by a run killed while it made the store used to make every later save fail and
// every list print nothing with status 0, for good.
TEST(PresetsCommand, AnEmptyOrIncompleteStoreFileIsCompletedOnUse)
{
    ScriptBundle bundle(true);
    auto dbPath = bundle.home() / ".local/share/BriskloCom/QuodrixPresets.sql";
    std::string line = "Holiday|Sorting|ByDate|t|0||;";
    for (int column = 8; column <= 62; ++column)
        line += column >= 22 && column <= 42 ? "|0" : "|";

    writeFile(dbPath, "");
    auto listed = bundle.run({ "presets", "list", "ByDate" });
    EXPECT_EQ(listed.status, 0) << listed.err;
    auto saved = bundle.run({ "presets", "save", "Holiday", "process=Sorting", "action=ByDate", "text=t" });
    EXPECT_EQ(saved.status, 0) << saved.err;
    listed = bundle.run({ "presets", "list", "ByDate" });
    EXPECT_EQ(listed.status, 0) << listed.err;
    EXPECT_EQ(listed.out, line + "\n");

    // Tables dropped behind the store's back come back; the rows of those that stayed are kept.
    execute(dbPath, "DROP TABLE AppResource; DROP TABLE AppBookmarks");
    listed = bundle.run({ "presets", "list", "ByDate" });
    EXPECT_EQ(listed.out, line + "\n");
    EXPECT_EQ(rowCount(dbPath, "AppResource"), 1);
}

TEST(PresetsCommand, AFileThatIsNotADatabaseFailsWithSqlitesMessageAndStaysAsItWas)
{
    ScriptBundle bundle(true);
    auto dbPath = bundle.home() / ".local/share/BriskloCom/QuodrixPresets.sql";
    std::string const notes = "not a database, but something of the user's\n" + std::string(2000, 'n');
    writeFile(dbPath, notes);
    auto listed = bundle.run({ "presets", "list", "ByDate" });
    EXPECT_EQ(listed.status, 1);
    EXPECT_NE(listed.err.find("Presets Db failed to open."), std::string::npos) << listed.err;
    EXPECT_NE(listed.err.find("file is not a database"), std::string::npos) << listed.err;
    auto r = bundle.runScript(R"(
        local store = objc.dbViewController:new()
        print(pcall(function() store:linkToPresetsDB() end))
        print(objc.lastFailure())
        print(#store:checkForActionType___("Presets", "Action", "x"), objc.lastFailure())
    )", { "version" });  // the bundled application then runs a command that does not touch the store
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Presets Db failed to open."), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("QuodrixPresets.sql: file is not a database\n0\tread the table Presets: file is not a database\n"),
        std::string::npos)
        << r.out;
    EXPECT_EQ(readFile(dbPath), notes);
}
