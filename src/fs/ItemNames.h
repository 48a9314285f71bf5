#pragma once
// ItemNames: how the platform reads the names of items: hidden names, package folders, extensions.

#include <string>
#include <string_view>

namespace quodrix {

// A name that begins with "." is hidden (".DS_Store" included). Names that a folder's ".hidden" file
// lists are hidden too; the folder reader handles those.
inline bool isDotName(std::string_view name)
{
    return !name.empty() && name[0] == '.';
}

// Whether a folder of this name is a package, shown as one item and not entered: its name ends in .app,
// .bundle, .framework, .plugin, .kext, .pkg, .rtfd or .photoslibrary (any case).
bool isPackageName(std::string_view name);

// The text after the last "." of a name, without the dot; empty when there is none.
std::string_view extensionOf(std::string_view name);

// The path without trailing "/" ("/" itself stays "/").
std::string trimTrailingSlashes(std::string path);

// The path without "." components, repeated slashes and trailing slashes ("/a/./b//c/" gives "/a/b/c"), so
// that one item has one spelling and rows read as a person expects. ".." stays: what it names depends on
// links. "" and a path of only "." components give ".".
std::string cleanedPath(std::string const& path);

// Whether cleanedPath would give the path as it is.
bool isCleanPath(std::string_view path);

// The name that the first item of a cycle of renames (x to y while y to x) takes while the others move:
// ".quodrix-cycle-<pid>-<index>-<attempt>", beside its own. Undo knows such a step by it.
constexpr std::string_view kCycleNamePrefix = ".quodrix-cycle-";
inline bool isCycleTemporaryName(std::string_view name)
{
    return name.starts_with(kCycleNamePrefix);
}
// Whether the last component of `path` is such a name.
bool isCycleTemporaryPath(std::string const& path);

}
