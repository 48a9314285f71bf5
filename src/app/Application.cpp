#include "app/Application.h"

#include "app/BaseClasses.h"
#include "app/ClassesModule.h"
#include "core/Runtime.h"
#include "lua/LuaHost.h"
#include "platform/Platform.h"

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace quodrix {

namespace {

// Whether the user's settings ask for messages other than the C locale's. When they name the C locale
// itself (or nothing) and no LANGUAGE list, setting it would give the very same messages, and loading it
// costs a good part of a start-up.
bool messagesNeedTheUsersLocale()
{
    auto const set = [](char const* name) {
        char const* value = std::getenv(name);
        return value && *value ? value : nullptr;
    };
    if (set("LANGUAGE"))
        return true;
    char const* locale = set("LC_ALL");
    if (!locale)
        locale = set("LC_MESSAGES");
    if (!locale)
        locale = set("LANG");
    if (!locale)
        return false;
    std::string_view const name(locale);
    return name != "C" && name != "POSIX" && name != "C.UTF-8" && name != "C.utf8";
}

}

std::filesystem::path Application::bundleFolder()
{
    std::error_code ec;
    auto executable = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec)
        return std::filesystem::current_path(ec);
    return executable.parent_path().parent_path();
}

std::filesystem::path Application::resourcesFolder(std::filesystem::path const& bundle)
{
    return bundle / "share" / "quodrix";
}

std::filesystem::path Application::scriptsFolder(std::filesystem::path const& bundle)
{
    return resourcesFolder(bundle) / "Scripts";
}

int Application::run(std::vector<std::string> const& arguments)
{
    // Messages follow the user's language; numbers and character classes stay those of the C locale.
    if (messagesNeedTheUsersLocale())
        std::setlocale(LC_MESSAGES, "");
    try {
        std::filesystem::path const bundle = bundleFolder();
        Platform platform(resourcesFolder(bundle));
        Runtime runtime(platform);
        provideBaseClasses(runtime);
        ClassesModule::install(runtime, ClassesModule::path(bundle));
        LuaHost host(runtime);
        host.setArguments(arguments);
        std::string error;
        if (!host.loadScripts(platform.scriptsFolder(), error)) {
            error += '\n';
            std::fwrite(error.data(), 1, error.size(), stderr);
            return 1;
        }
        return host.runMainLoop();
    } catch (std::exception const& e) {
        std::fprintf(stderr, "quodrix: %s\n", e.what());
        return 1;
    }
}

}
