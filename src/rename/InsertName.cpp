#include "rename/InsertName.h"

#include "platform/NSTextField.h"

#include <cstdint>
#include <unicode/ustring.h>

namespace quodrix {

namespace {

std::optional<std::u16string> toUtf16(std::string const& text)
{
    if (text.empty())
        return std::u16string();
    UErrorCode status = U_ZERO_ERROR;
    int32_t length = 0;
    u_strFromUTF8(nullptr, 0, &length, text.data(), int32_t(text.size()), &status);
    if (status != U_BUFFER_OVERFLOW_ERROR && U_FAILURE(status))
        return std::nullopt;
    std::u16string result(std::size_t(length), u'\0');
    status = U_ZERO_ERROR;
    u_strFromUTF8(reinterpret_cast<UChar*>(result.data()), length, nullptr, text.data(), int32_t(text.size()), &status);
    if (U_FAILURE(status))
        return std::nullopt;
    return result;
}

std::optional<std::string> toUtf8(std::u16string const& text)
{
    if (text.empty())
        return std::string();
    UErrorCode status = U_ZERO_ERROR;
    int32_t length = 0;
    auto const* units = reinterpret_cast<UChar const*>(text.data());
    u_strToUTF8(nullptr, 0, &length, units, int32_t(text.size()), &status);
    if (status != U_BUFFER_OVERFLOW_ERROR && U_FAILURE(status))
        return std::nullopt;
    std::string result(std::size_t(length), '\0');
    status = U_ZERO_ERROR;
    u_strToUTF8(result.data(), length, nullptr, units, int32_t(text.size()), &status);
    if (U_FAILURE(status))
        return std::nullopt;
    return result;
}

}

std::vector<std::string> splitPositions(std::string const& text)
{
    std::vector<std::string> fields;
    std::size_t start = 0;
    while (true) {
        std::size_t end = text.find(';', start);
        if (end == std::string::npos) {
            fields.push_back(text.substr(start));
            return fields;
        }
        fields.push_back(text.substr(start, end - start));
        start = end + 1;
    }
}

NameParts splitFileName(std::string const& fileName)
{
    auto dot = fileName.rfind('.');
    if (dot == std::string::npos)
        return { fileName, {} };
    return { fileName.substr(0, dot), fileName.substr(dot + 1) };
}

std::optional<std::string> insertAtPositions(std::string const& base, std::string const& text,
    std::vector<std::string> const& positions)
{
    auto working = toUtf16(base);
    auto insertion = toUtf16(text);
    if (!working || !insertion)
        return std::nullopt;
    std::int64_t j = 0;
    for (auto const& field : positions) {
        std::int64_t q = std::int64_t(intValueOf(field)) + j;
        // 32-bit arithmetic would wrap a sum beyond the range to a negative index: skipped either way.
        if (q >= 0 && q <= std::int64_t(working->size()))
            working->insert(std::size_t(q), *insertion);
        ++j;
    }
    return toUtf8(*working);
}

}
