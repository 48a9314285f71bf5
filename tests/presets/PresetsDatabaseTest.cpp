// The presets database file: where it lives, first-use creation, the schema SQLite keeps, table creation,
// the row writer, keys, the failure reports and the connection left behind by each operation.

#include "core/BridgeError.h"
#include "presets/PresetsTestSupport.h"
#include "presets/dbViewController.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace quodrix;
using namespace quodrix::test;
using quodrix::presets::ColumnNames;
using quodrix::presets::PresetRecord;

namespace {

// "description (method) in file", or "no error".
template<typename F>
std::string raised(F&& operation, std::string* method = nullptr)
{
    try {
        operation();
    } catch (RaisedError const& e) {
        if (method)
            *method = e.method();
        return e.description() + " in " + e.file();
    }
    return "no error";
}

// The create statement as the application's own statement text writes it.
std::string createText(std::string const& table, ColumnNames const& names)
{
    std::string sql = "Create table if not exists '" + table + "' (ID INTEGER PRIMARY KEY AUTOINCREMENT, ";
    for (int p = 0; p < 62; ++p)
        sql += (p ? ", '" : "'") + names[p] + "' " + (p >= 21 && p <= 41 ? "Integer" : "Text");
    return sql + ");";
}

ColumnNames names(std::string const& first3a, std::string const& first3b, std::string const& first3c)
{
    ColumnNames n;
    for (int p = 0; p < 62; ++p)
        n[p] = "StrField" + std::to_string(p);
    n[0] = first3a;
    n[1] = first3b;
    n[2] = first3c;
    return n;
}

std::string const kExpectedPresetsSchema = [] {
    std::string sql = "CREATE TABLE 'Presets' (ID INTEGER PRIMARY KEY AUTOINCREMENT, 'NameOfPreset' Text, "
                      "'Process' Text, 'Action' Text";
    for (int p = 3; p < 62; ++p)
        sql += ", 'StrField" + std::to_string(p) + "' " + (p >= 21 && p <= 41 ? "Integer" : "Text");
    return sql + ")";
}();

class PresetsDatabase : public ::testing::Test {
protected:
    PresetsHome home;
    dbViewController db;
};

}

TEST_F(PresetsDatabase, PathIsInTheSupportFolderWhichEachCallMakes)
{
    std::string path = db.dbFilePath();
    EXPECT_EQ(path, home.support().string() + "/BriskloCom/QuodrixPresets.sql");
    EXPECT_TRUE(std::filesystem::is_directory(home.folder()));
    EXPECT_FALSE(std::filesystem::exists(home.dbPath()));
    std::filesystem::remove(home.folder());
    EXPECT_EQ(db.dbFilePath(), path);
    EXPECT_TRUE(std::filesystem::is_directory(home.folder()));
}

TEST_F(PresetsDatabase, FirstUseMakesTheFileTablesAndSeedRowsAndClosesItsConnection)
{
    db.linkToPresetsDB();
    EXPECT_FALSE(db.hasOpenConnection());
    EXPECT_EQ(query(home.dbPath(), "SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY rowid"),
        (std::vector<std::string> { "Presets", "sqlite_sequence", "AppResource", "AppBookmarks" }));
    EXPECT_EQ(query(home.dbPath(), "SELECT sql FROM sqlite_master WHERE name = 'Presets'").at(0),
        kExpectedPresetsSchema);
    std::string empties(61, '|');
    EXPECT_EQ(query(home.dbPath(), "SELECT * FROM AppResource"), (std::vector<std::string> { "1|appSys" + empties }));
    EXPECT_EQ(query(home.dbPath(), "SELECT * FROM AppBookmarks"),
        (std::vector<std::string> { "1|myAppDestBookmark" + empties }));
    EXPECT_EQ(rowCount(home.dbPath(), "Presets"), 0);
    // The empty seed values are texts, not nulls.
    EXPECT_EQ(query(home.dbPath(), "SELECT typeof(StrField21), typeof(StrField61) FROM AppResource").at(0), "text|text");
}

TEST_F(PresetsDatabase, TheSchemaMatchesADatabaseBuiltByTheShellFromTheStatementTexts)
{
    db.linkToPresetsDB();
    TempDir other;
    std::string script = createText("Presets", names("NameOfPreset", "Process", "Action"))
        + createText("AppResource", names("StrField0", "StrField1", "StrField2"))
        + createText("AppBookmarks", names("StrField0", "StrField1", "StrField2"));
    writeFile(other / "script.sql", script);
    auto r = runCommand("sqlite3 '" + (other / "shell.sql").string() + "' < '" + (other / "script.sql").string() + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    std::string schema = "SELECT type, name, tbl_name, sql FROM sqlite_master ORDER BY rowid";
    EXPECT_EQ(query(home.dbPath(), schema), query(other / "shell.sql", schema));
    // And the shell reads the store's file.
    auto shell = runCommand("sqlite3 '" + home.dbPath().string() + "' 'SELECT StrField0 FROM AppBookmarks'");
    EXPECT_EQ(shell.status, 0);
    EXPECT_EQ(shell.out, "myAppDestBookmark\n");
}

TEST_F(PresetsDatabase, FirstUseLeavesACompleteStoreAlone)
{
    db.linkToPresetsDB();
    execute(home.dbPath(), "INSERT INTO AppResource (StrField0) VALUES ('mine')");
    std::string before = snapshot(home.dbPath(), { "AppResource", "AppBookmarks", "Presets" });
    db.linkToPresetsDB();
    EXPECT_EQ(snapshot(home.dbPath(), { "AppResource", "AppBookmarks", "Presets" }), before);
    EXPECT_FALSE(db.hasOpenConnection());
}

// An empty file is completed on use: PresetsScriptTest.cpp runs that through the presets command.
TEST_F(PresetsDatabase, FirstUseAddsOnlyTheMissingTablesAndTheirSeedRows)
{
    db.linkToPresetsDB();
    db.insertSortingPresetToDB();
    execute(home.dbPath(), "DROP TABLE AppBookmarks");
    std::string presets = snapshot(home.dbPath(), { "Presets", "AppResource" });
    db.linkToPresetsDB();
    EXPECT_EQ(snapshot(home.dbPath(), { "Presets", "AppResource" }), presets);
    EXPECT_EQ(query(home.dbPath(), "SELECT StrField0 FROM AppBookmarks"),
        std::vector<std::string> { "myAppDestBookmark" });

    // A file with another table of its own but none of the store's.
    std::filesystem::remove(home.dbPath());
    writeFile(home.dbPath(), "");
    execute(home.dbPath(), "CREATE TABLE Other (x); INSERT INTO Other VALUES (7)");
    db.linkToPresetsDB();
    EXPECT_EQ(query(home.dbPath(), "SELECT x FROM Other"), std::vector<std::string> { "7" });
    EXPECT_EQ(rowCount(home.dbPath(), "AppResource"), 1);
    EXPECT_EQ(rowCount(home.dbPath(), "Presets"), 0);
}

TEST_F(PresetsDatabase, AFileThatIsNotADatabaseIsNeverWritten)
{
    std::string const text = "these are my notes, not a database\n" + std::string(4096, 'x');
    writeFile(home.dbPath(), text);
    std::string method;
    EXPECT_EQ(raised([&] { db.linkToPresetsDB(); }, &method), "Presets Db failed to open. in dbViewController");
    EXPECT_EQ(method, "openmyPresetsDb");
    ASSERT_TRUE(db.lastFailure());
    EXPECT_EQ(db.lastFailure()->cause, "file is not a database");
    EXPECT_NE(db.lastFailure()->what.find("QuodrixPresets.sql"), std::string::npos);
    EXPECT_EQ(readFile(home.dbPath()), text);
    EXPECT_FALSE(db.hasOpenConnection());

    EXPECT_EQ(raised([&] { db.insertSortingPresetToDB(); }), "Error updating table. in dbViewController");
    EXPECT_EQ(readFile(home.dbPath()), text);

    // A folder at the path is no database either.
    std::filesystem::remove(home.dbPath());
    std::filesystem::create_directory(home.dbPath());
    EXPECT_EQ(raised([&] { db.linkToPresetsDB(); }), "Presets Db failed to open. in dbViewController");
    ASSERT_TRUE(db.lastFailure());
    EXPECT_FALSE(db.lastFailure()->cause.empty());
}

TEST_F(PresetsDatabase, AnOperationBeforeFirstUseFailsWithSqlitesMessageAndFirstUseThenCompletesTheFile)
{
    EXPECT_TRUE(db.checkForActionType("Presets", "Action", "ByHand").empty());
    ASSERT_TRUE(std::filesystem::exists(home.dbPath()));
    ASSERT_TRUE(db.lastFailure());
    EXPECT_EQ(db.lastFailure()->cause, "no such table: Presets");
    EXPECT_EQ(db.lastFailure()->what, "read the table Presets");
    db.linkToPresetsDB();
    EXPECT_EQ(db.checkForActionType("AppResource", "StrField0", "appSys").size(), 1u);
    EXPECT_EQ(db.checkPresetNameFromTableNamed("Presets", "NameOfPreset", "x"), std::nullopt);
    db.insertSortingPresetToDB();
    EXPECT_EQ(db.checkPresetNameFromTableNamed("Presets", "NameOfPreset", "myPresetName"),
        std::optional<std::string>("myPresetName"));
}

TEST_F(PresetsDatabase, CreatingATableWorksOnTheHeldConnectionOnly)
{
    db.linkToPresetsDB();
    std::string method;
    EXPECT_EQ(raised([&] { db.createTableNamed("Extra", presets::resourceColumns()); }, &method),
        "Presets Table failed to create. in dbViewController");
    EXPECT_TRUE(method.starts_with("createTableNamed:withField0:withField1:"));
    EXPECT_TRUE(method.ends_with("withField60:withField61:"));

    db.openmyPresetsDb();
    EXPECT_TRUE(db.hasOpenConnection());
    db.createTableNamed("Extra", presets::resourceColumns());
    EXPECT_TRUE(db.hasOpenConnection());
    std::string before = snapshot(home.dbPath(), { "Presets" });
    db.createTableNamed("Presets", presets::presetsColumns());  // exists: succeeds, changes nothing
    EXPECT_EQ(snapshot(home.dbPath(), { "Presets" }), before);

    // A failed creation closes the connection.
    EXPECT_EQ(raised([&] { db.createTableNamed("sqlite_extra", presets::resourceColumns()); }),
        "Presets Table failed to create. in dbViewController");
    EXPECT_FALSE(db.hasOpenConnection());
}

TEST_F(PresetsDatabase, TheRowWriterAddsRowsWithConsecutiveKeysAndLeavesItsConnectionOpen)
{
    db.linkToPresetsDB();
    PresetRecord values = numberedRecord("x");
    db.insertRecordIntoTableNamed("AppResource", presets::resourceColumns(), values);
    EXPECT_TRUE(db.hasOpenConnection());
    db.insertRecordIntoTableNamed("AppResource", presets::resourceColumns(), values);
    EXPECT_EQ(query(home.dbPath(), "SELECT ID, StrField0, StrField61 FROM AppResource"),
        (std::vector<std::string> { "1|appSys|", "2|x0|x61", "3|x0|x61" }));
}

TEST_F(PresetsDatabase, KeysAreNeverUsedTwice)
{
    db.linkToPresetsDB();
    db.insertPreset(presetRecord("a", "P", "A"));
    db.insertPreset(presetRecord("b", "P", "A"));
    EXPECT_EQ(db.removePresetFromDatabase("Presets", "NameOfPreset", "b"), "preset removed");
    db.insertPreset(presetRecord("c", "P", "A"));
    EXPECT_EQ(query(home.dbPath(), "SELECT ID, NameOfPreset FROM Presets"),
        (std::vector<std::string> { "1|a", "3|c" }));
}

TEST_F(PresetsDatabase, TheIntegerBlockFollowsIntegerAffinity)
{
    db.linkToPresetsDB();
    PresetRecord values = presetRecord("n", "P", "A");
    values[21] = "007";
    values[22] = "";
    values[23] = "12abc";
    values[41] = "-0042";
    values[3] = "007";  // a Text column keeps its text
    db.insertPreset(values);
    EXPECT_EQ(query(home.dbPath(), "SELECT StrField21, StrField22, StrField23, StrField41, StrField3 FROM Presets"),
        (std::vector<std::string> { "7||12abc|-42|007" }));
    auto lines = db.checkForActionType("Presets", "StrField21", "7");
    ASSERT_EQ(lines.size(), 1u);
    values[21] = "7";
    values[41] = "-42";
    EXPECT_EQ(lines[0], joined(values));
    EXPECT_EQ(db.checkForActionType("Presets", "StrField21", "007").size(), 1u);
}

TEST_F(PresetsDatabase, TheBookmarksSeedRowIsFoundUnderBothSpellings)
{
    db.linkToPresetsDB();
    std::string line = "myAppDestBookmark" + std::string(61, '|');
    EXPECT_EQ(db.checkForActionType("AppBookmarks", "StrField0", "myAppDestBookmark"), std::vector<std::string> { line });
    EXPECT_EQ(db.checkForActionType("AppBookMarks", "StrField0", "myAppDestBookmark"), std::vector<std::string> { line });
}

TEST_F(PresetsDatabase, AWriteToAMissingColumnOrTableReportsAndWritesNothing)
{
    db.linkToPresetsDB();
    std::string before = snapshot(home.dbPath(), { "Presets", "AppResource", "AppBookmarks" });
    ColumnNames columns = presets::resourceColumns();
    columns[5] = "NoSuchColumn";
    std::string method;
    EXPECT_EQ(raised([&] { db.insertRecordIntoTableNamed("AppResource", columns, numberedRecord("x")); }, &method),
        "Error updating table. in dbViewController");
    EXPECT_TRUE(method.starts_with("insertRecordIntoTableNamed:withField0:field0Value:withField1:field1Value:"));
    EXPECT_TRUE(method.ends_with("withField61:field61Value:"));
    EXPECT_FALSE(db.hasOpenConnection());
    EXPECT_EQ(raised([&] { db.insertRecordIntoTableNamed("NoTable", presets::resourceColumns(), numberedRecord("x")); }),
        "Error updating table. in dbViewController");
    EXPECT_FALSE(db.hasOpenConnection());
    EXPECT_EQ(snapshot(home.dbPath(), { "Presets", "AppResource", "AppBookmarks" }), before);
}

TEST_F(PresetsDatabase, AnOpeningOperationClosesTheHeldConnectionFirst)
{
    db.linkToPresetsDB();
    db.openmyPresetsDb();
    db.openmyPresetsDb();
    EXPECT_TRUE(db.hasOpenConnection());
    db.getAllRowsFromTableNamed("Presets");
    EXPECT_FALSE(db.hasOpenConnection());
    db.creatTableIfNotExist();
    EXPECT_FALSE(db.hasOpenConnection());
}

TEST(PresetsDatabaseUnopenable, EveryOperationGivesItsFailureResultAndNoConnectionStaysOpen)
{
    PresetsHome home;
    // The support "folder" is a file: the folder can't be made and the database can't be opened.
    writeFile(home.support() / "blocker", "not a folder");
    setenv("XDG_DATA_HOME", (home.support() / "blocker").c_str(), 1);
    dbViewController db;
    std::string method;
    EXPECT_EQ(raised([&] { db.openmyPresetsDb(); }, &method), "Presets Db failed to open. in dbViewController");
    EXPECT_EQ(method, "openmyPresetsDb");
    EXPECT_EQ(raised([&] { db.linkToPresetsDB(); }), "Presets Db failed to open. in dbViewController");
    EXPECT_EQ(raised([&] { db.insertSortingPresetToDB(); }, &method), "Presets Db failed to open. in dbViewController");
    EXPECT_TRUE(method.starts_with("insertRecordIntoTableNamed:"));
    EXPECT_FALSE(db.hasOpenConnection());

    EXPECT_EQ(db.checkPresetNameFromTableNamed("Presets", "NameOfPreset", "x"), std::nullopt);
    EXPECT_EQ(db.removePresetFromDatabase("Presets", "NameOfPreset", "x"), "preset not found");
    EXPECT_EQ(db.myPresetExist(), std::optional<std::string>("preset not found"));
    EXPECT_TRUE(db.checkForActionType("Presets", "Action", "x").empty());
    EXPECT_EQ(db.hGetBookMarkedFolders("AppBookmarks", "StrField0", "x", "StrField1", "", "*"), std::nullopt);
    db.hSaveSecurityScopedBookmarks(Data { "abc" });
    db.getAllRowsFromTableNamed("Presets");
    EXPECT_FALSE(db.hasOpenConnection());
}

TEST_F(PresetsDatabase, ADatabaseWrittenByTheShellWithTheStatementTextsIsServed)
{
    auto insertText = [](std::string const& table, std::string const& first) {
        std::string names, values;
        for (int p = 0; p < 62; ++p) {
            char const* separator = p == 0 ? "" : p == 2 ? ", " : ",";
            names += separator + ("'StrField" + std::to_string(p) + "'");
            values += separator + std::string(p == 0 ? "'" + first + "'" : "''");
        }
        return "Insert or replace into '" + table + "' (" + names + ") values (" + values + ");";
    };
    std::string script = createText("Presets", names("NameOfPreset", "Process", "Action"))
        + createText("AppResource", names("StrField0", "StrField1", "StrField2"))
        + createText("AppBookmarks", names("StrField0", "StrField1", "StrField2")) + insertText("AppResource", "appSys")
        + insertText("AppBookMarks", "myAppDestBookmark");
    std::filesystem::create_directories(home.folder());
    writeFile(home.support() / "script.sql", script);
    auto r = runCommand("sqlite3 '" + home.dbPath().string() + "' < '" + (home.support() / "script.sql").string() + "'");
    ASSERT_EQ(r.status, 0) << r.err;

    db.linkToPresetsDB();  // the file is there: nothing to do
    EXPECT_EQ(db.checkForActionType("AppResource", "StrField0", "appSys"),
        std::vector<std::string> { "appSys" + std::string(61, '|') });
    testing::internal::CaptureStderr();
    auto found = db.hGetBookMarkedFolders("AppBookmarks", "StrField0", "myAppDestBookmark", "StrField1", "", "*");
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(found, std::optional<Data>(Data { "myAppDestBookmark" }));
    db.insertSortingPresetToDB();
    EXPECT_EQ(db.checkPresetNameFromTableNamed("Presets", "NameOfPreset", "myPresetName"),
        std::optional<std::string>("myPresetName"));
    EXPECT_EQ(db.checkForActionType("Presets", "Action", "ByHand").size(), 1u);
    EXPECT_EQ(db.removePresetFromDatabase("Presets", "NameOfPreset", "myPresetName"), "preset removed");
    EXPECT_EQ(query(home.dbPath(), "PRAGMA integrity_check"), std::vector<std::string> { "ok" });
}
