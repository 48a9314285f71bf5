#pragma once
// Localized strings: a strings table is a gettext domain whose catalogs live in the bundle's locale
// folder (Platform::localeFolder(), <bundle>/share/quodrix/locale), as <language>/LC_MESSAGES/<domain>.mo. The language is the user's
// (LANGUAGE, LC_ALL, LC_MESSAGES, LANG, as gettext reads them once the application has set its locale).
// Texts are UTF-8 whatever the character set of the locale.

#include <filesystem>
#include <optional>
#include <string>

namespace quodrix {

// The translation of `key` in `domain`, or nullopt when the domain has no entry for it (or the key is
// empty, or the domain is not a plain name).
std::optional<std::string> lookupLocalizedString(std::filesystem::path const& localeFolder, std::string const& key,
    std::string const& domain);

// The translation of `key` in `domain`, or `defaultValue` when there is none.
std::string localizedString(std::filesystem::path const& localeFolder, std::string const& key,
    std::string const& defaultValue, std::string const& domain);

}
