// Preset records and the action-type query: the writers, the name check, removal, and the lines that
// hand whole rows back.

#include "core/BridgeError.h"
#include "presets/PresetsTestSupport.h"
#include "presets/dbViewController.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

using namespace quodrix;
using namespace quodrix::test;

namespace {

class PresetRecords : public ::testing::Test {
protected:
    void SetUp() override { db.linkToPresetsDB(); }
    PresetsHome home;
    dbViewController db;
};

}

TEST_F(PresetRecords, TheSameValuesTwiceMakeTwoRowsThatOneRemovalTakes)
{
    auto record = presetRecord("Twice", "Sorting", "ByDate");
    db.insertPreset(record);
    db.insertPreset(record);
    EXPECT_EQ(query(home.dbPath(), "SELECT ID FROM Presets"), (std::vector<std::string> { "1", "2" }));
    EXPECT_EQ(db.checkPresetNameFromTableNamed("Presets", "NameOfPreset", "Twice"), std::optional<std::string>("Twice"));
    EXPECT_EQ(db.removePresetFromDatabase("Presets", "NameOfPreset", "Twice"), "preset removed");
    EXPECT_EQ(rowCount(home.dbPath(), "Presets"), 0);
    EXPECT_FALSE(db.hasOpenConnection());
}

TEST_F(PresetRecords, TheNameCheckIsExactAndForgetsEarlierResults)
{
    db.insertPreset(presetRecord("Holiday", "Sorting", "ByDate"));
    EXPECT_EQ(db.checkPresetNameFromTableNamed("Presets", "NameOfPreset", "Holiday"), std::optional<std::string>("Holiday"));
    EXPECT_EQ(db.checkPresetNameFromTableNamed("Presets", "NameOfPreset", "holiday"), std::nullopt);
    EXPECT_EQ(db.myPresetExist(), std::nullopt);
    EXPECT_EQ(db.checkPresetNameFromTableNamed("Presets", "NameOfPreset", "Holiday "), std::nullopt);
    EXPECT_EQ(db.checkPresetNameFromTableNamed("Presets", "NoSuchColumn", "Holiday"), std::nullopt);
    EXPECT_EQ(db.checkPresetNameFromTableNamed("NoSuchTable", "NameOfPreset", "Holiday"), std::nullopt);
    // The result is the first named column of the last matching row.
    db.insertPreset(presetRecord("Second", "Sorting", "ByDate"));
    EXPECT_EQ(db.checkPresetNameFromTableNamed("Presets", "Action", "ByDate"), std::optional<std::string>("Second"));
}

TEST_F(PresetRecords, RemovalResults)
{
    db.insertPreset(presetRecord("Keep", "Sorting", "ByDate"));
    std::string before = snapshot(home.dbPath(), { "Presets" });
    struct Case {
        char const* table;
        char const* column;
        char const* value;
        char const* result;
    } const cases[] = {
        { "NoSuchTable", "NameOfPreset", "Keep", "preset not found" },
        { "Presets", "NameOfPresett", "Keep", "preset not found" },  // a misspelled column removes nothing
        // ... also when the value is the column's name: the name is never taken as a string constant.
        { "Presets", "NameOfPresett", "NameOfPresett", "preset not found" },
        { "Presets", "NameOfPreset", "Other", "preset removed" },     // ran to completion, matched nothing
        { "Presets", "NameOfPreset", "keep", "preset removed" },
    };
    for (auto const& c : cases) {
        EXPECT_EQ(db.removePresetFromDatabase(c.table, c.column, c.value), c.result) << c.table << " " << c.column;
        EXPECT_EQ(db.myPresetExist(), std::optional<std::string>(c.result));
        EXPECT_EQ(snapshot(home.dbPath(), { "Presets" }), before);
    }
}

TEST_F(PresetRecords, ActionLinesComeBackInTheOrderWritten)
{
    for (char const* name : { "A", "B", "C" })
        db.insertPreset(presetRecord(name, "Sorting", "ByHand"));
    db.insertPreset(presetRecord("D", "Sorting", "Other"));
    auto lines = db.checkForActionType("Presets", "Action", "ByHand");
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], joined(presetRecord("A", "Sorting", "ByHand")));
    EXPECT_EQ(lines[1].substr(0, 2), "B|");
    EXPECT_EQ(lines[2].substr(0, 2), "C|");
    EXPECT_EQ(db.checkForActionType("Presets", "Process", "Sorting").size(), 4u);
}

TEST_F(PresetRecords, EachQueryMakesANewListAndBothFieldsReferToIt)
{
    db.insertPreset(presetRecord("A", "Sorting", "ByHand"));
    auto found = db.checkForActionType("Presets", "Action", "ByHand");
    auto earlierList = db.myPresetsArray();
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(db.myPresetsArray(), db.myPresetsArrayToPass());

    EXPECT_TRUE(db.checkForActionType("Presets", "Action", "Nothing").empty());
    EXPECT_EQ(earlierList->size(), 1u);
    EXPECT_NE(db.myPresetsArray(), earlierList);
    EXPECT_EQ(db.myPresetsArray(), db.myPresetsArrayToPass());
    EXPECT_TRUE(db.myPresetsArray()->empty());
    EXPECT_FALSE(db.hasOpenConnection());
}

TEST_F(PresetRecords, NullsAndOtherValuesWrittenByOtherMeans)
{
    // A row with nulls, a number in a Text column, a blob and a value holding "|".
    execute(home.dbPath(), "INSERT INTO Presets (NameOfPreset, Process, Action, StrField3, StrField4, StrField61) "
                           "VALUES ('n', NULL, 'Act', 2.5, x'41420043', 'a|b')");
    auto lines = db.checkForActionType("Presets", "Action", "Act");
    ASSERT_EQ(lines.size(), 1u);
    std::string expected = "n||Act|2.5|" + std::string("AB\0C", 4) + std::string(56, '|') + "|a|b";
    EXPECT_EQ(lines[0], expected);
    EXPECT_EQ(db.checkPresetNameFromTableNamed("Presets", "Action", "Act"), std::optional<std::string>("n"));
    execute(home.dbPath(), "UPDATE Presets SET NameOfPreset = NULL");
    EXPECT_EQ(db.checkPresetNameFromTableNamed("Presets", "Action", "Act"), std::nullopt);
}

TEST_F(PresetRecords, ARemovalThatCannotRunToCompletionRemovesNothingAndSaysSo)
{
    db.insertPreset(presetRecord("Locked", "Sorting", "ByDate"));
    // Another connection holds the write lock for longer than the store waits.
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(home.dbPath().c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    EXPECT_EQ(db.removePresetFromDatabase("Presets", "NameOfPreset", "Locked"), "preset not found");
    EXPECT_FALSE(db.hasOpenConnection());
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    EXPECT_EQ(rowCount(home.dbPath(), "Presets"), 1);
}
