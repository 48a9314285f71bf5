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
        auto root = readPropertyListFile(filePath());
        if (root && root->kind() == Kind::Dictionary)
            m_settings = std::move(root->asDictionary());
        else
            m_settings.emplace();
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
    if (value.isNull())
        settings().erase(key);
    else
        settings()[key] = std::move(value);
}

Status UserDefaults::synchronize()
{
    std::string path = filePath();
    if (Status made = createFolderTree(joinPath(configDirectory(), "quodrix")); !made)
        return made;
    return writePropertyListFile(path, Value(settings()), PropertyListFormat::Xml);
}

}
