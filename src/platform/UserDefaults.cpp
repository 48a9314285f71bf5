#include "platform/UserDefaults.h"

#include "fs/ItemPlacement.h"
#include "platform/Paths.h"
#include "text/PropertyListFile.h"

namespace quodrix {

std::string UserDefaults::filePath()
{
    return joinPath(configDirectory(), "quodrix/defaults.plist");
}

Dictionary& UserDefaults::settings()
{
    if (!m_settings) {
        std::string path = filePath();
        // The file read is the one whose status was taken just before and after the read.
        auto before = stampOf(path);
        auto root = readPropertyListFile(path);
        auto after = stampOf(path);
        if (root && root->kind() == Kind::Dictionary) {
            m_settings = std::move(root->asDictionary());
            if (before && after && sameStamp(*before, *after))
                m_fileHoldingSettings = std::move(after);
        } else {
            m_settings.emplace();
        }
    }
    return *m_settings;
}

namespace {

// Whether a value is made of property-list values alone, so that its equality says the file would hold the
// same: a mutable string or an object may be changed in place, where equality cannot see it.
bool isPlain(Value const& value)
{
    switch (value.kind()) {
    case Kind::MutableString:
    case Kind::Object:
    case Kind::Class:
        return false;
    case Kind::Array:
        for (auto const& item : value.asArray())
            if (!isPlain(item))
                return false;
        return true;
    case Kind::Dictionary:
        for (auto const& [key, item] : value.asDictionary())
            if (!isPlain(item))
                return false;
        return true;
    default:
        return true;
    }
}

}

Value UserDefaults::objectForKey(std::string const& key)
{
    auto const& all = settings();
    auto it = all.find(key);
    return it == all.end() ? Value() : it->second;
}

void UserDefaults::setObjectForKey(Value value, std::string const& key)
{
    auto& all = settings();
    auto found = all.find(key);
    if (value.isNull()) {
        if (found == all.end())
            return;
        all.erase(found);
    } else if (found == all.end()) {
        all.emplace(key, std::move(value));
    } else if (found->second == value && isPlain(value)) {
        // The same settings (the value's kind in memory is the new one's).
        found->second = std::move(value);
        return;
    } else {
        found->second = std::move(value);
    }
    m_fileHoldingSettings.reset();
}

Status UserDefaults::synchronize()
{
    auto const& all = settings();
    std::string path = filePath();
    if (m_fileHoldingSettings) {
        auto now = stampOf(path);
        if (now && sameStamp(*now, *m_fileHoldingSettings))
            return {};
    }
    m_fileHoldingSettings.reset();
    if (Status made = createFolderTree(joinPath(configDirectory(), "quodrix")); !made)
        return made;
    Status written = writePropertyListFile(path, Value(all), PropertyListFormat::Xml);
    if (written)
        m_fileHoldingSettings = stampOf(std::move(path));
    return written;
}

std::optional<UserDefaults::FileStamp> UserDefaults::stampOf(std::string path)
{
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return std::nullopt;
    return FileStamp { std::move(path), info.st_dev, info.st_ino, info.st_size, info.st_mtim, info.st_ctim };
}

bool UserDefaults::sameStamp(FileStamp const& a, FileStamp const& b)
{
    auto const same = [](timespec const& x, timespec const& y) { return x.tv_sec == y.tv_sec && x.tv_nsec == y.tv_nsec; };
    return a.path == b.path && a.device == b.device && a.inode == b.inode && a.size == b.size
        && same(a.modified, b.modified) && same(a.changed, b.changed);
}

}
