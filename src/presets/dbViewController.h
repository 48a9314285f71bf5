#pragma once
// dbViewController: the presets store. One SQLite file per user, <application support>/BriskloCom/
// QuodrixPresets.sql, with the tables "Presets", "AppResource" and "AppBookmarks" (see PresetSchema.h),
// made by linkToPresetsDB. linkToPresetsDB completes a file that lacks any of them (an empty file, left by a
// run cut short while it made the store, is a new database) in one transaction, seed rows included, and
// leaves a complete store and a held connection alone. A file that is not a database is never written.
//
// Connection rule: an instance holds at most one connection (myDb). Every operation that opens the file
// closes a held connection first and opens the file anew. openmyPresetsDb leaves its connection open; so
// does insertRecordIntoTableNamed after success (its caller closes it). createTableNamed and the two image
// operations work on the held connection and never open one. Every other operation closes its connection
// before it returns, and every statement is finalized before its operation returns.
//
// Failures: every SQLite failure leaves its cause (SQLite's message) in lastFailure(), which the bridge
// records with the platform for objc.lastFailure(). A failed open, table creation or row write raises RaisedError ("Presets Db failed to open.",
// "Presets Table failed to create.", "Error updating table."; file "dbViewController") after the
// connection was closed. Every other failure is a result: null, the empty list, "preset not found", or
// nothing stored.
//
// Names and values never run as SQL: values are bound, names are quoted so that they can only be names,
// and a column that does not exist is an error. SQLite's own tables ("sqlite_...") are never written.

#include "core/Object.h"
#include "presets/PresetSchema.h"
#include "presets/PresetsSql.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quodrix {

class Runtime;

class dbViewController : public Object {
public:
    static void registerClass(Runtime& runtime);

    static constexpr char const* kFileName = "dbViewController";
    static constexpr char const* kOpenFailed = "Presets Db failed to open.";
    static constexpr char const* kCreateFailed = "Presets Table failed to create.";
    static constexpr char const* kUpdateFailed = "Error updating table.";
    static constexpr char const* kPresetRemoved = "preset removed";
    static constexpr char const* kPresetNotFound = "preset not found";

    // The file's path; makes the folder "BriskloCom" on each call (a failure shows later as a failed open).
    std::string dbFilePath() const;
    void openmyPresetsDb();
    void createTableNamed(std::string const& table, presets::ColumnNames const& columns);
    void insertRecordIntoTableNamed(
        std::string const& table, presets::ColumnNames const& columns, presets::PresetRecord const& values);
    void linkToPresetsDB();
    void creatTableIfNotExist() { }

    // Writes the 62 values as one row of "Presets" and closes the connection. The three 62-value writers
    // of the scripts are this one operation under three names.
    void insertPreset(presets::PresetRecord const& values);
    // Puts the 62 values as one row of "Presets" in the place of every row of the same name (values[0]), in
    // one transaction: a replacement that fails anywhere leaves the store as it was, and two at once
    // leave one row. Closes the connection.
    void replacePreset(presets::PresetRecord const& values);
    void insertSortingPresetToDB();
    void getAllRowsFromTableNamed(std::string const& table);
    std::optional<std::string> checkPresetNameFromTableNamed(
        std::string const& table, std::string const& column, std::string const& value);
    std::string removePresetFromDatabase(std::string const& table, std::string const& column, std::string const& value);

    // Every row whose column holds the value, its 62 named values joined by "|" (SQL null as empty).
    std::vector<std::string> checkForActionType(
        std::string const& table, std::string const& column, std::string const& value);

    // Bookmark data: stored in table "Image", and looked up as result column 1 of the last matching row.
    void hSaveSecurityScopedBookmarks(Data const& bookmark);
    std::optional<Data> hGetBookMarkedFolders(std::string const& table, std::string const& column1,
        std::string const& value1, std::string const& column2, std::string const& value2,
        std::string const& selection);

    // Image data in table "IMAGES", on the held connection only.
    void SaveImagesToSql(Data const& image, std::string const& url);
    std::optional<Data> LoadImagesFromSql(std::string const& url);

    std::optional<std::string> const& myPresetValueStr() const { return m_myPresetValueStr; }
    void setMyPresetValueStr(std::optional<std::string> value) { m_myPresetValueStr = std::move(value); }

    bool hasOpenConnection() const { return m_myDb != nullptr; }

    // Why the last failing operation failed: what was done, and SQLite's message.
    struct Failure {
        std::string what;
        std::string cause;
    };
    std::optional<Failure> const& lastFailure() const { return m_failure; }
    void clearLastFailure() { m_failure.reset(); }
    std::optional<std::string> const& myPresetExist() const { return m_myPresetExist; }
    std::optional<Data> const& mySearchValue4() const { return m_mySearchValue4; }
    // The lists of the last action-type query (the same list), or null before the first.
    std::shared_ptr<std::vector<std::string> const> myPresetsArray() const { return m_myPresetsArray; }
    std::shared_ptr<std::vector<std::string> const> myPresetsArrayToPass() const { return m_myPresetsArrayToPass; }

    Value valueForKey(std::string const& key) const override;
    void setValueForKey(std::string const& key, Value value) override;

private:
    // Closes a held connection and opens the file anew; false, with the cause noted, when it can't be opened.
    bool reopen();
    // Notes SQLite's message for the held connection as the cause of a failure of `what`.
    void noteFailure(std::string what);
    // Writes one row on the held connection; false, with the cause noted, when it is not written.
    bool writeRecord(std::string const& table, presets::ColumnNames const& columns, presets::PresetRecord const& values);
    // Makes the missing tables and seed rows of the store on the held connection, in one transaction.
    void completeStore();
    void close() { m_myDb.reset(); }
    // Closes the connection, then raises the failure report.
    [[noreturn]] void fail(char const* description, std::string const& method);

    presets::Connection m_myDb;
    std::optional<std::string> m_myPresetExist;
    std::optional<std::string> m_myPresetValueStr;
    std::shared_ptr<std::vector<std::string>> m_myPresetsArray;
    std::shared_ptr<std::vector<std::string>> m_myPresetsArrayToPass;
    std::optional<Array> m_myEmptyArray;
    std::optional<Data> m_mySearchValue4;
    std::optional<Failure> m_failure;
};

}
