#include "text/Base64.h"

#include <glib.h>
#include <memory>

namespace quodrix::base64 {

namespace {

struct GFreeDeleter {
    void operator()(void* p) const { g_free(p); }
};

bool inAlphabet(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '/'
        || c == '=';
}

// Whole groups of four, with at most two "=" and only at the end.
bool isWellFormed(std::string const& s)
{
    if (s.size() % 4 != 0)
        return false;
    std::size_t firstPad = s.find('=');
    if (firstPad == std::string::npos)
        return true;
    if (firstPad + 2 < s.size())
        return false;
    for (std::size_t i = firstPad; i < s.size(); ++i) {
        if (s[i] != '=')
            return false;
    }
    return true;
}

}

std::string encode(std::string_view bytes)
{
    std::unique_ptr<gchar, GFreeDeleter> text(
        g_base64_encode(reinterpret_cast<guchar const*>(bytes.data()), bytes.size()));
    return text ? std::string(text.get()) : std::string();
}

std::optional<std::string> decode(std::string_view text)
{
    std::string kept;
    kept.reserve(text.size());
    for (char c : text) {
        if (inAlphabet(c))
            kept += c;
    }
    if (!isWellFormed(kept))
        return std::nullopt;
    if (kept.empty())
        return std::string();
    gsize length = 0;
    std::unique_ptr<guchar, GFreeDeleter> bytes(g_base64_decode(kept.c_str(), &length));
    if (!bytes)
        return std::nullopt;
    return std::string(reinterpret_cast<char const*>(bytes.get()), length);
}

}
