#include "rename/RenamePattern.h"

#include "fs/FileStore.h"
#include "text/AccentFlattener.h"
#include "text/UnicodeText.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <cstdio>
#include <ctime>
#include <numeric>
#include <optional>
#include <sys/stat.h>
#include <unicode/regex.h>
#include <unicode/unistr.h>

namespace quodrix {

struct RenamePattern::Token {
    enum class Kind { Literal, Group, Number, Name, Extension, Parent, Date, Exif };
    Kind kind;
    icu::UnicodeString literal;  // Literal
    std::int32_t group = 0;      // Group
    int width = 0;               // Number
    std::string argument;        // Date format, Exif tag
};

struct RenamePattern::Compiled {
    PatternOptions options;
    std::unique_ptr<icu::RegexPattern> pattern;
    std::unique_ptr<icu::RegexMatcher> matcher;  // reset for each name
    std::vector<Token> tokens;
    std::optional<AccentFlattener> flattener;  // with options.flatten
};

namespace {

using Token = RenamePattern::Token;

// The time limit of one search, in ICU's units of the engine's steps (each about 10,000 steps).
constexpr std::int32_t kMatchTimeLimit = 300;

icu::UnicodeString utf16(std::string const& text)
{
    return icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), std::int32_t(text.size())));
}

std::string utf8(icu::UnicodeString const& text)
{
    std::string out;
    text.toUTF8String(out);
    return out;
}

bool allDigits(std::string const& text)
{
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

// One variable's text inside braces, as a token; nullopt with `error` when it is not a variable.
std::optional<Token> variable(std::string const& text, std::string& error)
{
    std::string name = text, argument;
    bool hasArgument = false;
    if (auto colon = text.find(':'); colon != std::string::npos) {
        name = text.substr(0, colon);
        argument = text.substr(colon + 1);
        hasArgument = true;
    }
    Token token { Token::Kind::Literal, {}, 0, 0, {} };
    if (name == "n") {
        token.kind = Token::Kind::Number;
        if (hasArgument) {
            if (!allDigits(argument) || argument.size() > 2) {
                error = "the width in {" + text + "} is not a number of digits from 0 to 99";
                return std::nullopt;
            }
            token.width = std::stoi(argument);
        }
    } else if (name == "date") {
        token.kind = Token::Kind::Date;
        token.argument = hasArgument ? argument : "%Y-%m-%d";
    } else if (name == "exif" && hasArgument && !argument.empty()) {
        token.kind = Token::Kind::Exif;
        token.argument = argument;
    } else if (!hasArgument && (name == "name" || name == "ext" || name == "parent")) {
        token.kind = name == "name" ? Token::Kind::Name : name == "ext" ? Token::Kind::Extension : Token::Kind::Parent;
    } else {
        error = "unknown variable {" + text + "}";
        return std::nullopt;
    }
    return token;
}

bool parseTemplate(std::string const& text, icu::RegexPattern const& pattern, std::int32_t groupCount,
    std::vector<Token>& tokens, std::string& error)
{
    std::string literal;
    auto flush = [&] {
        if (!literal.empty())
            tokens.push_back({ Token::Kind::Literal, utf16(literal), 0, 0, {} });
        literal.clear();
    };
    auto group = [&](std::int32_t number) {
        if (number > groupCount) {
            error = "FIND has no group " + std::to_string(number);
            return false;
        }
        flush();
        tokens.push_back({ Token::Kind::Group, {}, number, 0, {} });
        return true;
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        char next = i + 1 < text.size() ? text[i + 1] : '\0';
        if (c == '\\' && i + 1 < text.size()) {
            literal += next;
            ++i;
        } else if (c == '$' && next >= '0' && next <= '9') {
            if (!group(next - '0'))
                return false;
            ++i;
        } else if (c == '$' && next == '{') {
            auto close = text.find('}', i + 2);
            if (close == std::string::npos) {
                error = "\"${\" without its \"}\"";
                return false;
            }
            std::string name = text.substr(i + 2, close - i - 2);
            std::int32_t number = -1;
            if (allDigits(name) && name.size() < 4) {
                number = std::stoi(name);
            } else {
                UErrorCode status = U_ZERO_ERROR;
                number = pattern.groupNumberFromName(utf16(name), status);
                if (U_FAILURE(status)) {
                    error = "FIND has no group named " + name;
                    return false;
                }
            }
            if (!group(number))
                return false;
            i = close;
        } else if (c == '{' && next == '{') {
            literal += '{';
            ++i;
        } else if (c == '}' && next == '}') {
            literal += '}';
            ++i;
        } else if (c == '{') {
            auto close = text.find('}', i + 1);
            if (close == std::string::npos) {
                error = "\"{\" without its \"}\" (write {{ for a brace)";
                return false;
            }
            auto token = variable(text.substr(i + 1, close - i - 1), error);
            if (!token)
                return false;
            flush();
            tokens.push_back(std::move(*token));
            i = close;
        } else {
            literal += c;
        }
    }
    flush();
    return true;
}

std::string changedCase(std::string const& text, CaseChange change)
{
    switch (change) {
    case CaseChange::Upper: return unicode::uppercase(text);
    case CaseChange::Lower: return unicode::lowercase(text);
    case CaseChange::Title: return unicode::capitalized(text);
    case CaseChange::None: break;
    }
    return text;
}

}

RenamePattern::~RenamePattern() = default;

std::unique_ptr<RenamePattern> RenamePattern::compile(PatternOptions const& options, std::string& error)
{
    auto compiled = std::make_unique<Compiled>();
    compiled->options = options;
    UParseError where {};
    UErrorCode status = U_ZERO_ERROR;
    compiled->pattern.reset(icu::RegexPattern::compile(utf16(options.find), 0, where, status));
    if (U_FAILURE(status) || !compiled->pattern) {
        error = "FIND is not a regular expression (" + std::string(u_errorName(status)) + " at offset "
            + std::to_string(where.offset) + ")";
        return nullptr;
    }
    status = U_ZERO_ERROR;
    compiled->matcher.reset(compiled->pattern->matcher(status));
    // Some expressions take time exponential in the name on some names ("(a+)+$" on forty "a"s and a "b"):
    // such a search is given up, and the file fails with that cause, rather than the run hanging. A name of
    // 255 bytes takes a sound expression a few thousand steps of the engine; the limit is millions.
    if (U_SUCCESS(status) && compiled->matcher)
        compiled->matcher->setTimeLimit(kMatchTimeLimit, status);
    if (U_FAILURE(status) || !compiled->matcher) {
        error = "FIND cannot be used (" + std::string(u_errorName(status)) + ")";
        return nullptr;
    }
    if (!parseTemplate(options.replace, *compiled->pattern, compiled->matcher->groupCount(), compiled->tokens, error))
        return nullptr;
    if (options.flatten)
        compiled->flattener.emplace();
    std::unique_ptr<RenamePattern> result(new RenamePattern());
    result->m_compiled = std::move(compiled);
    return result;
}

bool RenamePattern::usesNumber() const
{
    return std::any_of(m_compiled->tokens.begin(), m_compiled->tokens.end(),
        [](Token const& token) { return token.kind == Token::Kind::Number; });
}

NewName RenamePattern::apply(std::string const& path, std::int64_t number, FileFacts& facts) const
{
    Compiled& c = *m_compiled;
    NewName result;
    std::string const fileName = FileStore::lastComponent(path);
    auto [base, extension] = baseAndExtension(fileName);
    std::string const& searched = c.options.ignoreExtension ? base : fileName;
    auto const units = unicode::toUtf16(searched, unicode::Malformed::Refuse);
    if (!units) {
        // A regular expression cannot search a name that is not text: it is left alone, unmatched, and
        // the cause says why.
        result.cause = "the name is not valid UTF-8";
        return result;
    }
    icu::UnicodeString const subject(units->data(), std::int32_t(units->size()));
    c.matcher->reset(subject);

    icu::UnicodeString out;
    std::int32_t last = 0;
    UErrorCode status = U_ZERO_ERROR;
    while (c.matcher->find(status) && U_SUCCESS(status)) {
        std::int32_t start = c.matcher->start(status), end = c.matcher->end(status);
        // An empty match right where the last match ended is no new match: "(.*)" matches a whole name
        // once, not once more in the empty text after it, which would give the replacement twice.
        if (start == end && start == last && result.matched)
            continue;
        result.matched = true;
        out.append(subject, last, start - last);
        for (Token const& token : c.tokens) {
            switch (token.kind) {
            case Token::Kind::Literal: out.append(token.literal); break;
            case Token::Kind::Group: out.append(c.matcher->group(token.group, status)); break;
            case Token::Kind::Number: {
                char digits[128];
                std::snprintf(digits, sizeof digits, "%0*lld", token.width, static_cast<long long>(number));
                out.append(icu::UnicodeString(digits, -1, icu::UnicodeString::kInvariant));
                break;
            }
            case Token::Kind::Name: out.append(utf16(base)); break;
            case Token::Kind::Extension: out.append(utf16(extension)); break;
            case Token::Kind::Parent: out.append(utf16(FileStore::lastComponent(FileStore::parentOf(path)))); break;
            case Token::Kind::Date: {
                auto date = formattedCaptureDate(path, facts.exifTag(path, "DateTimeOriginal"), token.argument);
                if (!date) {
                    result.cause = "no capture date: the file cannot be read";
                    return result;
                }
                out.append(utf16(*date));
                break;
            }
            case Token::Kind::Exif: {
                auto value = facts.exifTag(path, token.argument);
                if (!value) {
                    result.cause = "no Exif tag " + token.argument;
                    return result;
                }
                out.append(utf16(*value));
                break;
            }
            }
        }
        last = end;
        if (c.options.once)
            break;
    }
    if (U_FAILURE(status)) {
        result.matched = true;
        result.cause = status == U_REGEX_TIME_OUT
            ? "FIND takes too long on this name (the expression backtracks without end)"
            : std::string("the regular expression failed: ") + u_errorName(status);
        return result;
    }
    if (!result.matched)
        return result;
    out.append(subject, last, subject.length() - last);

    std::string name = utf8(out);
    if (c.flattener)
        name = c.flattener->flattened(name);
    // The extension kept is kept as it was, with its dot, also when nothing follows the dot ("trail.").
    if (c.options.ignoreExtension)
        name.append(fileName, base.size());
    if (c.options.caseChange != CaseChange::None) {
        auto dot = name.rfind('.');
        if (dot == std::string::npos || dot == 0) {
            name = changedCase(name, c.options.caseChange);
        } else {
            std::string ext = name.substr(dot + 1);
            name = changedCase(name.substr(0, dot), c.options.caseChange) + "."
                + (c.options.caseExtension ? changedCase(ext, c.options.caseChange) : ext);
        }
    }
    result.name = std::move(name);
    return result;
}

std::pair<std::string, std::string> baseAndExtension(std::string const& fileName)
{
    auto dot = fileName.rfind('.');
    if (dot == std::string::npos || dot == 0)
        return { fileName, {} };
    return { fileName.substr(0, dot), fileName.substr(dot + 1) };
}

bool naturalLess(std::string const& a, std::string const& b)
{
    // The definition of the order; sorting compares naturalKey's keys, which order texts as this does.
    auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (isDigit(a[i]) && isDigit(b[j])) {
            std::size_t ei = i, ej = j;
            while (ei < a.size() && isDigit(a[ei]))
                ++ei;
            while (ej < b.size() && isDigit(b[ej]))
                ++ej;
            std::size_t si = i, sj = j;  // leading zeros do not count toward the value
            while (si + 1 < ei && a[si] == '0')
                ++si;
            while (sj + 1 < ej && b[sj] == '0')
                ++sj;
            if (ei - si != ej - sj)
                return ei - si < ej - sj;
            if (int order = a.compare(si, ei - si, b, sj, ej - sj); order != 0)
                return order < 0;
            if (ei - i != ej - j)  // equal values: fewer leading zeros first
                return ei - i < ej - j;
            i = ei;
            j = ej;
            continue;
        }
        if (a[i] != b[j])
            return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
        ++i;
        ++j;
    }
    return a.size() - i < b.size() - j;
}

namespace {

void appendLength(std::string& key, std::size_t length)
{
    auto const value = static_cast<std::uint32_t>(std::min<std::size_t>(length, UINT32_MAX));
    for (int shift = 24; shift >= 0; shift -= 8)
        key += static_cast<char>((value >> shift) & 0xff);
}

}

namespace {

// Appends the natural key of `text` (see naturalKey) to `key`.
void appendNaturalKey(std::string& key, std::string_view text)
{
    auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    std::size_t i = 0;
    while (i < text.size()) {
        std::size_t start = i;
        while (i < text.size() && !isDigit(text[i]))
            ++i;
        key.append(text, start, i - start);
        if (i == text.size())
            break;
        start = i;
        while (i < text.size() && isDigit(text[i]))
            ++i;
        std::size_t first = start;  // leading zeros do not count toward the value; a last zero does
        while (first + 1 < i && text[first] == '0')
            ++first;
        // The first byte is a digit, so that the run compares with any other byte as its own first digit did.
        std::size_t const significant = i - first;
        if (significant < 9) {
            key += static_cast<char>('0' + significant);
        } else {
            key += '9';
            appendLength(key, significant);
        }
        key.append(text, first, i - first);
        appendLength(key, i - start);
    }
}

}

std::string naturalKey(std::string_view text)
{
    std::string key;
    key.reserve(text.size() + 16);
    appendNaturalKey(key, text);
    return key;
}

void sortNaturally(std::vector<std::string>& paths)
{
    if (paths.size() < 2)
        return;
    // The paths of a run mostly share their folder and the start of their names. Up to a byte that is not a
    // digit, a shared start gives every key the same start (a digit run begins after it), so the keys are
    // made of what follows it: shorter to make and to compare, in the same order.
    std::string_view shared = paths.front();
    for (auto const& path : paths) {
        auto const differs = std::mismatch(shared.begin(), shared.end(), path.begin(), path.end()).first;
        shared = shared.substr(0, std::size_t(differs - shared.begin()));
    }
    std::size_t skipped = shared.size();
    while (skipped > 0 && shared[skipped - 1] >= '0' && shared[skipped - 1] <= '9')
        --skipped;
    // The keys one after another in one text, each found by where it ends: a text of its own for each key
    // cost an allocation a path, and their pages.
    std::string keyText;
    std::vector<std::size_t> keyEnds;
    keyEnds.reserve(paths.size());
    for (auto const& path : paths) {
        appendNaturalKey(keyText, std::string_view(path).substr(skipped));
        keyEnds.push_back(keyText.size());
    }
    auto const key = [&](std::size_t i) {
        std::size_t const begin = i == 0 ? 0 : keyEnds[i - 1];
        return std::string_view(keyText).substr(begin, keyEnds[i] - begin);
    };
    // Each key's first eight bytes, as one number that orders as they do (missing bytes as zeros), decide
    // most comparisons; the keys themselves are compared only when those bytes are equal.
    struct Ranked {
        std::uint64_t head;
        std::size_t index;
    };
    std::vector<Ranked> order(paths.size());
    for (std::size_t i = 0; i < paths.size(); ++i) {
        std::string_view const k = key(i);
        std::uint64_t head = 0;
        for (std::size_t b = 0; b < 8; ++b)
            head = head << 8 | (b < k.size() ? static_cast<unsigned char>(k[b]) : 0u);
        order[i] = { head, i };
    }
    std::sort(order.begin(), order.end(), [&](Ranked const& a, Ranked const& b) {
        return a.head != b.head ? a.head < b.head : key(a.index) < key(b.index);
    });
    std::vector<std::string> sorted;
    sorted.reserve(paths.size());
    for (Ranked const& ranked : order)
        sorted.push_back(std::move(paths[ranked.index]));
    paths = std::move(sorted);
}

std::optional<std::string> formattedCaptureDate(std::string const& path, std::optional<std::string> const& exifDateTime,
    std::string const& format)
{
    std::tm moment {};
    bool known = false;
    if (exifDateTime) {
        int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
        if (std::sscanf(exifDateTime->c_str(), "%4d:%2d:%2d %2d:%2d:%2d", &year, &month, &day, &hour, &minute, &second) == 6
            && year > 0 && month >= 1 && month <= 12 && day >= 1 && day <= 31) {
            moment.tm_year = year - 1900;
            moment.tm_mon = month - 1;
            moment.tm_mday = day;
            moment.tm_hour = hour;
            moment.tm_min = minute;
            moment.tm_sec = second;
            moment.tm_isdst = -1;
            // Fills the day of the week and of the year, for formats that use them.
            std::tm filled = moment;
            if (std::mktime(&filled) != -1)
                moment = filled;
            known = true;
        }
    }
    if (!known) {
        struct stat info {};
        if (::stat(path.c_str(), &info) != 0 || !localtime_r(&info.st_mtime, &moment))
            return std::nullopt;
    }
    if (format.empty())
        return std::string();
    std::string out(256 + format.size() * 8, '\0');
    std::size_t length = std::strftime(out.data(), out.size(), format.c_str(), &moment);
    out.resize(length);
    return out;
}

}
