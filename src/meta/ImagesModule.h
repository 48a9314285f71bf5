#pragma once
// ImagesModule: the image code that needs Exiv2 and Little CMS (ImageProperties, ExifTags) lives in a module
// of its own, quodrix-images.so beside the classes module, loaded the first time an image's metadata is read
// or written. Commands that touch no image's metadata (renaming by expression or position, lists, presets,
// text files) then load neither library, nor run their constructors.
//
// The classes module reaches the image code only through sharedImageIO and ExifTags::read. In the classes
// module those two come from ImagesModule.cpp, which loads the images module and forwards to its entry,
// quodrix_images_entry; the static library that tests link holds the image code itself instead. A module
// that is missing or does not load makes the call that needed it fail with a BridgeError that names the
// module and the loader's reason. The images module binds its calls to its own functions (it is linked
// with -Bsymbolic-functions), so that its ExifTags::read can never be taken for the loader's.

#include "meta/ExifTags.h"

#include <cstdint>
#include <memory>
#include <string>

namespace quodrix {

class ImageIO;

// What the images module gives the classes module. The version is raised whenever the entry, ImageIO or
// ExifTags::Tags changes, so that an images module made with another of them is refused rather than called
// the wrong way; the two modules are built and installed together.
constexpr std::uint32_t kImagesEntryVersion = 2;
struct ImagesEntry {
    std::uint32_t version = kImagesEntryVersion;
    std::unique_ptr<ImageIO> (*makeImageIO)() = nullptr;
    ExifTags::Tags (*readExifTags)(std::string const& path) = nullptr;
};

}

extern "C" quodrix::ImagesEntry const* quodrix_images_entry();
