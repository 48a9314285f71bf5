#pragma once
// Base64 with the standard alphabet of RFC 4648 ("+" and "/", "=" padding), through GLib.

#include <optional>
#include <string>
#include <string_view>

namespace quodrix::base64 {

// The bytes as one line of base64, without line breaks.
std::string encode(std::string_view bytes);

// The bytes of a base64 text. Characters outside the alphabet (line breaks, spaces, anything else) are
// skipped first; what is left must be whole groups of four with "=" only as padding at the very end,
// otherwise the result is nullopt. An empty text gives empty bytes.
std::optional<std::string> decode(std::string_view text);

}
