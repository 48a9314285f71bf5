#pragma once
// Small facts read from an image file's own structure, where the metadata library does not report them:
// the colour model of the pixels and the number of images in a TIFF-structured file.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace quodrix {

// "RGB", "Gray" or "CMYK" for the pixels of a JPEG, PNG, WebP or GIF file; nullopt when unknown.
std::optional<std::string> sniffColorModel(std::string const& path);
// The number of images (IFDs in the main chain) of a classic TIFF stream; nullopt when `bytes` is not one.
std::optional<std::size_t> tiffImageCount(std::string_view bytes);

}
