// The natural order in which planned files are numbered and renamed: digit runs by value wherever the
// paths first differ, also where that is inside a long shared beginning;
// and the keys that sorting compares instead, which order every pair of texts as the order does.

#include "rename/RenamePattern.h"

#include <algorithm>
#include <random>
#include <string>
#include <vector>
#include <gtest/gtest.h>

using namespace quodrix;

namespace {

// The order asserted in full: each path before every later one, never after.
void expectOrder(std::vector<std::string> const& ordered)
{
    for (std::size_t i = 0; i < ordered.size(); ++i) {
        EXPECT_FALSE(naturalLess(ordered[i], ordered[i])) << ordered[i];
        for (std::size_t j = i + 1; j < ordered.size(); ++j) {
            EXPECT_TRUE(naturalLess(ordered[i], ordered[j])) << ordered[i] << " < " << ordered[j];
            EXPECT_FALSE(naturalLess(ordered[j], ordered[i])) << ordered[j] << " !< " << ordered[i];
        }
    }
    auto shuffled = ordered;
    std::reverse(shuffled.begin(), shuffled.end());
    std::stable_sort(shuffled.begin(), shuffled.end(), naturalLess);
    EXPECT_EQ(shuffled, ordered);
    std::reverse(shuffled.begin(), shuffled.end());
    sortNaturally(shuffled);
    EXPECT_EQ(shuffled, ordered);
}

}

TEST(NaturalOrder, DigitRunsCompareByValueWhereverThePathsFirstDiffer)
{
    expectOrder({ "img_2", "img_9", "img_10", "img_10a", "img_11", "img_100" });
    // Equal values: fewer leading zeros first; then the rest of the name decides.
    expectOrder({ "a7", "a07", "a007", "a007b", "a8" });
    // The first difference inside a run of digits that began before it, at every offset of the shared
    // beginning.
    std::string const folder = "/var/tmp/some folder/";
    for (std::size_t pad = 0; pad < 17; ++pad) {
        std::string const stem = folder + std::string(pad, 'x') + "img_";
        expectOrder({ stem + "9.jpg", stem + "10.jpg", stem + "12.jpg", stem + "99.jpg", stem + "123456780y",
            stem + "123456789x", stem + "1234567890" });
    }
    // Bytes above 0x7f and a NUL byte compare as unsigned bytes; a path that is a beginning of another comes first.
    expectOrder({ std::string("ab\0c", 4), "ab1", "abc", "abc\xc3\xa9", "abc\xc3\xa9z", "abd" });
    expectOrder({ "", "/", "/a", "/a/b" });
}

// The keys order any two texts as naturalLess does, and are one key only for one text: random texts of
// digit runs (long ones, leading zeros) and the bytes around digits in byte order ("/", "9" + 1, 0x00, 0xff).
TEST(NaturalOrder, KeysOrderEveryPairOfTextsAsTheNaturalOrderDoes)
{
    std::mt19937 random(11);
    std::string const alphabet = "00000123456789/.:a\xff";
    auto text = [&] {
        std::string made;
        std::size_t const length = random() % 24;
        for (std::size_t i = 0; i < length; ++i)
            made += random() % 9 == 0 ? '\0' : alphabet[random() % alphabet.size()];
        if (random() % 8 == 0)
            made += std::string(9 + random() % 4, '7');  // a run of nine digits and more
        return made;
    };
    std::vector<std::string> texts;
    for (int i = 0; i < 1500; ++i)
        texts.push_back(text());
    for (std::size_t i = 0; i < texts.size(); ++i) {
        for (std::size_t j = 0; j < 40; ++j) {
            std::string const& a = texts[i];
            std::string const& b = texts[(i * 7 + j * 131) % texts.size()];
            std::string const ka = naturalKey(a), kb = naturalKey(b);
            ASSERT_EQ(ka < kb, naturalLess(a, b)) << "\"" << a << "\" \"" << b << "\"";
            ASSERT_EQ(ka == kb, a == b) << "\"" << a << "\" \"" << b << "\"";
        }
    }
    auto byKeys = texts, byOrder = texts;
    sortNaturally(byKeys);
    std::stable_sort(byOrder.begin(), byOrder.end(), naturalLess);
    EXPECT_EQ(byKeys, byOrder);
}
