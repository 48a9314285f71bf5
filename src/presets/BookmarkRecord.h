#pragma once
// BookmarkRecord: what bookmark data holds on Linux.
//
// The bytes are "QDBM", a version byte (1), a GVariant of type (uttxuay) holding the item's identity
// (file type, device, inode, birth time in seconds and nanoseconds where the file system records it) and
// the URL text it was made from, then an HMAC-SHA256 of everything before it under the user's bookmark key.
// Data resolves to its URL only while its signature holds under the key and the item at the URL's path
// still has the recorded identity: an item that was moved, renamed, or replaced by another item at the
// path no longer resolves.

#include "core/Value.h"

#include <optional>
#include <string>
#include <string_view>

namespace quodrix::presets {

// Bookmark data for a file URL whose item exists; nullopt otherwise.
std::optional<std::string> makeBookmark(Url const& url, std::string_view key);
// The URL of bookmark data, or nullopt for bytes that are not bookmark data under this key, or whose item
// is no longer where and what it was.
std::optional<Url> resolveBookmark(std::string_view bytes, std::string_view key);

}
