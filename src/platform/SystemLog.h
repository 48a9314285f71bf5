#pragma once
// The system log: diagnostic lines, one plain line per message on standard error, with no level and no
// prefix. They are never shown to the user as results.

#include <string_view>

namespace quodrix {

void systemLog(std::string_view line);

}
