#include "platform/LocalizedStrings.h"

#include <libintl.h>

namespace quodrix {

std::string localizedString(std::string const& key, std::string const& defaultValue)
{
    // dgettext answers the very pointer it was given when there is no entry.
    char const* text = dgettext("Localizable", key.c_str());
    if (!text || text == key.c_str())
        return defaultValue;
    return text;
}

}
