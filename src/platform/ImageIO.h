#pragma once
// ImageIO: the platform's image reading and metadata writing, as the metadata editor uses it.
//
// An image file is opened as a source; a source that opens may still yield no properties (a file that is
// not an image). The property dictionary of the first image carries its pixel size and colour model at the
// top and its metadata groups ("{Exif}", "{GPS}", "{IPTC}", "{TIFF}", "{XMP}", ...) as nested dictionaries.
// No call throws: failures are results.
//
// Reading metadata is not loading the image: a file may carry metadata and no pixels (a JPEG of only its
// JFIF and Exif segments, a format whose metadata is read but whose pixels are not). colorSpaceName and
// pixelSize answer only for a file that loads as an image, and decide that the same way: a readable file whose
// image data give a size in pixels, width and height above zero. One gives a name exactly when the other
// gives a size.

#include "core/Value.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

namespace quodrix {

enum class ImageSource {
    None,        // no source: the file is missing or cannot be read
    NoImage,     // the file opens but is not an image of a known type
    Image,       // an image with its properties
};

struct ImageReading {
    ImageSource source = ImageSource::None;
    Dictionary properties;                   // empty unless source is Image
    std::optional<std::string> userComment;  // the Exif user comment of the first image, when it has one
};

// The images module is called through this; a change here raises kImagesEntryVersion (meta/ImagesModule.h).
class ImageIO {
public:
    virtual ~ImageIO() = default;

    virtual ImageReading read(std::string const& path) = 0;
    // Sets the Exif user comment of the first image (nullopt: removes it, so that the image has none), keeping
    // every other tag, the pixels and the other images of the file; the file is replaced atomically. False,
    // with the file as it was, when it cannot be done. `cause`, when given, receives why a write failed (the
    // system's or the image library's message).
    virtual bool writeUserComment(std::string const& path, std::optional<std::string> const& comment,
        std::string* cause = nullptr) = 0;
    // The display name of the colour space of the image's pixels; nullopt when the file does not load as an image.
    virtual std::optional<std::string> colorSpaceName(std::string const& path) = 0;
    // Width and height in pixels, both above zero; nullopt when the file does not load as an image.
    virtual std::optional<std::pair<std::int64_t, std::int64_t>> pixelSize(std::string const& path) = 0;
    // The display label of a property key; the key itself when there is none.
    virtual std::string label(std::string const& key) = 0;
};

}
