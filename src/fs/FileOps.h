#pragma once
// FileOps: the building blocks of the file-system layer, each a step over SystemCalls whose every result
// is looked at. ItemPlacement, AtomicFile and FolderWalk are made of these; other folders use those.
//
// Temporary items are named ".quodrix-<pid>-<random>.partial", beside the item they become, so that a
// later run can tell the leftovers of a process that no longer runs (removeStaleTemporaries) from those
// of one still at work.

#include "fs/FileDescriptor.h"
#include "fs/FolderHandles.h"
#include "fs/Status.h"

#include <optional>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <vector>

namespace quodrix {

// Whether a copy reaches the disk before it is used: a flushed copy has every file and every folder
// synced (contents first, then the folder that names them).
enum class Durability { Cached, Flushed };

// The status of the item itself (links not followed); nullopt when there is none (errno tells why).
std::optional<struct stat> itemStatus(std::string const& path);
// The same, the item looked at within its folder's handle.
std::optional<struct stat> itemStatus(std::string const& path, FolderHandles& folders);
bool isFolderPath(std::string const& path);  // a folder once links are followed

// Whether `path` lies inside the folder `folder` or is it; both already resolved.
bool liesInside(std::string const& path, std::string const& folder);
// The path with links resolved; nullopt when it names nothing.
std::optional<std::string> resolvedPath(std::string const& path);

// The names in a folder ("." and ".." left out); fails when any part of the folder cannot be read.
// (FolderListing gives each name's type too, for looking names up.)
Status readFolderNames(std::string const& folder, std::vector<std::string>& names);

// Writes every byte, going on after short writes.
Status writeAll(int fd, std::string_view bytes, std::string const& path);
// Opens a regular file (links followed) for reading, without waiting on the way (so that a named pipe
// cannot hold the caller), and gives its status; anything but a regular file is refused ("read PATH: not
// a file"), since a device could be endless.
Status openFileForReading(std::string const& path, FileDescriptor& file, struct stat& info);
// Flushes the folder, so that the names it holds reach the disk.
Status flushFolder(std::string const& folder);

// How a file keeps the extended attributes (user attributes such as a file manager's tags, access control
// lists) of another: as far as its file system takes them (a copy onto another file system, which may take
// none), or every one, a failure to read or to set one failing the whole (a file that takes another's
// place on the same file system). Either way an attribute that the process may not set (one of the
// security or trusted namespaces, for a process without the privilege) or that the file system does not
// take is left out.
enum class Attributes { AsTheTargetTakes, Every };
// Gives the file open as `to` the extended attributes of the file open as `from`; `source` and `target`
// name the two in a failure ("read the extended attributes of /x/a.jpg: Input/output error").
Status copyExtendedAttributes(int from, int to, std::string const& source, std::string const& target, Attributes how);

// Copies the item at `source` (file, link, fifo or folder tree, keeping permissions, times and extended
// attributes) to `target`, which must not exist. A copy that could not read every entry fails. A failed
// copy may leave part of it at `target`: callers copy to a temporary name.
Status copyTree(std::string const& source, std::string const& target, Durability durability);
// Removes a file, link or whole folder; fails unless nothing is left at the path. With `Opened`, a folder
// of the user's own that its owner may not read, write or enter is given that access first: a folder kept
// as it was, with its permissions, can then still be emptied.
enum class LockedFolders { Refused, Opened };
Status removeTree(std::string const& path, LockedFolders locked = LockedFolders::Refused);

// Renames without replacing (EEXIST when something is at `to`), through the folders' handles when given.
Status renameNoReplace(std::string const& from, std::string const& to, FolderHandles* folders = nullptr);

// A hidden temporary name beside `path`: ".quodrix-<pid>-<random>.partial" in the same folder.
std::string temporaryNameBeside(std::string const& path);
// Whether the name is a temporary name of this layer; gives the owning process.
std::optional<long> temporaryOwner(std::string_view name);
// Removes the temporary items in `folder` whose owning process no longer runs; those of a live process
// (this one included) stay. Best effort: what cannot be removed is left for the next time.
// Whether the process runs: it exists and has not ended (a killed process that its parent has not yet
// reaped is a zombie, and counts as ended).
bool processIsRunning(long pid);

void removeStaleTemporaries(std::string const& folder);

}
