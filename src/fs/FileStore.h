#pragma once
// FileStore: storing one item (a file, a symbolic link or a whole folder) at a new path without ever
// replacing what is there, and the path helpers of the file-system layer.
//
// copyItem and moveItem are ItemPlacement with the policy Existing::Kept: they refuse when an item exists
// at the destination, when the destination's parent folder is missing (no folder is ever created) or when
// the source is missing. A copy keeps permissions, modification times and extended attributes, as the
// platform's copy does, and symbolic links are copied as links; it is built under a temporary name and
// renamed into place in one step, so a failed copy leaves nothing under the destination name. A move is
// one rename within a file system; across file systems it is a copy flushed to disk, then removal of the
// source.

#include "fs/Status.h"

#include <string>
#include <string_view>
#include <utility>

namespace quodrix {

class FileStore {
public:
    // Whether an item (file, folder, or link, even a dangling one) exists at the path.
    static bool exists(std::string const& path);

    static Status copyItem(std::string const& source, std::string const& destination);
    static Status moveItem(std::string const& source, std::string const& destination);

    // Whether a path can name an item: not empty, no NUL (the system would read only the part before it)
    // and not longer than the system takes.
    static bool isUsablePath(std::string const& path);
    // Whether a name is one path component: not empty, not "." or "..", no "/" and no NUL.
    static bool isSingleComponent(std::string const& name);
    // The folder part and the name part of a path, as views into it: "/a/b/x.jpg" gives "/a/b" and "x.jpg",
    // "x" gives "." and "x", "/x" gives "/" and "x"; trailing slashes are left as they are ("a/" has an
    // empty name), as a new name must be one.
    static std::pair<std::string_view, std::string_view> splitPath(std::string_view path);
    // The same for the item a path names: trailing slashes name the item before them ("a/b/" gives "a" and
    // "b").
    static std::pair<std::string_view, std::string_view> splitItemPath(std::string_view path);
    // The path with its last component removed ("/a/b/x.jpg" gives "/a/b"; "x" gives ".").
    static std::string parentOf(std::string const& path);
    static std::string lastComponent(std::string const& path);
    // Removes a file, link or whole folder; succeeds when nothing is left at the path.
    static Status removeTree(std::string const& path);
};

}
