#pragma once
// DisplayedText: a name or path as a command's row shows it, so that no name can break a row apart or
// forge one. Every character of valid UTF-8 that is not a control character stays as it is; a tab and a
// line feed show as "\t" and "\n", every other control character (C0, DEL, and C1 byte by byte: U+009B as
// "\xC2\x9B") and every byte that is not part of one valid UTF-8 character as "\xHH".

#include <string>
#include <string_view>

namespace quodrix {

// Whether `text` shows as it is (valid UTF-8 without a control character): the common case, checked
// without building anything.
bool showsAsItIs(std::string_view text);

std::string displayedText(std::string_view text);

}
