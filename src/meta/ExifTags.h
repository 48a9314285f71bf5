#pragma once
// ExifTags: the Exif tags of an image file by their short names ("Model", "DateTimeOriginal"), as pattern
// renaming reads them. Values are Exiv2's text of each value, uninterpreted ("2024:05:01 10:20:30",
// "Canon EOS 5D"); where a short name occurs in several groups the first one Exiv2 lists wins. A file
// that is missing, unreadable or not an image has no tags. Nothing is thrown, but where the image code
// cannot be loaded at all (ImagesModule.h).

#include <map>
#include <string>

namespace quodrix {

// The images module is called through this; a change here raises kImagesEntryVersion (meta/ImagesModule.h).
class ExifTags {
public:
    using Tags = std::map<std::string, std::string, std::less<>>;
    static Tags read(std::string const& path);
};

}
