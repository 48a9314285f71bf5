#pragma once
// Helpers for the presets store's tests: a private application-support folder for each test, and direct
// access to the database file through a connection of the test's own.

#include "presets/PresetSchema.h"
#include "support/ScriptBundle.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace quodrix::test {

// Points XDG_DATA_HOME at a fresh temporary folder while it lives.
class PresetsHome {
public:
    PresetsHome();
    ~PresetsHome();
    PresetsHome(PresetsHome const&) = delete;
    PresetsHome& operator=(PresetsHome const&) = delete;

    std::filesystem::path support() const { return m_dir.path(); }
    std::filesystem::path folder() const { return m_dir.path() / "BriskloCom"; }
    std::filesystem::path dbPath() const { return folder() / "QuodrixPresets.sql"; }

private:
    TempDir m_dir;
    std::optional<std::string> m_previous;
};

// Rows of a query, each row's values joined by "|" (SQL null written as "NULL"). Throws on SQL errors.
std::vector<std::string> query(std::filesystem::path const& db, std::string const& sql);
// Runs statements on the file. Throws on SQL errors.
void execute(std::filesystem::path const& db, std::string const& sql);
std::int64_t rowCount(std::filesystem::path const& db, std::string const& table);
// The schema and rows of the given tables and, when asked, their next keys: for "nothing changed".
enum class Keys { Included, Left };
std::string snapshot(std::filesystem::path const& db, std::vector<std::string> const& tables, Keys keys = Keys::Included);

// A record whose value p is prefix + p.
presets::PresetRecord numberedRecord(std::string const& prefix);
// A preset: name, process, action, then "v3" ... "v61".
presets::PresetRecord presetRecord(std::string const& name, std::string const& process, std::string const& action);
// The line that the action-type query makes of a record.
std::string joined(presets::PresetRecord const& record);

}
