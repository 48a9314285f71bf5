#pragma once
// RenamePattern: the new name that pattern renaming gives a file: every match (or the first) of an ICU
// regular expression in the file's name is replaced by a template.
//
// The template holds literal text, groups ($0..$9, ${n}, ${name}), "\x" for a literal x, and variables in
// braces: {n} and {n:W} (the file's number in the run, zero-padded to W digits), {name} (the base name),
// {ext} (the extension without its dot), {parent} (the parent folder's name), {date} and {date:FORMAT}
// (the capture date: Exif DateTimeOriginal, else the modification time, in strftime form, default
// "%Y-%m-%d"), {exif:TAG} (an Exif tag by its short name). "{{" and "}}" are literal braces. Matching
// and replacing work on UTF-16 text, so that "." matches one character whatever its encoding.
//
// A name that does not match gives no new name. A name that is not valid UTF-8, or a variable without a
// value for that file (no such tag), gives a failure with its cause. Nothing here touches the disk except
// through FileFacts.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quodrix {

// What the variables read from a file, supplied by the caller (Exif comes from the metadata layer).
class FileFacts {
public:
    virtual ~FileFacts() = default;
    // The interpreted value of an Exif tag by its short name ("Model", "DateTimeOriginal"); nullopt when
    // the file has no such tag or cannot be read as an image.
    virtual std::optional<std::string> exifTag(std::string const& path, std::string const& tag) = 0;
};

enum class CaseChange { None, Upper, Lower, Title };

struct PatternOptions {
    std::string find;
    std::string replace;
    bool once = false;             // the first match only
    bool ignoreExtension = false;  // search the base name only and keep the extension
    CaseChange caseChange = CaseChange::None;
    bool caseExtension = false;    // the case change applies to the extension too
    bool flatten = false;          // accented Latin letters to ASCII (AccentFlattener)
};

struct NewName {
    bool matched = false;  // false: the name stays as it is, and the file is no change
    std::string name;      // the new name, when matched and no cause
    std::string cause;     // why no new name could be made
};

class RenamePattern {
public:
    // The compiled pattern, or nullptr with `error` saying what is wrong with FIND or REPLACE.
    [[nodiscard]] static std::unique_ptr<RenamePattern> compile(PatternOptions const& options, std::string& error);
    ~RenamePattern();

    // The new name of the file at `path`, which is file number `number` of the run.
    [[nodiscard]] NewName apply(std::string const& path, std::int64_t number, FileFacts& facts) const;
    // Whether REPLACE holds {n}: whether a file's number is part of its new name.
    [[nodiscard]] bool usesNumber() const;

    struct Token;
    struct Compiled;

private:
    RenamePattern() = default;
    std::unique_ptr<Compiled> m_compiled;
};

// The natural order of paths: runs of digits compare by their value ("img_9" before "img_10"; of two equal
// values, the one with fewer leading zeros first), the rest byte by byte.
bool naturalLess(std::string const& a, std::string const& b);
// A text whose byte order (as std::string compares) is the natural order of `text`: each run of digits
// becomes its length without leading zeros (one byte '1'..'8', or '9' and four bytes), its digits from the
// first that is not a leading zero, and its whole length (four bytes); other bytes stay. Two texts have one
// key only when they are one text.
std::string naturalKey(std::string_view text);
// Sorts paths into natural order, through their keys: a comparison of keys is one memcmp, where naturalLess
// walks both paths again at every comparison of a sort.
void sortNaturally(std::vector<std::string>& paths);

// The base name and the extension (without its dot) of a file name; a leading dot does not start an
// extension (".profile" has none).
std::pair<std::string, std::string> baseAndExtension(std::string const& fileName);

// The capture date text of a file: `exifDateTime` ("YYYY:MM:DD HH:MM:SS", as Exif writes it) when it reads
// as a date, else the file's modification time in local time; in strftime `format`. nullopt when neither
// can be read.
std::optional<std::string> formattedCaptureDate(std::string const& path, std::optional<std::string> const& exifDateTime,
    std::string const& format);

}
