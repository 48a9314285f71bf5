// The bundled application's list command, run as a user runs them.

#include "support/ScriptBundle.h"

#include <filesystem>
#include <gtest/gtest.h>

using namespace quodrix::test;
namespace fs = std::filesystem;

TEST(ListCommands, ListRefusesWhatItCannotDoAndRenamesInPlace)
{
    ScriptBundle bundle(true);
    fs::path a = bundle.root() / "A", b = bundle.root() / "B";
    writeFile(a / "a.jpg", "A");
    writeFile(a / "b.jpg", "B");
    fs::create_directory(b);
    writeFile(bundle.root() / "list.csv", "a.jpg,x.jpg\r\nb.jpg,y.jpg\r\n");

    // A name the controller refuses fails its row; in a simulation the summary says it would fail.
    writeFile(bundle.root() / "slash.csv", "a.jpg,sub/x.jpg\n");
    auto refused = bundle.run({ "list", "-n", "-s", ",", (bundle.root() / "slash.csv").string(), a.string() });
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.out.find("\tFailed\t"), std::string::npos) << refused.out;
    EXPECT_EQ(refused.err, "1 would fail (simulation)\n");

    // A list saved as UTF-16 is named as such, whichever way the list is run.
    fs::path const utf16 = bundle.root() / "utf16.csv";
    writeFile(utf16, std::string("\xFF\xFE" "a\0.\0j\0p\0g\0,\0x\0.\0j\0p\0g\0\n\0", 22));
    for (std::vector<std::string> const& options : { std::vector<std::string> {}, { "-d", b.string() } }) {
        std::vector<std::string> arguments { "list", "-s", "," };
        arguments.insert(arguments.end(), options.begin(), options.end());
        arguments.insert(arguments.end(), { utf16.string(), a.string() });
        auto r = bundle.run(arguments);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "quodrix list: read " + utf16.string() + ": UTF-16 text, not UTF-8\n");
    }

    // Copies into the files' own folder are refused with the controller's words, and the command says what
    // to do instead.
    auto intoItself
        = bundle.run({ "list", "-s", ",", "-d", a.string(), (bundle.root() / "list.csv").string(), a.string() });
    EXPECT_EQ(intoItself.status, 2);
    EXPECT_EQ(intoItself.err, "quodrix list: No overwrite allowed. Destination folders is the same as the original "
                              "folder. If you allow overwrite file names of original files, please apply check box: "
                              "\"Allow overwrite\".\nquodrix list: without --dest the files are renamed in place\n");

    auto inPlace = bundle.run({ "list", "--separator", ",", (bundle.root() / "list.csv").string(), (a / "b.jpg").string() });
    EXPECT_EQ(inPlace.status, 0) << inPlace.err;
    EXPECT_EQ(folderContents(a), (std::map<std::string, std::string> { { "x.jpg", "A" }, { "y.jpg", "B" } }));
}

// A list whose new name is taken renames nothing over it, however the source folder is spelled: relative,
// ".", through a symbolic link, or with "./" inside. Renaming in place never replaces; the copy that
// replaces is only for another folder.
TEST(ListCommands, AnySpellingOfTheSourceFolderRenamesInPlace)
{
    ScriptBundle bundle(true);
    fs::path const top = bundle.root() / "top";
    fs::path const pics = top / "pics";
    fs::create_directories(pics);
    fs::create_directory_symlink(pics, top / "link");
    writeFile(top / "list.txt", "a.txt;b.txt\nc.txt;d.txt\n");

    struct Case {
        fs::path workingFolder;
        std::vector<std::string> arguments;
        bool inPlace;  // false: the destination is the source folder by another spelling, without overwrite
    };
    std::vector<Case> const cases {
        // Kept going, so that the pair that can be renamed is.
        { top, { "list", "-k", "list.txt", "pics" }, true },
        { pics, { "list", "-k", "../list.txt", "." }, true },
        { top, { "list", "-k", "list.txt", "link" }, true },
        { bundle.root(), { "list", "-k", "top/list.txt", "top/./pics" }, true },
        { top, { "list", "-d", "link", "list.txt", "pics" }, false },
        { top, { "list", "-d", "./pics/", "list.txt", (top / "link").string() }, false },
    };
    std::map<std::string, std::string> const renamed { { "a.txt", "A" }, { "b.txt", "B" }, { "d.txt", "C" } };
    std::map<std::string, std::string> const untouched { { "a.txt", "A" }, { "b.txt", "B" }, { "c.txt", "C" } };
    for (auto const& c : cases) {
        fs::remove_all(pics);
        fs::create_directory(pics);
        writeFile(pics / "a.txt", "A");
        writeFile(pics / "b.txt", "B");
        writeFile(pics / "c.txt", "C");
        bundle.setWorkingFolder(c.workingFolder);
        auto r = bundle.run(c.arguments);
        std::string const label = c.arguments.back() + " from " + c.workingFolder.string();
        if (c.inPlace) {
            EXPECT_EQ(r.status, 1) << label << "\n" << r.out << r.err;
            EXPECT_EQ(folderContents(pics), renamed) << label << "\n" << r.out << r.err;
            EXPECT_NE(r.out.find("Failed"), std::string::npos) << label;
        } else {
            // The controller sees one folder and asks for the overwrite switch, changing nothing.
            EXPECT_EQ(r.status, 2) << label << "\n" << r.out << r.err;
            EXPECT_EQ(folderContents(pics), untouched) << label << "\n" << r.out << r.err;
            EXPECT_NE(r.err.find("No overwrite allowed."), std::string::npos) << label;
        }
    }
}

// Every way of running a list counts the same lines: a byte-order mark on a line of its own is a line that
// is not one pair, and an application log leaves out its header and short lines without saying so.
TEST(ListCommands, EveryRunCountsTheLinesLeftOutAlike)
{
    ScriptBundle bundle(true);
    fs::path const f = bundle.root() / "f";
    fs::path const out = bundle.root() / "out";
    fs::create_directories(out);
    fs::path const list = bundle.root() / "bom.txt";
    std::string const message = "quodrix list: 3 lines of " + list.string()
        + " are not one pair (present name, separator, new name): left out\n";
    auto fresh = [&] {
        fs::remove_all(f);
        writeFile(f / "a.txt", "a");
        writeFile(f / "b.txt", "b");
    };
    writeFile(list, "\xEF\xBB\xBF\r\na.txt;A1.txt\rb.txt;B1.txt\nno pair\n\n\nc;d;e");
    struct Case {
        std::vector<std::string> arguments;
        std::string summary;
    } const cases[] = {
        { { "list", "-n", list.string(), f.string() }, "2 would be renamed (simulation)\n" },
        { { "list", "-d", out.string(), list.string(), f.string() }, "2 copied\n" },
        { { "list", list.string(), f.string() }, "2 renamed\n" },
    };
    for (auto const& c : cases) {
        fresh();
        auto run = bundle.run(c.arguments);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.err, message + c.summary) << c.arguments[1];
    }
    EXPECT_EQ(folderContents(f), (std::map<std::string, std::string> { { "A1.txt", "a" }, { "B1.txt", "b" } }));

    // The log of the last run, read back as a list, renames the files back without a word on its lines.
    fs::path const log = bundle.home() / ".local/share/BriskloCom/Quodrix Log.txt";
    fs::copy_file(log, bundle.root() / "log.txt");
    auto back = bundle.run({ "list", "-n", (bundle.root() / "log.txt").string(), f.string() });
    EXPECT_EQ(back.err.find("left out"), std::string::npos) << back.err;
}
