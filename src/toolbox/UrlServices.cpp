#include "toolbox/UrlServices.h"

#include "platform/Platform.h"

#include <glib.h>

#include <cmath>
#include <memory>
#include <string_view>

namespace quodrix {

namespace {

bool mayStandInUrl(unsigned char c)
{
    if (c <= 0x20 || c >= 0x7f)
        return false;
    switch (c) {
    case '"': case '<': case '>': case '\\': case '^': case '`': case '{': case '}': case '|':
        return false;
    default:
        return true;
    }
}

bool isHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

void appendEscape(std::string& out, unsigned char c)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    out += '%';
    out += kHex[c >> 4];
    out += kHex[c & 0xf];
}

struct GFree {
    void operator()(gchar* p) const { g_free(p); }
};
using OwnedText = std::unique_ptr<gchar, GFree>;

bool holdsAny(gchar const* part, std::string_view characters)
{
    return part && std::string_view(part).find_first_of(characters) != std::string_view::npos;
}

}

std::string percentEscapeForUrl(std::string const& text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        auto c = static_cast<unsigned char>(text[i]);
        if (c == '%') {
            bool startsEscape = i + 2 < text.size() && isHexDigit(text[i + 1]) && isHexDigit(text[i + 2]);
            if (startsEscape)
                out += '%';
            else
                appendEscape(out, c);
        } else if (mayStandInUrl(c)) {
            out += char(c);
        } else {
            appendEscape(out, c);
        }
    }
    return out;
}

std::optional<std::string> urlFromText(std::string const& text)
{
    std::string escaped = percentEscapeForUrl(text);
    if (escaped.empty())
        return std::nullopt;
    gchar *userinfo = nullptr, *host = nullptr, *path = nullptr, *query = nullptr, *fragment = nullptr;
    GError* error = nullptr;
    bool parsed = g_uri_split(escaped.c_str(), G_URI_FLAGS_ENCODED, nullptr, &userinfo, &host, nullptr, &path,
        &query, &fragment, &error);
    OwnedText owned[] = { OwnedText(userinfo), OwnedText(host), OwnedText(path), OwnedText(query), OwnedText(fragment) };
    if (error)
        g_error_free(error);
    if (!parsed)
        return std::nullopt;
    if (holdsAny(userinfo, "[]") || holdsAny(path, "[]") || holdsAny(query, "[]#") || holdsAny(fragment, "[]#"))
        return std::nullopt;
    return escaped;
}

void showUrl(Platform& platform, std::string const& text)
{
    auto url = urlFromText(text);
    if (!url)
        return;
    gchar* scheme = g_uri_parse_scheme(url->c_str());
    OwnedText owned(scheme);
    if (scheme)
        platform.openUrl(*url);
}

std::string systemGenerationWord(double coreLibraryVersion)
{
    return std::floor(coreLibraryVersion) > 855.11 ? "109+" : "108";
}

}
