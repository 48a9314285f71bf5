#pragma once
// The Exif user comment as stored: an eight-byte character-code prefix, then the text.
//
// Writing: "ASCII\0\0\0" and the bytes for ASCII text; "UNICODE\0" and UTF-16 (surrogate pairs for characters
// beyond the basic plane) in the image's byte order otherwise. Reading accepts what other tools write:
// ASCII, UNICODE in either byte order (a byte-order mark wins, otherwise the order whose text looks
// plausible), and an undefined prefix holding UTF-8 or Latin-1. Trailing NULs are padding and are dropped.

#include <string>
#include <string_view>

namespace quodrix {

enum class ByteOrder { Little, Big };

std::string encodeUserComment(std::string_view utf8, ByteOrder order);
std::string decodeUserComment(std::string_view stored, ByteOrder order);

}
