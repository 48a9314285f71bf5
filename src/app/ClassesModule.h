#pragma once
// ClassesModule: the native classes live in a module of their own, <bundle>/lib/quodrix/quodrix-classes.so,
// which links ICU, GLib and libplist and which the runtime loads the first time a script asks for one of
// them. A start that uses none of them then loads none of those libraries. (The module in turn loads
// SQLite, GIO and the images module, with Exiv2 and Little CMS, when they are first needed.)
//
// The executable knows the module's classes by name only (classNames); the module registers them through
// its entry, quodrix_register_module_classes. A module that is missing or does not load makes the lookup
// that needed it fail with a BridgeError that names the module and the loader's reason.

#include <filesystem>
#include <functional>
#include <set>
#include <string>

namespace quodrix {

class Runtime;

class ClassesModule {
public:
    // Where the module of a bundle is: lib/quodrix/quodrix-classes.so under the bundle's folder.
    static std::filesystem::path path(std::filesystem::path const& bundleFolder);
    // The names of the classes that the module registers.
    static std::set<std::string, std::less<>> const& classNames();
    // Makes the runtime load the module at modulePath when one of classNames is first looked up.
    static void install(Runtime& runtime, std::filesystem::path modulePath);
};

}
