#pragma once
// FolderWalk: the items below a folder, as the platform's folder enumerator reports them.
//
// The walk is depth first (a folder is reported before its contents), in the order in which the file
// system lists each folder. Hidden items, those whose name begins with "." and those that the folder's
// ".hidden" file lists (one name a line, as Linux file managers keep it), are neither reported nor entered.
// Symbolic links are reported as items that are not folders and are never followed. A package folder
// (see isPackageName) is reported and entered only when the caller asks for package contents. A folder that
// cannot be read is reported but contributes nothing; the walk goes on with the next item and its result
// is the failure of the first folder it could not read (the caller sees that the walk is incomplete). The
// starting folder itself is never reported; when it cannot be read the walk reports nothing and fails.

#include "fs/Status.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quodrix {

enum class PackageContents { Entered, Skipped };

struct WalkItem {
    std::string_view path;  // the starting path, "/", then the names down to this item
    std::string_view name;
    bool isFolder;          // a real folder, package folders included; never a link
    bool isLink;            // a symbolic link, whatever it leads to
};

// `stop`, when given, is asked before each folder below the starting one is read; when it answers true the
// walk ends there, and its result tells nothing of the folders it did not read.
Status walkFolder(std::string const& folder, PackageContents packages,
    std::function<void(WalkItem const&)> const& visit, std::function<bool()> const& stop = {});

struct FolderEntry {
    std::string name;
    bool isFolder;
};

// The direct contents of one folder, hidden items left out, in the file system's order; nullopt when the
// folder cannot be read (missing, not a folder, access refused). A link to a folder lists the folder.
std::optional<std::vector<FolderEntry>> listFolder(std::string const& folder);
// Whether the folder can be listed: it opens as a folder and the first batch of its entries reads. Only
// that batch is read (reading a folder of 10,000 entries whole costs as much as about 200 of its
// renames), so a read that fails further on is found by whoever lists the folder.
bool canListFolder(std::string const& folder);

}
