#include "text/AccentFlattener.h"

#include "text/UnicodeText.h"

#include <unicode/parseerr.h>
#include <unicode/translit.h>
#include <unicode/unistr.h>

namespace quodrix {

namespace {

// Decomposed, the marks that follow a Latin letter go; composed again, the Latin letters that remain
// outside ASCII (ß, æ, ø, ı, ...) take their ASCII spelling. Marks after a letter of another script
// (a Japanese voicing mark, a Devanagari vowel sign) are part of that letter and stay.
constexpr char16_t kRules[] = u"::NFD;"
                              u"[:Latin:] { [:Mn:]+ > ;"
                              u"::NFC;"
                              u"::Latin-ASCII;";

}

AccentFlattener::AccentFlattener()
{
    UParseError where {};
    UErrorCode status = U_ZERO_ERROR;
    m_transliterator.reset(icu::Transliterator::createFromRules(
        u"quodrix-flatten-latin", icu::UnicodeString(kRules), UTRANS_FORWARD, where, status));
    if (U_FAILURE(status))
        m_transliterator.reset();
}

AccentFlattener::~AccentFlattener() = default;

std::string AccentFlattener::flattened(std::string_view text) const
{
    if (!m_transliterator || unicode::isAscii(text))
        return std::string(text);
    auto const units = unicode::toUtf16(text, unicode::Malformed::Refuse);
    if (!units)
        return std::string(text);
    icu::UnicodeString u(units->data(), std::int32_t(units->size()));
    m_transliterator->transliterate(u);
    std::string out;
    u.toUTF8String(out);
    return out;
}

}
