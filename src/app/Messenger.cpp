#include "app/Messenger.h"

#include "core/Class.h"
#include "platform/LocalizedStrings.h"
#include "platform/Platform.h"

namespace quodrix {

std::optional<std::string> Messenger::getLangStr(std::filesystem::path const& localeFolder,
    std::optional<std::string> const& key,
    std::optional<std::string> const& defaultValue, std::optional<std::string> const& table)
{
    if (!key)
        return defaultValue;
    auto found = lookupLocalizedString(localeFolder, *key, table && !table->empty() ? *table : kDefaultTable);
    return found ? found : defaultValue;
}

void Messenger::registerClass(Runtime& runtime)
{
    ClassBuilder<Messenger>(runtime, "Messenger")
        .method("getLangStr:::", [](Call const& c) {
            // Whatever is passed, the lookup answers: texts are used as they are, other values as nothing.
            return Value(getLangStr(c.runtime.platform().localeFolder(), c.args[0].text(), c.args[1].text(), c.args[2].text()));
        });
}

}
