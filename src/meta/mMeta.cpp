#include "meta/mMeta.h"

#include "core/Class.h"
#include "fs/FileStore.h"
#include "fs/RunJournal.h"
#include "meta/ImageProperties.h"
#include "platform/ActionLogEntry.h"
#include "platform/LocalizedStrings.h"
#include "platform/Outlets.h"
#include "platform/Platform.h"
#include "platform/RowFailureScope.h"

#include <unicode/unistr.h>

#include <algorithm>

namespace quodrix {

static std::string notice(Runtime& runtime, std::string const& word)
{
    return localizedString(runtime.platform().localeFolder(), word, word, "Localizable");
}

// The last path component, as a file name in the log.
ImageIO& mMeta::imageIO(Runtime& runtime)
{
    return sharedImageIO(runtime);
}

Array mMeta::buildTree(ImageIO& io, Dictionary const& properties)
{
    // Keys in ascending order of their UTF-16 code units, so "{" groups come after letters.
    std::vector<std::pair<icu::UnicodeString, Dictionary::const_iterator>> keys;
    for (auto it = properties.begin(); it != properties.end(); ++it)
        keys.emplace_back(icu::UnicodeString::fromUTF8(it->first), it);
    std::stable_sort(keys.begin(), keys.end(), [](auto const& a, auto const& b) { return a.first.compare(b.first) < 0; });

    Array tree;
    for (auto const& [unused, it] : keys) {
        Dictionary node { { "key", Value(io.label(it->first)) } };
        if (it->second.kind() == Kind::Dictionary) {
            node["val"] = Value("");
            node["children"] = Value(buildTree(io, it->second.asDictionary()));
        } else {
            node["val"] = it->second;
        }
        tree.push_back(Value(std::move(node)));
    }
    return tree;
}

Array mMeta::propTree(Runtime& runtime, Dictionary const& properties)
{
    Array tree = buildTree(imageIO(runtime), properties);
    setCurrentTree(Value(tree));
    return tree;
}

Value mMeta::hiDoNothing(Runtime& runtime, std::string const& path)
{
    ImageReading reading = imageIO(runtime).read(path);
    if (reading.source == ImageSource::None) {
        setOutletString(runtime, field("tfExifUserComment"), notice(runtime, "NotSupported"));
        runtime.send(field("mTree"), "setContent:", { Value() });
        setCurrentTree(Value());
        return Value();
    }
    setOutletString(runtime, field("tfExifUserComment"),
        reading.userComment ? *reading.userComment : notice(runtime, "NotSupportedOrAvailable"));
    Value tree(propTree(runtime, reading.properties));
    runtime.send(field("mTree"), "setContent:", { tree });
    return tree;
}

std::string mMeta::hSetExifData(Runtime& runtime, std::string const& path, std::string const& comment)
{
    return writeUserComment(runtime, path, comment);
}

std::string mMeta::writeUserComment(Runtime& runtime, std::string const& path, std::optional<std::string> const& comment)
{
    // In a run, the comment that the write replaces is recorded first, so that undo can write it back.
    RunJournal* journal = runtime.platform().journal();
    std::uint64_t sequence = 0;
    if (journal) {
        std::optional<std::string> const previous = imageIO(runtime).read(path).userComment;
        // The file the comment goes into: a link is written through, and stays the link it was.
        RunJournal::Intent const intent { JournalChange::Comment, path, path, ItemIdentity::followed(path),
            std::nullopt, {}, previous ? std::optional<std::string_view>(*previous) : std::nullopt,
            comment ? std::optional<std::string_view>(*comment) : std::nullopt };
        if (Status recorded = journal->recordIntent(intent, sequence); !recorded) {
            runtime.platform().recordFailure("write the comment of " + path, recorded.message());
            return kFailed;
        }
    }
    std::string cause;
    bool const written = imageIO(runtime).writeUserComment(path, comment, &cause);
    if (cause.empty())
        cause = "unknown cause";
    if (journal) {
        Status recorded = written ? journal->recordDone(sequence, ItemIdentity::followed(path))
                                  : journal->recordFailed(sequence, cause);
        if (written && !recorded) {
            runtime.platform().recordFailure("write the comment of " + path, recorded.message());
            return kFailed;
        }
    }
    if (written)
        return kOK;
    runtime.platform().recordFailure("write the comment of " + path, cause);
    return kFailed;
}

void mMeta::btApplyExifUserComment(Runtime& runtime)
{
    std::string path = outletString(runtime, field("tfActiveFilePath"));
    std::string comment = outletString(runtime, field("tfExifUserComment"));
    std::string status = hSetExifData(runtime, path, comment);
    if (status == kOK)
        hiDoNothing(runtime, path);
    else
        setOutletString(runtime, field("tfExifUserComment"), notice(runtime, "NotSupported"));

    std::string name = FileStore::lastComponent(path);
    ActionLogEntry entry { "File Editing", "Edit meta data", status, name, name, path, path };
    RowFailureScope const cause(runtime.platform(), status);
    runtime.send(field("mymMetaLogTableViewController"), "addObjects:", { Value(Array { Value(entry.record(Date::now())) }) });
    runtime.send(field("themMetaLogTable"), "reloadData");
}

std::string mMeta::hGetExifUc(Runtime& runtime, std::string const& path)
{
    return imageIO(runtime).read(path).userComment.value_or("");
}

std::optional<std::optional<std::string>> mMeta::readUserComment(Runtime& runtime, std::string const& path)
{
    ImageReading reading = imageIO(runtime).read(path);
    if (reading.source == ImageSource::None)
        return std::nullopt;
    return std::move(reading.userComment);
}

std::optional<std::string> mMeta::hGetColorProfile(Runtime& runtime, std::string const& path)
{
    return imageIO(runtime).colorSpaceName(path);
}

std::pair<std::string, std::string> mMeta::hGetPixelFormat(Runtime& runtime, std::string const& path)
{
    auto size = imageIO(runtime).pixelSize(path).value_or(std::pair<std::int64_t, std::int64_t>(0, 0));
    return { std::to_string(size.first), std::to_string(size.second) };
}

// A path argument: a string, a mutable string or a file URL; nullopt for anything else.
static std::optional<std::string> pathArgument(Value const& value)
{
    if (value.kind() == Kind::Url)
        return value.asUrl().path();
    return value.text();
}

void mMeta::registerClass(Runtime& runtime)
{
    ClassBuilder<mMeta>(runtime, "mMeta")
        .method("hiDoNothing:", [](Call const& c) {
            return c.self<mMeta>().hiDoNothing(c.runtime, pathArgument(c.args[0]).value_or(""));
        })
        .method("propTree:", [](Call const& c) {
            Dictionary properties = c.args[0].kind() == Kind::Dictionary ? c.args[0].asDictionary() : Dictionary {};
            return Value(c.self<mMeta>().propTree(c.runtime, properties));
        })
        .method("hSetExifData::", [](Call const& c) {
            auto path = pathArgument(c.args[0]);
            if (!path)
                return Value(kFailed);
            return Value(hSetExifData(c.runtime, *path, c.args[1].text().value_or("")));
        })
        .method("btApplyExifUserComment:", [](Call const& c) {
            c.self<mMeta>().btApplyExifUserComment(c.runtime);
            return Value();
        })
        .method("hGetExifUc:", [](Call const& c) {
            auto path = pathArgument(c.args[0]);
            return Value(path ? hGetExifUc(c.runtime, *path) : std::string());
        })
        .method("hGetColorProfile:", [](Call const& c) {
            auto path = pathArgument(c.args[0]);
            return path ? Value(hGetColorProfile(c.runtime, *path)) : Value();
        })
        .method("hGetPixelFormat:", [](Call const& c) {
            auto path = pathArgument(c.args[0]);
            auto [width, height] = path ? hGetPixelFormat(c.runtime, *path) : std::pair<std::string, std::string>("0", "0");
            return Value(Array { Value(width), Value(height) });
        })
        .method("mymMetaLogTableViewController",
            [](Call const& c) { return c.receiver->field("mymMetaLogTableViewController"); })
        .method("setMymMetaLogTableViewController:", [](Call const& c) {
            c.receiver->setValueForKey("mymMetaLogTableViewController", c.args[0]);
            return Value();
        })
        .method("themMetaLogTable", [](Call const& c) { return c.receiver->field("themMetaLogTable"); })
        .method("setThemMetaLogTable:", [](Call const& c) {
            c.receiver->setValueForKey("themMetaLogTable", c.args[0]);
            return Value();
        });
}

}
