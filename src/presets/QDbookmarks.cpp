#include "presets/QDbookmarks.h"

#include "core/Class.h"
#include "core/Runtime.h"
#include "platform/Platform.h"
#include "presets/BookmarkKey.h"
#include "presets/BookmarkRecord.h"

namespace quodrix {

using namespace presets;

std::optional<Data> QDbookmarks::bookmarkForURL(Url const& url, std::string* cause) const
{
    if (!url.path())
        return std::nullopt;
    auto key = bookmarkKey(KeyCreation::IfMissing, cause);
    if (!key)
        return std::nullopt;
    auto bytes = makeBookmark(url, *key);
    if (!bytes)
        return std::nullopt;
    return Data { std::move(*bytes) };
}

std::optional<Url> QDbookmarks::urlForBookmark(Data const& bookmark, std::string* cause) const
{
    auto key = bookmarkKey(KeyCreation::Never, cause);
    if (!key)
        return std::nullopt;
    return resolveBookmark(bookmark.bytes, *key);
}

void QDbookmarks::registerClass(Runtime& runtime)
{
    ClassBuilder<QDbookmarks>(runtime, "QDbookmarks")
        .method("bookmarkForURL:", [](Call const& c) {
            // A message to a null URL answers null.
            if (c.args[0].isNull())
                return Value();
            if (c.args[0].kind() != Kind::Url)
                c.args.wrongKind(0, "a URL");
            std::string cause;
            auto bookmark = c.self<QDbookmarks>().bookmarkForURL(c.args[0].asUrl(), &cause);
            if (!cause.empty())
                c.runtime.platform().recordFailure("bookmarkForURL:", cause);
            return Value(std::move(bookmark));
        })
        .method("urlForBookmark:", [](Call const& c) {
            if (c.args[0].isNull())
                return Value();
            std::string cause;
            auto url = c.self<QDbookmarks>().urlForBookmark(c.args.data(0), &cause);
            if (!cause.empty())
                c.runtime.platform().recordFailure("urlForBookmark:", cause);
            return Value(std::move(url));
        });
}

}
