#pragma once
// UserDefaults: the user's persistent settings, a dictionary kept as a property list in
// `<config folder>/quodrix/defaults.plist`.
//
// The file is read on first use; synchronize() writes the whole dictionary back atomically, so another run
// sees every setting made before it. A file that cannot be read counts as no settings; it is replaced at
// the next synchronize. A synchronize when no setting changed (a value set to what it was) leaves the file
// as it is when it still holds the bytes that were read or written last: it holds those settings already,
// and the list of a renaming run can be large. Another process's change to the file, whatever its times,
// is written over as before.

#include "core/Value.h"
#include "fs/Status.h"

#include <optional>
#include <string>

namespace quodrix {

class UserDefaults {
public:
    // The settings file of the current user (computed from the config folder at each call).
    static std::string filePath();

    Value objectForKey(std::string const& key);
    // Stores a property-list value; null removes the key.
    void setObjectForKey(Value value, std::string const& key);
    // Writes the settings to disk; a failure (the file then keeps its earlier contents) says why.
    Status synchronize();

private:
    Dictionary& settings();

    std::optional<Dictionary> m_settings;
    // The file that was read or written last, when its bytes are m_settings as they are.
    struct FileBytes {
        std::string path;
        std::string bytes;
    };

    std::optional<FileBytes> m_fileHoldingSettings;
};

}
