#include "util/cNSStringHandling.h"

#include "core/Class.h"
#include "text/Base64.h"
#include "text/TextFiles.h"
#include "text/UnicodeText.h"

#include <charconv>
#include <cmath>

namespace quodrix {

namespace {

std::string answer(bool yes)
{
    return yes ? cNSStringHandling::kYes : cNSStringHandling::kNo;
}

std::optional<std::int64_t> wholeNumber(double d)
{
    if (!std::isfinite(d))
        return std::nullopt;
    if (d >= 9.2e18)
        return INT64_MAX;
    if (d <= -9.2e18)
        return INT64_MIN;
    return std::int64_t(d);
}

// A position or count from a script: a number (rounded toward zero) or a text that is wholly a number.
std::optional<std::int64_t> integerArgument(Value const& v)
{
    if (v.kind() == Kind::Integer)
        return v.asInteger();
    if (auto n = v.number())
        return wholeNumber(*n);
    auto text = v.text();
    if (!text)
        return std::nullopt;
    std::size_t first = text->find_first_not_of(" \t");
    std::size_t last = text->find_last_not_of(" \t");
    if (first == std::string::npos)
        return std::nullopt;
    char const* begin = text->data() + first;
    char const* end = text->data() + last + 1;
    if (*begin == '+')
        ++begin;
    double d = 0;
    auto [stop, error] = std::from_chars(begin, end, d, std::chars_format::general);
    if (error != std::errc() || stop != end)
        return std::nullopt;
    return wholeNumber(d);
}

// Data from a script: data, or a string's bytes.
std::optional<Data> dataArgument(Value const& v)
{
    if (v.kind() == Kind::Data)
        return v.asData();
    if (auto text = v.text())
        return Data { *text };
    return std::nullopt;
}

}

std::string cNSStringHandling::hChangeCaseFiles(std::string const& text, std::string const& caseCode)
{
    if (caseCode == "1")
        return unicode::lowercase(text);
    if (caseCode == "2")
        return unicode::uppercase(text);
    if (caseCode == "3")
        return unicode::capitalized(text);
    return text;
}

std::vector<std::string> cNSStringHandling::hSplitString(std::string const& text, std::string const& separator)
{
    if (separator.empty())
        return { text };
    std::vector<std::string> pieces;
    std::size_t start = 0;
    for (std::size_t at = text.find(separator); at != std::string::npos; at = text.find(separator, start)) {
        pieces.push_back(text.substr(start, at - start));
        start = at + separator.size();
    }
    pieces.push_back(text.substr(start));
    return pieces;
}

std::string cNSStringHandling::hInsertStringInString(
    MutableString const& target, std::string const& insertion, std::int64_t position)
{
    if (!target.text)
        return {};
    if (auto changed = unicode::utf16Insert(*target.text, insertion, position))
        *target.text = std::move(*changed);
    return *target.text;
}

std::string cNSStringHandling::hReplaceStringInString(
    std::string const& text, std::string const& search, std::string const& replacement)
{
    if (search.empty())
        return text;
    std::string out;
    std::size_t start = 0;
    for (std::size_t at = text.find(search); at != std::string::npos; at = text.find(search, start)) {
        out.append(text, start, at - start);
        out += replacement;
        start = at + search.size();
    }
    out.append(text, start);
    return out;
}

std::string cNSStringHandling::hRemoveNonLetters(std::string const& text, std::string const& filterCode)
{
    if (filterCode == "NA")
        return unicode::keepOnly(text, unicode::CharacterClass::LettersMarksNumbers);
    if (filterCode == "OL")
        return unicode::keepOnly(text, unicode::CharacterClass::LettersMarks);
    return text;
}

std::string cNSStringHandling::hStripString(std::string const& text, std::string const& sideCode, std::int64_t count)
{
    if (text.empty())
        return {};
    std::int64_t length = unicode::utf16Length(text);
    if (count < 0 || count > length)
        return text;
    std::optional<std::string> kept;
    if (sideCode == "fRight")
        kept = unicode::utf16Slice(text, 0, length - count);
    else if (sideCode == "fLeft")
        kept = unicode::utf16Slice(text, count, length - count);
    return kept.value_or(text);
}

std::string cNSStringHandling::hSubsectionString(std::string const& text, std::int64_t start, std::int64_t length)
{
    return unicode::utf16Slice(text, start, length).value_or(text);
}

std::optional<std::string> cNSStringHandling::hNSDateToNSString(Date date)
{
    return unicode::localizedDateTime(date.secondsSince1970);
}

std::optional<std::string> cNSStringHandling::hNSDataToNSString(Data const& data)
{
    if (!isValidUtf8(data.bytes))
        return std::nullopt;
    return data.bytes;
}

std::optional<Data> cNSStringHandling::hNSStringToNSData(std::string const& text)
{
    for (char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return std::nullopt;
    }
    return Data { text };
}

std::string cNSStringHandling::hConcatString(
    std::string const& first, std::string const& second, std::string const& third)
{
    return first + second + third;
}

std::string cNSStringHandling::hStringContainsString(std::string const& text, std::string const& search)
{
    return answer(unicode::containsIgnoringCase(text, search));
}

std::string cNSStringHandling::hStringBeginsWith(std::string const& text, std::string const& prefix)
{
    return answer(!prefix.empty() && text.starts_with(prefix));
}

std::string cNSStringHandling::hStringEndWith(std::string const& text, std::string const& suffix)
{
    return answer(text.ends_with(suffix));
}

std::string cNSStringHandling::hConvertNSdToNSstr(Data const& data)
{
    return base64::encode(data.bytes);
}

std::optional<Data> cNSStringHandling::hConvertNSstrToNSd(std::string const& text)
{
    if (auto bytes = base64::decode(text))
        return Data { std::move(*bytes) };
    return std::nullopt;
}

std::string cNSStringHandling::hConvertAccentLetters(std::string const& text)
{
    return unicode::flattenedToAscii(text);
}

std::string cNSStringHandling::hRemoveWhiteSpace(std::string const& text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c != ' ')
            out += c;
    }
    return out;
}

void cNSStringHandling::registerClass(Runtime& runtime)
{
    // Arguments are read as values, never through the raising readers: unusable input gives a result.
    ClassBuilder<cNSStringHandling>(runtime, "cNSStringHandling")
        .method("hChangeCaseFiles::",
            [](Call const& c) { return Value(hChangeCaseFiles(c.args.text(0), c.args.text(1))); })
        .method("hSplitString::", [](Call const& c) { return Value(hSplitString(c.args.text(0), c.args.text(1))); })
        .method("hInsertStringInString:::",
            [](Call const& c) {
                Value const& target = c.args[0];
                if (target.kind() != Kind::MutableString)
                    return Value(target.text());  // an immutable string stays as it is
                auto position = integerArgument(c.args[2]);
                if (!position)
                    return Value(*target.asMutableString().text);
                return Value(hInsertStringInString(target.asMutableString(), c.args.text(1), *position));
            })
        .method("hReplaceStringInString:::",
            [](Call const& c) {
                auto text = c.args[0].text();
                if (!text)
                    return Value();
                return Value(hReplaceStringInString(*text, c.args.text(1), c.args.text(2)));
            })
        .method("hRemoveNonLetters::",
            [](Call const& c) {
                auto text = c.args[0].text();
                if (!text)
                    return Value();
                return Value(hRemoveNonLetters(*text, c.args.text(1)));
            })
        .method("hStripString:::",
            [](Call const& c) {
                auto text = c.args[0].text();
                if (!text)
                    return Value();
                auto count = integerArgument(c.args[2]);
                if (!count)
                    return Value(*text);
                return Value(hStripString(*text, c.args.text(1), *count));
            })
        .method("hSubsectionString:::",
            [](Call const& c) {
                auto text = c.args[0].text();
                if (!text)
                    return Value();
                auto start = integerArgument(c.args[1]);
                auto length = integerArgument(c.args[2]);
                if (!start || !length)
                    return Value(*text);
                return Value(hSubsectionString(*text, *start, *length));
            })
        .method("hNSDateToNSString:",
            [](Call const& c) {
                if (c.args[0].kind() != Kind::Date)
                    return Value();
                return Value(hNSDateToNSString(c.args[0].asDate()));
            })
        .method("hNSDataToNSString:",
            [](Call const& c) {
                auto data = dataArgument(c.args[0]);
                return data ? Value(hNSDataToNSString(*data)) : Value();
            })
        .method("hNSStringToNSData:",
            [](Call const& c) {
                auto text = c.args[0].text();
                return text ? Value(hNSStringToNSData(*text)) : Value();
            })
        .method("hConcatString:::",
            [](Call const& c) {
                auto first = c.args[0].text();
                auto second = c.args[1].text();
                auto third = c.args[2].text();
                if (!first || !second || !third)
                    return Value();
                return Value(hConcatString(*first, *second, *third));
            })
        .method("hStringContainsString::",
            [](Call const& c) {
                auto text = c.args[0].text();
                auto search = c.args[1].text();
                return Value(text && search ? hStringContainsString(*text, *search) : kNo);
            })
        .method("hStringBeginsWith::",
            [](Call const& c) {
                auto text = c.args[0].text();
                auto prefix = c.args[1].text();
                return Value(text && prefix ? hStringBeginsWith(*text, *prefix) : kNo);
            })
        .method("hStringEndWith::",
            [](Call const& c) {
                auto text = c.args[0].text();
                auto suffix = c.args[1].text();
                return Value(text && suffix ? hStringEndWith(*text, *suffix) : kNo);
            })
        .method("hConvertNSdToNSstr:",
            [](Call const& c) {
                auto data = dataArgument(c.args[0]);
                return data ? Value(hConvertNSdToNSstr(*data)) : Value();
            })
        .method("hConvertNSstrToNSd:",
            [](Call const& c) {
                auto text = c.args[0].text();
                return text ? Value(hConvertNSstrToNSd(*text)) : Value();
            })
        .method("hConvertAccentLetters:",
            [](Call const& c) {
                auto text = c.args[0].text();
                return text ? Value(hConvertAccentLetters(*text)) : Value();
            })
        .method("hRemoveWhiteSpace:", [](Call const& c) {
            auto text = c.args[0].text();
            return text ? Value(hRemoveWhiteSpace(*text)) : Value();
        });
}

}
