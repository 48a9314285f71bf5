// Every system call of a storing, placing, writing or comment-writing operation failed in turn: the first call, the
// second, ..., once and from then on, through the file-system seam. After each run: every source item
// is intact at its path or the operation completed; nothing incomplete stands under a final name; the
// success word only for a complete result; no temporary item left (after a single fault); a cause.

#include "core/Runtime.h"
#include "fs/FsTestSupport.h"
#include "fs/RunJournal.h"
#include "fs/Status.h"
#include "meta/ImageFixtures.h"
#include "meta/mMeta.h"
#include "platform/Platform.h"
#include "support/FaultySystemCalls.h"
#include "support/ScriptBundle.h"
#include "text/PropertyListFile.h"
#include "toolbox/cToolBox.h"
#include "util/cNSFileHandling.h"

#include <fstream>
#include <functional>
#include <gtest/gtest.h>

using namespace quodrix;
using namespace quodrix::test;
namespace fs = std::filesystem;

namespace {

enum class Effect { Copy, Move };

struct Places {
    fs::path source;
    fs::path destination;
};

struct PlacementCase {
    char const* name;
    Effect effect;
    bool folder;            // the source is a folder tree, else one file
    bool acrossFileSystems; // the destination lies on a small tmpfs
    bool destinationTaken;  // an item stands at the destination (only the replacing methods replace it)
    std::function<std::string(Places const&, Status*)> run;
    char const* success;
    bool holes = false;     // the source file has holes, copied part by part
};

void makeSource(fs::path const& source, bool folder, bool holes)
{
    if (holes) {
        // 3 MiB in three parts of data and the holes between them.
        std::ofstream out(source, std::ios::binary);
        out << "pixels at the start";
        out.seekp(1 << 20);
        out << std::string(70000, 'm');
        out.seekp((3 << 20) - 10);
        out << "the end";
        out.close();
        fs::resize_file(source, std::uintmax_t(3) << 20);
        return;
    }
    if (!folder) {
        writeFile(source, "pixels of the source");
        return;
    }
    fs::create_directories(source / "sub" / "deeper");
    writeFile(source / "a.jpg", "a");
    writeFile(source / "sub" / "b.jpg", "bb");
    writeFile(source / "sub" / "deeper" / "c.jpg", "ccc");
    fs::create_symlink("a.jpg", source / "link");
}

std::string describe(FaultySystemCalls const& calls)
{
    std::string text;
    for (auto const& line : calls.journal())
        text += "  " + line + "\n";
    return text;
}

// Runs the case once cleanly to count its calls, then once for every call index and repeat.
void everyFault(PlacementCase const& c)
{
    TempDir dir(fastTemporaryFolder());
    SmallTmpfs other(dir / "other");
    if (c.acrossFileSystems && !other.mounted())
        GTEST_SKIP() << "mounting a tmpfs needs root";
    fs::path source = dir / "src" / "item";
    fs::path destination = (c.acrossFileSystems ? dir / "other" : dir / "dst") / "item";
    Places places { source, destination };
    auto setUp = [&] {
        fs::remove_all(dir / "src");
        fs::remove_all(dir / "dst");
        for (auto const& entry : fs::directory_iterator(dir / "other"))
            fs::remove_all(entry.path());
        fs::create_directories(dir / "src");
        fs::create_directories(destination.parent_path());
        makeSource(source, c.folder, c.holes);
        if (c.destinationTaken)
            writeFile(destination, "the old item at the destination");
    };

    setUp();
    Tree const original = treeAt(source);
    Tree const oldDestination = treeAt(destination);
    int total = 0;
    {
        FaultySystemCalls counting;
        ScopedSystemCalls installed(counting);
        Status cause;
        ASSERT_EQ(c.run(places, &cause), c.success) << cause.message();
        total = counting.calls();
    }
    ASSERT_GT(total, 3);

    for (Repeat repeat : { Repeat::Once, Repeat::FromThenOn }) {
        for (int n = 1; n <= total; ++n) {
            setUp();
            FaultySystemCalls faulty;
            faulty.fail(Call::Any, n, repeat);
            Status cause;
            std::string word;
            {
                ScopedSystemCalls installed(faulty);
                word = c.run(places, &cause);
            }
            std::string where = std::string(c.name) + ", call " + std::to_string(n)
                + (repeat == Repeat::Once ? " failed once" : " failed from then on") + "\n" + describe(faulty);
            Tree sourceNow = treeAt(source);
            Tree destinationNow = treeAt(destination);
            bool complete = destinationNow == original;
            if (word == c.success) {
                EXPECT_TRUE(complete) << where;
                EXPECT_EQ(sourceNow, c.effect == Effect::Copy ? original : Tree {}) << where;
                // Only the replaced item may stay behind, under a temporary name that a later run removes,
                // and only when its removal kept failing.
                for (auto const& left : temporariesBelow(dir.path())) {
                    EXPECT_EQ(repeat, Repeat::FromThenOn) << where;
                    EXPECT_EQ(treeAt(left), oldDestination) << where;
                }
                continue;
            }
            EXPECT_FALSE(cause.ok()) << where;
            EXPECT_FALSE(cause.message().empty()) << where;
            // Nothing incomplete under the final name: the old item, or the whole new one.
            EXPECT_TRUE(destinationNow == oldDestination || complete) << where << cause.message();
            // The source is intact, or its whole copy is in place, or the cause says where the item is.
            bool sourceIntact = sourceNow == original;
            auto left = cause.message().find("left as ");
            if (!sourceIntact && !complete) {
                ASSERT_NE(left, std::string::npos) << where << cause.message();
                std::string rest = cause.message().substr(left + 8);
                fs::path leftAt = rest.substr(0, rest.find(" after a failed rollback"));
                EXPECT_EQ(treeAt(leftAt), original) << where << cause.message();
            }
            if (repeat == Repeat::Once) {
                EXPECT_TRUE(temporariesBelow(dir.path()).empty()) << where << cause.message();
            }
        }
    }
}

std::string storeCopy(Places const& p, Status* cause)
{
    return cToolBox::hStoreFiles2(p.source.string(), p.destination.string(), cause);
}
std::string storeMove(Places const& p, Status* cause)
{
    return cToolBox::hStoreFiles3(p.source.string(), p.destination.string(), cause);
}
// The move of a run with its journal, as the bundled commands make it: the journal's records go through the
// same system calls and fail with them.
std::string storeMoveJournaled(Places const& p, Status* cause)
{
    RunJournal journal((p.source.parent_path().parent_path() / "runs").string(), "quodrix insert -m");
    std::string const word = cToolBox::hStoreFiles3(p.source.string(), p.destination.string(), cause, &journal);
    (void)journal.finish();
    return word;
}
std::string listCopy(Places const& p, Status* cause)
{
    return cNSFileHandling::hCopyFileTo(p.source.string(), p.destination.string(), cause);
}
std::string listMove(Places const& p, Status* cause)
{
    return cNSFileHandling::hMoveFileTo(p.source.string(), p.destination.string(), cause);
}

PlacementCase const kCases[] = {
    { "store copy of a file", Effect::Copy, false, false, false, storeCopy, "successfull" },
    { "store copy of a folder", Effect::Copy, true, false, false, storeCopy, "successfull" },
    { "store copy of a folder to another file system", Effect::Copy, true, true, false, storeCopy, "successfull" },
    { "store move of a file", Effect::Move, false, false, false, storeMove, "successfull" },
    { "store move of a folder", Effect::Move, true, false, false, storeMove, "successfull" },
    { "store move of a file to another file system", Effect::Move, false, true, false, storeMove, "successfull" },
    { "store move of a folder to another file system", Effect::Move, true, true, false, storeMove, "successfull" },
    { "journaled store move of a file", Effect::Move, false, false, false, storeMoveJournaled, "successfull" },
    { "journaled store move of a folder", Effect::Move, true, false, false, storeMoveJournaled, "successfull" },
    { "journaled store move of a file to another file system", Effect::Move, false, true, false, storeMoveJournaled,
        "successfull" },
    { "copy of a file over an old one", Effect::Copy, false, false, true, listCopy, "OK" },
    { "copy of a folder over an old file", Effect::Copy, true, false, true, listCopy, "OK" },
    { "move of a file over an old one", Effect::Move, false, false, true, listMove, "OK" },
    { "move of a folder over an old file", Effect::Move, true, false, true, listMove, "OK" },
    { "move of a folder over an old file on another file system", Effect::Move, true, true, true, listMove, "OK" },
    { "move of a file to a free name", Effect::Move, false, false, false, listMove, "OK" },
    // Its parts of data are copied one by one; a move onto another file system copies them the same way.
    { "store copy of a file with holes", Effect::Copy, false, false, false, storeCopy, "successfull", true },
};

}

class EveryFault : public ::testing::TestWithParam<PlacementCase> { };

TEST_P(EveryFault, LeavesEveryItemWholeAndSaysWhy)
{
    everyFault(GetParam());
}

INSTANTIATE_TEST_SUITE_P(Placements, EveryFault, ::testing::ValuesIn(kCases),
    [](auto const& info) {
        std::string name;
        for (char ch : std::string(info.param.name))
            name += std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
        return name;
    });

// The text and property-list writers: the old file or the whole new one, never a part, never a stray
// temporary after a single fault.
TEST(EveryFaultOfAWriter, OldFileOrWholeNewOne)
{
    struct Writer {
        char const* name;
        std::function<void(fs::path const&, Status*)> write;
    };
    Value newValue(std::string("new value"));
    Writer const writers[] = {
        { "text", [](fs::path const& p, Status* cause) { cNSFileHandling::hWriteTextFile(p.string(), std::string("new text"), cause); } },
        { "property list", [&](fs::path const& p, Status* cause) { cNSFileHandling::writeToPlist(p.string(), "key", newValue, cause); } },
    };
    for (auto const& w : writers) {
        TempDir dir(fastTemporaryFolder());
        fs::path file = dir / "file.plist";
        auto setUp = [&] {
            fs::remove(file);
            ASSERT_TRUE(writePropertyListFile(file.string(), Value(Dictionary { { "key", Value(std::string("old")) } }),
                PropertyListFormat::Xml).ok());
            fs::permissions(file, fs::perms(0640));
        };
        setUp();
        std::string const old = readFile(file);
        int total = 0;
        {
            FaultySystemCalls counting;
            ScopedSystemCalls installed(counting);
            Status cause;
            w.write(file, &cause);
            ASSERT_TRUE(cause.ok()) << cause.message();
            total = counting.calls();
        }
        std::string const written = readFile(file);
        ASSERT_NE(written, old);
        for (Repeat repeat : { Repeat::Once, Repeat::FromThenOn }) {
            for (int n = 1; n <= total; ++n) {
                setUp();
                FaultySystemCalls faulty;
                faulty.fail(Call::Any, n, repeat);
                Status cause;
                {
                    ScopedSystemCalls installed(faulty);
                    w.write(file, &cause);
                }
                std::string where = std::string(w.name) + ", call " + std::to_string(n) + "\n" + describe(faulty);
                std::string now = readFile(file);
                if (cause.ok()) {
                    EXPECT_EQ(now, written) << where;
                } else {
                    EXPECT_FALSE(cause.message().empty()) << where;
                    // A failed flush of the folder comes after the rename: the new file is whole then.
                    EXPECT_TRUE(now == old || now == written) << where;
                }
                EXPECT_EQ(fs::status(file).permissions(), fs::perms(0640)) << where;
                if (repeat == Repeat::Once) {
                    EXPECT_TRUE(temporariesBelow(dir.path()).empty()) << where << cause.message();
                }
            }
        }
    }
}

// The comment write (`hSetExifData::`): the image byte for byte as it was, or the whole new one; "OK" only
// for the whole new one; never a stray temporary after a single fault; the cause recorded for scripts.
TEST(EveryFaultOfTheCommentWrite, OldImageOrWholeNewOne)
{
    TempDir dir(fastTemporaryFolder());
    fs::path image = dir / "photo 1.jpg";
    ASSERT_TRUE(convert("-size 24x16 xc:green -quality 70 " + shellQuoted(image.string())));
    ASSERT_TRUE(exiftool("-q -overwrite_original -Make=Maker -UserComment=old -XMP-dc:Title=t", image));
    std::string const original = readFile(image);
    Platform platform;
    Runtime runtime { platform };
    std::string const comment = "new comment \xF0\x9F\x98\x80";
    int total = 0;
    {
        FaultySystemCalls counting;
        ScopedSystemCalls installed(counting);
        ASSERT_EQ(mMeta::hSetExifData(runtime, image.string(), comment), "OK") << platform.lastFailure().value_or("");
        total = counting.calls();
    }
    std::string const written = readFile(image);
    ASSERT_NE(written, original);
    ASSERT_GT(total, 8);
    for (Repeat repeat : { Repeat::Once, Repeat::FromThenOn }) {
        for (int n = 1; n <= total; ++n) {
            writeFile(image, original);
            platform.clearLastFailure();
            FaultySystemCalls faulty;
            faulty.fail(Call::Any, n, repeat);
            std::string word;
            {
                ScopedSystemCalls installed(faulty);
                word = mMeta::hSetExifData(runtime, image.string(), comment);
            }
            std::string where = "call " + std::to_string(n)
                + (repeat == Repeat::Once ? " failed once" : " failed from then on") + "\n" + describe(faulty);
            std::string now = readFile(image);
            if (word == "OK") {
                EXPECT_EQ(now, written) << where;
                EXPECT_FALSE(platform.lastFailure()) << where;
            } else {
                EXPECT_EQ(word, "Failed") << where;
                // A failed flush of the folder comes after the rename: the new image is whole then.
                EXPECT_TRUE(now == original || now == written) << where;
                ASSERT_TRUE(platform.lastFailure()) << where;
                std::string const prefix = "write the comment of " + image.string() + ": ";
                EXPECT_EQ(platform.lastFailure()->substr(0, prefix.size()), prefix) << where;
                EXPECT_GT(platform.lastFailure()->size(), prefix.size()) << where;
            }
            if (repeat == Repeat::Once) {
                EXPECT_TRUE(temporariesBelow(dir.path()).empty()) << where << platform.lastFailure().value_or("");
            }
        }
    }
}
