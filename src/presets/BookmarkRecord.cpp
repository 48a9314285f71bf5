#include "presets/BookmarkRecord.h"

#include <glib.h>

#include <cstdint>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace quodrix::presets {

namespace {

constexpr std::string_view kMagic = "QDBM\x01";
constexpr char const* kRecordType = "(uttxuay)";
constexpr std::size_t kSignatureSize = 32;

struct Identity {
    std::uint32_t type = 0;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t birthSeconds = 0;
    std::uint32_t birthNanoseconds = 0;
    bool operator==(Identity const&) const = default;
};

struct VariantUnref {
    void operator()(GVariant* v) const { g_variant_unref(v); }
};
struct HmacUnref {
    void operator()(GHmac* h) const { g_hmac_unref(h); }
};
struct BytesUnref {
    void operator()(GBytes* b) const { g_bytes_unref(b); }
};
using VariantPtr = std::unique_ptr<GVariant, VariantUnref>;

std::optional<Identity> identityOf(std::string const& path)
{
    struct statx info {};
    if (::statx(AT_FDCWD, path.c_str(), 0, STATX_TYPE | STATX_INO | STATX_BTIME, &info) != 0)
        return std::nullopt;
    Identity identity;
    identity.type = info.stx_mode & S_IFMT;
    identity.device = makedev(info.stx_dev_major, info.stx_dev_minor);
    identity.inode = info.stx_ino;
    if (info.stx_mask & STATX_BTIME) {
        identity.birthSeconds = info.stx_btime.tv_sec;
        identity.birthNanoseconds = info.stx_btime.tv_nsec;
    }
    return identity;
}

std::string signature(std::string_view key, std::string_view signedBytes)
{
    std::unique_ptr<GHmac, HmacUnref> hmac(
        g_hmac_new(G_CHECKSUM_SHA256, reinterpret_cast<guchar const*>(key.data()), key.size()));
    g_hmac_update(hmac.get(), reinterpret_cast<guchar const*>(signedBytes.data()), gssize(signedBytes.size()));
    std::string digest(kSignatureSize, '\0');
    gsize length = digest.size();
    g_hmac_get_digest(hmac.get(), reinterpret_cast<guint8*>(digest.data()), &length);
    return digest;
}

// Compares in time that does not depend on where the texts differ.
bool sameSignature(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    unsigned char difference = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        difference |= (unsigned char)(a[i] ^ b[i]);
    return difference == 0;
}

}

std::optional<std::string> makeBookmark(Url const& url, std::string_view key)
{
    auto path = url.path();
    if (!path || key.size() == 0)
        return std::nullopt;
    auto identity = identityOf(*path);
    if (!identity)
        return std::nullopt;
    GVariant* text = g_variant_new_fixed_array(G_VARIANT_TYPE_BYTE, url.text.data(), url.text.size(), 1);
    GVariant* children[] = {
        g_variant_new_uint32(identity->type),
        g_variant_new_uint64(identity->device),
        g_variant_new_uint64(identity->inode),
        g_variant_new_int64(identity->birthSeconds),
        g_variant_new_uint32(identity->birthNanoseconds),
        text,
    };
    VariantPtr record(g_variant_ref_sink(g_variant_new_tuple(children, G_N_ELEMENTS(children))));
    std::string bytes(kMagic);
    bytes.append(static_cast<char const*>(g_variant_get_data(record.get())), g_variant_get_size(record.get()));
    bytes += signature(key, bytes);
    return bytes;
}

std::optional<Url> resolveBookmark(std::string_view bytes, std::string_view key)
{
    if (key.size() == 0 || bytes.size() < kMagic.size() + kSignatureSize || !bytes.starts_with(kMagic))
        return std::nullopt;
    std::string_view signedBytes = bytes.substr(0, bytes.size() - kSignatureSize);
    if (!sameSignature(signature(key, signedBytes), bytes.substr(signedBytes.size())))
        return std::nullopt;

    std::string_view payload = signedBytes.substr(kMagic.size());
    std::unique_ptr<GBytes, BytesUnref> copy(g_bytes_new(payload.data(), payload.size()));
    VariantPtr record(g_variant_ref_sink(g_variant_new_from_bytes(G_VARIANT_TYPE(kRecordType), copy.get(), FALSE)));
    if (!g_variant_is_normal_form(record.get()))
        return std::nullopt;

    Identity recorded;
    guint64 device = 0, inode = 0;
    gint64 birthSeconds = 0;
    VariantPtr text;
    {
        GVariant* textChild = nullptr;
        g_variant_get(record.get(), "(uttxu@ay)", &recorded.type, &device, &inode,
            &birthSeconds, &recorded.birthNanoseconds, &textChild);
        text.reset(textChild);
    }
    recorded.device = device;
    recorded.inode = inode;
    recorded.birthSeconds = birthSeconds;
    gsize length = 0;
    auto const* chars = static_cast<char const*>(g_variant_get_fixed_array(text.get(), &length, 1));
    Url url { std::string(chars ? chars : "", length) };

    auto path = url.path();
    if (!path)
        return std::nullopt;
    auto current = identityOf(*path);
    if (!current || !(*current == recorded))
        return std::nullopt;
    return url;
}

}
