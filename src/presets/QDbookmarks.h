#pragma once
// QDbookmarks: turns a file URL into bookmark data and back (see BookmarkRecord.h for what the data holds).
// Instances keep no state. Both operations answer null instead of failing: for a URL whose item does not
// exist, and for data that is not bookmark data, was signed with another key, or whose item moved, was
// renamed or was replaced.

#include "core/Object.h"

#include <optional>

namespace quodrix {

class Runtime;

class QDbookmarks : public Object {
public:
    static void registerClass(Runtime& runtime);

    // `cause`, when given, receives why a null answer was given where the key is at fault.
    std::optional<Data> bookmarkForURL(Url const& url, std::string* cause = nullptr) const;
    std::optional<Url> urlForBookmark(Data const& bookmark, std::string* cause = nullptr) const;
};

}
