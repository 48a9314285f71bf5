#pragma once
// InsertName: the new name that insert renaming builds for one file, and where it goes.
//
// Positions and lengths count UTF-16 code units. The position text is split at every ";" with empty fields
// kept; a field reads as the platform's intValue does. The field at index j inserts the text at its value
// plus j, when that lies within the working name (0 up to its length); otherwise it is skipped.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quodrix {

// The fields of a position text: split at every ";", empty fields kept; without ";" the whole text.
std::vector<std::string> splitPositions(std::string const& text);

struct NameParts {
    std::string base;       // the file name without the extension and its dot
    std::string extension;  // after the last "."; empty when there is none
};
NameParts splitFileName(std::string const& fileName);

// The base name with the text inserted at the positions. nullopt when the result is not valid text: the
// base name or the text is not valid UTF-8, or an insertion falls between the two halves of a character
// outside the Basic Multilingual Plane.
std::optional<std::string> insertAtPositions(std::string const& base, std::string const& text,
    std::vector<std::string> const& positions);
// Appends to `out` the new file name made from the working name that insertAtPositions gave: the working
// name, ".", and the extension, so that a name without an extension gets a final "." ("README" with "_1" at
// 6 gives "README_1."). A file that no position falls within keeps its own name, "README" as "README". With
// no working name (none could be made), the base name stands in for it.
void appendNewFileName(std::string& out, std::string_view fileName, NameParts const& parts,
    std::optional<std::string> const& working);
// Why insertAtPositions gave no name for this base name and text, as a failure's cause.
char const* whyNotInserted(std::string const& base, std::string const& text);

// The text that each new name is appended to, to make its output path. The destination text normally ends
// with "/", as the folder chooser fills it. A text without the final "/" that names an existing folder (or a
// link to one) stands for that folder and gets the "/", so that the files go into it rather than beside it
// under names that begin with the folder's name. Any other text, the empty one included, is kept as it is.
std::string destinationPrefix(std::string const& destination);

}
