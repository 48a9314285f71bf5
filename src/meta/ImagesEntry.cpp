// The entry of the images module (see ImagesModule.h).

#include "meta/ImagesModule.h"

#include "meta/ExifTags.h"
#include "meta/ImageProperties.h"

namespace {

std::unique_ptr<quodrix::ImageIO> makeImageIO()
{
    return std::make_unique<quodrix::ImageProperties>();
}

}

extern "C" quodrix::ImagesEntry const* quodrix_images_entry()
{
    static quodrix::ImagesEntry const entry { quodrix::kImagesEntryVersion, makeImageIO, quodrix::ExifTags::read };
    return &entry;
}
