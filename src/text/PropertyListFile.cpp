#include "text/PropertyListFile.h"

#include "fs/AtomicFile.h"
#include "text/PropertyListDepth.h"

#include <cmath>
#include <cstdlib>
#include <memory>
#include <plist/plist.h>

namespace quodrix {

namespace {

// Seconds between 1970-01-01 and 2001-01-01, where property-list dates count from.
constexpr double kReferenceDateOffset = 978307200.0;
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

struct PlistFree {
    void operator()(plist_t node) const { plist_free(node); }
};
using PlistPtr = std::unique_ptr<void, PlistFree>;

struct MallocFree {
    void operator()(char* p) const { std::free(p); }
};
using CString = std::unique_ptr<char, MallocFree>;

// Calls visit(key, item) for the entries of a dictionary node, in order, while it returns true; false when
// it stopped the walk. A key may be null.
template<typename Visit>
bool everyDictionaryItem(plist_t node, Visit visit)
{
    plist_dict_iter it = nullptr;
    plist_dict_new_iter(node, &it);
    bool all = true;
    while (all) {
        char* rawKey = nullptr;
        plist_t item = nullptr;
        plist_dict_next_item(node, it, &rawKey, &item);
        CString key(rawKey);
        if (!item)
            break;
        all = visit(key.get(), item);
    }
    std::free(it);
    return all;
}

// The whole text of a string node. A string of a binary file may hold a NUL: the library's copying getter
// asserts on those (ending the process), so the text is taken by pointer and length.
std::string_view stringOf(plist_t node)
{
    uint64_t length = 0;
    char const* text = plist_get_string_ptr(node, &length);
    return text ? std::string_view(text, std::size_t(length)) : std::string_view();
}

struct Loaded {
    PlistPtr root;
    PropertyListFormat format;
};

// Deeper nesting than any settings file has is read as a damaged file: parsing, converting or freeing it
// would exhaust the stack. The raw bytes are inspected before the parser sees them (PropertyListDepth.h);
// the tree is checked again after parsing, with the same limit (the root counts as depth 1).
bool nestedTooDeep(plist_t node, std::size_t depth)
{
    if (depth > kMaxPropertyListDepth)
        return true;
    switch (plist_get_node_type(node)) {
    case PLIST_ARRAY:
        for (uint32_t i = 0; i < plist_array_get_size(node); ++i)
            if (nestedTooDeep(plist_array_get_item(node, i), depth + 1))
                return true;
        return false;
    case PLIST_DICT:
        return !everyDictionaryItem(node, [&](char const*, plist_t item) { return !nestedTooDeep(item, depth + 1); });
    default:
        return false;
    }
}

std::optional<Loaded> parse(std::string_view view)
{
    if (view.empty() || view.size() > UINT32_MAX)
        return std::nullopt;
    if (view.substr(0, kByteOrderMark.size()) == kByteOrderMark)
        view.remove_prefix(kByteOrderMark.size());
    if (inspectPropertyList(view) != PropertyListShape::Acceptable)
        return std::nullopt;
    bool binary = plist_is_binary(view.data(), uint32_t(view.size()));
    // XML cannot hold a NUL; the parser would hand back strings cut and padded at one.
    if (!binary && view.find('\0') != std::string_view::npos)
        return std::nullopt;
    plist_t root = nullptr;
    plist_from_memory(view.data(), uint32_t(view.size()), &root);
    if (!root)
        return std::nullopt;
    if (nestedTooDeep(root, 1)) {
        plist_free(root);
        return std::nullopt;
    }
    return Loaded { PlistPtr(root), binary ? PropertyListFormat::Binary : PropertyListFormat::Xml };
}

std::optional<Loaded> load(std::string const& path)
{
    auto bytes = readWholeFile(path);
    if (!bytes)
        return std::nullopt;
    return parse(*bytes);
}

Value toValue(plist_t node)
{
    switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
        uint8_t b = 0;
        plist_get_bool_val(node, &b);
        return Value(b != 0);
    }
    case PLIST_UINT: {
        uint64_t u = 0;
        plist_get_uint_val(node, &u);
        return Value(static_cast<long long>(u));
    }
    case PLIST_REAL: {
        double d = 0;
        plist_get_real_val(node, &d);
        return Value(d);
    }
    case PLIST_STRING:
        return Value(std::string(stringOf(node)));
    case PLIST_DATA: {
        char* raw = nullptr;
        uint64_t length = 0;
        plist_get_data_val(node, &raw, &length);
        CString bytes(raw);
        return Value(Data { std::string(bytes ? bytes.get() : "", bytes ? std::size_t(length) : 0) });
    }
    case PLIST_DATE: {
        int32_t seconds = 0;
        int32_t micros = 0;
        plist_get_date_val(node, &seconds, &micros);
        return Value(Date { double(seconds) + double(micros) / 1e6 + kReferenceDateOffset });
    }
    case PLIST_ARRAY: {
        Array array;
        uint32_t n = plist_array_get_size(node);
        for (uint32_t i = 0; i < n; ++i)
            array.push_back(toValue(plist_array_get_item(node, i)));
        return Value(std::move(array));
    }
    case PLIST_DICT: {
        Dictionary dictionary;
        everyDictionaryItem(node, [&](char const* key, plist_t item) {
            dictionary[key ? key : ""] = toValue(item);
            return true;
        });
        return Value(std::move(dictionary));
    }
    case PLIST_UID: {
        uint64_t u = 0;
        plist_get_uid_val(node, &u);
        return Value(static_cast<long long>(u));
    }
    default:
        return Value();
    }
}

// A node for the value; null when it is not a property-list value, or holds one that is not.
PlistPtr toNode(Value const& value)
{
    switch (value.kind()) {
    case Kind::Bool: return PlistPtr(plist_new_bool(value.asBool()));
    case Kind::Integer: return PlistPtr(plist_new_uint(static_cast<uint64_t>(value.asInteger())));
    case Kind::Float: return PlistPtr(plist_new_real(value.asFloat()));
    case Kind::String:
    case Kind::MutableString: {
        // A string with a NUL inside cannot be stored whole; it is not written cut short.
        auto text = value.text();
        if (text->find('\0') != std::string::npos)
            return nullptr;
        return PlistPtr(plist_new_string(text->c_str()));
    }
    case Kind::Data: return PlistPtr(plist_new_data(value.asData().bytes.data(), value.asData().bytes.size()));
    case Kind::Date: {
        double since = value.asDate().secondsSince1970 - kReferenceDateOffset;
        double whole = std::floor(since);
        if (!(whole >= INT32_MIN && whole <= INT32_MAX))
            return nullptr;
        return PlistPtr(plist_new_date(int32_t(whole), int32_t(std::lround((since - whole) * 1e6) % 1000000)));
    }
    case Kind::Array: {
        PlistPtr array(plist_new_array());
        for (auto const& item : value.asArray()) {
            PlistPtr node = toNode(item);
            if (!node)
                return nullptr;
            plist_array_append_item(array.get(), node.release());
        }
        return array;
    }
    case Kind::PathList: {
        PlistPtr array(plist_new_array());
        bool complete = true;
        value.asPathList().forEach([&](std::string_view path) {
            PlistPtr node = complete ? toNode(Value(path)) : nullptr;
            if (node)
                plist_array_append_item(array.get(), node.release());
            else
                complete = false;
        });
        return complete ? std::move(array) : nullptr;
    }
    case Kind::Dictionary: {
        PlistPtr dictionary(plist_new_dict());
        for (auto const& [key, item] : value.asDictionary()) {
            // A key holding a NUL would be stored cut short.
            if (key.find('\0') != std::string::npos)
                return nullptr;
            PlistPtr node = toNode(item);
            if (!node)
                return nullptr;
            plist_dict_set_item(dictionary.get(), key.c_str(), node.release());
        }
        return dictionary;
    }
    default: return nullptr;
    }
}

// Whether XML 1.0 can carry the text: no control characters but tab, LF and CR.
bool textFitsXml(std::string_view text)
{
    for (unsigned char c : text)
        if (c < 0x20 && c != '\t' && c != '\n' && c != '\r')
            return false;
    return true;
}

bool fitsXml(plist_t node)
{
    switch (plist_get_node_type(node)) {
    case PLIST_STRING:
        return textFitsXml(stringOf(node));
    case PLIST_ARRAY: {
        uint32_t n = plist_array_get_size(node);
        for (uint32_t i = 0; i < n; ++i)
            if (!fitsXml(plist_array_get_item(node, i)))
                return false;
        return true;
    }
    case PLIST_DICT:
        return everyDictionaryItem(
            node, [](char const* key, plist_t item) { return (!key || textFitsXml(key)) && fitsXml(item); });
    default: return true;
    }
}

Status save(std::string const& path, plist_t root, PropertyListFormat format, std::string* written = nullptr)
{
    if (format == PropertyListFormat::Xml && !fitsXml(root))
        format = PropertyListFormat::Binary;
    char* raw = nullptr;
    uint32_t length = 0;
    if (format == PropertyListFormat::Xml)
        plist_to_xml(root, &raw, &length);
    else
        plist_to_bin(root, &raw, &length);
    CString bytes(raw);
    if (!bytes || length == 0)
        return Status::refused("write " + path + ": the property list could not be encoded");
    // The library can write what it cannot read back (a binary string whose bytes are not the text it
    // claims to be): such a file would replace a readable one, so it is not written.
    std::string_view bytesWritten(bytes.get(), length);
    if (inspectPropertyList(bytesWritten) != PropertyListShape::Acceptable)
        return Status::refused("write " + path + ": the property list would not read back");
    plist_t check = nullptr;
    plist_from_memory(bytesWritten.data(), length, &check);
    if (!check)
        return Status::refused("write " + path + ": the property list would not read back");
    plist_free(check);
    Status const stored = writeFileAtomically(path, bytesWritten);
    if (stored && written)
        written->assign(bytesWritten);
    return stored;
}

}

std::optional<Value> readPropertyListFile(std::string const& path)
{
    auto bytes = readWholeFile(path);
    return bytes ? readPropertyList(*bytes) : std::nullopt;
}

std::optional<Value> readPropertyList(std::string_view bytes)
{
    auto loaded = parse(bytes);
    if (!loaded)
        return std::nullopt;
    return toValue(loaded->root.get());
}

Status writePropertyListFile(std::string const& path, Value const& root, PropertyListFormat format,
    std::string* written)
{
    PlistPtr node = toNode(root);
    if (!node)
        return Status::refused("write " + path + ": the value cannot be stored in a property list");
    return save(path, node.get(), format, written);
}

Value readPropertyListKey(std::string const& path, std::string const& key)
{
    auto loaded = load(path);
    if (!loaded || plist_get_node_type(loaded->root.get()) != PLIST_DICT)
        return Value();
    plist_t item = plist_dict_get_item(loaded->root.get(), key.c_str());
    return item ? toValue(item) : Value();
}

Status changePropertyListKey(std::string const& path, std::string const& key, Value const& value)
{
    auto loaded = load(path);
    if (!loaded || plist_get_node_type(loaded->root.get()) != PLIST_DICT)
        return Status::refused("read " + path + ": not a readable property list holding a dictionary");
    if (value.isNull()) {
        plist_dict_remove_item(loaded->root.get(), key.c_str());
    } else {
        PlistPtr node = toNode(value);
        if (!node)
            return Status::refused("write " + path + ": the value cannot be stored in a property list");
        plist_dict_set_item(loaded->root.get(), key.c_str(), node.release());
    }
    return save(path, loaded->root.get(), loaded->format);
}

}
