#include "platform/UserDefaults.h"

#include "fs/AtomicFile.h"
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
        std::string bytes;
        auto root = readWholeFile(path, bytes) ? readPropertyList(bytes) : std::nullopt;
        if (root && root->kind() == Kind::Dictionary) {
            m_settings = std::move(root->asDictionary());
            m_fileHoldingSettings = FileBytes { std::move(path), std::move(bytes) };
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
    if (m_fileHoldingSettings && m_fileHoldingSettings->path == path) {
        // One read of the file tells whether another process changed it since, which its times need not.
        std::string now;
        if (readWholeFile(path, now) && now == m_fileHoldingSettings->bytes)
            return {};
    }
    m_fileHoldingSettings.reset();
    if (Status made = createFolderTree(joinPath(configDirectory(), "quodrix")); !made)
        return made;
    std::string written;
    Status stored = writePropertyListFile(path, Value(all), PropertyListFormat::Xml, &written);
    if (stored)
        m_fileHoldingSettings = FileBytes { std::move(path), std::move(written) };
    return stored;
}

}
