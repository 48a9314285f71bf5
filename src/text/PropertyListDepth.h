#pragma once
// PropertyListDepth: a look at the raw bytes of a property list, before any parser builds a tree of it.
//
// The property-list library recurses while it parses, converts and frees a tree, so a file whose
// containers nest many thousands deep exhausts the stack of whoever reads it. Such a file is refused
// here, by iterative scans that need no more memory than the file itself:
// - XML: open and close tags of <dict> and <array> are counted; comments, CDATA sections, processing
//   instructions, declarations and self-closing <dict/> and <array/> are skipped. The count leans to
//   the safe side: an opening tag is recognised in any letter case and by the beginning of its name, a
//   closing one only as written.
// - Binary ("bplist"): the object table is walked without recursion; references are checked against
//   the table, a reference cycle is refused, and so is a file whose shared objects would expand into
//   more than kMaxExpandedObjects objects once read (the library copies an object for each reference),
//   and so is a dictionary key that is not a string or holds a NUL (the library asserts on those).

#include <cstddef>
#include <string_view>

namespace quodrix {

// At most this many containers may lie one inside another (the root counting as one).
inline constexpr std::size_t kMaxPropertyListDepth = 512;
// At most this many objects may a binary property list expand to.
inline constexpr std::size_t kMaxExpandedObjects = std::size_t(1) << 21;

enum class PropertyListShape { Acceptable, TooDeep, Damaged };

// Whether the bytes (without a byte-order mark) can be handed to the parser. Binary property lists whose
// tables do not hold together are Damaged; XML is only ever judged by its depth (the parser decides
// whether it is well formed).
PropertyListShape inspectPropertyList(std::string_view bytes, std::size_t maxDepth = kMaxPropertyListDepth);

}
