#pragma once
// The system log: diagnostic lines, one plain line per message, with no level and no prefix. They are never
// shown to the user as results. They go to standard error until the application sends them into a file
// (setSystemLogFile), as the bundled command-line application does so that they stay off the terminal.

#include <string>
#include <string_view>

namespace quodrix {

void systemLog(std::string_view line);

// From now on the lines go to the file at `path`, started afresh; an empty path sends them back to standard
// error. Returns false, and keeps the present destination, when the file cannot be opened.
[[nodiscard]] bool setSystemLogFile(std::string const& path);

}
