#include "platform/LocalizedStrings.h"

#include <libintl.h>

namespace quodrix {

static bool isPlainName(std::string const& domain)
{
    return !domain.empty() && domain != "." && domain != ".." && domain.find('/') == std::string::npos
        && domain.find('\0') == std::string::npos;
}

std::optional<std::string> lookupLocalizedString(std::filesystem::path const& localeFolder, std::string const& key,
    std::string const& domain)
{
    // An empty key would find the catalog's header entry.
    if (key.empty() || key.find('\0') != std::string::npos || !isPlainName(domain))
        return std::nullopt;
    bindtextdomain(domain.c_str(), localeFolder.c_str());
    bind_textdomain_codeset(domain.c_str(), "UTF-8");
    char const* asked = key.c_str();
    char const* found = dgettext(domain.c_str(), asked);
    // gettext answers the very pointer it was given when there is no entry.
    if (found == asked)
        return std::nullopt;
    return std::string(found);
}

std::string localizedString(std::filesystem::path const& localeFolder, std::string const& key,
    std::string const& defaultValue, std::string const& domain)
{
    auto found = lookupLocalizedString(localeFolder, key, domain);
    return found ? *found : defaultValue;
}

}
