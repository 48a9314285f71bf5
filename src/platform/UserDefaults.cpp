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
        auto root = readPropertyListFile(path);
        if (root && root->kind() == Kind::Dictionary) {
            m_settings = std::move(root->asDictionary());
            m_fileHoldingSettings = std::move(path);
        } else {
            m_settings.emplace();
        }
    }
    return *m_settings;
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
    } else if (found->second == value) {
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
    if (m_fileHoldingSettings == path)
        return {};
    if (Status made = createFolderTree(joinPath(configDirectory(), "quodrix")); !made)
        return made;
    Status written = writePropertyListFile(path, Value(all), PropertyListFormat::Xml);
    if (written)
        m_fileHoldingSettings = std::move(path);
    return written;
}

}
