#pragma once
// Real image files for the metadata and printing tests, made by other tools: ImageMagick draws them, ExifTool
// adds metadata, Little CMS makes the ICC profile. Every helper fails the test (through ADD_FAILURE) when its
// tool fails.

#include <filesystem>
#include <string>

namespace quodrix::test {

// Runs ImageMagick's convert with the arguments (a shell fragment); true when it succeeded.
bool convert(std::string const& arguments);
// The same for output that this machine's ImageMagick may be unable to write (HEIC): false without failing the
// test, so that the caller can skip.
bool convertIfAble(std::string const& arguments);
// A JPEG of only its JFIF and Exif segments and the end marker: an Exif colour space of sRGB and no frame or
// scan, so metadata without any pixels.
std::string jpegWithoutImageData();
// Runs ExifTool on a file with the arguments (a shell fragment), changing it in place.
bool exiftool(std::string const& arguments, std::filesystem::path const& file);
// The value of one tag as ExifTool prints it (-s3), without the final newline.
std::string exiftoolValue(std::string const& tag, std::filesystem::path const& file);
// One value as the exiv2 command-line tool prints it (-Pt, interpreted).
std::string exiv2Value(std::string const& key, std::filesystem::path const& file);
// A digest of the pixels of every image in the file, one line per image (ImageMagick's "%#").
std::string pixelDigest(std::filesystem::path const& file);
// The number of images in the file, as ImageMagick counts them.
int imageCount(std::filesystem::path const& file);
// Writes an RGB ICC profile whose description is `description`.
void writeProfile(std::filesystem::path const& file, std::string const& description);
// Shell quoting of one word.
std::string shellQuoted(std::string const& text);

}

#include "core/Value.h"

#include <ostream>

namespace quodrix {

// Values in test failures as their text form.
inline void PrintTo(Value const& value, std::ostream* os)
{
    *os << "Value(" << value.description() << ")";
}

}
