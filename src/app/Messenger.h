#pragma once
// Messenger: localized strings for the scripts. getLangStr::: gives the string for a key from a named
// strings table of the bundle (a gettext domain, see platform/LocalizedStrings.h), or the default value
// passed in when the table has no entry. It never fails: a table that does not exist has no entries, and
// a null table name means the table "Localizable".

#include "core/Object.h"

#include <filesystem>
#include <optional>
#include <string>

namespace quodrix {

class Runtime;

class Messenger : public Object {
public:
    static void registerClass(Runtime& runtime);

    static constexpr char const* kDefaultTable = "Localizable";

    // The translation, or the default (which may be null) when there is none.
    static std::optional<std::string> getLangStr(std::filesystem::path const& localeFolder,
        std::optional<std::string> const& key, std::optional<std::string> const& defaultValue,
        std::optional<std::string> const& table);
};

}
