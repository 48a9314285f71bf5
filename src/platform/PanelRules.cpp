#include "platform/PanelRules.h"

#include "fs/FolderListing.h"
#include "fs/ItemNames.h"
#include "platform/SystemLog.h"

#include <algorithm>
#include <dirent.h>
#include <filesystem>
#include <string_view>
#include <sys/stat.h>
#include <unordered_map>
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

// The listings of the folders that hold many items of one answer: each read at the first of its items and
// let go after the last, so that an answer that goes folder by folder, as a walk's does, keeps one
// folder's names at a time.
class AnswerFolders {
public:
    explicit AnswerFolders(std::vector<std::string> const& paths)
    {
        for (auto const& path : paths) {
            std::string_view const folder = folderOf(path);
            if (auto found = m_folders.find(folder); found != m_folders.end())
                ++found->second.itemsLeft;
            else
                m_folders.emplace(std::string(folder), Folder { 1, std::nullopt, false });
        }
    }

    // The listing to check the item at `path` against (once for each path, in turn); null when its folder
    // holds too few of the items to be worth reading, or cannot be read.
    FolderListing const* listingFor(std::string_view path)
    {
        auto found = m_folders.find(folderOf(path));
        if (found == m_folders.end())
            return nullptr;
        Folder& folder = found->second;
        if (folder.itemsLeft >= FolderListing::kWorthReadingFrom && !folder.read) {
            folder.listing = FolderListing::read(found->first);
            folder.read = true;
        }
        if (--folder.itemsLeft > 0)
            return folder.listing ? &*folder.listing : nullptr;
        // The folder's last item: its listing goes with the next folder's last item.
        m_last = std::move(folder.listing);
        folder.listing.reset();
        return m_last ? &*m_last : nullptr;
    }

private:
    struct TextHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const { return std::hash<std::string_view>()(text); }
    };
    struct Folder {
        std::size_t itemsLeft;
        std::optional<FolderListing> listing;
        bool read;
    };

    std::unordered_map<std::string, Folder, TextHash, std::equal_to<>> m_folders;
    std::optional<FolderListing> m_last;  // the listing of the folder whose last item was asked for last
};

// Why the panel would not let its user choose the item; empty when it would. `listing`, when given, is the
// listing of the item's folder: an item that it shows as a file or a folder needs no look of its own.
std::string refusal(OpenPanelRequest const& request, std::string const& path, FolderListing const* listing)
{
    if (path.empty())
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
    AnswerFolders folders(paths);
    std::vector<std::string> accepted;
    accepted.reserve(answer->size());
    // The paths accepted so far, as views of the strings in `accepted`, which its reservation keeps in place.
    std::unordered_set<std::string_view> seen;
    seen.reserve(answer->size());
    for (std::size_t i = 0; i < paths.size(); ++i) {
        std::string& path = paths[i];
        if (auto why = refusal(request, path, folders.listingFor(path)); !why.empty()) {
            systemLog("Open panel: refused " + (*answer)[i] + ": " + why);
            continue;
        }
        if (seen.contains(path))
            continue;
        accepted.push_back(std::move(path));
        seen.insert(accepted.back());
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
