// Image data kept under a URL text, on the connection that the caller opened.

#include "presets/PresetsTestSupport.h"
#include "presets/dbViewController.h"

#include <gtest/gtest.h>

using namespace quodrix;
using namespace quodrix::test;

namespace {

class ImageBlobs : public ::testing::Test {
protected:
    void SetUp() override
    {
        dbViewController maker;
        maker.linkToPresetsDB();
        execute(home.dbPath(), "CREATE TABLE IMAGES (URL TEXT, IMAGE BLOB)");
    }
    PresetsHome home;
    dbViewController db;
    Data const image { std::string("\x89PNG\r\n\x1a\n\0\0", 10) };
};

}

TEST_F(ImageBlobs, WithoutAnOpenConnectionNothingIsStoredOrFound)
{
    db.SaveImagesToSql(image, "file:///a.png");
    EXPECT_EQ(db.LoadImagesFromSql("file:///a.png"), std::nullopt);
    EXPECT_EQ(rowCount(home.dbPath(), "IMAGES"), 0);

    db.openmyPresetsDb();
    db.linkToPresetsDB();  // the file exists: nothing is done, the held connection stays
    db.SaveImagesToSql(image, "file:///a.png");
    EXPECT_EQ(rowCount(home.dbPath(), "IMAGES"), 1);
    db.checkForActionType("Presets", "Action", "x");  // opens and closes its own connection
    db.SaveImagesToSql(image, "file:///b.png");
    EXPECT_EQ(db.LoadImagesFromSql("file:///a.png"), std::nullopt);
    EXPECT_EQ(rowCount(home.dbPath(), "IMAGES"), 1);
}

TEST_F(ImageBlobs, SavedDataLoadsBackAndTheConnectionStaysOpen)
{
    db.openmyPresetsDb();
    db.SaveImagesToSql(image, "file:///a.png");
    EXPECT_TRUE(db.hasOpenConnection());
    EXPECT_EQ(db.LoadImagesFromSql("file:///a.png"), std::optional<Data>(image));
    EXPECT_TRUE(db.hasOpenConnection());

    db.SaveImagesToSql(Data { "second" }, "file:///a.png");
    EXPECT_EQ(db.LoadImagesFromSql("file:///a.png"), std::optional<Data>(image));  // the first save
    EXPECT_EQ(db.LoadImagesFromSql("file:///missing.png"), std::nullopt);
    db.SaveImagesToSql(Data {}, "empty");
    EXPECT_EQ(db.LoadImagesFromSql("empty"), std::optional<Data>(Data {}));

    // URL texts that look like SQL are only texts.
    EXPECT_EQ(db.LoadImagesFromSql("x' OR '1'='1"), std::nullopt);
    db.SaveImagesToSql(Data { "quoted" }, "x' OR '1'='1");
    EXPECT_EQ(db.LoadImagesFromSql("x' OR '1'='1"), std::optional<Data>(Data { "quoted" }));
    EXPECT_EQ(rowCount(home.dbPath(), "IMAGES"), 4);
}

TEST_F(ImageBlobs, WithoutTheTableNothingIsStoredOrFound)
{
    execute(home.dbPath(), "DROP TABLE IMAGES");
    db.openmyPresetsDb();
    db.SaveImagesToSql(image, "u");
    EXPECT_EQ(db.LoadImagesFromSql("u"), std::nullopt);
    EXPECT_TRUE(db.hasOpenConnection());
}
