// A folder's listing, read once: each name with its type as the listing gives it, nothing for a name the
// folder does not hold, and no listing at all for a folder that cannot be read or searched.

#include "fs/FolderListing.h"
#include "support/FaultySystemCalls.h"
#include "support/ScriptBundle.h"

#include <dirent.h>
#include <gtest/gtest.h>

using namespace quodrix;
using namespace quodrix::test;
namespace fs = std::filesystem;

TEST(FolderListing, GivesEachNameItsTypeAndNothingForANameTheFolderLacks)
{
    TempDir dir;
    writeFile(dir / "a file", "a");
    fs::create_directories(dir / "sub");
    fs::create_symlink("a file", dir / "link");
    fs::create_symlink("missing", dir / "dangling");
    writeFile(dir / "sub" / "deeper", "d");

    auto listing = FolderListing::read(dir.str());
    ASSERT_TRUE(listing);
    EXPECT_EQ(listing->size(), 4u);
    EXPECT_EQ(listing->typeOf("a file"), DT_REG);
    EXPECT_EQ(listing->typeOf("sub"), DT_DIR);
    EXPECT_EQ(listing->typeOf("link"), DT_LNK);
    EXPECT_EQ(listing->typeOf("dangling"), DT_LNK);
    for (auto name : { "missing", ".", "..", "", "deeper", "sub/deeper", "A FILE" })
        EXPECT_FALSE(listing->typeOf(name)) << name;
    // Each name where the system lists it.
    std::size_t place = 0;
    for (auto const& item : fs::directory_iterator(dir.path())) {
        auto entry = listing->find(item.path().filename().string());
        ASSERT_TRUE(entry) << item.path();
        EXPECT_EQ(entry->position, place++) << item.path();
    }
    EXPECT_FALSE(listing->find("missing"));

    // A link to a folder is read as the folder.
    fs::create_directory_symlink("sub", dir / "to sub");
    auto throughLink = FolderListing::read((dir / "to sub").string());
    ASSERT_TRUE(throughLink);
    EXPECT_EQ(throughLink->typeOf("deeper"), DT_REG);
}

TEST(FolderListing, AFolderThatCannotBeReadOrSearchedHasNoListing)
{
    TempDir dir;
    writeFile(dir / "a", "a");
    EXPECT_FALSE(FolderListing::read((dir / "missing").string()));
    EXPECT_FALSE(FolderListing::read((dir / "a").string()));

    // The system refuses the search of the folder (a folder that may be read but not searched), then a
    // read of its entries.
    for (Call refused : { Call::Stat, Call::Open, Call::ReadFolder }) {
        FaultySystemCalls faulty;
        faulty.fail(refused, 1, Repeat::Once, refused == Call::Stat ? EACCES : EIO);
        ScopedSystemCalls installed(faulty);
        EXPECT_FALSE(FolderListing::read(dir.str())) << int(refused);
    }
    EXPECT_TRUE(FolderListing::read(dir.str()));
}

// A folder is read for many of its items, not for a few of a large folder.
TEST(FolderListing, AFolderIsReadOnlyWhenItsItemsAreWorthIt)
{
    TempDir dir;
    for (int i = 0; i < 2000; ++i)
        writeFile(dir / ("item " + std::to_string(i)), "");
    EXPECT_FALSE(FolderListing::readFor(dir.str(), 40));
    auto listing = FolderListing::readFor(dir.str(), 1500);
    ASSERT_TRUE(listing);
    EXPECT_EQ(listing->size(), 2000u);
    EXPECT_FALSE(FolderListing::readFor((dir / "item 1").string(), 1500));
    // A path that the system would refuse is not read as the folder it begins with.
    EXPECT_FALSE(FolderListing::read(dir.str() + std::string("\0x", 2)));
}
