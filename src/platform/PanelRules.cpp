#include "platform/PanelRules.h"

#include "fs/FileStore.h"
#include "fs/FolderListing.h"
#include "fs/ItemNames.h"
#include "platform/SystemLog.h"

#include <algorithm>
#include <deque>
#include <dirent.h>
#include <filesystem>
#include <string_view>
#include <sys/stat.h>
#include <unordered_set>

namespace quodrix {

namespace {

std::string lowerAscii(std::string text)
{
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    }
    return text;
}

std::string absolutePath(std::string const& path)
{
    if (!path.empty() && path[0] == '/')
        return trimTrailingSlashes(path);
    std::error_code ec;
    auto absolute = std::filesystem::absolute(path, ec);
    return ec ? std::string() : trimTrailingSlashes(absolute.string());
}

// The folder that holds an absolute path's item; empty for "/".
std::string_view folderOf(std::string_view path)
{
    auto const slash = path.rfind('/');
    if (slash == std::string_view::npos || path.size() == 1)
        return {};
    return slash == 0 ? path.substr(0, 1) : path.substr(0, slash);
}

// The listing of the folder of a run of an answer's items that lie in one folder, one after the other (as a
// walk gives them), when the run is long enough for a listing to cost less than a look at each item. One
// run's listing is held at a time; an answer whose folders take turns gets none.
class RunListing {
public:
    explicit RunListing(std::vector<std::string> const& paths) : m_paths(paths) { }

    // The listing to check the item at m_paths[i] against, asked for with i from 0 up; null when there is none.
    FolderListing const* at(std::size_t i)
    {
        if (i >= m_end) {
            std::string_view const folder = folderOf(m_paths[i]);
            m_end = i + 1;
            while (m_end < m_paths.size() && !folder.empty() && folderOf(m_paths[m_end]) == folder)
                ++m_end;
            m_listing.reset();
            if (!folder.empty())
                m_listing = FolderListing::readFor(std::string(folder), m_end - i);
        }
        return m_listing ? &*m_listing : nullptr;
    }

private:
    std::vector<std::string> const& m_paths;
    std::size_t m_end = 0;  // where the run of the item asked for last ends
    std::optional<FolderListing> m_listing;
};

// Why the panel would not let its user choose the item; empty when it would. `listing`, when given, is the
// listing of the item's folder: an item that it shows as a file or a folder needs no look of its own.
std::string refusal(OpenPanelRequest const& request, std::string const& path, FolderListing const* listing)
{
    // A path that the system refuses (too long, or cut by a NUL) names no item.
    if (!FileStore::isUsablePath(path))
        return "no such item";
    std::string_view const name
        = path == "/" ? std::string_view(path) : std::string_view(path).substr(path.rfind('/') + 1);
    auto const listed = listing ? listing->typeOf(name) : std::nullopt;
    bool isFolder = false;
    if (listed && (*listed == DT_REG || *listed == DT_DIR)) {
        isFolder = *listed == DT_DIR;
    } else {
        // A link is followed, as the panel shows what it leads to.
        struct stat info {};
        if (stat(path.c_str(), &info) != 0)
            return "no such item";
        isFolder = S_ISDIR(info.st_mode);
    }
    bool const folder = isFolder && !isPackageName(name);
    if (folder && !request.canChooseDirectories)
        return "a folder, and the panel chooses files";
    if (!folder && !request.canChooseFiles)
        return "not a folder, and the panel chooses folders";
    if (!folder && request.allowedFileTypes) {
        auto dot = name.rfind('.');
        std::string extension
            = dot == std::string_view::npos ? std::string() : lowerAscii(std::string(name.substr(dot + 1)));
        bool allowed = std::any_of(request.allowedFileTypes->begin(), request.allowedFileTypes->end(),
            [&](std::string const& type) { return lowerAscii(type) == extension; });
        if (!allowed)
            return "not of a type the panel offers";
    }
    return {};
}

}

std::optional<std::vector<std::string>> acceptOpenAnswer(OpenPanelRequest const& request,
    std::optional<std::vector<std::string>> answer)
{
    if (!answer)
        return std::nullopt;
    std::vector<std::string> paths;
    paths.reserve(answer->size());
    for (auto const& given : *answer)
        paths.push_back(absolutePath(given));
    RunListing listings(paths);
    std::vector<std::string> accepted;
    accepted.reserve(answer->size());
    // The items accepted so far, by their paths in a plain spelling, so that an item named again as
    // "DIR/./a.jpg" or "DIR//a.jpg" is taken once, as it was first named. They are views of the strings in
    // `accepted`, which its reservation keeps in place, or, for a path spelled otherwise, in `respelled`.
    std::unordered_set<std::string_view> seen;
    seen.reserve(answer->size());
    std::deque<std::string> respelled;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        FolderListing const* listing = listings.at(i);
        std::string& path = paths[i];
        if (auto why = refusal(request, path, listing); !why.empty()) {
            systemLog("Open panel: refused " + (*answer)[i] + ": " + why);
            continue;
        }
        bool const plain = isCleanPath(path);
        std::string_view const key = plain ? std::string_view(path) : respelled.emplace_back(cleanedPath(path));
        if (seen.contains(key))
            continue;
        accepted.push_back(std::move(path));
        seen.insert(plain ? std::string_view(accepted.back()) : key);
    }
    if (accepted.empty())
        return std::nullopt;
    if (!request.allowsMultipleSelection && accepted.size() > 1) {
        systemLog("Open panel: refused the answer: the panel chooses one item");
        return std::nullopt;
    }
    return accepted;
}

std::optional<std::vector<std::string>> runOpenPanel(Panels& panels, OpenPanelRequest const& request)
{
    return acceptOpenAnswer(request, panels.runOpen(request));
}

std::optional<std::string> acceptSaveAnswer(SavePanelRequest const& request, std::optional<std::string> answer)
{
    if (!answer || answer->empty())
        return std::nullopt;
    std::string path = absolutePath(*answer);
    std::string name = path.substr(path.rfind('/') + 1);
    if (name.empty() || name == "." || name == "..")
        return std::nullopt;

    auto const& types = request.allowedFileTypes;
    if (types && !types->empty() && !request.allowsOtherFileTypes) {
        auto dot = name.rfind('.');
        std::string extension = dot == std::string::npos || dot == 0 ? std::string() : lowerAscii(name.substr(dot + 1));
        bool allowed = std::any_of(types->begin(), types->end(),
            [&](std::string const& type) { return lowerAscii(type) == extension; });
        if (!allowed)
            path += "." + types->front();
    }

    struct stat info {};
    if (stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
        systemLog("Save panel: refused " + path + ": a folder");
        return std::nullopt;
    }
    std::string parent = path.substr(0, std::max<std::size_t>(path.rfind('/'), 1));
    if (stat(parent.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        systemLog("Save panel: refused " + path + ": no such folder");
        return std::nullopt;
    }
    return path;
}

std::optional<std::string> runSavePanel(Panels& panels, SavePanelRequest const& request)
{
    return acceptSaveAnswer(request, panels.runSave(request));
}

}
