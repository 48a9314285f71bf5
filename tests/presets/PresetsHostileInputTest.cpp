// Names and values that hold quotes, semicolons, comment marks or NULs, through every operation that takes
// them: stored and found, or refused with the operation's failure result, and never run as SQL.

#include "core/BridgeError.h"
#include "presets/PresetsTestSupport.h"
#include "presets/dbViewController.h"

#include <gtest/gtest.h>

using namespace quodrix;
using namespace quodrix::test;

namespace {

std::vector<std::string> const kHostile = {
    "x'; DROP TABLE Presets; --",
    "x\"; DROP TABLE Presets; --",
    "' OR '1'='1",
    "\" OR \"1\"=\"1",
    "Presets WHERE 1=1 --",
    "NameOfPreset = NameOfPreset OR NameOfPreset",
    "'NameOfPreset'",
    "\"NameOfPreset\"",
    "a/* b */c; --",
    std::string("Keep1\0' OR 1=1 --", 17),
    "",
};

std::vector<std::string> const kStoreTables = { "Presets", "AppResource", "AppBookmarks" };

class HostileInput : public ::testing::Test {
protected:
    void SetUp() override
    {
        db.linkToPresetsDB();
        db.insertPreset(presetRecord("Keep1", "P", "A"));
        db.insertPreset(presetRecord("Keep2", "P", "A"));
        std::filesystem::copy_file(home.dbPath(), baselineFile);
    }
    void expectIntact(Keys keys = Keys::Included)
    {
        EXPECT_EQ(query(home.dbPath(), "PRAGMA integrity_check"), std::vector<std::string> { "ok" });
        EXPECT_EQ(snapshot(home.dbPath(), kStoreTables, keys), snapshot(baselineFile, kStoreTables, keys));
        EXPECT_FALSE(db.hasOpenConnection());
    }
    PresetsHome home;
    dbViewController db;
    TempDir copies;
    std::filesystem::path baselineFile = copies / "baseline.sql";
};

std::string printable(std::string const& s)
{
    std::string out;
    for (char ch : s)
        out += ch ? std::string(1, ch) : std::string("\\0");
    return out;
}

}

TEST_F(HostileInput, ValuesAreStoredAndFoundAsTheyAre)
{
    for (auto const& value : kHostile) {
        SCOPED_TRACE(printable(value));
        auto record = presetRecord(value, "P", value);
        record[21] = value;
        db.insertPreset(record);
        EXPECT_EQ(db.checkPresetNameFromTableNamed("Presets", "NameOfPreset", value), std::optional<std::string>(value));
        EXPECT_EQ(db.checkForActionType("Presets", "Action", value), std::vector<std::string> { joined(record) });
        EXPECT_EQ(db.hGetBookMarkedFolders("Presets", "NameOfPreset", value, "Action", value, "*"),
            std::optional<Data>(Data { value }));
        EXPECT_EQ(db.removePresetFromDatabase("Presets", "NameOfPreset", value), "preset removed");
        EXPECT_EQ(db.checkPresetNameFromTableNamed("Presets", "NameOfPreset", value), std::nullopt);
        expectIntact(Keys::Left);
    }
}

TEST_F(HostileInput, TableAndColumnNamesCanOnlyBeNames)
{
    for (auto const& name : kHostile) {
        SCOPED_TRACE(printable(name));
        EXPECT_TRUE(db.checkForActionType(name, "Action", "A").empty());
        EXPECT_TRUE(db.checkForActionType("Presets", name, "A").empty());
        EXPECT_EQ(db.checkPresetNameFromTableNamed(name, "NameOfPreset", "Keep1"), std::nullopt);
        EXPECT_EQ(db.checkPresetNameFromTableNamed("Presets", name, "Keep1"), std::nullopt);
        EXPECT_EQ(db.removePresetFromDatabase(name, "NameOfPreset", "Keep1"), "preset not found");
        EXPECT_EQ(db.removePresetFromDatabase("Presets", name, "Keep1"), "preset not found");
        db.getAllRowsFromTableNamed(name);
        EXPECT_EQ(db.hGetBookMarkedFolders(name, "NameOfPreset", "Keep1", "Process", "P", "*"), std::nullopt);
        EXPECT_EQ(db.hGetBookMarkedFolders("Presets", name, "Keep1", "Process", "P", "*"), std::nullopt);
        EXPECT_EQ(db.hGetBookMarkedFolders("Presets", "NameOfPreset", "Keep1", name, "P", "*"), std::nullopt);
        EXPECT_EQ(db.hGetBookMarkedFolders("Presets", "NameOfPreset", "Keep1", "Process", "P", name), std::nullopt);
        EXPECT_THROW(db.insertRecordIntoTableNamed(name, presets::presetsColumns(), numberedRecord("v")), RaisedError);
        auto columns = presets::presetsColumns();
        columns[7] = name;
        EXPECT_THROW(db.insertRecordIntoTableNamed("Presets", columns, numberedRecord("v")), RaisedError);
        expectIntact();
    }
}

TEST_F(HostileInput, TablesWithStrangeNamesAreMadeAndServedOrRefused)
{
    presets::ColumnNames columns = presets::resourceColumns();
    columns[0] = "it's \"quoted\"; --";
    for (auto const& name : kHostile) {
        SCOPED_TRACE(printable(name));
        db.openmyPresetsDb();
        bool made = true;
        try {
            db.createTableNamed(name, columns);
        } catch (RaisedError const& e) {
            EXPECT_EQ(e.description(), "Presets Table failed to create.");
            made = false;
        }
        // A name holding a NUL can't be written into a statement; every other name makes a table.
        EXPECT_EQ(made, name.find('\0') == std::string::npos);
        if (made) {
            presets::PresetRecord values = numberedRecord("v");
            values[0] = name;
            db.insertRecordIntoTableNamed(name, columns, values);
            EXPECT_EQ(db.checkForActionType(name, columns[0], name), std::vector<std::string> { joined(values) });
            EXPECT_EQ(db.checkPresetNameFromTableNamed(name, columns[0], name), std::optional<std::string>(name));
            EXPECT_EQ(db.removePresetFromDatabase(name, columns[0], name), "preset removed");
            EXPECT_TRUE(db.checkForActionType(name, columns[0], name).empty());
        }
        db.getAllRowsFromTableNamed("Presets");
        expectIntact();
    }
}

TEST_F(HostileInput, SQLitesOwnTablesAreNeverWritten)
{
    EXPECT_EQ(db.removePresetFromDatabase("sqlite_sequence", "name", "Presets"), "preset not found");
    EXPECT_EQ(db.removePresetFromDatabase("SQLITE_SEQUENCE", "name", "Presets"), "preset not found");
    EXPECT_EQ(db.removePresetFromDatabase("sqlite_master", "name", "Presets"), "preset not found");
    presets::ColumnNames columns = presets::resourceColumns();
    EXPECT_THROW(db.insertRecordIntoTableNamed("sqlite_sequence", columns, numberedRecord("v")), RaisedError);
    expectIntact();
}

TEST_F(HostileInput, SelectionsAreColumnListsOnly)
{
    EXPECT_EQ(db.hGetBookMarkedFolders("Presets", "NameOfPreset", "Keep1", "Process", "P", "ID, NameOfPreset"),
        std::optional<Data>(Data { "Keep1" }));
    EXPECT_EQ(db.hGetBookMarkedFolders("Presets", "NameOfPreset", "Keep1", "Process", "P", " * "),
        std::optional<Data>(Data { "Keep1" }));
    for (char const* selection : { "", ",", "ID,", "* FROM Presets; DROP TABLE Presets; --", "count(*), ID",
             "ID, (SELECT 1)", "NoSuchColumn, ID" }) {
        SCOPED_TRACE(selection);
        EXPECT_EQ(db.hGetBookMarkedFolders("Presets", "NameOfPreset", "Keep1", "Process", "P", selection), std::nullopt);
    }
    expectIntact();
}
