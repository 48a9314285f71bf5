#include "platform/Paths.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace quodrix {

static std::string environment(char const* name)
{
    char const* value = std::getenv(name);
    return value ? value : "";
}

std::string homeDirectory()
{
    std::string home = environment("HOME");
    if (!home.empty())
        return home;
    if (passwd const* entry = getpwuid(getuid()); entry && entry->pw_dir)
        return entry->pw_dir;
    return "/";
}

std::string joinPath(std::string const& folder, std::string const& name)
{
    if (folder.empty())
        return name;
    if (folder.back() == '/')
        return folder + name;
    return folder + "/" + name;
}

std::string temporaryDirectory()
{
    return joinPath(homeDirectory(), "Temp");
}

std::string applicationSupportDirectory()
{
    std::string data = environment("XDG_DATA_HOME");
    if (!data.empty() && data[0] == '/')
        return data;
    return joinPath(homeDirectory(), ".local/share");
}

std::string configDirectory()
{
    std::string config = environment("XDG_CONFIG_HOME");
    if (!config.empty() && config[0] == '/')
        return config;
    return joinPath(homeDirectory(), ".config");
}

std::string quodrixSupportDirectory()
{
    return joinPath(applicationSupportDirectory(), "BriskloCom");
}

std::string applicationLogFile()
{
    return joinPath(quodrixSupportDirectory(), "Quodrix Log.txt");
}

std::string stateDirectory()
{
    std::string state = environment("XDG_STATE_HOME");
    if (state.empty() || state[0] != '/')
        state = joinPath(homeDirectory(), ".local/state");
    return joinPath(state, "quodrix");
}

}
