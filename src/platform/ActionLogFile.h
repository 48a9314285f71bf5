#pragma once
// ActionLogFile: the application's log file, appended to in blocks of whole rows. The rows of a run are
// kept in memory and go to the file a block at a time, each block with one write(2) (O_APPEND) under an
// exclusive lock that also decides whether the file is new or empty and so needs its header first: rows of
// processes writing at the same time never interleave inside a row, and the header is written once. A
// row is the date text and seven fields separated by tabs; a tab, line feed or carriage return inside a
// field is written as "\t", "\n" or "\r", so that every row stays one line of eight fields and no name can
// be read back as another file's.

#include <array>
#include <cstddef>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

namespace quodrix {

class ActionLogFile {
public:
    // A block is written once it holds this many bytes.
    static constexpr std::size_t kBlockBytes = 65536;

    ActionLogFile() = default;
    ActionLogFile(ActionLogFile const&) = delete;
    ActionLogFile& operator=(ActionLogFile const&) = delete;

    // Adds a row to the file at `path`, whose first line is `header` (with its line end). The rows kept for
    // another file are written first. Writes the block once it has grown past kBlockBytes. The cause of a
    // failed write, else nullopt; the rows of a failed block are dropped.
    std::optional<std::string> append(std::string_view path, std::string_view header, std::string_view date,
        std::array<std::string_view, 7> const& fields);
    // Writes the rows kept; the cause of a failed write, else nullopt.
    std::optional<std::string> flush();
    // A row's date text for a time in seconds since 1970: the local time of its whole second as
    // "2026-12-08 09:40:37", made once a second; nullopt for a time that has no local date.
    std::optional<std::string_view> dateText(double secondsSince1970);

private:
    std::optional<std::time_t> m_dateSecond;
    std::string m_dateText;
    std::string m_path;
    std::string m_header;
    std::string m_block;
};

}
