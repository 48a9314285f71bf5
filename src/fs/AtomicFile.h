#pragma once
// AtomicFile: whole-file reads and writes.
//
// writeFileAtomically() writes the bytes to a hidden file beside the target, flushes it to disk and
// renames it over the target in one step: a reader sees the old contents or the new ones, never a part,
// and a failed write leaves the old file as it was (nothing is ever emptied first). A target that is a
// symbolic link to a file is written through: the file it names gets the new contents and the link stays.
// An existing file keeps its permission bits (and its owner, where the process may give it); a new one
// gets the default permissions.

#include <optional>
#include <string>
#include <string_view>

namespace quodrix {

bool writeFileAtomically(std::string const& path, std::string_view bytes);

// The whole contents of a regular file (links followed); nullopt when it cannot be read or is a folder.
std::optional<std::string> readWholeFile(std::string const& path);

}
