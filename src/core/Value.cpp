#include "core/Value.h"

#include "core/Class.h"
#include "core/Object.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <optional>
#include <glib.h>

#include <dlfcn.h>

namespace quodrix {

namespace {

// GLib's conversions between file names and URIs, loaded at their first use: the executable links no GLib,
// so that a start that converts nothing does not load it. Loaded once and kept for the life of the process;
// null when GLib cannot be loaded.
struct UriFunctions {
    decltype(&g_filename_to_uri) filenameToUri = nullptr;
    decltype(&g_filename_from_uri) filenameFromUri = nullptr;
    decltype(&g_free) free = nullptr;
};

UriFunctions const* uriFunctions()
{
    static std::optional<UriFunctions> const loaded = []() -> std::optional<UriFunctions> {
        void* glib = dlopen("libglib-2.0.so.0", RTLD_NOW | RTLD_LOCAL);
        if (!glib)
            return std::nullopt;
        UriFunctions f;
        f.filenameToUri = reinterpret_cast<decltype(f.filenameToUri)>(dlsym(glib, "g_filename_to_uri"));
        f.filenameFromUri = reinterpret_cast<decltype(f.filenameFromUri)>(dlsym(glib, "g_filename_from_uri"));
        f.free = reinterpret_cast<decltype(f.free)>(dlsym(glib, "g_free"));
        if (!f.filenameToUri || !f.filenameFromUri || !f.free)
            return std::nullopt;
        return f;
    }();
    return loaded ? &*loaded : nullptr;
}

}

std::string_view kindName(Kind kind)
{
    switch (kind) {
    case Kind::Null: return "null";
    case Kind::Bool: return "boolean";
    case Kind::Integer: return "integer";
    case Kind::Float: return "float";
    case Kind::String: return "string";
    case Kind::Data: return "data";
    case Kind::Date: return "date";
    case Kind::Url: return "URL";
    case Kind::Array: return "array";
    case Kind::Dictionary: return "dictionary";
    case Kind::MutableString: return "mutable string";
    case Kind::Object: return "object";
    case Kind::Class: return "class";
    case Kind::PathList: return "array";
    }
    return "unknown";
}

Date Date::now()
{
    auto since = std::chrono::system_clock::now().time_since_epoch();
    return Date { std::chrono::duration<double>(since).count() };
}

Url Url::fromPath(std::string const& path)
{
    std::string absolute = path;
    if (absolute.empty() || absolute[0] != '/') {
        std::error_code ec;
        absolute = std::filesystem::absolute(path, ec).string();
    }
    auto const* glib = uriFunctions();
    gchar* uri = glib ? glib->filenameToUri(absolute.c_str(), nullptr, nullptr) : nullptr;
    if (!uri)
        return Url { "file://" + absolute };
    Url url { uri };
    glib->free(uri);
    return url;
}

bool Url::isFile() const
{
    static constexpr std::string_view scheme = "file://";
    return text.size() >= scheme.size() && std::equal(scheme.begin(), scheme.end(), text.begin(), [](char a, char b) {
        return a == (b >= 'A' && b <= 'Z' ? char(b - 'A' + 'a') : b);
    });
}

std::optional<std::string> Url::path() const
{
    // A NUL would cut the text short where GLib reads it.
    if (!isFile() || text.find('\0') != std::string::npos)
        return std::nullopt;
    auto const* glib = uriFunctions();
    gchar* filename = glib ? glib->filenameFromUri(text.c_str(), nullptr, nullptr) : nullptr;
    if (!filename)
        return std::nullopt;
    std::string result(filename);
    glib->free(filename);
    return result;
}

Value::Value(std::vector<std::string> const& strings)
{
    Array array;
    array.reserve(strings.size());
    for (auto const& s : strings)
        array.emplace_back(s);
    m_v = std::move(array);
}

std::optional<double> Value::number() const
{
    switch (kind()) {
    case Kind::Bool: return asBool() ? 1.0 : 0.0;
    case Kind::Integer: return double(asInteger());
    case Kind::Float: return asFloat();
    default: return std::nullopt;
    }
}

std::optional<std::int64_t> Value::integer() const
{
    if (kind() == Kind::Integer)
        return asInteger();
    auto n = number();
    if (!n)
        return std::nullopt;
    if (std::isnan(*n))
        return 0;
    if (*n >= 9.2e18)
        return INT64_MAX;
    if (*n <= -9.2e18)
        return INT64_MIN;
    return std::int64_t(*n);
}

std::optional<std::string> Value::text() const
{
    if (kind() == Kind::String)
        return asString();
    if (kind() == Kind::MutableString)
        return *asMutableString().text;
    return std::nullopt;
}

static std::string formatFloat(double d)
{
    if (std::isfinite(d) && d == std::floor(d) && std::fabs(d) < 1e15)
        return std::to_string(std::int64_t(d));
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.17g", d);
    // Shortest text that reads back to the same double.
    for (int precision = 1; precision <= 17; ++precision) {
        char candidate[64];
        std::snprintf(candidate, sizeof candidate, "%.*g", precision, d);
        if (std::strtod(candidate, nullptr) == d)
            return candidate;
    }
    return buffer;
}

std::string Value::description() const
{
    switch (kind()) {
    case Kind::Null: return "(null)";
    case Kind::Bool: return asBool() ? "1" : "0";
    case Kind::Integer: return std::to_string(asInteger());
    case Kind::Float: return formatFloat(asFloat());
    case Kind::String: return asString();
    case Kind::MutableString: return *asMutableString().text;
    case Kind::Url: return asUrl().text;
    case Kind::Data: {
        static char const hex[] = "0123456789abcdef";
        std::string out = "<";
        auto const& bytes = asData().bytes;
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            if (i && i % 4 == 0)
                out += ' ';
            out += hex[(unsigned char)bytes[i] >> 4];
            out += hex[(unsigned char)bytes[i] & 15];
        }
        return out + ">";
    }
    case Kind::Date: {
        double seconds = asDate().secondsSince1970;
        // Beyond about 292 billion years either way no calendar date exists.
        if (!(std::fabs(seconds) < 9e15))
            return "(invalid date)";
        std::time_t t = std::time_t(std::floor(seconds));
        std::tm tm {};
        gmtime_r(&t, &tm);
        char buffer[64];
        std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S +0000", &tm);
        return buffer;
    }
    case Kind::Array: {
        std::string out = "(";
        bool first = true;
        for (auto const& v : asArray()) {
            out += first ? "\n    " : ",\n    ";
            out += v.description();
            first = false;
        }
        return out + (first ? ")" : "\n)");
    }
    case Kind::PathList: {
        std::string out = "(";
        bool first = true;
        asPathList().forEach([&](std::string_view path) {
            out += first ? "\n    " : ",\n    ";
            out += path;
            first = false;
        });
        return out + (first ? ")" : "\n)");
    }
    case Kind::Dictionary: {
        std::string out = "{";
        for (auto const& [k, v] : asDictionary())
            out += "\n    " + k + " = " + v.description() + ";";
        return out + (asDictionary().empty() ? "}" : "\n}");
    }
    case Kind::Object: return asObject() ? asObject()->description() : "(null)";
    case Kind::Class: return asClass().cls ? asClass().cls->name() : "(null)";
    }
    return {};
}

// A path list equals an array of the same strings.
static bool samePaths(PathList const& paths, Array const& array)
{
    if (paths.size() != array.size())
        return false;
    std::size_t i = 0;
    bool same = true;
    paths.forEach([&](std::string_view path) {
        same = same && array[i].isString() && array[i].asString() == path;
        ++i;
    });
    return same;
}

bool Value::operator==(Value const& other) const
{
    if (kind() == Kind::PathList && other.kind() == Kind::Array)
        return samePaths(asPathList(), other.asArray());
    if (kind() == Kind::Array && other.kind() == Kind::PathList)
        return samePaths(other.asPathList(), asArray());
    return m_v == other.m_v;
}

}
