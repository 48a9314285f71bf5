#include "presets/PresetSchema.h"

#include "presets/PresetsSql.h"

namespace quodrix::presets {

std::string_view declaredType(std::size_t position)
{
    return position >= 21 && position <= 41 ? "Integer" : "Text";
}

static ColumnNames numberedColumns(std::size_t firstNumbered)
{
    static constexpr char const* named[] = { "NameOfPreset", "Process", "Action" };
    ColumnNames columns;
    for (std::size_t p = 0; p < kNamedColumns; ++p)
        columns[p] = p < firstNumbered ? named[p] : "StrField" + std::to_string(p);
    return columns;
}

ColumnNames const& presetsColumns()
{
    static ColumnNames const columns = numberedColumns(3);
    return columns;
}

ColumnNames const& resourceColumns()
{
    static ColumnNames const columns = numberedColumns(0);
    return columns;
}

std::optional<std::string> createTableStatement(std::string_view table, ColumnNames const& columns)
{
    auto quotedTable = quoteSingle(table);
    if (!quotedTable)
        return std::nullopt;
    std::string sql = "Create table if not exists " + *quotedTable + " (ID INTEGER PRIMARY KEY AUTOINCREMENT, ";
    for (std::size_t p = 0; p < kNamedColumns; ++p) {
        auto name = quoteSingle(columns[p]);
        if (!name)
            return std::nullopt;
        if (p > 0)
            sql += ", ";
        sql += *name;
        sql += ' ';
        sql += declaredType(p);
    }
    sql += ");";
    return sql;
}

// Items are separated by ",", except that the second separator is ", ".
static char const* separatorBefore(std::size_t position)
{
    return position == 0 ? "" : position == 2 ? ", " : ",";
}

std::optional<std::string> insertStatement(std::string_view table, ColumnNames const& columns)
{
    auto quotedTable = quoteSingle(table);
    if (!quotedTable)
        return std::nullopt;
    std::string sql = "Insert or replace into " + *quotedTable + " (";
    for (std::size_t p = 0; p < kNamedColumns; ++p) {
        auto name = quoteSingle(columns[p]);
        if (!name)
            return std::nullopt;
        sql += separatorBefore(p);
        sql += *name;
    }
    sql += ") values (";
    for (std::size_t p = 0; p < kNamedColumns; ++p) {
        sql += separatorBefore(p);
        sql += '?';
    }
    sql += ')';
    return sql;
}

}
