// The index by which a rename plan finds the pair naming an item: every key found again among many that
// share a name or a folder in an index that grows far beyond what it was made for, a second pair for one
// item refused with the first one's number, and keys that differ in one part only told apart.

#include "rename/ItemIndex.h"

#include <string>
#include <vector>
#include <gtest/gtest.h>

using namespace quodrix;

namespace {

// `folders` folders (inodes 1000 onwards on device 7, every tenth on device 8) each holding the same
// `names` names.
struct Keys {
    std::vector<std::string> names;
    std::vector<std::optional<ItemKey>> keys;

    Keys(std::size_t folders, std::size_t names_)
    {
        for (std::size_t n = 0; n < names_; ++n)
            names.push_back("img_" + std::to_string(n) + ".jpg");
        for (std::size_t f = 0; f < folders; ++f) {
            for (std::size_t n = 0; n < names_; ++n)
                keys.push_back(ItemKey { dev_t(f % 10 == 0 ? 8 : 7), ino_t(1000 + f), names[n] });
        }
    }
};

}

TEST(ItemIndex, FindsEveryPairAmongKeysThatShareNamesAndFoldersAndTellsApartTheRest)
{
    Keys k(400, 250);  // 100,000 keys, in an index made for none: it grows many times
    ItemIndex index(k.keys, 0);
    for (std::size_t i = 0; i < k.keys.size(); ++i)
        ASSERT_EQ(index.add(i), ItemIndex::kNone) << i;
    for (std::size_t i = 0; i < k.keys.size(); ++i)
        ASSERT_EQ(index.find(*k.keys[i]), i) << i;
    EXPECT_EQ(index.add(123), 123u);  // a second pair for an item added before the growths

    std::string const other = "img_250.jpg";  // a name no folder holds
    EXPECT_EQ(index.find(ItemKey { 7, 1001, other }), ItemIndex::kNone);
    EXPECT_EQ(index.find(ItemKey { 7, 999, k.names[0] }), ItemIndex::kNone);  // a folder not there
    EXPECT_EQ(index.find(ItemKey { 8, 1001, k.names[0] }), ItemIndex::kNone);  // 1001 is on device 7
    EXPECT_EQ(index.find(ItemKey { 7, 1000, k.names[0] }), ItemIndex::kNone);  // 1000 is on device 8
    EXPECT_EQ(index.find(ItemKey { 8, 1000, k.names[0] }), 0u);
    std::string const prefix = "img_1";  // the start of a name that is there
    EXPECT_EQ(index.find(ItemKey { 7, 1001, prefix }), ItemIndex::kNone);
    EXPECT_EQ(index.find(ItemKey { 7, 1001, "" }), ItemIndex::kNone);
}

TEST(ItemIndex, ASecondPairForOneItemIsRefusedWithTheFirst)
{
    std::string const a = "a.jpg", b = "b.jpg";
    std::string const aAgain = a;  // another text that spells the same name
    std::vector<std::optional<ItemKey>> keys { ItemKey { 1, 2, a }, ItemKey { 1, 2, b }, std::nullopt,
        ItemKey { 1, 2, aAgain }, ItemKey { 1, 3, a }, ItemKey { 1, 2, aAgain } };
    ItemIndex index(keys, keys.size());
    EXPECT_EQ(index.add(0), ItemIndex::kNone);
    EXPECT_EQ(index.add(1), ItemIndex::kNone);
    EXPECT_EQ(index.add(3), 0u);
    EXPECT_EQ(index.add(4), ItemIndex::kNone);
    EXPECT_EQ(index.add(5), 0u);
    EXPECT_EQ(index.find(ItemKey { 1, 2, aAgain }), 0u);
    EXPECT_EQ(index.find(ItemKey { 1, 3, aAgain }), 4u);
}
