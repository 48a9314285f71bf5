// The stored form of the Exif user comment: the character-code prefix, byte orders, and what other tools write.

#include "meta/UserComment.h"

#include <gtest/gtest.h>

using quodrix::ByteOrder;
using quodrix::decodeUserComment;
using quodrix::encodeUserComment;

namespace {

std::string bytes(std::initializer_list<int> values)
{
    std::string out;
    for (int v : values)
        out += char(v);
    return out;
}

}

TEST(UserComment, AsciiTextGetsTheAsciiPrefix)
{
    EXPECT_EQ(encodeUserComment("Hello", ByteOrder::Big), std::string("ASCII\0\0\0Hello", 13));
    EXPECT_EQ(encodeUserComment("", ByteOrder::Little), std::string("ASCII\0\0\0", 8));
}

TEST(UserComment, OtherTextIsUtf16InTheImageByteOrderWithSurrogatePairs)
{
    std::string prefix("UNICODE\0", 8);
    // "é😀": U+00E9, then U+1F600 as D83D DE00.
    EXPECT_EQ(encodeUserComment("\xC3\xA9\xF0\x9F\x98\x80", ByteOrder::Big),
        prefix + bytes({ 0x00, 0xE9, 0xD8, 0x3D, 0xDE, 0x00 }));
    EXPECT_EQ(encodeUserComment("\xC3\xA9\xF0\x9F\x98\x80", ByteOrder::Little),
        prefix + bytes({ 0xE9, 0x00, 0x3D, 0xD8, 0x00, 0xDE }));
}

TEST(UserComment, RoundTripsInBothByteOrders)
{
    for (std::string text : { "Hello", "h\xC3\xA9llo w\xC3\xB6rld", "\xF0\x9F\x98\x80 emoji", "\xE6\x97\xA5\xE6\x9C\xAC",
             "tab\tand\nnewline", "" }) {
        for (auto order : { ByteOrder::Little, ByteOrder::Big }) {
            EXPECT_EQ(decodeUserComment(encodeUserComment(text, order), order), text) << text;
            // A reader that assumes the other order still finds the text.
            auto other = order == ByteOrder::Little ? ByteOrder::Big : ByteOrder::Little;
            EXPECT_EQ(decodeUserComment(encodeUserComment(text, order), other), text) << text;
        }
    }
}

TEST(UserComment, ReadsWhatOtherWritersStore)
{
    std::string unicode("UNICODE\0", 8);
    struct Case {
        std::string stored;
        ByteOrder order;
        std::string text;
    } const cases[] = {
        { std::string("ASCII\0\0\0abc\0\0", 13), ByteOrder::Little, "abc" },
        { unicode + bytes({ 0xFF, 0xFE, 'h', 0, 'i', 0 }), ByteOrder::Big, "hi" },
        { unicode + bytes({ 0xFE, 0xFF, 0, 'h', 0, 'i' }), ByteOrder::Little, "hi" },
        { unicode + bytes({ 0, 'h', 0, 'i', 0, 0 }), ByteOrder::Big, "hi" },
        { std::string(8, '\0') + "caf\xC3\xA9", ByteOrder::Little, "caf\xC3\xA9" },
        { std::string(8, '\0') + "caf\xE9", ByteOrder::Little, "caf\xC3\xA9" },
        { std::string(8, '\0') + std::string(4, '\0'), ByteOrder::Little, "" },
        { "short", ByteOrder::Little, "" },
    };
    for (auto const& c : cases)
        EXPECT_EQ(decodeUserComment(c.stored, c.order), c.text) << c.text;
}
