// The classes module's way to the image code: the images module, loaded on first use (see ImagesModule.h).

#include "meta/ImagesModule.h"

#include "core/BridgeError.h"
#include "core/Runtime.h"
#include "meta/ImageProperties.h"
#include "platform/ImageIO.h"
#include "platform/Platform.h"
#include "platform/SharedLibrary.h"

#include <dlfcn.h>
#include <filesystem>
#include <optional>

namespace quodrix {

namespace {

// The images module beside the module that holds this code; nullopt when the loader cannot say where that
// is (then no library of that name is looked for on the system's paths instead).
std::optional<std::string> imagesModulePath()
{
    Dl_info info {};
    static char const anchor = 0;
    if (!dladdr(&anchor, &info) || !info.dli_fname || info.dli_fname[0] != '/')
        return std::nullopt;
    return (std::filesystem::path(info.dli_fname).parent_path() / "quodrix-images.so").string();
}

// Loaded once and never unloaded: its objects (the platform's image service) live as long as the process.
ImagesEntry const& imagesEntry()
{
    struct Loaded {
        std::unique_ptr<SharedLibrary> module;
        ImagesEntry const* entry = nullptr;
        std::string error;
    };
    static Loaded const loaded = [] {
        Loaded result;
        auto const path = imagesModulePath();
        if (!path) {
            result.error = "cannot load the image support: the folder of the classes module is not known";
            return result;
        }
        std::string const where = "cannot load the image support from " + *path + ": ";
        std::string error;
        result.module = SharedLibrary::load(*path, &error);
        ImagesEntry const* (*entry)() = nullptr;
        if (!result.module)
            result.error = where + error;
        else if (!result.module->bind(entry, "quodrix_images_entry"))
            result.error = where + "it has no quodrix_images_entry";
        else if (ImagesEntry const* given = entry(); !given || given->version != kImagesEntryVersion)
            result.error = where + "it is of another build than the classes module";
        else
            result.entry = given;
        return result;
    }();
    if (!loaded.entry)
        throw BridgeError(loaded.error);
    return *loaded.entry;
}

}

ImageIO& sharedImageIO(Runtime& runtime)
{
    if (!runtime.platform().imageIO())
        runtime.platform().setImageIO(imagesEntry().makeImageIO());
    return *runtime.platform().imageIO();
}

ExifTags::Tags ExifTags::read(std::string const& path)
{
    return imagesEntry().readExifTags(path);
}

}
