#pragma once
// FolderHandles: the folders that a run moves items in, each opened once and found again by the text of
// its path. A call through a folder's handle walks one name, where the item's path walks every folder from
// the root again: a run of many moves in a few folders pays that for each of its items.
//
// A handle stands for the folder that was at the path when it was opened. A holder that moves a folder, or
// an item that may be one, calls forgetAll afterwards, since a path opened again may lead elsewhere then.
// A folder that another process moves while the run goes on is not seen; the path would have followed
// it. A path whose folder cannot be opened, whose last component is no name ("/", "a/", ".", "..") or that
// is too long for the system (PATH_MAX) is used as it is. At most kLimit folders are kept open; the one
// used longest ago is closed to make room.

#include "fs/FileDescriptor.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quodrix {

class FolderHandles {
public:
    static constexpr std::size_t kLimit = 64;

    // Where an item is: a name within an open folder, or (folder AT_FDCWD) its path.
    struct Place {
        int folder;
        char const* name;  // points into the path given to at()
    };

    FolderHandles() = default;
    FolderHandles(FolderHandles const&) = delete;
    FolderHandles& operator=(FolderHandles const&) = delete;
    FolderHandles(FolderHandles&&) = default;
    FolderHandles& operator=(FolderHandles&&) = default;

    // The place of `path`, valid while `path` lives and until the next call of at() with another folder's
    // path, or of forgetAll(). Two places asked for one after the other are both valid: the folder used
    // last is never the one closed to make room.
    Place at(std::string const& path);
    Place at(std::string&& path) = delete;  // the place would point into a text about to go
    // Closes every folder: later calls open them anew.
    void forgetAll();
    std::size_t openCount() const;

private:
    struct Folder {
        std::string path;
        FileDescriptor handle;  // not valid when the folder could not be opened
        std::uint64_t lastUse = 0;
    };

    std::vector<Folder> m_folders;
    std::uint64_t m_uses = 0;
};

}
