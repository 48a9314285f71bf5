#include "platform/PanelRules.h"

#include "fs/ItemNames.h"
#include "platform/SystemLog.h"

#include <algorithm>
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

// Why the panel would not let its user choose the item; empty when it would.
std::string refusal(OpenPanelRequest const& request, std::string const& path)
{
    struct stat info {};
    if (path.empty() || stat(path.c_str(), &info) != 0)
        return "no such item";
    std::string_view const name
        = path == "/" ? std::string_view(path) : std::string_view(path).substr(path.rfind('/') + 1);
    bool folder = S_ISDIR(info.st_mode) && !isPackageName(name);
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
    std::vector<std::string> accepted;
    accepted.reserve(answer->size());
    // The paths accepted so far, as views of the strings in `accepted`, which its reservation keeps in place.
    std::unordered_set<std::string_view> seen;
    seen.reserve(answer->size());
    for (auto const& given : *answer) {
        std::string path = absolutePath(given);
        if (auto why = refusal(request, path); !why.empty()) {
            systemLog("Open panel: refused " + given + ": " + why);
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
