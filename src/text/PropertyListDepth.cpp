#include "text/PropertyListDepth.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace quodrix {

namespace {

bool startsWith(std::string_view text, std::size_t at, std::string_view prefix)
{
    return text.size() - at >= prefix.size() && text.compare(at, prefix.size(), prefix) == 0;
}

// The position just after the first `terminator` at or after `from`; the end of the text when there is
// none (an unterminated comment swallows the rest, as it does for the parser).
std::size_t after(std::string_view text, std::size_t from, std::string_view terminator)
{
    std::size_t found = text.find(terminator, from);
    return found == std::string_view::npos ? text.size() : found + terminator.size();
}

bool isNameEnd(char ch)
{
    return ch == '>' || ch == '/' || ch == ' ' || ch == '\t' || ch == '\r' || ch == '\n';
}

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        return lower(x) == lower(y);
    });
}

PropertyListShape inspectXml(std::string_view text, std::size_t maxDepth)
{
    std::size_t depth = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        std::size_t open = text.find('<', i);
        if (open == std::string_view::npos)
            break;
        // What follows the '<' tells the kind of markup; most are tags, told at once.
        char const second = open + 1 < text.size() ? text[open + 1] : '\0';
        if (second == '!') {
            if (startsWith(text, open, "<!--")) {
                i = after(text, open + 4, "-->");
                continue;
            }
            if (startsWith(text, open, "<![CDATA[")) {
                i = after(text, open + 9, "]]>");
                continue;
            }
            // A declaration; an internal subset in brackets may hold further '>'.
            std::size_t j = open + 2;
            int brackets = 0;
            while (j < text.size() && !(text[j] == '>' && brackets <= 0)) {
                brackets += text[j] == '[' ? 1 : text[j] == ']' ? -1 : 0;
                ++j;
            }
            i = std::min(text.size(), j + 1);
            continue;
        }
        if (second == '?') {
            i = after(text, open + 2, "?>");
            continue;
        }
        bool closing = second == '/';
        std::size_t nameStart = open + (closing ? 2 : 1);
        std::size_t nameEnd = nameStart;
        while (nameEnd < text.size() && !isNameEnd(text[nameEnd]) && text[nameEnd] != '<')
            ++nameEnd;
        std::string_view name = text.substr(nameStart, nameEnd - nameStart);
        // The end of the tag, past quoted attribute values.
        std::size_t j = nameEnd;
        char quote = 0;
        while (j < text.size()) {
            char ch = text[j];
            if (quote) {
                if (ch == quote)
                    quote = 0;
            } else if (ch == '"' || ch == '\'') {
                quote = ch;
            } else if (ch == '>' || ch == '<') {
                break;
            }
            ++j;
        }
        bool selfClosing = j < text.size() && text[j] == '>' && j > nameEnd && text[j - 1] == '/';
        if (closing) {
            if ((name == "dict" || name == "array") && depth > 0)
                --depth;
        } else if (!selfClosing
            && (equalsIgnoringCase(name.substr(0, 4), "dict") || equalsIgnoringCase(name.substr(0, 5), "array"))) {
            // Any name that begins like a container counts: the parser may end a name where this scan
            // does not.
            if (++depth > maxDepth)
                return PropertyListShape::TooDeep;
        }
        // A '<' inside a tag starts the next tag; a '>' ends this one.
        i = j < text.size() && text[j] == '>' ? j + 1 : std::max(j, open + 1);
    }
    return PropertyListShape::Acceptable;
}

// Big-endian unsigned integer of `width` bytes (1 to 8) at `at`; the caller checked the range.
uint64_t readBigEndian(std::string_view bytes, std::size_t at, std::size_t width)
{
    uint64_t value = 0;
    for (std::size_t k = 0; k < width; ++k)
        value = (value << 8) | static_cast<unsigned char>(bytes[at + k]);
    return value;
}

class BinaryInspector {
public:
    BinaryInspector(std::string_view bytes, std::size_t maxDepth)
        : m_bytes(bytes)
        , m_maxDepth(maxDepth)
    {
    }

    PropertyListShape run()
    {
        constexpr std::size_t kHeader = 8;
        constexpr std::size_t kTrailer = 32;
        if (m_bytes.size() < kHeader + kTrailer + 1)
            return PropertyListShape::Damaged;
        std::size_t trailer = m_bytes.size() - kTrailer;
        m_offsetSize = static_cast<unsigned char>(m_bytes[trailer + 6]);
        m_refSize = static_cast<unsigned char>(m_bytes[trailer + 7]);
        uint64_t objects = readBigEndian(m_bytes, trailer + 8, 8);
        uint64_t root = readBigEndian(m_bytes, trailer + 16, 8);
        uint64_t table = readBigEndian(m_bytes, trailer + 24, 8);
        if (m_offsetSize < 1 || m_offsetSize > 8 || m_refSize < 1 || m_refSize > 8)
            return PropertyListShape::Damaged;
        if (objects == 0 || root >= objects || table < kHeader || table > trailer)
            return PropertyListShape::Damaged;
        if (objects > (trailer - table) / m_offsetSize)
            return PropertyListShape::Damaged;
        m_objects = std::size_t(objects);
        m_table = std::size_t(table);
        m_height.assign(m_objects, 0);
        m_expanded.assign(m_objects, 0);
        m_state.assign(m_objects, State::New);
        return walk(std::size_t(root));
    }

private:
    enum class State : uint8_t { New, Open, Done };

    struct Container {
        std::size_t refs = 0;  // where the references begin
        uint64_t count = 0;    // how many references
        uint64_t keys = 0;     // how many of them, first, are the keys of a dictionary
    };

    struct Frame {
        std::size_t object;
        Container container;
        uint64_t next = 0;
        std::size_t height = 0;
        uint64_t expanded = 1;
    };

    // Where the object begins; false when its offset is outside the objects' area.
    bool objectStart(std::size_t object, std::size_t& start) const
    {
        uint64_t offset = readBigEndian(m_bytes, m_table + object * m_offsetSize, m_offsetSize);
        if (offset < 8 || offset >= m_table)
            return false;
        start = std::size_t(offset);
        return true;
    }

    // Whether the object is an array, set or dictionary, and where its references are. False when the
    // object is damaged.
    // The element count of the object whose marker is at `start` (in the marker's low four bits, or in the
    // integer object after it when they are all set), and where its contents begin. False when the count
    // runs past the object table.
    bool readCount(std::size_t start, std::size_t& at, uint64_t& count) const
    {
        at = start + 1;
        count = static_cast<unsigned char>(m_bytes[start]) & 0xF;
        if (count != 0xF)
            return true;
        if (at >= m_table)
            return false;
        unsigned sizeMarker = static_cast<unsigned char>(m_bytes[at]);
        if ((sizeMarker >> 4) != 0x1 || (sizeMarker & 0xF) > 3)
            return false;
        std::size_t width = std::size_t(1) << (sizeMarker & 0xF);
        if (m_table - at - 1 < width)
            return false;
        count = readBigEndian(m_bytes, at + 1, width);
        at += 1 + width;
        return true;
    }

    bool readContainer(std::size_t start, bool& isContainer, Container& container) const
    {
        unsigned marker = static_cast<unsigned char>(m_bytes[start]);
        unsigned type = marker >> 4;
        isContainer = type == 0xA || type == 0xC || type == 0xD;
        if (!isContainer)
            return true;
        std::size_t at = 0;
        uint64_t count = 0;
        if (!readCount(start, at, count))
            return false;
        uint64_t refs = type == 0xD ? count * 2 : count;
        if ((type == 0xD && count > UINT64_MAX / 2) || at > m_table || refs > (m_table - at) / m_refSize)
            return false;
        container.refs = at;
        container.count = refs;
        container.keys = type == 0xD ? count : 0;
        return true;
    }

    // Whether the object can be a dictionary key: a string (ASCII or UTF-16) without a NUL. The library
    // asserts, ending the process, when it hands out a key that holds one.
    bool isUsableKey(std::size_t object) const
    {
        std::size_t start = 0;
        if (!objectStart(object, start))
            return false;
        unsigned marker = static_cast<unsigned char>(m_bytes[start]);
        unsigned type = marker >> 4;
        if (type != 0x5 && type != 0x6)
            return false;
        std::size_t at = 0;
        uint64_t count = 0;
        if (!readCount(start, at, count))
            return false;
        std::size_t unit = type == 0x6 ? 2 : 1;
        if (at > m_table || count > (m_table - at) / unit)
            return false;
        for (std::size_t i = 0; i < count; ++i) {
            bool nul = unit == 1 ? m_bytes[at + i] == '\0' : (m_bytes[at + 2 * i] == '\0' && m_bytes[at + 2 * i + 1] == '\0');
            if (nul)
                return false;
        }
        return true;
    }

    PropertyListShape walk(std::size_t root)
    {
        std::vector<Frame> stack;
        // Opens an object: a leaf is done at once, a container goes on the stack.
        auto open = [&](std::size_t object) -> PropertyListShape {
            if (m_state[object] == State::Open)
                return PropertyListShape::Damaged;  // a reference cycle
            if (m_state[object] == State::Done)
                return PropertyListShape::Acceptable;
            std::size_t start = 0;
            bool isContainer = false;
            Container container;
            if (!objectStart(object, start) || !readContainer(start, isContainer, container))
                return PropertyListShape::Damaged;
            if (!isContainer) {
                m_state[object] = State::Done;
                m_expanded[object] = 1;
                return PropertyListShape::Acceptable;
            }
            if (stack.size() + 1 > m_maxDepth)
                return PropertyListShape::TooDeep;
            m_state[object] = State::Open;
            stack.push_back(Frame { object, container });
            return PropertyListShape::Acceptable;
        };

        if (auto shape = open(root); shape != PropertyListShape::Acceptable)
            return shape;
        while (!stack.empty()) {
            Frame& frame = stack.back();
            if (frame.next == frame.container.count) {
                std::size_t height = frame.height + 1;
                uint64_t expanded = frame.expanded;
                std::size_t object = frame.object;
                m_state[object] = State::Done;
                m_height[object] = height;
                m_expanded[object] = expanded;
                stack.pop_back();
                if (!stack.empty()) {
                    stack.back().height = std::max(stack.back().height, height);
                    stack.back().expanded += expanded;
                    if (stack.back().expanded > kMaxExpandedObjects)
                        return PropertyListShape::TooDeep;
                }
                continue;
            }
            uint64_t child = readBigEndian(m_bytes, frame.container.refs + frame.next * m_refSize, m_refSize);
            bool isKey = frame.next < frame.container.keys;
            ++frame.next;
            if (child >= m_objects)
                return PropertyListShape::Damaged;
            if (isKey && !isUsableKey(std::size_t(child)))
                return PropertyListShape::Damaged;
            bool wasDone = m_state[std::size_t(child)] == State::Done;
            if (auto shape = open(std::size_t(child)); shape != PropertyListShape::Acceptable)
                return shape;
            if (wasDone || m_state[std::size_t(child)] == State::Done) {
                // A leaf, or a container met before: its measures are known. (`frame` may have moved if
                // a container was pushed, but then the child is not done.)
                Frame& parent = stack.back();
                if (stack.size() + m_height[std::size_t(child)] > m_maxDepth)
                    return PropertyListShape::TooDeep;
                parent.height = std::max(parent.height, m_height[std::size_t(child)]);
                parent.expanded += m_expanded[std::size_t(child)];
                if (parent.expanded > kMaxExpandedObjects)
                    return PropertyListShape::TooDeep;
            }
        }
        return m_height[root] > m_maxDepth ? PropertyListShape::TooDeep : PropertyListShape::Acceptable;
    }

    std::string_view m_bytes;
    std::size_t m_maxDepth;
    std::size_t m_offsetSize = 0;
    std::size_t m_refSize = 0;
    std::size_t m_objects = 0;
    std::size_t m_table = 0;
    std::vector<std::size_t> m_height;  // containers nested in a done object, itself included
    std::vector<uint64_t> m_expanded;   // objects a done object expands to, itself included
    std::vector<State> m_state;
};

}

PropertyListShape inspectPropertyList(std::string_view bytes, std::size_t maxDepth)
{
    if (bytes.substr(0, 6) == "bplist")
        return BinaryInspector(bytes, maxDepth).run();
    return inspectXml(bytes, maxDepth);
}

}
