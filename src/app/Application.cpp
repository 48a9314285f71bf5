#include "app/Application.h"

#include "app/BaseClasses.h"
#include "app/ClassesModule.h"
#include "core/Runtime.h"
#include "lua/LuaHost.h"
#include "platform/Platform.h"

#include <clocale>
#include <cstdio>

namespace quodrix {

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
    std::setlocale(LC_MESSAGES, "");
    try {
        std::filesystem::path const bundle = bundleFolder();
        Platform platform(resourcesFolder(bundle));
        Runtime runtime(platform);
        registerBaseClasses(runtime);
        ClassesModule::install(runtime, ClassesModule::path(bundle));
        runtime.checkClasses();
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
