#include "platform/SavePanelRules.h"

#include "platform/SystemLog.h"

#include <algorithm>
#include <filesystem>
#include <strings.h>
#include <sys/stat.h>

namespace quodrix {

static std::string extensionOfName(std::string const& name)
{
    auto dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : name.substr(dot + 1);
}

std::optional<std::string> acceptSaveAnswer(SavePanelRequest const& request, std::optional<std::string> answer)
{
    if (!answer || answer->empty())
        return std::nullopt;
    std::string path = *answer;
    if (path[0] != '/') {
        std::error_code ec;
        path = (std::filesystem::current_path(ec) / path).string();
    }
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    std::string name = path.substr(path.rfind('/') + 1);
    if (name.empty() || name == "." || name == "..")
        return std::nullopt;

    if (request.allowedFileTypes && !request.allowedFileTypes->empty() && !request.allowsOtherFileTypes) {
        std::string extension = extensionOfName(name);
        auto const& types = *request.allowedFileTypes;
        bool allowed = std::any_of(types.begin(), types.end(),
            [&](std::string const& type) { return strcasecmp(type.c_str(), extension.c_str()) == 0; });
        if (!allowed || extension.size() == name.size() - 1)
            path += "." + types.front();
    }

    struct stat info {};
    if (stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
        systemLog("save panel: " + path + " is a folder");
        return std::nullopt;
    }
    std::string parent = path.substr(0, std::max<std::size_t>(path.rfind('/'), 1));
    if (stat(parent.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        systemLog("save panel: no folder " + parent);
        return std::nullopt;
    }
    return path;
}

std::optional<std::string> runSavePanel(Panels& panels, SavePanelRequest const& request)
{
    return acceptSaveAnswer(request, panels.runSave(request));
}

}
