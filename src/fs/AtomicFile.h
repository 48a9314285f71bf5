#pragma once
// AtomicFile: whole-file reads and writes.
//
// writeFileAtomically() writes the bytes to a temporary file beside the target, flushes it to disk,
// renames it over the target in one step and flushes the folder: a reader sees the old contents or the
// new ones, never a part, and a failed write leaves the old file as it was (nothing is ever emptied
// first) and no temporary file behind. A target that is a symbolic link to a file is written through:
// the file it names gets the new contents and the link stays. An existing file keeps its permission bits,
// its extended attributes (a write fails that cannot keep them) and its owner, where the process may give
// it; a new one gets the default permissions.
//
// writeNewFile() does the same for a file that must not exist yet: it is linked into place, so an item
// that appeared meanwhile is never replaced ("would replace an existing item").

#include "fs/Status.h"

#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace quodrix {

// Whether the written temporary file is read back from the disk and compared before it takes the
// target's place: a file that does not read back as written is removed and the target stays as it was.
enum class ReadBack { No, Checked };

Status writeFileAtomically(std::string const& path, std::string_view bytes, ReadBack readBack = ReadBack::No);

Status writeNewFile(std::string const& path, std::string_view bytes, mode_t mode);

// The whole contents of a regular file (links followed); nullopt when it cannot be read or is a folder.
std::optional<std::string> readWholeFile(std::string const& path);
// The same, with the cause of a failure: "read /a/x.jpg: Input/output error".
Status readWholeFile(std::string const& path, std::string& bytes);

}
