#include "util/cNSFileHandling.h"

#include "platform/Platform.h"

#include "core/Class.h"
#include "fs/AtomicFile.h"
#include "fs/FileStore.h"
#include "fs/ItemPlacement.h"
#include "fs/JournaledChange.h"
#include "text/PropertyListFile.h"
#include "util/DesktopServices.h"

#include <cerrno>
#include <cmath>
#include <ctime>
#include <fcntl.h>
#include <glib.h>
#include <sys/stat.h>
#include <sys/xattr.h>

namespace quodrix {

namespace {

std::string status(bool done)
{
    return done ? cNSFileHandling::kOK : cNSFileHandling::kFailed;
}

// The status word of an outcome; its cause goes to `cause` when the caller asked for it.
std::string status(Status const& outcome, Status* cause)
{
    if (cause)
        *cause = outcome;
    return status(outcome.ok());
}

void keep(Status const& outcome, Status* cause)
{
    if (cause)
        *cause = outcome;
}

// Records why a message failed, for objc.lastFailure(); a success records nothing.
void recordCause(Call const& c, char const* what, Status const& cause)
{
    if (!cause.ok())
        c.runtime.platform().recordFailure(what, cause.message());
}

// Runs a placement of the message's two path arguments and records its cause.
template<typename Place>
Value placed(Call const& c, char const* what, std::string const& source, std::string const& destination, Place place)
{
    Status cause;
    std::string word = place(source, destination, &cause, c.runtime.platform().journal());
    recordCause(c, what, cause);
    return Value(word);
}

// The item's date (creation: its birth time where the file system keeps one, else its modification
// time), as seconds and nanoseconds; nullopt when it cannot be examined.
std::optional<std::time_t> itemDate(std::string const& path, bool creation)
{
    struct statx info {};
    if (path.empty()
        || statx(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW, STATX_BTIME | STATX_MTIME, &info) != 0)
        return std::nullopt;
    if (creation && (info.stx_mask & STATX_BTIME))
        return std::time_t(info.stx_btime.tv_sec);
    return std::time_t(info.stx_mtime.tv_sec);
}

char const* datePattern(std::string const& code)
{
    if (code == "0")
        return "%Y-%m-%d-%H-%M-%S";
    if (code == "1")
        return "%m-%d-%Y-%H-%M-%S";
    if (code == "2")
        return "%d-%m-%Y-%H-%M-%S";
    return nullptr;
}

std::string localDate(std::time_t when, char const* pattern)
{
    tzset();
    std::tm local {};
    localtime_r(&when, &local);
    char buffer[64];
    std::size_t n = std::strftime(buffer, sizeof buffer, pattern, &local);
    return std::string(buffer, n);
}

// The file-system path that an argument names: a string, or a file URL.
// A path that holds a NUL names nothing: the system would act on the part before it.
std::optional<std::string> pathArgument(Value const& value)
{
    std::optional<std::string> path;
    if (auto text = value.text())
        path = text;
    else if (value.kind() == Kind::Url)
        path = value.asUrl().path();
    if (path && path->find('\0') != std::string::npos)
        return std::string();
    return path;
}

// A location read as URL text: a URL value's text, or a string.
std::optional<std::string> urlTextArgument(Value const& value)
{
    if (value.kind() == Kind::Url)
        return value.asUrl().text;
    return value.text();
}

// The path of a file URL text; an absolute path is taken as it is.
std::optional<std::string> pathOfLocation(std::string const& location)
{
    if (!location.empty() && location[0] == '/')
        return location;
    if (location.size() < 5 || g_ascii_strncasecmp(location.c_str(), "file:", 5) != 0)
        return std::nullopt;
    return Url { location }.path();
}

}

std::string cNSFileHandling::dateText(std::string const& path, std::string const& code, Which which)
{
    if (char const* pattern = datePattern(code)) {
        auto when = itemDate(path, which == Which::Creation);
        m_dateString = when ? std::optional(localDate(*when, pattern)) : std::nullopt;
    }
    return m_dateString.value_or("(null)");
}

std::string cNSFileHandling::hGetCreationDateFile(std::string const& path, std::string const& code)
{
    return dateText(path, code, Which::Creation);
}

std::string cNSFileHandling::hGetModificationDateFile(std::string const& path, std::string const& code)
{
    return dateText(path, code, Which::Modification);
}

std::optional<std::string> cNSFileHandling::getFileSize(std::string const& path)
{
    struct stat info {};
    if (!path.empty() && lstat(path.c_str(), &info) == 0)
        m_fileSizeStr = formatByteCount(std::uint64_t(info.st_size));
    return m_fileSizeStr;
}

std::string cNSFileHandling::hCreateDirectory(std::string const& path, Status* cause)
{
    if (itemExists(path))
        return kExists;
    Status made = createFolderTree(path);
    keep(made, cause);
    return made ? kOK : kFolderFailed;
}

std::string cNSFileHandling::hMoveFileTo(std::string const& source, std::string const& destination, Status* cause,
    RunJournal* journal)
{
    return status(journaledPlaceItem(journal, Placement::Move, Existing::Replaced, source, destination), cause);
}

std::string cNSFileHandling::hCopyFileTo(std::string const& source, std::string const& destination, Status* cause,
    RunJournal* journal)
{
    return status(journaledPlaceItem(journal, Placement::Copy, Existing::Replaced, source, destination), cause);
}

std::string cNSFileHandling::hAliasFileTo(std::string const& source, std::string const& destination, Status* cause,
    RunJournal* journal)
{
    return status(journaledPlaceItem(journal, Placement::Link, Existing::Replaced, source, destination), cause);
}

std::string cNSFileHandling::hTrashFile(std::string const& path, Status* cause)
{
    return status(moveToTrash(path), cause);
}

std::string cNSFileHandling::hDeleteFiles(std::vector<std::string> const& fileUrls, Status* cause)
{
    Status first;
    for (auto const& url : fileUrls) {
        // Only file URLs name items; anything else is passed over.
        if (url.size() >= 5 && g_ascii_strncasecmp(url.c_str(), "file:", 5) == 0)
            if (auto path = Url { url }.path(); path && !path->empty() && *path != "/")
                if (Status removed = FileStore::removeTree(*path); !removed && first.ok())
                    first = removed;
    }
    keep(first, cause);
    return kOK;
}

void cNSFileHandling::hRenameFile(std::string const& location, std::string const& newName, Status* cause)
{
    auto path = pathOfLocation(location);
    if (!path)
        return keep(Status::refused("rename " + location + ": not a file URL or absolute path"), cause);
    if (!FileStore::isSingleComponent(newName))
        return keep(Status::refused("rename " + *path + " to \"" + newName + "\": not one path component"), cause);
    std::string parent = FileStore::parentOf(*path);
    keep(FileStore::moveItem(*path, (parent == "/" ? "" : parent) + "/" + newName), cause);
}

std::optional<std::string> cNSFileHandling::hGetFileType(std::string const& path)
{
    return contentTypeOf(path);
}

void cNSFileHandling::hShowInFinder(Platform& platform, std::string const& path)
{
    if (itemExists(path))
        platform.openUrl(Url::fromPath(path).text);
}

void cNSFileHandling::hAddIconToFile(std::string const& path, std::optional<std::string> const& imageBytes, Status* cause)
{
    if (path.empty())
        return keep(Status::refused("set the icon: no item given"), cause);
    // The caller is told nothing: an item that cannot carry the attribute keeps its plain icon. The cause
    // is kept all the same (an icon already absent is no failure).
    if (imageBytes) {
        if (setxattr(path.c_str(), kIconAttribute, imageBytes->data(), imageBytes->size(), 0) != 0)
            keep(Status::fromErrno("set the icon of " + path), cause);
    } else if (removexattr(path.c_str(), kIconAttribute) != 0 && errno != ENODATA) {
        keep(Status::fromErrno("remove the icon of " + path), cause);
    }
}

RenamePairs cNSFileHandling::hReadMfrLog(std::string const& path, std::optional<std::string> const& separator,
    Status* cause)
{
    std::string text;
    Status read = readUtf8TextFile(path, text);
    keep(read, cause);
    if (!read)
        return {};
    return RenamePairs(std::move(text), separator ? std::optional<std::string_view>(*separator) : std::nullopt);
}

std::optional<std::vector<std::string>> cNSFileHandling::hReadTextFileLbyL(std::string const& path, Status* cause)
{
    std::string text;
    Status read = readUtf8TextFile(path, text);
    keep(read, cause);
    if (!read)
        return std::nullopt;
    return splitAtLineBreaks(text);
}

void cNSFileHandling::hWriteTextFile(std::string const& path, std::optional<std::string> const& text, Status* cause)
{
    // One atomic replacement: the file is never emptied first, so a failed write keeps what was there.
    keep(writeFileAtomically(path, text.value_or("")), cause);
}

void cNSFileHandling::hWritHTMLFile(std::string const& path, std::optional<std::string> const& html, Status* cause)
{
    hWriteTextFile(path, html, cause);
}

Value cNSFileHandling::readPlist(std::string const& path, std::string const& key)
{
    return readPropertyListKey(path, key);
}

void cNSFileHandling::writeToPlist(std::string const& path, std::string const& key, Value const& value, Status* cause)
{
    keep(changePropertyListKey(path, key, value), cause);
}

void cNSFileHandling::writeNSDataToFile(std::string const& bytes, std::string const& path, Status* cause)
{
    keep(writeFileAtomically(path, bytes), cause);
}

std::optional<std::string> cNSFileHandling::readNSDataFromFile(std::string const& path, Status* cause)
{
    std::string bytes;
    Status read = readWholeFile(path, bytes);
    keep(read, cause);
    if (!read)
        return std::nullopt;
    return bytes;
}

void cNSFileHandling::setValueForKey(std::string const& key, Value value)
{
    if (key == "dateString" || key == "myFileSizeStr") {
        auto text = value.text();
        (key == "dateString" ? m_dateString : m_fileSizeStr) = text;
    } else if (key == "saveURL") {
        m_saveURL = std::move(value);
    } else {
        Object::setValueForKey(key, std::move(value));
    }
}

Value cNSFileHandling::valueForKey(std::string const& key) const
{
    if (key == "dateString")
        return Value(m_dateString);
    if (key == "myFileSizeStr")
        return Value(m_fileSizeStr);
    if (key == "saveURL")
        return m_saveURL;
    return Object::valueForKey(key);
}

Value cNSFileHandling::pairsValue(RenamePairs const& pairs)
{
    Array array;
    array.reserve(pairs.size());
    for (auto const& pair : pairs)
        array.push_back(Value(Array { Value(pair.present), Value(pair.renamed) }));
    return Value(std::move(array));
}

void cNSFileHandling::registerClass(Runtime& runtime)
{
    using Self = cNSFileHandling;
    // Paths that are not text give the operation's failure result, never an error.
    auto path = [](Call const& c, std::size_t i) { return pathArgument(c.args[i]).value_or(""); };
    ClassBuilder<Self>(runtime, "cNSFileHandling")
        .method("hGetCreationDateFile::",
            [=](Call const& c) { return Value(c.self<Self>().hGetCreationDateFile(path(c, 0), c.args.text(1))); })
        .method("hGetModificationDateFile::",
            [=](Call const& c) { return Value(c.self<Self>().hGetModificationDateFile(path(c, 0), c.args.text(1))); })
        .method("hCreateDirectory:",
            [=](Call const& c) {
                Status cause;
                std::string word = hCreateDirectory(path(c, 0), &cause);
                recordCause(c, "hCreateDirectory:", cause);
                return Value(word);
            })
        .method("hAddIconToFile::",
            [=](Call const& c) {
                Value const& image = c.args[1];
                Status cause;
                if (image.kind() == Kind::Data) {
                    hAddIconToFile(path(c, 0), image.asData().bytes, &cause);
                } else if (image.isNull()) {
                    hAddIconToFile(path(c, 0), std::nullopt, &cause);
                } else if (auto imagePath = pathArgument(image)) {
                    std::string bytes;
                    cause = readWholeFile(*imagePath, bytes);
                    if (cause)
                        hAddIconToFile(path(c, 0), bytes, &cause);
                }
                recordCause(c, "hAddIconToFile::", cause);
                return Value();
            })
        .classMethod("hMoveFileTo::",
            [=](Call const& c) { return placed(c, "hMoveFileTo::", path(c, 0), path(c, 1), hMoveFileTo); })
        .classMethod("hCopyFileTo::",
            [=](Call const& c) { return placed(c, "hCopyFileTo::", path(c, 0), path(c, 1), hCopyFileTo); })
        .classMethod("hAliasFileTo::",
            [=](Call const& c) { return placed(c, "hAliasFileTo::", path(c, 0), path(c, 1), hAliasFileTo); })
        .classMethod("hTrashFile:",
            [=](Call const& c) {
                Status cause;
                std::string word = hTrashFile(path(c, 0), &cause);
                recordCause(c, "hTrashFile:", cause);
                return Value(word);
            })
        .method("hDeleteFiles:",
            [](Call const& c) {
                std::vector<std::string> urls;
                if (c.args[0].kind() == Kind::Array)
                    for (auto const& item : c.args[0].asArray())
                        if (auto text = urlTextArgument(item))
                            urls.push_back(*text);
                Status cause;
                std::string word = hDeleteFiles(urls, &cause);
                recordCause(c, "hDeleteFiles:", cause);
                return Value(word);
            })
        .classMethod("hShowInFinder:",
            [=](Call const& c) {
                hShowInFinder(c.runtime.platform(), path(c, 0));
                return Value();
            })
        .method("hRenameFile::",
            [](Call const& c) {
                auto location = urlTextArgument(c.args[0]);
                auto name = c.args[1].text();
                Status cause;
                if (location && name)
                    hRenameFile(*location, *name, &cause);
                else
                    cause = Status::refused("rename: the location and the new name must be texts");
                recordCause(c, "hRenameFile::", cause);
                return Value();
            })
        .classMethod("hGetFileType:", [=](Call const& c) { return Value(hGetFileType(path(c, 0))); })
        .method("getFileSize:", [=](Call const& c) { return Value(c.self<Self>().getFileSize(path(c, 0))); })
        .method("hReadMfrLog::",
            [=](Call const& c) {
                Status cause;
                Value pairs = pairsValue(hReadMfrLog(path(c, 0), c.args[1].text(), &cause));
                recordCause(c, "hReadMfrLog::", cause);
                return pairs;
            })
        .method("hReadTextFileLbyL:",
            [=](Call const& c) {
                Status cause;
                auto lines = hReadTextFileLbyL(path(c, 0), &cause);
                recordCause(c, "hReadTextFileLbyL:", cause);
                return lines ? Value(*lines) : Value();
            })
        .method("hWriteTextFile::",
            [=](Call const& c) {
                Value const& text = c.args[1];
                Status cause;
                hWriteTextFile(path(c, 0), text.isNull() ? std::nullopt : std::optional(text.description()), &cause);
                recordCause(c, "hWriteTextFile::", cause);
                return Value();
            })
        .method("hWritHTMLFile::",
            [=](Call const& c) {
                Value const& html = c.args[1];
                Status cause;
                hWritHTMLFile(path(c, 0), html.isNull() ? std::nullopt : std::optional(html.description()), &cause);
                recordCause(c, "hWritHTMLFile::", cause);
                return Value();
            })
        .method("readPlist::",
            [=](Call const& c) {
                auto key = c.args[1].text();
                return key ? readPlist(path(c, 0), *key) : Value();
            })
        .method("writeToPlist:::",
            [=](Call const& c) {
                Status cause;
                if (auto key = c.args[1].text())
                    writeToPlist(path(c, 0), *key, c.args[2], &cause);
                recordCause(c, "writeToPlist:::", cause);
                return Value();
            })
        .method("writeNSDataToFile::",
            [=](Call const& c) {
                Value const& data = c.args[0];
                Status cause;
                if (data.kind() == Kind::Data)
                    writeNSDataToFile(data.asData().bytes, path(c, 1), &cause);
                else if (auto bytes = data.text())
                    writeNSDataToFile(*bytes, path(c, 1), &cause);
                recordCause(c, "writeNSDataToFile::", cause);
                return Value();
            })
        .method("readNSDataFromFile:",
            [=](Call const& c) {
                Status cause;
                auto bytes = readNSDataFromFile(path(c, 0), &cause);
                recordCause(c, "readNSDataFromFile:", cause);
                return bytes ? Value(Data { std::move(*bytes) }) : Value();
            });
}

}
