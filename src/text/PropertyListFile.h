#pragma once
// PropertyListFile: property-list files (XML or binary) through libplist, as bridge values.
//
// Values map kind for kind: string, integer, float, boolean, date, data, array, dictionary. Null, URLs
// and objects are not property-list values. Text read may begin with a UTF-8 byte-order mark.
// Writes are atomic (AtomicFile): a write that fails, or a value that cannot be stored, leaves the file as
// it was. A file is written back in the format it was read in; XML that could not hold a string (control
// characters other than tab, LF and CR) is written in the binary format instead.

#include "core/Value.h"
#include "fs/Status.h"

#include <optional>
#include <string>
#include <string_view>

namespace quodrix {

enum class PropertyListFormat { Xml, Binary };

// The root value of the file; nullopt when it is missing or not a property list.
std::optional<Value> readPropertyListFile(std::string const& path);
// The same, of the bytes of a file.
std::optional<Value> readPropertyList(std::string_view bytes);

// Writes a root value; fails when a value inside is not a property-list value or the write fails.
// `written`, when given, gets the bytes of the file written.
Status writePropertyListFile(std::string const& path, Value const& root, PropertyListFormat format,
    std::string* written = nullptr);

// The value under the key of a file whose root is a dictionary; null when there is none.
Value readPropertyListKey(std::string const& path, std::string const& key);

// Stores the value under the key of an existing dictionary file (null removes the key), changing nothing
// else in the file; fails, with the file untouched, when the file is missing or not such a dictionary,
// or the value is not a property-list value.
Status changePropertyListKey(std::string const& path, std::string const& key, Value const& value);

}
