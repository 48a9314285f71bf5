#include "presets/PresetsSql.h"

#include <sqlite3.h>

#include <algorithm>
#include <cctype>

namespace quodrix::presets {

constexpr int kBusyTimeoutMilliseconds = 2000;

void ConnectionCloser::operator()(sqlite3* db) const
{
    sqlite3_close_v2(db);
}

void StatementFinalizer::operator()(sqlite3_stmt* statement) const
{
    sqlite3_finalize(statement);
}

std::string errorMessage(sqlite3* db)
{
    return db ? std::string(sqlite3_errmsg(db)) : std::string("no connection");
}

Connection openConnection(std::string const& path, std::string* failure)
{
    sqlite3* raw = nullptr;
    int rc = sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    Connection db(raw);  // SQLite hands back a handle to close even when the open failed
    auto failed = [&] {
        if (failure)
            *failure = db ? errorMessage(db.get()) : std::string(sqlite3_errstr(rc));
        return nullptr;
    };
    if (rc != SQLITE_OK)
        return failed();
    for (int option : { SQLITE_DBCONFIG_DQS_DML, SQLITE_DBCONFIG_DQS_DDL, SQLITE_DBCONFIG_TRUSTED_SCHEMA }) {
        if (sqlite3_db_config(db.get(), option, 0, nullptr) != SQLITE_OK)
            return failed();
    }
    if (sqlite3_db_config(db.get(), SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr) != SQLITE_OK)
        return failed();
    // Another process (a second copy of the application, the sqlite3 shell) may hold the file for a moment.
    sqlite3_busy_timeout(db.get(), kBusyTimeoutMilliseconds);
    return db;
}

Statement prepare(sqlite3* db, std::string_view sql)
{
    if (!db)
        return nullptr;
    sqlite3_stmt* raw = nullptr;
    char const* tail = nullptr;
    int rc = sqlite3_prepare_v2(db, sql.data(), int(sql.size()), &raw, &tail);
    Statement statement(raw);
    if (rc != SQLITE_OK || !statement)
        return nullptr;
    char const* end = sql.data() + sql.size();
    if (tail && std::any_of(tail, end, [](char ch) { return !std::isspace((unsigned char)ch); }))
        return nullptr;
    return statement;
}

StepResult step(sqlite3_stmt* statement)
{
    switch (sqlite3_step(statement)) {
    case SQLITE_ROW: return StepResult::Row;
    case SQLITE_DONE: return StepResult::Done;
    default: return StepResult::Failed;
    }
}

bool bindText(sqlite3_stmt* statement, int index, std::string_view text)
{
    return sqlite3_bind_text64(statement, index, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8)
        == SQLITE_OK;
}

bool bindBlob(sqlite3_stmt* statement, int index, std::string_view bytes)
{
    // A non-null pointer keeps empty data an empty blob rather than SQL null.
    static char const none = 0;
    return sqlite3_bind_blob64(statement, index, bytes.empty() ? &none : bytes.data(), bytes.size(),
               SQLITE_TRANSIENT)
        == SQLITE_OK;
}

int columnCount(sqlite3_stmt* statement)
{
    return sqlite3_column_count(statement);
}

bool columnIsNull(sqlite3_stmt* statement, int column)
{
    if (column < 0 || column >= sqlite3_column_count(statement))
        return true;
    return sqlite3_column_type(statement, column) == SQLITE_NULL;
}

void appendColumnText(std::string& out, sqlite3_stmt* statement, int column)
{
    if (column < 0 || column >= sqlite3_column_count(statement))
        return;
    int type = sqlite3_column_type(statement, column);
    if (type == SQLITE_NULL)
        return;
    // Blobs give their bytes; numbers and text their text, as SQLite writes it.
    void const* bytes = type == SQLITE_BLOB ? sqlite3_column_blob(statement, column)
                                            : static_cast<void const*>(sqlite3_column_text(statement, column));
    if (bytes)
        out.append(static_cast<char const*>(bytes), std::size_t(sqlite3_column_bytes(statement, column)));
}

void appendJoinedColumns(std::string& out, sqlite3_stmt* statement, int first, int last, char separator)
{
    int const count = sqlite3_column_count(statement);
    for (int column = first; column <= last; ++column) {
        if (column > first)
            out += separator;
        if (column < 0 || column >= count)
            continue;
        // Text, numbers as text, and blobs as their bytes; null for SQL null.
        auto const* text = sqlite3_column_text(statement, column);
        if (text)
            out.append(reinterpret_cast<char const*>(text), std::size_t(sqlite3_column_bytes(statement, column)));
    }
}

std::string columnText(sqlite3_stmt* statement, int column)
{
    std::string out;
    appendColumnText(out, statement, column);
    return out;
}

static std::optional<std::string> quoteWith(std::string_view text, char quote)
{
    if (text.find('\0') != std::string_view::npos)
        return std::nullopt;
    std::string out;
    out.reserve(text.size() + 2);
    out += quote;
    for (char ch : text) {
        out += ch;
        if (ch == quote)
            out += quote;
    }
    out += quote;
    return out;
}

std::optional<std::string> quoteIdentifier(std::string_view name)
{
    return quoteWith(name, '"');
}

std::optional<std::string> quoteSingle(std::string_view text)
{
    return quoteWith(text, '\'');
}

static std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && std::isspace((unsigned char)text.front()))
        text.remove_prefix(1);
    while (!text.empty() && std::isspace((unsigned char)text.back()))
        text.remove_suffix(1);
    return text;
}

std::optional<std::string> quoteSelection(std::string_view selection)
{
    if (trimmed(selection) == "*")
        return std::string("*");
    std::string out;
    while (true) {
        std::size_t comma = selection.find(',');
        std::string_view name = trimmed(selection.substr(0, comma));
        if (name.empty())
            return std::nullopt;
        auto quoted = quoteIdentifier(name);
        if (!quoted)
            return std::nullopt;
        out += out.empty() ? "" : ", ";
        out += *quoted;
        if (comma == std::string_view::npos)
            return out;
        selection.remove_prefix(comma + 1);
    }
}

bool isInternalTable(std::string_view name)
{
    static constexpr std::string_view prefix = "sqlite_";
    if (name.size() < prefix.size())
        return false;
    return std::equal(prefix.begin(), prefix.end(), name.begin(),
        [](char a, char b) { return a == std::tolower((unsigned char)b); });
}

}
