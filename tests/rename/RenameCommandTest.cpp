// The bundled `quodrix rename` command, run as a user runs it over real files: previews that -x then
// carries out exactly, every variable and option, chains, swaps and cycles, conflicts refused, capture
// dates from real images written with Exiv2, odd names, and the command-line conventions.

#include "fs/FsTestSupport.h"
#include "support/ScriptBundle.h"
#include "meta/ImageFixtures.h"

#include <exiv2/exiv2.hpp>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>

using namespace quodrix::test;
namespace fs = std::filesystem;

namespace {

class RenameCommand : public ::testing::Test {
protected:
    RenameCommand() : m_bundle(true) { fs::create_directories(dir()); }

    fs::path dir() const { return m_bundle.root() / "pics"; }
    std::string at(std::string const& name) const { return (dir() / name).string(); }
    void make(std::map<std::string, std::string> const& files) const
    {
        for (auto const& [name, data] : files)
            writeFile(dir() / name, data);
    }
    RunResult rename(std::vector<std::string> arguments) const
    {
        arguments.insert(arguments.begin(), "rename");
        return m_bundle.run(arguments, { { "TZ", "UTC" } });
    }
    // The row of a change of the plan with both paths in the folder, as a run without -x prints it.
    std::string row(std::string const& from, std::string const& to, std::string const& tail = "") const
    {
        return "Rename\tSimulation\t" + fs::path(from).filename().string() + "\t" + at(from) + " -> " + at(to) + tail
            + "\n";
    }
    // The row of a change that failed, with its cause.
    std::string failed(std::string const& from, std::string const& to, std::string const& cause) const
    {
        return "Rename\tFailed\t" + fs::path(from).filename().string() + "\t" + at(from) + " -> " + at(to) + "\t" + cause
            + "\n";
    }
    // Rows of the plan as a run with -x prints them when each change was made.
    static std::string executed(std::string rows)
    {
        std::string const planned = "Rename\tSimulation\t", done = "Rename\tsuccessfull\t";
        for (std::size_t at = 0; (at = rows.find(planned, at)) != std::string::npos; at += done.size())
            rows.replace(at, planned.size(), done);
        return rows;
    }

    ScriptBundle m_bundle;
};

TEST_F(RenameCommand, PreviewShowsExactlyWhatExecuteThenDoes)
{
    std::map<std::string, std::string> const original { { "IMG_1 holiday.jpg", "1" }, { "IMG_2 \xF0\x9F\x8C\x8A.jpg", "2" },
        { "-IMG_3.jpg", "3" }, { "notes.txt", "n" } };
    make(original);
    std::string const expected = row("-IMG_3.jpg", "-photo-3.jpg") + row("IMG_1 holiday.jpg", "photo-1 holiday.jpg")
        + row("IMG_2 \xF0\x9F\x8C\x8A.jpg", "photo-2 \xF0\x9F\x8C\x8A.jpg");

    auto preview = rename({ "IMG_(\\d)", "photo-$1", dir().string() });
    EXPECT_EQ(0, preview.status) << preview.err;
    EXPECT_EQ(expected, preview.out);
    EXPECT_EQ("3 would be renamed (simulation)\n", preview.err);
    EXPECT_EQ(original, folderContents(dir()));

    auto done = rename({ "-x", "--", "IMG_(\\d)", "photo-$1", at("-IMG_3.jpg"), at("IMG_1 holiday.jpg"), dir().string(),
        at("IMG_2 \xF0\x9F\x8C\x8A.jpg"), at("notes.txt") });
    EXPECT_EQ(0, done.status) << done.err;
    EXPECT_EQ(executed(expected), done.out);
    EXPECT_EQ("3 renamed\n", done.err);
    EXPECT_EQ((std::map<std::string, std::string> { { "photo-1 holiday.jpg", "1" }, { "photo-2 \xF0\x9F\x8C\x8A.jpg", "2" },
                  { "-photo-3.jpg", "3" }, { "notes.txt", "n" } }),
        folderContents(dir()));

    // The application log holds one row per file, as the other commands write it.
    std::string log = readFile(m_bundle.home() / ".local/share/BriskloCom/Quodrix Log.txt");
    EXPECT_NE(log.find("\tFile renaming\tIMG_1 holiday.jpg\tRename\tphoto-1 holiday.jpg\tsuccessfull\t" + at("IMG_1 holiday.jpg")
                  + "\t" + at("photo-1 holiday.jpg") + "\n"),
        std::string::npos)
        << log;

    // Nothing left to rename, each time with why: FIND matches no name; FIND and REPLACE give every name it
    // matches back; the folder holds no file.
    auto again = rename({ "IMG_(\\d)", "photo-$1", dir().string() });
    EXPECT_EQ(1, again.status);
    EXPECT_EQ("quodrix rename: nothing to rename: FIND matches no file's name\n", again.err);
    auto same = rename({ "photo", "photo", dir().string() });
    EXPECT_EQ(1, same.status);
    EXPECT_EQ("quodrix rename: nothing to rename: FIND and REPLACE change no file's name\n", same.err);
    fs::create_directory(dir() / "empty");
    auto none = rename({ "photo", "p", (dir() / "empty").string() });
    EXPECT_EQ(1, none.status);
    EXPECT_EQ("quodrix rename: no file to rename\n", none.err);
    fs::remove(dir() / "empty");

    // A run that changed nothing logged nothing; the log of the last real run reverses it.
    auto undo = m_bundle.run({ "undo" });
    EXPECT_EQ(0, undo.status) << undo.err;
    EXPECT_EQ(original, folderContents(dir()));
}

TEST_F(RenameCommand, NameVariablesAndNumbering)
{
    fs::create_directories(dir() / "sub");
    make({ { "img_10.jpg", "" }, { "img_9.jpg", "" }, { "img_1.JPG", "" }, { "sub/deep.png", "" } });
    std::vector<std::vector<std::string>> const cases {
        // Numbers follow the natural order of the paths: 1, 9, 10, then sub/deep.
        { "^.*$", "{n}-{name}.{ext}" },
        { "-e", "^", "{n:3}_" },
        { "--start", "5", "--step=10", "-e", "--", "$", "-{n}" },
        { "^img", "{parent}" },
        { "-o", "[0-9]", "#" },
        { "(?<num>\\d+)", "{{${num}}}" },
        { "--case", "upper", "^img", "photo" },
        { "--case", "title", "--case-ext", "_", " " },
        // ".*" matches a whole name once: the empty text after it is no second match.
        { "(.*)", "{n}_$1" },
    };
    std::vector<std::string> expected {
        row("img_1.JPG", "1-img_1.JPG") + row("img_9.jpg", "2-img_9.jpg") + row("img_10.jpg", "3-img_10.jpg")
            + row("sub/deep.png", "sub/4-deep.png"),
        row("img_1.JPG", "001_img_1.JPG") + row("img_9.jpg", "002_img_9.jpg") + row("img_10.jpg", "003_img_10.jpg")
            + row("sub/deep.png", "sub/004_deep.png"),
        row("img_1.JPG", "img_1-5.JPG") + row("img_9.jpg", "img_9-15.jpg") + row("img_10.jpg", "img_10-25.jpg")
            + row("sub/deep.png", "sub/deep-35.png"),
        row("img_1.JPG", "pics_1.JPG") + row("img_9.jpg", "pics_9.jpg") + row("img_10.jpg", "pics_10.jpg"),
        row("img_1.JPG", "img_#.JPG") + row("img_9.jpg", "img_#.jpg") + row("img_10.jpg", "img_#0.jpg"),
        row("img_1.JPG", "img_{1}.JPG") + row("img_9.jpg", "img_{9}.jpg") + row("img_10.jpg", "img_{10}.jpg"),
        row("img_1.JPG", "PHOTO_1.JPG") + row("img_9.jpg", "PHOTO_9.jpg") + row("img_10.jpg", "PHOTO_10.jpg"),
        row("img_1.JPG", "Img 1.Jpg") + row("img_9.jpg", "Img 9.Jpg") + row("img_10.jpg", "Img 10.Jpg"),
        row("img_1.JPG", "1_img_1.JPG") + row("img_9.jpg", "2_img_9.jpg") + row("img_10.jpg", "3_img_10.jpg")
            + row("sub/deep.png", "sub/4_deep.png"),
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        auto arguments = cases[i];
        arguments.push_back(dir().string());
        auto run = rename(arguments);
        EXPECT_EQ(0, run.status) << i << ": " << run.err;
        EXPECT_EQ(expected[i], run.out) << i;
    }
}

TEST_F(RenameCommand, FlattenIgnoreExtensionAndAnotherFolder)
{
    make({ { "Caf\xC3\xA9 cr\xC3\xA8me.jpeg", "c" } });
    fs::create_directories(m_bundle.root() / "out");
    auto run = rename({ "-x", "--flatten", "-e", "--case", "lower", "-d", (m_bundle.root() / "out").string(), " ", "_",
        dir().string() });
    EXPECT_EQ(0, run.status) << run.err;
    EXPECT_EQ("Rename\tsuccessfull\tCaf\xC3\xA9 cr\xC3\xA8me.jpeg\t" + at("Caf\xC3\xA9 cr\xC3\xA8me.jpeg") + " -> "
            + (m_bundle.root() / "out/cafe_creme.jpeg").string() + "\n",
        run.out);
    EXPECT_EQ((std::map<std::string, std::string> { { "cafe_creme.jpeg", "c" } }), folderContents(m_bundle.root() / "out"));

    // Only Latin letters are flattened: names in other scripts keep their letters, their marks included
    // (a Japanese voicing mark, Greek and Devanagari signs), so no two of them become one name of "?"s.
    std::string const kept[] = { "\xE4\xB8\xAD\xE6\x96\x87.jpg", "\xE4\xB8\xAD\xE5\x9B\xBD.jpg",
        "\xE3\x81\x8C.jpg", "\xCE\xAC\xCE\xBB\xCF\x86\xCE\xB1.jpg", "\xE0\xA4\xB9\xE0\xA4\xBF.jpg" };
    for (auto const& name : kept)
        make({ { name, name } });
    make({ { "\xC3\x86" "ble\xC3\x9F \xC3\xB8re.jpg", "ae" } });
    auto flattened = rename({ "-x", "--flatten", "$", "", dir().string() });
    EXPECT_EQ(0, flattened.status) << flattened.err;
    std::string const latin = "\xC3\x86" "ble\xC3\x9F \xC3\xB8re.jpg";
    EXPECT_EQ("Rename\tsuccessfull\t" + latin + "\t" + at(latin) + " -> " + at("AEbless ore.jpg") + "\n",
        flattened.out);
    for (auto const& name : kept)
        EXPECT_EQ(readFile(dir() / name), name);

    // With -e the extension stays as it was: not flattened, and a name that ends in a dot keeps it.
    fs::path const own = m_bundle.root() / "own";
    std::string const accented = "\xC3\xA9t\xC3\xA9.p\xC3\xA9";
    writeFile(own / accented, "e");
    writeFile(own / "trail.", "t");
    auto extensions = rename({ "-x", "--flatten", "-e", "t", "T", own.string() });
    EXPECT_EQ(0, extensions.status) << extensions.err;
    EXPECT_EQ(
        (std::map<std::string, std::string> { { "Trail.", "t" }, { "eTe.p\xC3\xA9", "e" } }), folderContents(own));
}

TEST_F(RenameCommand, SwapAndThreeCycleFromAList)
{
    make({ { "a.jpg", "A" }, { "b.jpg", "B" }, { "x", "X" }, { "y", "Y" }, { "z", "Z" } });
    writeFile(m_bundle.root() / "list.txt", "a.jpg\tb.jpg\nb.jpg\ta.jpg\nx\ty\r\ny\tz\r\nz\tx\nmissing\tm\n");
    auto run = rename({ "-xk", "--from-list", (m_bundle.root() / "list.txt").string(), "--separator", "tab", dir().string() });
    EXPECT_EQ(1, run.status);
    EXPECT_EQ(executed(row("a.jpg", "b.jpg") + row("b.jpg", "a.jpg") + row("x", "y") + row("y", "z") + row("z", "x"))
            + "Rename\tFailed\tmissing\tmissing -> m\tnot found in the folders given\n",
        run.out);
    EXPECT_EQ("5 renamed, 1 failed\n", run.err);
    EXPECT_EQ((std::map<std::string, std::string> { { "a.jpg", "B" }, { "b.jpg", "A" }, { "x", "Z" }, { "y", "X" }, { "z", "Y" } }),
        folderContents(dir()));
}

TEST_F(RenameCommand, ConflictsAreRefusedAndNothingChanges)
{
    std::map<std::string, std::string> const original { { "a1.jpg", "1" }, { "a2.jpg", "2" }, { "b1.jpg", "b" },
        { "c.jpg", "c" }, { "d.jpg", "d" }, { "e.jpg", "e" }, { "f.jpg", "f" }, { "keep.jpg", "k" } };
    make(original);

    // Two files to one name, by pattern: previewed, then refused with -x.
    std::string const twoToOne = row("a1.jpg", "x.jpg", "\twould fail: two files would get this name")
        + row("a2.jpg", "x.jpg", "\twould fail: two files would get this name");
    auto preview = rename({ "^a\\d", "x", dir().string() });
    EXPECT_EQ(1, preview.status);
    EXPECT_EQ(twoToOne, preview.out);
    EXPECT_EQ("2 would fail (simulation)\n", preview.err);
    auto refused = rename({ "--execute", "^a\\d", "x", dir().string() });
    EXPECT_EQ(1, refused.status);
    EXPECT_EQ(failed("a1.jpg", "x.jpg", "two files would get this name")
            + failed("a2.jpg", "x.jpg", "two files would get this name"),
        refused.out);
    EXPECT_EQ("2 failed\nquodrix rename: the plan has failures; nothing was renamed (--keep-going renames "
              "the rest)\n",
        refused.err);
    EXPECT_EQ(original, folderContents(dir()));

    // Every other kind of conflict, from a list; one good pair that waits too.
    std::string const longName(300, 'L');
    writeFile(m_bundle.root() / "list.txt",
        "b1.jpg;keep.jpg\nc.jpg;sub/c.jpg\nd.jpg;\ne.jpg;" + longName + "\nf.jpg;g.jpg\n");
    auto listed = rename({ "-x", "--from-list", (m_bundle.root() / "list.txt").string(), dir().string() });
    EXPECT_EQ(1, listed.status);
    EXPECT_EQ(failed("b1.jpg", "keep.jpg", "would replace an existing item")
            + failed("c.jpg", "sub/c.jpg", "not one path component")
            + failed("d.jpg", "", "the new name is empty")
            + failed("e.jpg", longName, "File name too long")
            + failed("f.jpg", "g.jpg", "not done: the plan has failures"),
        listed.out);
    EXPECT_EQ(original, folderContents(dir()));

    // Told to keep going, the pair that can be done is done.
    auto kept = rename({ "-x", "--keep-going", "--from-list", (m_bundle.root() / "list.txt").string(), dir().string() });
    EXPECT_EQ(1, kept.status);
    EXPECT_EQ("1 renamed, 4 failed\n", kept.err);
    EXPECT_EQ("f", folderContents(dir())["g.jpg"]);
}

// A change of letter case alone on a file system that does not tell case apart (exFAT, as on a camera's
// card), where the new name finds the file itself: in a folder of a few files (looked at one by one) and in
// one of many (read whole), previewed without a failure, carried out, counted and undone. Where case tells
// names apart, another file of the new name still refuses the change.
TEST_F(RenameCommand, ACaseChangeOnACardThatIgnoresCase)
{
    ExfatVolume card(m_bundle.root() / "card");
    if (!card.mounted())
        GTEST_SKIP() << card.whyNot();
    fs::path const few = m_bundle.root() / "card" / "few", many = m_bundle.root() / "card" / "DCIM";
    std::map<std::string, std::string> fewFiles, manyFiles;
    for (int i = 1; i <= 3; ++i)
        fewFiles["IMG_000" + std::to_string(i) + ".JPG"] = std::to_string(i);
    for (int i = 10; i < 50; ++i)
        manyFiles["IMG_00" + std::to_string(i) + ".JPG"] = std::to_string(i);
    for (auto const& [name, data] : fewFiles)
        writeFile(few / name, data);
    for (auto const& [name, data] : manyFiles)
        writeFile(many / name, data);
    ASSERT_TRUE(fs::exists(few / "img_0001.jpg")) << "the volume tells case apart";

    auto const lower = [](std::string name) {
        for (char& c : name)
            c = char(std::tolower(static_cast<unsigned char>(c)));
        return name;
    };
    auto const lowered = [&](std::map<std::string, std::string> const& files) {
        std::map<std::string, std::string> out;
        for (auto const& [name, data] : files)
            out[lower(name)] = data;
        return out;
    };
    auto const rows = [&](fs::path const& folder, std::map<std::string, std::string> const& files,
                          std::string const& status) {
        std::string text;
        for (auto const& [name, data] : files)
            text += "Rename\t" + status + "\t" + name + "\t" + (folder / name).string() + " -> "
                + (folder / lower(name)).string() + "\n";
        return text;
    };

    auto preview = rename({ "--case", "lower", "--case-ext", "", "", few.string(), many.string() });
    EXPECT_EQ(0, preview.status) << preview.err;
    // The files in the natural order of their paths: DCIM before few.
    EXPECT_EQ(rows(many, manyFiles, "Simulation") + rows(few, fewFiles, "Simulation"), preview.out);
    auto run = rename({ "-x", "--case", "lower", "--case-ext", "", "", few.string(), many.string() });
    EXPECT_EQ(0, run.status) << run.err;
    EXPECT_EQ(rows(many, manyFiles, "successfull") + rows(few, fewFiles, "successfull"), run.out);
    EXPECT_EQ("43 renamed\n", run.err);
    // The names as the volume lists them, each with its own contents; no temporary name left.
    EXPECT_EQ(lowered(fewFiles), folderContents(few));
    EXPECT_EQ(lowered(manyFiles), folderContents(many));

    auto history = m_bundle.run({ "history" });
    EXPECT_NE(history.out.find("  43 done, 0 failed  "), std::string::npos) << history.out;
    auto undo = m_bundle.run({ "undo" });
    EXPECT_EQ(0, undo.status) << undo.err;
    EXPECT_NE(undo.out.find("restored\t" + (few / "IMG_0001.JPG").string() + "\n"), std::string::npos) << undo.out;
    EXPECT_TRUE(undo.err.ends_with(": 43 restored\n")) << undo.err;
    EXPECT_EQ(fewFiles, folderContents(few));
    EXPECT_EQ(manyFiles, folderContents(many));

    // Letters beyond ASCII as well.
    writeFile(few / "\xC3\x89T\xC3\x89.JPG", "summer");
    auto accented = rename({ "-x", "--case", "lower", "--case-ext", "", "", few.string() });
    EXPECT_EQ(0, accented.status) << accented.err;
    EXPECT_EQ("summer", folderContents(few)["\xC3\xA9t\xC3\xA9.jpg"]);
    ASSERT_EQ(0, m_bundle.run({ "undo" }).status);

    // A file that waits for a name whose case changes waits in vain: the name stays held, in the new case.
    writeFile(few / "other.jpg", "other");
    writeFile(m_bundle.root() / "waits.txt", "IMG_0001.JPG;img_0001.jpg\nother.jpg;IMG_0001.JPG\n");
    auto waits = rename({ "-xk", "--from-list", (m_bundle.root() / "waits.txt").string(), few.string() });
    EXPECT_EQ(1, waits.status);
    EXPECT_EQ("Rename\tsuccessfull\tIMG_0001.JPG\t" + (few / "IMG_0001.JPG").string() + " -> "
            + (few / "img_0001.jpg").string() + "\nRename\tFailed\tother.jpg\t" + (few / "other.jpg").string()
            + " -> " + (few / "IMG_0001.JPG").string() + "\twould replace an existing item\n",
        waits.out);
    EXPECT_EQ("1", folderContents(few)["img_0001.jpg"]);
    EXPECT_EQ("other", folderContents(few)["other.jpg"]);

    // A new name that another file holds in another case is refused before anything moves, in a folder read
    // whole too, and so are two new names that differ in case alone.
    std::string list;
    for (int i = 10; i < 45; ++i)
        list += "IMG_00" + std::to_string(i) + ".JPG;P" + std::to_string(i) + ".JPG\n";
    list += "IMG_0047.JPG;new.jpg\nIMG_0048.JPG;NEW.JPG\nIMG_0045.JPG;img_0046.jpg\n";
    writeFile(m_bundle.root() / "list.txt", list);
    auto taken = rename({ "-x", "--from-list", (m_bundle.root() / "list.txt").string(), many.string() });
    EXPECT_EQ(1, taken.status);
    // Two new names that differ in case alone are one name there.
    for (std::string const name : { "IMG_0047.JPG", "IMG_0048.JPG" }) {
        std::string const newName = name == "IMG_0047.JPG" ? "new.jpg" : "NEW.JPG";
        EXPECT_NE(taken.out.find("Rename\tFailed\t" + name + "\t" + (many / name).string() + " -> "
                      + (many / newName).string() + "\ttwo files would get this name\n"),
            std::string::npos)
            << taken.out;
    }
    EXPECT_TRUE(taken.out.ends_with("Rename\tFailed\tIMG_0045.JPG\t" + (many / "IMG_0045.JPG").string() + " -> "
        + (many / "img_0046.jpg").string() + "\twould replace an existing item\n")) << taken.out;
    EXPECT_EQ(manyFiles, folderContents(many));

    // Here, where case tells names apart, "a.jpg" is another file.
    make({ { "A.JPG", "upper" }, { "a.jpg", "lower" } });
    auto refused = rename({ "--case", "lower", "--case-ext", "", "", dir().string() });
    EXPECT_EQ(1, refused.status);
    EXPECT_EQ(row("A.JPG", "a.jpg", "\twould fail: would replace an existing item"), refused.out);
}

// Numbers shifted down by one while the case is lowered, on a card that does not tell case apart: each new
// name is held, in another case, by the file that takes the next lower number, so the files go in a chain
// from its free end, in a folder of a few files and in one read whole. Two files that wait for one name,
// one of them in another case, would get one name.
TEST_F(RenameCommand, ARenumberingOnACardThatIgnoresCase)
{
    ExfatVolume card(m_bundle.root() / "card");
    if (!card.mounted())
        GTEST_SKIP() << card.whyNot();
    for (int files : { 3, 40 }) {
        fs::path const folder = m_bundle.root() / "card" / std::to_string(files);
        for (int i = 1; i <= files; ++i)
            writeFile(folder / ("IMG_" + std::to_string(1000 + i) + ".JPG"), std::to_string(i));
        auto run = rename({ "-x", "--start", "1000", "--case", "lower", "--case-ext", "IMG_\\d+", "img_{n}",
            folder.string() });
        EXPECT_EQ(0, run.status) << files << " files: " << run.err << run.out.substr(0, 400);
        std::map<std::string, std::string> expected;
        for (int i = 1; i <= files; ++i)
            expected["img_" + std::to_string(999 + i) + ".jpg"] = std::to_string(i);
        EXPECT_EQ(expected, folderContents(folder)) << files << " files";
    }

    fs::path const folder = m_bundle.root() / "card" / "two";
    writeFile(folder / "IMG_1.JPG", "1");
    writeFile(folder / "a.jpg", "a");
    writeFile(folder / "b.jpg", "b");
    writeFile(m_bundle.root() / "two.txt", "IMG_1.JPG;P.JPG\na.jpg;IMG_1.JPG\nb.jpg;img_1.jpg\n");
    auto two = rename({ "--from-list", (m_bundle.root() / "two.txt").string(), folder.string() });
    EXPECT_EQ(1, two.status);
    EXPECT_TRUE(two.out.ends_with("Rename\tSimulation\tb.jpg\t" + (folder / "b.jpg").string() + " -> "
        + (folder / "img_1.jpg").string() + "\twould fail: two files would get this name\n")) << two.out;
}

TEST_F(RenameCommand, CaptureDatesAndTagsFromRealImages)
{
    fs::path const image = dir() / "shot.jpg";
    ASSERT_TRUE(convert("-size 16x16 xc:red " + shellQuoted(image.string())));
    {
        auto opened = Exiv2::ImageFactory::open(image.string());
        opened->readMetadata();
        Exiv2::ExifData exif = opened->exifData();
        exif["Exif.Photo.DateTimeOriginal"] = "2021:03:04 05:06:07";
        exif["Exif.Image.Model"] = "Cam X";
        opened->setExifData(exif);
        opened->writeMetadata();
    }
    writeFile(dir() / "plain.jpg", "not an image");
    // 2020-01-02 03:04:05 UTC as the modification time.
    fs::last_write_time(dir() / "plain.jpg",
        fs::file_time_type::clock::from_sys(std::chrono::sys_seconds(std::chrono::seconds(1577934245))));

    auto dates = rename({ "-e", "^.+", "{date}_{date:%H%M%S}", dir().string() });
    EXPECT_EQ(0, dates.status) << dates.err;
    EXPECT_EQ(row("plain.jpg", "2020-01-02_030405.jpg") + row("shot.jpg", "2021-03-04_050607.jpg"), dates.out);

    auto model = rename({ "-e", "$", " {exif:Model}", dir().string() });
    EXPECT_EQ(1, model.status);
    EXPECT_EQ("Rename\tSimulation\tplain.jpg\t" + at("plain.jpg") + " -> \twould fail: no Exif tag Model\n"
            + row("shot.jpg", "shot Cam X.jpg"),
        model.out);

    auto done = rename({ "-x", "-k", "-e", "$", " {exif:Model}", dir().string() });
    EXPECT_EQ(1, done.status);
    EXPECT_EQ("1 renamed, 1 failed\n", done.err);
    EXPECT_TRUE(fs::exists(dir() / "shot Cam X.jpg"));
}

TEST_F(RenameCommand, CommandLineConventions)
{
    make({ { "a.jpg", "" }, { "u16.txt", std::string("\xFF\xFE" "a\0;\0b\0\n\0", 10) }, { "bad.txt", "a;\xE9\n" } });
    auto help = rename({ "-h" });
    EXPECT_EQ(0, help.status);
    EXPECT_EQ(0u, help.out.find("usage: quodrix rename [options] FIND REPLACE FILE|FOLDER...\n"));
    EXPECT_EQ("", help.err);

    struct Refused {
        std::vector<std::string> arguments;
        std::string message;
    };
    std::vector<Refused> const refused {
        { { "--case", "shout", "a", "b", at("a.jpg") }, "--case shout: not one of upper, lower, title" },
        { { "(", "b", at("a.jpg") }, "FIND is not a regular expression (U_REGEX_MISMATCHED_PAREN at offset 1)" },
        { { "a\xFF", "b", at("a.jpg") }, "FIND is not UTF-8 text" },
        { { "a", "b\xED\xA0\x80", at("a.jpg") }, "REPLACE is not UTF-8 text" },
        { { "a", "$2", at("a.jpg") }, "FIND has no group 2" },
        { { "a", "{size}", at("a.jpg") }, "unknown variable {size}" },
        { { "a", "{n:100}", at("a.jpg") }, "the width in {n:100} is not a number of digits from 0 to 99" },
        { { "--from-list", at("a.jpg"), at("a.jpg") }, "not a folder: " + at("a.jpg") },
        { { "--execute=yes", "a", "b", at("a.jpg") }, "--execute takes no value" },
        { { "--separator", ",", "a", "b", at("a.jpg") }, "--separator goes with --from-list" },
        { { "-d" }, "-d needs a value (DIR)" },
        { { "--separator=", "--from-list", at("a.jpg"), dir().string() }, "--separator : an empty separator" },
        { { "--from-list", at("a.jpg"), dir().string() }, "the rename list " + at("a.jpg") + " holds no usable line (is the separator right?)" },
        { { "--from-list", at("none.txt"), dir().string() }, "cannot read the rename list " + at("none.txt") },
        { { "--from-list", at("u16.txt"), dir().string() }, "read " + at("u16.txt") + ": UTF-16 text, not UTF-8" },
        { { "--from-list", at("bad.txt"), dir().string() }, "read " + at("bad.txt") + ": not UTF-8 text" },
    };
    for (auto const& r : refused) {
        auto run = rename(r.arguments);
        EXPECT_EQ(2, run.status) << r.message;
        EXPECT_EQ(0u, run.err.find("quodrix rename: " + r.message + "\nusage: quodrix rename")) << run.err;
        EXPECT_EQ("", run.out);
    }

    // A word from a fixed set is taken in any case, as the set writes it.
    auto upper = rename({ "--case", "UPPER", "a", "b", at("a.jpg") });
    EXPECT_EQ(0, upper.status) << upper.err;
    EXPECT_NE(upper.out.find(" -> " + at("B.jpg") + "\n"), std::string::npos) << upper.out;

    // Short options combine, and one that takes a value takes the rest of its word.
    fs::create_directories(m_bundle.root() / "out");
    auto combined = rename({ "-xed" + (m_bundle.root() / "out").string(), "a", "b", at("a.jpg") });
    EXPECT_EQ(0, combined.status) << combined.err;
    EXPECT_TRUE(fs::exists(m_bundle.root() / "out/b.jpg"));
}

TEST_F(RenameCommand, AFolderSpelledRelativelyReadsAsItself)
{
    make({ { "a.jpg", "" } });
    m_bundle.setWorkingFolder(dir());
    auto run = rename({ "^", "{parent}-", "." });
    EXPECT_EQ(0, run.status) << run.err;
    EXPECT_EQ(row("a.jpg", "pics-a.jpg"), run.out);
}

// A name that is not text cannot be searched: it is left alone and not numbered, and the command says so.
TEST_F(RenameCommand, ANameThatIsNotTextIsLeftAlone)
{
    make({ { std::string("bad\xFFname.jpg"), "" } });
    auto invalid = rename({ "name", "n", at("bad\xFFname.jpg") });
    EXPECT_EQ(1, invalid.status);
    EXPECT_EQ("", invalid.out);
    EXPECT_EQ("quodrix rename: 1 name left alone: not valid UTF-8, so the expression cannot search it\n"
              "quodrix rename: no file to rename\n",
        invalid.err);
    make({ { "img_1.jpg", "" }, { "img_2.jpg", "" } });
    auto numbered = rename({ "-x", "^[a-z]+_\\d+", "p{n}", dir().string() });
    EXPECT_EQ(0, numbered.status) << numbered.err;
    EXPECT_EQ(readFile(dir() / "p1.jpg"), "") << numbered.out;
    EXPECT_EQ(readFile(dir() / "p2.jpg"), "") << numbered.out;
    EXPECT_TRUE(fs::exists(dir() / "bad\xFFname.jpg"));
}

}

// A script sees every row of a checked plan in the plan's order, the failed ones counted alone, and the
// texts of the action log; the commands' rows show the failed rows and the log texts by parts at work.
TEST_F(RenameCommand, ThePlannerAnswersItsRowsAndLogTexts)
{
    make({ { "a.jpg", "a" }, { "b.jpg", "b" }, { "c.jpg", "c" }, { "taken.jpg", "t" } });
    ScriptBundle bare;
    auto r = bare.runScript(R"(
        local dir = objc.arguments[2]
        local plan = objc.QDRenamePlan:new()
        plan:addPair__(dir .. "/a.jpg", dir .. "/taken.jpg")
        plan:addPair__(dir .. "/b.jpg", dir .. "/b2.jpg")
        plan:addPair__(dir .. "/gone.jpg", dir .. "/g.jpg")
        plan:addPair__(dir .. "/c.jpg", dir .. "/c.jpg")
        print(plan:check(), #plan:failedRows())
        for _, row in ipairs(plan:rows()) do
          print(row.source:sub(#dir + 2), row.target:sub(#dir + 2), row.state, row.cause)
        end
        -- The values of the action-log call for every change but the unchanged one: flat, seven a change,
        -- and as an array of seven for each change.
        local texts, values = plan:logTexts(), plan:logValues()
        print(#texts, texts[1], texts[2], texts[3], texts[4], texts[5], texts[6]:sub(#dir + 2), texts[7]:sub(#dir + 2))
        print(#values, #values[2], values[2][1], values[2][3], values[2][4], values[2][5], values[3][4],
          values[3][7]:sub(#dir + 2))
        plan:execute_(true)
        texts, values = plan:logTexts(), plan:logValues()
        print(texts[3], texts[10], texts[17], values[1][3], values[2][3], values[3][3])
        local empty = objc.QDRenamePlan:new()
        print(#empty:failedRows(), #empty:rows(), #empty:logTexts())
        -- The same texts a part of the plan at a time: the unchanged pair gives none, and a part beyond the
        -- end gives nothing.
        print(plan:pairCount(), #plan:logTextsFrom_count_(3, 1), #plan:logTextsFrom_count_(9, 4),
          #plan:logTextsFrom_count_(1, 2), empty:pairCount(), #empty:logTextsFrom_count_(0, 10))
        print(pcall(function() return plan:logTextsFrom_count_(-1, 2) end))
    )", { dir().string() });
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
        "2\t2\n"
        "a.jpg\ttaken.jpg\tfailed\twould replace an existing item\n"
        "b.jpg\tb2.jpg\tplanned\t\n"
        "gone.jpg\tg.jpg\tfailed\tNo such file or directory\n"
        "c.jpg\tc.jpg\tunchanged\t\n"
        "21\tFile renaming\tRename\tSimulation\ta.jpg\ttaken.jpg\ta.jpg\ttaken.jpg\n"
        "3\t7\tFile renaming\tSimulation\tb.jpg\tb2.jpg\tgone.jpg\tg.jpg\n"
        "Failed\tsuccessfull\tFailed\tFailed\tsuccessfull\tFailed\n"
        "0\t0\t0\n"
        "4\t0\t0\t14\t0\t0\n"
        "false\t-[QDRenamePlan logTextsFrom:count:]: logTextsFrom:count: takes a first pair and a count of at "
        "least 0\n");
}

// An expression that backtracks without end on some name ("(a+)+$" on forty "a"s and a "b" takes 2^40
// steps) fails that file with its cause instead of hanging the run; the other files are renamed.
TEST_F(RenameCommand, AnExpressionThatBacktracksWithoutEndFailsTheFileNotTheRun)
{
    std::string const slow = std::string(40, 'a') + "b";
    make({ { slow, "slow" }, { "aaa", "fast" } });
    auto run = rename({ "-x", "-k", "(a+)+$", "x", dir().string() });
    EXPECT_EQ(1, run.status);
    EXPECT_EQ(run.out, "Rename\tsuccessfull\taaa\t" + at("aaa") + " -> " + at("x") + "\n"
            + "Rename\tFailed\t" + slow + "\t" + at(slow) + " -> \t"
            + "FIND takes too long on this name (the expression backtracks without end)\n");
    EXPECT_EQ(readFile(dir() / slow), "slow");
    EXPECT_EQ(readFile(dir() / "x"), "fast");
}

// The numbers of a run stop at the end of 64-bit whole numbers: a file past it fails (it never takes a
// number wrapped around to the other end), and a REPLACE without {n} needs no number.
TEST_F(RenameCommand, AFileNumberedPastTheWholeNumbersFails)
{
    make({ { "a.jpg", "" }, { "b.jpg", "" }, { "c.jpg", "" } });
    auto numbered = rename({ "--start", "9223372036854775806", "^", "{n}_", dir().string() });
    EXPECT_EQ(1, numbered.status);
    EXPECT_EQ(row("a.jpg", "9223372036854775806_a.jpg") + row("b.jpg", "9223372036854775807_b.jpg")
            + "Rename\tSimulation\tc.jpg\t" + at("c.jpg")
            + " -> \twould fail: the file's number is beyond 64-bit whole numbers (--start, --step)\n",
        numbered.out);
    auto down = rename({ "--start", "-9223372036854775807", "--step", "-1", "^", "{n}_", dir().string() });
    EXPECT_NE(down.out.find("-9223372036854775808_b.jpg\n"), std::string::npos) << down.out;
    EXPECT_NE(down.out.find("c.jpg -> \twould fail"), std::string::npos) << down.out;
    auto unnumbered = rename({ "--start", "9223372036854775807", "^", "x", dir().string() });
    EXPECT_EQ(0, unnumbered.status) << unnumbered.out;
}
