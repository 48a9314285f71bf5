#pragma once
// DesktopServices: what the desktop's workspace does for single items, through GIO.
//
// The trash is the freedesktop.org trash of the user (under $XDG_DATA_HOME, else ~/.local/share). Content
// types come from the shared MIME database ("image/jpeg", "inode/directory"). 

#include "fs/Status.h"

#include <cstdint>
#include <optional>
#include <string>

namespace quodrix {

// Moves the item (a link itself, not its target) to the trash; the failure carries GIO's message.
Status moveToTrash(std::string const& path);

// The content type of the item at the path; nullopt when it cannot be examined.
std::optional<std::string> contentTypeOf(std::string const& path);

// A byte count as short text in decimal units ("999 bytes", "1.5 kB"; a no-break space before kB and above).
std::string formatByteCount(std::uint64_t bytes);

}
