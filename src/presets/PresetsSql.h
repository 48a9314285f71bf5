#pragma once
// PresetsSql: the one road from the presets store to SQLite, which it loads when a connection is first
// opened (a library that cannot be loaded fails the open with a message that says so).
//
// Connections are opened with the store's safety settings: a double-quoted text is always an identifier
// (never a string constant), the schema of a file is not trusted to run functions, and the defensive mode
// keeps the schema from being written directly; a file that another process holds locked is waited for up
// to two seconds. Statements are prepared one at a time from their whole
// text; a text that holds more than one statement is refused. Handles are owned by unique_ptr and are
// closed or finalized when they go.
//
// Names reach a statement only through the quoting helpers below, which return nullopt for a name that
// cannot be written safely (one holding a NUL); values are bound.

#include <memory>
#include <optional>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace quodrix::presets {

struct ConnectionCloser {
    void operator()(sqlite3* db) const;
};
struct StatementFinalizer {
    void operator()(sqlite3_stmt* statement) const;
};
using Connection = std::unique_ptr<sqlite3, ConnectionCloser>;
using Statement = std::unique_ptr<sqlite3_stmt, StatementFinalizer>;

// Opens the file read-write, creating it when missing. Null when SQLite can't open it; then `failure`, when
// given, receives SQLite's message.
Connection openConnection(std::string const& path, std::string* failure = nullptr);

// SQLite's message for the last failure on the connection ("no such table: Presets", "file is not a
// database"); "no connection" without one.
std::string errorMessage(sqlite3* db);

// Prepares one statement. Null with no connection, on any SQLite error, or when text follows the statement.
Statement prepare(sqlite3* db, std::string_view sql);

enum class StepResult { Row, Done, Failed };
StepResult step(sqlite3_stmt* statement);

// Binding: parameters count from 1; SQLite copies the value. False when SQLite refuses.
bool bindText(sqlite3_stmt* statement, int index, std::string_view text);
bool bindBlob(sqlite3_stmt* statement, int index, std::string_view bytes);

// The value of a result column as SQLite's text of it (blobs as their bytes); empty for a null value or a
// column the row does not have.
std::string columnText(sqlite3_stmt* statement, int column);
// The same, appended to a text.
void appendColumnText(std::string& out, sqlite3_stmt* statement, int column);
// The texts of result columns first to last of the current row, each as columnText gives it, joined by a
// separator.
void appendJoinedColumns(std::string& out, sqlite3_stmt* statement, int first, int last, char separator);
// Whether the result column holds SQL null (or does not exist).
bool columnIsNull(sqlite3_stmt* statement, int column);
int columnCount(sqlite3_stmt* statement);

// A name between double quotes, inner double quotes doubled: in every place of a statement it can only be
// an identifier. Nullopt for a name holding a NUL.
std::optional<std::string> quoteIdentifier(std::string_view name);
// A name or text between single quotes, inner single quotes doubled. Nullopt for a text holding a NUL.
std::optional<std::string> quoteSingle(std::string_view text);
// A result-column list: "*", or names separated by commas, each quoted as an identifier. Nullopt for
// anything else.
std::optional<std::string> quoteSelection(std::string_view selection);
// Whether a table is one of SQLite's own ("sqlite_..." in any case), which the store never changes.
bool isInternalTable(std::string_view name);

}
