#include "app/ClassesModule.h"

#include "core/BridgeError.h"
#include "core/Runtime.h"
#include "platform/SharedLibrary.h"

#include <memory>

namespace quodrix {

std::filesystem::path ClassesModule::path(std::filesystem::path const& bundleFolder)
{
    return bundleFolder / "lib" / "quodrix" / "quodrix-classes.so";
}

std::set<std::string, std::less<>> const& ClassesModule::classNames()
{
    // Kept equal to what registerModuleClasses registers by tests/app/ClassesModuleTest.cpp.
    static std::set<std::string, std::less<>> const names {
        "Messenger", "MyModel", "MyObjectControler", "QDFFullScreen", "QDFileProperty", "QDRenamePlan",
        "QDRunHistory", "QDbookmarks", "cAppUpdater", "cNSFileHandling", "cNSStringHandling", "cPrint", "cRenameTextFile", "cToolBox",
        "dbViewController", "mMeta", "ocFileRename", "ocPopUpBtnAppearance"
    };
    return names;
}

void ClassesModule::install(Runtime& runtime, std::filesystem::path modulePath)
{
    runtime.addClassProvider(classNames(), [modulePath = std::move(modulePath)](Runtime& r) {
        // Loaded once and never unloaded: the classes' code stays in use for the life of the process.
        static std::unique_ptr<SharedLibrary> module;
        std::string const where = "cannot load the native classes from " + modulePath.string() + ": ";
        if (!module) {
            std::string error;
            module = SharedLibrary::load(modulePath.string(), &error);
            if (!module)
                throw BridgeError(where + error);
        }
        void (*registerClasses)(Runtime&) = nullptr;
        if (!module->bind(registerClasses, "quodrix_register_module_classes"))
            throw BridgeError(where + "it has no quodrix_register_module_classes");
        registerClasses(r);
    });
}

}
