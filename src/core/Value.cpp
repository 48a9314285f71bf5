#include "core/Value.h"

#include "core/Class.h"
#include "core/Object.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <glib.h>

namespace quodrix {

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
    gchar* uri = g_filename_to_uri(absolute.c_str(), nullptr, nullptr);
    if (!uri)
        return Url { "file://" + absolute };
    Url url { uri };
    g_free(uri);
    return url;
}

bool Url::isFile() const
{
    return text.size() >= 7 && g_ascii_strncasecmp(text.c_str(), "file://", 7) == 0;
}

std::optional<std::string> Url::path() const
{
    // A NUL would cut the text short where GLib reads it.
    if (!isFile() || text.find('\0') != std::string::npos)
        return std::nullopt;
    gchar* filename = g_filename_from_uri(text.c_str(), nullptr, nullptr);
    if (!filename)
        return std::nullopt;
    std::string result(filename);
    g_free(filename);
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

bool Value::operator==(Value const& other) const
{
    return m_v == other.m_v;
}

}
