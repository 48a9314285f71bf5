#pragma once
// BookmarkKey: the per-user key that signs bookmark data, 32 random bytes in the file
// <application support>/BriskloCom/QuodrixBookmarks.key (mode 0600).
//
// The key is made the first time bookmark data is made; it is written under a temporary name and linked
// into place, so two processes that race end up with one key and a key file is never half-written. An
// existing key file is never replaced: a file that is not a key leaves bookmarks unusable (null results)
// rather than invalidating every bookmark made before.

#include <optional>
#include <string>

namespace quodrix::presets {

inline constexpr std::size_t kBookmarkKeySize = 32;

enum class KeyCreation { IfMissing, Never };

std::string bookmarkKeyPath();
// The key, or nullopt when there is none (and none may or can be made) or the file is not a key; `cause`,
// when given, then receives why ("create the folder /x: Permission denied", "... is not a bookmark key").
std::optional<std::string> bookmarkKey(KeyCreation creation, std::string* cause = nullptr);

}
