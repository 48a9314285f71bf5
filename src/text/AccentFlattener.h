#pragma once
// AccentFlattener: Latin letters with accents and other diacritics in their ASCII spelling (é to e, ø to o,
// ß to ss, Æ to AE), for texts that must stay names. A character without an ASCII spelling, of any other
// script, stays as it is: a name in Chinese or Greek neither loses its letters nor becomes another file's
// name of question marks. (The string operations' lossy conversion to ASCII is unicode::flattenedToAscii.)

#include <memory>
#include <string>
#include <string_view>
#include <unicode/uversion.h>

U_NAMESPACE_BEGIN
class Transliterator;
U_NAMESPACE_END

namespace quodrix {

class AccentFlattener {
public:
    AccentFlattener();
    ~AccentFlattener();
    AccentFlattener(AccentFlattener const&) = delete;
    AccentFlattener& operator=(AccentFlattener const&) = delete;

    // The text with its Latin letters flattened; the text itself when it is not valid UTF-8 or the
    // transliteration is not to be had.
    std::string flattened(std::string_view text) const;

private:
    std::unique_ptr<icu::Transliterator> m_transliterator;
};

}
