// Folder bookmarks: bookmark data that resolves back to its URL only while the item stays what and where it
// was and the data is signed with the user's key; storing it, and the lookup with its diagnostic lines.

#include "presets/BookmarkKey.h"
#include "presets/PresetsTestSupport.h"
#include "presets/QDbookmarks.h"
#include "presets/dbViewController.h"
#include "support/FaultySystemCalls.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace quodrix;
using namespace quodrix::test;

namespace {

class Bookmarks : public ::testing::Test {
protected:
    Bookmarks()
    {
        std::filesystem::create_directories(folder);
        writeFile(folder / "inside.jpg", "jpeg");
    }
    std::optional<Url> roundTrip(Url const& url)
    {
        auto data = bookmarks.bookmarkForURL(url);
        return data ? bookmarks.urlForBookmark(*data) : std::nullopt;
    }
    PresetsHome home;
    TempDir items;
    std::filesystem::path folder = items / "Chosen folder é";
    QDbookmarks bookmarks;
};

}

TEST_F(Bookmarks, DataResolvesToTheSameURLWhileTheItemStays)
{
    for (auto const& url : { Url::fromPath(folder.string()), Url { Url::fromPath(folder.string()).text + "/" },
             Url::fromPath((folder / "inside.jpg").string()) }) {
        SCOPED_TRACE(url.text);
        EXPECT_EQ(roundTrip(url), std::optional<Url>(url));
    }
    // Changes inside the folder or to the file's contents leave the item what it was.
    auto data = bookmarks.bookmarkForURL(Url::fromPath(folder.string()));
    auto fileData = bookmarks.bookmarkForURL(Url::fromPath((folder / "inside.jpg").string()));
    writeFile(folder / "new.txt", "new");
    writeFile(folder / "inside.jpg", "changed");
    chmod(folder.c_str(), 0700);
    EXPECT_EQ(bookmarks.urlForBookmark(*data), std::optional<Url>(Url::fromPath(folder.string())));
    EXPECT_EQ(bookmarks.urlForBookmark(*fileData), std::optional<Url>(Url::fromPath((folder / "inside.jpg").string())));
}

TEST_F(Bookmarks, DataDoesNotResolveOnceTheItemMovedWasRenamedOrReplaced)
{
    Url url = Url::fromPath(folder.string());
    auto data = bookmarks.bookmarkForURL(url);
    ASSERT_TRUE(data);

    std::filesystem::rename(folder, items / "renamed");
    EXPECT_EQ(bookmarks.urlForBookmark(*data), std::nullopt);
    std::filesystem::create_directories(items / "elsewhere");
    std::filesystem::rename(items / "renamed", items / "elsewhere" / "Chosen folder é");
    EXPECT_EQ(bookmarks.urlForBookmark(*data), std::nullopt);
    // Moved back where it was, it is the same item again.
    std::filesystem::rename(items / "elsewhere" / "Chosen folder é", folder);
    EXPECT_EQ(bookmarks.urlForBookmark(*data), std::optional<Url>(url));

    // Another item at the same path.
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    EXPECT_EQ(bookmarks.urlForBookmark(*data), std::nullopt);
    std::filesystem::remove_all(folder);
    writeFile(folder, "a file now");
    EXPECT_EQ(bookmarks.urlForBookmark(*data), std::nullopt);
}

TEST_F(Bookmarks, BytesThatAreNotBookmarkDataUnderThisKeyDoNotResolve)
{
    auto data = bookmarks.bookmarkForURL(Url::fromPath(folder.string()));
    ASSERT_TRUE(data);
    std::string const& bytes = data->bytes;
    std::vector<std::string> forged = { "", "QDBM", "not bookmark data at all", std::string(200, '\0'),
        bytes.substr(0, bytes.size() - 1), bytes + "x", "x" + bytes };
    for (std::size_t i : { std::size_t(0), std::size_t(4), std::size_t(10), bytes.size() / 2, bytes.size() - 1 }) {
        std::string flipped = bytes;
        flipped[i] = char(flipped[i] ^ 1);
        forged.push_back(flipped);
    }
    for (auto const& f : forged)
        EXPECT_EQ(bookmarks.urlForBookmark(Data { f }), std::nullopt) << f.size();

    // Another user's key: data made under one key does not resolve under the other.
    PresetsHome otherUser;
    EXPECT_EQ(bookmarks.urlForBookmark(*data), std::nullopt);
    auto otherData = bookmarks.bookmarkForURL(Url::fromPath(folder.string()));
    ASSERT_TRUE(otherData);
    EXPECT_NE(otherData->bytes, bytes);
    EXPECT_EQ(bookmarks.urlForBookmark(*data), std::nullopt);
}

TEST_F(Bookmarks, NoDataForWhatIsNotAnExistingFileURL)
{
    EXPECT_EQ(bookmarks.bookmarkForURL(Url::fromPath((items / "missing").string())), std::nullopt);
    EXPECT_EQ(bookmarks.bookmarkForURL(Url { "https://example.org/folder" }), std::nullopt);
    EXPECT_EQ(bookmarks.bookmarkForURL(Url { "" }), std::nullopt);
}

TEST_F(Bookmarks, TheKeyIsMadeOnceKeptPrivateAndNeverReplaced)
{
    auto key = presets::bookmarkKeyPath();
    EXPECT_EQ(key, home.folder().string() + "/QuodrixBookmarks.key");
    EXPECT_FALSE(std::filesystem::exists(key));
    EXPECT_EQ(bookmarks.urlForBookmark(Data { "anything" }), std::nullopt);
    EXPECT_FALSE(std::filesystem::exists(key));  // resolving never makes a key

    auto data = bookmarks.bookmarkForURL(Url::fromPath(folder.string()));
    ASSERT_TRUE(data);
    struct stat info {};
    ASSERT_EQ(stat(key.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_EQ(info.st_size, 32);
    std::string first = readFile(key);
    ASSERT_TRUE(bookmarks.bookmarkForURL(Url::fromPath(folder.string())));
    EXPECT_EQ(readFile(key), first);
    EXPECT_EQ(std::filesystem::directory_iterator(home.folder())->path().filename(), "QuodrixBookmarks.key");

    // A key file that is not a key makes bookmarks unusable and is left as it is.
    writeFile(key, "short");
    EXPECT_EQ(bookmarks.urlForBookmark(*data), std::nullopt);
    EXPECT_EQ(bookmarks.bookmarkForURL(Url::fromPath(folder.string())), std::nullopt);
    EXPECT_EQ(readFile(key), "short");
}

namespace {

class StoredBookmarks : public ::testing::Test {
protected:
    void SetUp() override { db.linkToPresetsDB(); }
    std::string logOf(std::function<void()> const& operation)
    {
        ::testing::internal::CaptureStderr();
        operation();
        return ::testing::internal::GetCapturedStderr();
    }
    PresetsHome home;
    dbViewController db;
};

std::string const kSeedLookup = "SQL: SELECT * FROM AppBookmarks WHERE StrField0 = 'myAppDestBookmark' AND StrField1 = ''\n";

}

TEST_F(StoredBookmarks, TheSeedRowLookupGivesItsSeventeenBytesAndLogsEachStep)
{
    std::optional<Data> found;
    std::string log = logOf([&] {
        found = db.hGetBookMarkedFolders("AppBookmarks", "StrField0", "myAppDestBookmark", "StrField1", "", "*");
    });
    EXPECT_EQ(found, std::optional<Data>(Data { "myAppDestBookmark" }));
    EXPECT_EQ(db.mySearchValue4(), found);
    EXPECT_EQ(log, kSeedLookup + "check 1\ncheck 2\ncheck 4: <6d794170 70446573 74426f6f 6b6d6172 6b>\n");
    EXPECT_FALSE(db.hasOpenConnection());
}

TEST_F(StoredBookmarks, LookupResults)
{
    // One selected column: the row matched, so the result is empty data, not null.
    std::string log = logOf([&] {
        EXPECT_EQ(db.hGetBookMarkedFolders("AppBookmarks", "StrField0", "myAppDestBookmark", "StrField1", "", "StrField1"),
            std::optional<Data>(Data {}));
    });
    EXPECT_EQ(log, "SQL: SELECT StrField1 FROM AppBookmarks WHERE StrField0 = 'myAppDestBookmark' AND StrField1 = ''\n"
                   "check 1\ncheck 2\ncheck 4: <>\n");
    // No match clears an earlier result.
    ASSERT_TRUE(db.hGetBookMarkedFolders("AppBookmarks", "StrField0", "myAppDestBookmark", "StrField1", "", "*"));
    log = logOf([&] {
        EXPECT_EQ(db.hGetBookMarkedFolders("AppBookmarks", "StrField0", "it's", "StrField1", "", "*"), std::nullopt);
    });
    EXPECT_EQ(log, "SQL: SELECT * FROM AppBookmarks WHERE StrField0 = 'it''s' AND StrField1 = ''\ncheck 1\n");
    EXPECT_EQ(db.mySearchValue4(), std::nullopt);
    // A statement that can't be prepared: null, and only the statement is logged.
    log = logOf([&] {
        EXPECT_EQ(db.hGetBookMarkedFolders("AppBookmarks", "NoSuchColumn", "x", "StrField1", "", "*"), std::nullopt);
    });
    EXPECT_EQ(log, "SQL: SELECT * FROM AppBookmarks WHERE NoSuchColumn = 'x' AND StrField1 = ''\n");
    // The last matching row wins.
    execute(home.dbPath(), "INSERT INTO AppBookmarks (StrField0, StrField1, StrField2) VALUES "
                           "('folder', 'dest', x'00ff'), ('folder', 'dest', x'0102')");
    EXPECT_EQ(db.hGetBookMarkedFolders("AppBookmarks", "StrField0", "folder", "StrField1", "dest", "StrField0, StrField2"),
        std::optional<Data>(Data { std::string("\x01\x02", 2) }));
    EXPECT_FALSE(db.hasOpenConnection());
}

TEST_F(StoredBookmarks, SavingNeedsTheImageTableAndAddsOneRowPerCall)
{
    std::string before = snapshot(home.dbPath(), { "Presets", "AppResource", "AppBookmarks" });
    db.hSaveSecurityScopedBookmarks(Data { "bookmark" });
    EXPECT_FALSE(db.hasOpenConnection());
    EXPECT_EQ(snapshot(home.dbPath(), { "Presets", "AppResource", "AppBookmarks" }), before);
    EXPECT_TRUE(query(home.dbPath(), "SELECT name FROM sqlite_master WHERE name = 'Image'").empty());

    execute(home.dbPath(), "CREATE TABLE Image (Image BLOB)");
    std::string bytes("a\0b'c", 5);
    db.hSaveSecurityScopedBookmarks(Data { bytes });
    db.hSaveSecurityScopedBookmarks(Data {});
    EXPECT_FALSE(db.hasOpenConnection());
    EXPECT_EQ(query(home.dbPath(), "SELECT hex(Image), typeof(Image) FROM Image"),
        (std::vector<std::string> { "6100622763|blob", "|blob" }));
}

// The key is written through the file-system layer: flushed, linked into place, and after any failing
// call there is either the whole key or none, and no temporary file.
TEST_F(Bookmarks, EveryFailingCallLeavesTheWholeKeyOrNone)
{
    auto key = presets::bookmarkKeyPath();
    int total = 0;
    {
        FaultySystemCalls counting;
        ScopedSystemCalls installed(counting);
        ASSERT_TRUE(presets::bookmarkKey(presets::KeyCreation::IfMissing));
        total = counting.calls();
        auto const& journal = counting.journal();
        EXPECT_NE(std::find_if(journal.begin(), journal.end(),
                      [&](std::string const& line) { return line.starts_with("link ") && line.ends_with(" " + key); }),
            journal.end());
        EXPECT_NE(std::find(journal.begin(), journal.end(), "fsync"), journal.end());
    }
    for (int n = 1; n <= total; ++n) {
        std::filesystem::remove(key);
        FaultySystemCalls faulty;
        faulty.fail(Call::Any, n, Repeat::Once);
        std::optional<std::string> made;
        {
            ScopedSystemCalls installed(faulty);
            made = presets::bookmarkKey(presets::KeyCreation::IfMissing);
        }
        if (std::filesystem::exists(key)) {
            EXPECT_EQ(std::filesystem::file_size(key), 32u) << n;
        }
        if (made) {
            EXPECT_EQ(readFile(key), *made) << n;
        }
        std::string journal;
        for (auto const& line : faulty.journal())
            journal += "  " + line + "\n";
        for (auto const& entry : std::filesystem::directory_iterator(home.folder()))
            EXPECT_FALSE(entry.path().filename().string().starts_with(".quodrix-")) << n << " " << entry.path() << "\n" << journal;
    }
}
