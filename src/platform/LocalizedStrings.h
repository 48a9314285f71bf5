#pragma once
// Localized strings: the text of a key in the application's gettext catalog (domain "Localizable"), or the
// caller's default when the catalog has no entry for the key.

#include <string>

namespace quodrix {

std::string localizedString(std::string const& key, std::string const& defaultValue);

}
