#pragma once
// Application: what main() does. Finds the bundle of the running executable, loads the bundle's scripts
// into one Lua host over a runtime that knows every native class, and runs the main loop with the
// process's arguments. Returns the exit status.

#include <filesystem>
#include <vector>
#include <string>

namespace quodrix {

class Application {
public:
    // The bundle: the folder above the folder that holds the executable's real path.
    static std::filesystem::path bundleFolder();
    static std::filesystem::path scriptsFolder(std::filesystem::path const& bundle);
    static std::filesystem::path resourcesFolder(std::filesystem::path const& bundle);

    static int run(std::vector<std::string> const& arguments);
};

}
