#include "presets/PresetsTestSupport.h"

#include <sqlite3.h>

#include <cstdlib>
#include <stdexcept>

namespace quodrix::test {

PresetsHome::PresetsHome()
{
    if (char const* previous = std::getenv("XDG_DATA_HOME"))
        m_previous = previous;
    setenv("XDG_DATA_HOME", m_dir.str().c_str(), 1);
}

PresetsHome::~PresetsHome()
{
    if (m_previous)
        setenv("XDG_DATA_HOME", m_previous->c_str(), 1);
    else
        unsetenv("XDG_DATA_HOME");
}

namespace {

struct Db {
    sqlite3* handle = nullptr;
    explicit Db(std::filesystem::path const& path)
    {
        if (sqlite3_open_v2(path.c_str(), &handle, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
            sqlite3_close(handle);
            throw std::runtime_error("cannot open " + path.string());
        }
    }
    ~Db() { sqlite3_close(handle); }
};

int collect(void* out, int columns, char** values, char**)
{
    std::string line;
    for (int i = 0; i < columns; ++i)
        line += (i ? "|" : "") + std::string(values[i] ? values[i] : "NULL");
    static_cast<std::vector<std::string>*>(out)->push_back(line);
    return 0;
}

}

std::vector<std::string> query(std::filesystem::path const& db, std::string const& sql)
{
    Db connection(db);
    std::vector<std::string> rows;
    char* error = nullptr;
    if (sqlite3_exec(connection.handle, sql.c_str(), collect, &rows, &error) != SQLITE_OK) {
        std::string message = error ? error : "unknown error";
        sqlite3_free(error);
        throw std::runtime_error(sql + ": " + message);
    }
    return rows;
}

void execute(std::filesystem::path const& db, std::string const& sql)
{
    query(db, sql);
}

std::int64_t rowCount(std::filesystem::path const& db, std::string const& table)
{
    return std::stoll(query(db, "SELECT count(*) FROM \"" + table + "\"").at(0));
}

std::string snapshot(std::filesystem::path const& db, std::vector<std::string> const& tables, Keys keys)
{
    std::string out;
    for (auto const& table : tables) {
        std::string name = "'" + table + "'";
        for (auto const& row : query(db, "SELECT type, name, sql FROM sqlite_master WHERE tbl_name = " + name))
            out += row + "\n";
        if (keys == Keys::Included) {
            for (auto const& row : query(db, "SELECT * FROM sqlite_sequence WHERE name = " + name))
                out += row + "\n";
        }
        for (auto const& row : query(db, "SELECT * FROM \"" + table + "\" ORDER BY ID"))
            out += table + ": " + row + "\n";
    }
    return out;
}

presets::PresetRecord numberedRecord(std::string const& prefix)
{
    presets::PresetRecord record;
    for (std::size_t p = 0; p < record.size(); ++p)
        record[p] = prefix + std::to_string(p);
    return record;
}

presets::PresetRecord presetRecord(std::string const& name, std::string const& process, std::string const& action)
{
    presets::PresetRecord record = numberedRecord("v");
    record[0] = name;
    record[1] = process;
    record[2] = action;
    return record;
}

std::string joined(presets::PresetRecord const& record)
{
    std::string line;
    for (std::size_t p = 0; p < record.size(); ++p)
        line += (p ? "|" : "") + record[p];
    return line;
}

}
