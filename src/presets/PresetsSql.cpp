#include "presets/PresetsSql.h"

#include "platform/SharedLibrary.h"

#include <sqlite3.h>

#include <algorithm>
#include <cctype>

namespace quodrix::presets {

namespace {

// SQLite is loaded when the presets store is first opened, not with the classes module: most commands
// never open it, and loading it cost each of them about 0.3 ms.
struct SqliteFunctions {
    decltype(&sqlite3_open_v2) open = nullptr;
    decltype(&sqlite3_close_v2) close = nullptr;
    decltype(&sqlite3_finalize) finalize = nullptr;
    decltype(&sqlite3_errmsg) errmsg = nullptr;
    decltype(&sqlite3_errstr) errstr = nullptr;
    decltype(&sqlite3_db_config) dbConfig = nullptr;
    decltype(&sqlite3_busy_timeout) busyTimeout = nullptr;
    decltype(&sqlite3_prepare_v2) prepare = nullptr;
    decltype(&sqlite3_step) step = nullptr;
    decltype(&sqlite3_bind_text64) bindText = nullptr;
    decltype(&sqlite3_bind_blob64) bindBlob = nullptr;
    decltype(&sqlite3_column_text) columnText = nullptr;
    decltype(&sqlite3_column_bytes) columnBytes = nullptr;
    decltype(&sqlite3_column_blob) columnBlob = nullptr;
    decltype(&sqlite3_column_type) columnType = nullptr;
    decltype(&sqlite3_column_count) columnCount = nullptr;
};

char const* const kSqliteLibrary = "libsqlite3.so.0";

SqliteFunctions const* sqliteFunctions()
{
    return loadedFunctions<SqliteFunctions>(kSqliteLibrary, [](SharedLibrary const& library, SqliteFunctions& f) {
        return library.bind(f.open, "sqlite3_open_v2")
            && library.bind(f.close, "sqlite3_close_v2")
            && library.bind(f.finalize, "sqlite3_finalize")
            && library.bind(f.errmsg, "sqlite3_errmsg")
            && library.bind(f.errstr, "sqlite3_errstr")
            && library.bind(f.dbConfig, "sqlite3_db_config")
            && library.bind(f.busyTimeout, "sqlite3_busy_timeout")
            && library.bind(f.prepare, "sqlite3_prepare_v2")
            && library.bind(f.step, "sqlite3_step")
            && library.bind(f.bindText, "sqlite3_bind_text64")
            && library.bind(f.bindBlob, "sqlite3_bind_blob64")
            && library.bind(f.columnText, "sqlite3_column_text")
            && library.bind(f.columnBytes, "sqlite3_column_bytes")
            && library.bind(f.columnBlob, "sqlite3_column_blob")
            && library.bind(f.columnType, "sqlite3_column_type")
            && library.bind(f.columnCount, "sqlite3_column_count");
    });
}

// The functions, once a connection exists: only a successful openConnection makes one, and it loads them.
SqliteFunctions const& api()
{
    return *sqliteFunctions();
}

}


constexpr int kBusyTimeoutMilliseconds = 2000;

void ConnectionCloser::operator()(sqlite3* db) const
{
    api().close(db);
}

void StatementFinalizer::operator()(sqlite3_stmt* statement) const
{
    api().finalize(statement);
}

std::string errorMessage(sqlite3* db)
{
    return db ? std::string(api().errmsg(db)) : std::string("no connection");
}

Connection openConnection(std::string const& path, std::string* failure)
{
    if (!sqliteFunctions()) {
        if (failure)
            *failure = std::string("cannot load ") + kSqliteLibrary + " (the system log says why)";
        return nullptr;
    }
    sqlite3* raw = nullptr;
    int rc = api().open(path.c_str(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    Connection db(raw);  // SQLite hands back a handle to close even when the open failed
    auto failed = [&] {
        if (failure)
            *failure = db ? errorMessage(db.get()) : std::string(api().errstr(rc));
        return nullptr;
    };
    if (rc != SQLITE_OK)
        return failed();
    for (int option : { SQLITE_DBCONFIG_DQS_DML, SQLITE_DBCONFIG_DQS_DDL, SQLITE_DBCONFIG_TRUSTED_SCHEMA }) {
        if (api().dbConfig(db.get(), option, 0, nullptr) != SQLITE_OK)
            return failed();
    }
    if (api().dbConfig(db.get(), SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr) != SQLITE_OK)
        return failed();
    // Another process (a second copy of the application, the sqlite3 shell) may hold the file for a moment.
    api().busyTimeout(db.get(), kBusyTimeoutMilliseconds);
    return db;
}

Statement prepare(sqlite3* db, std::string_view sql)
{
    if (!db)
        return nullptr;
    sqlite3_stmt* raw = nullptr;
    char const* tail = nullptr;
    int rc = api().prepare(db, sql.data(), int(sql.size()), &raw, &tail);
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
    switch (api().step(statement)) {
    case SQLITE_ROW: return StepResult::Row;
    case SQLITE_DONE: return StepResult::Done;
    default: return StepResult::Failed;
    }
}

bool bindText(sqlite3_stmt* statement, int index, std::string_view text)
{
    return api().bindText(statement, index, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8)
        == SQLITE_OK;
}

bool bindBlob(sqlite3_stmt* statement, int index, std::string_view bytes)
{
    // A non-null pointer keeps empty data an empty blob rather than SQL null.
    static char const none = 0;
    return api().bindBlob(statement, index, bytes.empty() ? &none : bytes.data(), bytes.size(),
               SQLITE_TRANSIENT)
        == SQLITE_OK;
}

int columnCount(sqlite3_stmt* statement)
{
    return api().columnCount(statement);
}

bool columnIsNull(sqlite3_stmt* statement, int column)
{
    if (column < 0 || column >= api().columnCount(statement))
        return true;
    return api().columnType(statement, column) == SQLITE_NULL;
}

void appendColumnText(std::string& out, sqlite3_stmt* statement, int column)
{
    if (column < 0 || column >= api().columnCount(statement))
        return;
    int type = api().columnType(statement, column);
    if (type == SQLITE_NULL)
        return;
    // Blobs give their bytes; numbers and text their text, as SQLite writes it.
    void const* bytes = type == SQLITE_BLOB ? api().columnBlob(statement, column)
                                            : static_cast<void const*>(api().columnText(statement, column));
    if (bytes)
        out.append(static_cast<char const*>(bytes), std::size_t(api().columnBytes(statement, column)));
}

void appendJoinedColumns(std::string& out, sqlite3_stmt* statement, int first, int last, char separator)
{
    int const count = api().columnCount(statement);
    for (int column = first; column <= last; ++column) {
        if (column > first)
            out += separator;
        if (column < 0 || column >= count)
            continue;
        // Text, numbers as text, and blobs as their bytes; null for SQL null.
        auto const* text = api().columnText(statement, column);
        if (text)
            out.append(reinterpret_cast<char const*>(text), std::size_t(api().columnBytes(statement, column)));
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
