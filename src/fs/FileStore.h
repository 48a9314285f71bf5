#pragma once
// FileStore: copying and moving one item (a file, a symbolic link or a whole folder) to a new path
// without ever replacing what is there.
//
// Both operations refuse when an item exists at the destination, when the destination's parent folder is
// missing (no folder is ever created) or when the source is missing. A copy keeps permissions, modification
// times and extended attributes, as the platform's copy does, and symbolic links are copied as links. The
// new item is built under a hidden temporary name beside the destination and renamed into place in one
// step, so a failed copy leaves nothing under the destination name. A move is one rename within a file
// system and a copy followed by removal of the source across file systems.

#include <string>

namespace quodrix {

class FileStore {
public:
    // Whether an item (file, folder, or link, even a dangling one) exists at the path.
    static bool exists(std::string const& path);

    static bool copyItem(std::string const& source, std::string const& destination);
    static bool moveItem(std::string const& source, std::string const& destination);

    // Whether a path can name an item: not empty, no NUL (the system would read only the part before it)
    // and not longer than the system takes.
    static bool isUsablePath(std::string const& path);
    // Whether a name is one path component: not empty, not "." or "..", no "/" and no NUL.
    static bool isSingleComponent(std::string const& name);
    // The path with its last component removed ("/a/b/x.jpg" gives "/a/b"; "x" gives ".").
    static std::string parentOf(std::string const& path);
    static std::string lastComponent(std::string const& path);
    // Removes a file, link or whole folder; true when nothing is left at the path.
    static bool removeTree(std::string const& path);

    // Building blocks for callers that place items their own way.
    // Copies the item at `source` (file, link, fifo or folder tree, keeping permissions, times and extended
    // attributes) to `target`, which must not exist; a failed copy may leave part of it at `target`.
    static bool copyTree(std::string const& source, std::string const& target);
    // A hidden name beside `path`, in the same folder, unused at the moment of the call.
    static std::string temporaryNameBeside(std::string const& path);
};

}
