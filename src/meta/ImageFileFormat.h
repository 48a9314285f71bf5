#pragma once
// Small facts read from an image file's own structure, where the metadata library does not report them:
// the colour model of the pixels and the number of images in a TIFF-structured file.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace quodrix {

// "RGB", "Gray" or "CMYK" for the pixels of a JPEG, PNG, WebP or GIF file; nullopt when unknown.
std::optional<std::string> sniffColorModel(std::string const& path);
// Whether the print system's image filters render the file: JPEG, PNG, TIFF or GIF, told by the file's first
// bytes. Other images (WebP, BMP, ...) would print as an empty page.
bool isPrintableImageFormat(std::string const& path);
// The size in pixels of a GIF file (its logical screen), which the metadata library does not open.
std::optional<std::pair<std::int64_t, std::int64_t>> gifPixelSize(std::string const& path);
// The number of images (IFDs in the main chain) of a classic TIFF stream; nullopt when `bytes` is not one.
std::optional<std::size_t> tiffImageCount(std::string_view bytes);

}
