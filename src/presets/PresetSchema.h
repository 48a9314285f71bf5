#pragma once
// PresetSchema: the layout shared by every table of the presets store, and the texts of the statements
// that create such a table and write one row of it.
//
// A table has the key column ID (INTEGER PRIMARY KEY AUTOINCREMENT, so keys are never used twice) and 62
// named columns: positions 0 to 20 and 42 to 61 are declared Text, 21 to 41 Integer. The create statement
// is stored in the database file by SQLite, so its text is fixed to the letter.

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quodrix::presets {

inline constexpr std::size_t kNamedColumns = 62;

// The 62 values of one row, in column order.
using PresetRecord = std::array<std::string, kNamedColumns>;
using ColumnNames = std::array<std::string, kNamedColumns>;

// "Integer" for positions 21 to 41, "Text" for the others.
std::string_view declaredType(std::size_t position);

// "NameOfPreset", "Process", "Action", "StrField3" ... "StrField61".
ColumnNames const& presetsColumns();
// "StrField0" ... "StrField61", the names of "AppResource" and "AppBookmarks".
ColumnNames const& resourceColumns();

// "Create table if not exists '<table>' (ID INTEGER PRIMARY KEY AUTOINCREMENT, '<c0>' Text, ...);" with
// single quotes inside names doubled. Nullopt when a name holds a NUL.
std::optional<std::string> createTableStatement(std::string_view table, ColumnNames const& columns);

// "Insert or replace into '<table>' ('<c0>','<c1>', '<c2>',...) values (?,?, ?,...)": the values are bound
// in column order. Nullopt when a name holds a NUL.
std::optional<std::string> insertStatement(std::string_view table, ColumnNames const& columns);

}
