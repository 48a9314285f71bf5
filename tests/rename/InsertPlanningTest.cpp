// `quodrix insert` with its plan worked out first: predicted failures shown in a simulation, a real run
// with failures refused whole unless told to keep going, and renaming in place, folder by folder.

#include "meta/ImageFixtures.h"
#include "support/ScriptBundle.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <algorithm>
#include <map>
#include <vector>

using namespace quodrix::test;
namespace fs = std::filesystem;

namespace {

std::map<std::string, std::string> contents(fs::path const& folder)
{
    std::map<std::string, std::string> result;
    for (auto const& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file())
            result[fs::relative(entry.path(), folder).string()] = readFile(entry.path());
    }
    return result;
}

// The lines of a text in byte order: rows of runs that follow the file system's order.
std::vector<std::string> sortedLines(std::string const& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    std::sort(lines.begin(), lines.end());
    return lines;
}

}

TEST(InsertPlanning, APlanWithAFailureIsShownThenRefusedUnlessKeptGoing)
{
    TempDir root;
    writeFile(root / "in/a.jpg", "a");
    writeFile(root / "in/b.jpg", "b");
    writeFile(root / "out/Xa.jpg", "taken");
    ScriptBundle bundle(true);
    std::string const in = (root / "in").string(), out = (root / "out").string();

    auto simulated = bundle.run({ "insert", "-n", "-d", out, "X", "0", in });
    EXPECT_EQ(1, simulated.status);
    EXPECT_EQ(sortedLines("Insert\tSimulation\ta.jpg\t" + in + "/a.jpg -> " + out
                  + "/Xa.jpg\twould fail: would replace an existing item\n"
                    "Insert\tSimulation\tb.jpg\t" + in + "/b.jpg -> " + out + "/Xb.jpg\n"),
        sortedLines(simulated.out));
    EXPECT_EQ("1 would be renamed (simulation), 1 would fail (simulation)\n", simulated.err);

    auto refused = bundle.run({ "insert", "-m", "-d", out, "X", "0", in });
    EXPECT_EQ(1, refused.status);
    EXPECT_EQ(sortedLines("Insert\tFailed\ta.jpg\t" + in + "/a.jpg -> " + out
                  + "/Xa.jpg\twould replace an existing item\n"
                    "Insert\tFailed\tb.jpg\t" + in + "/b.jpg -> " + out + "/Xb.jpg\tnot done: the plan has failures\n"),
        sortedLines(refused.out));
    EXPECT_EQ("2 failed\n"
              "quodrix insert: the plan has failures; nothing was done (--keep-going does the rest)\n",
        refused.err);
    EXPECT_EQ((std::map<std::string, std::string> { { "in/a.jpg", "a" }, { "in/b.jpg", "b" }, { "out/Xa.jpg", "taken" } }),
        contents(root.path()));

    auto kept = bundle.run({ "insert", "-m", "-k", "-d", out, "X", "0", in });
    EXPECT_EQ(1, kept.status);
    EXPECT_EQ("1 renamed, 1 failed\n", kept.err);
    EXPECT_EQ((std::map<std::string, std::string> { { "in/a.jpg", "a" }, { "out/Xa.jpg", "taken" }, { "out/Xb.jpg", "b" } }),
        contents(root.path()));
    std::string log = readFile(bundle.home() / ".local/share/BriskloCom/Quodrix Log.txt");
    EXPECT_NE(log.find("\tFile renaming\ta.jpg\tInsert\tXa.jpg\tFailed\t"), std::string::npos) << log;
    EXPECT_NE(log.find("\tFile renaming\tb.jpg\tInsert\tXb.jpg\tsuccessfull\t"), std::string::npos) << log;
}

TEST(InsertPlanning, InPlaceKeepsEachFileInItsFolderInNaturalOrder)
{
    TempDir root;
    writeFile(root / "in/img10.jpg", "10");
    writeFile(root / "in/img9.jpg", "9");
    writeFile(root / "in/sub/c.jpg", "c");
    ScriptBundle bundle(true);
    std::string const in = (root / "in").string();

    auto copied = bundle.run({ "insert", "-i", "_", "0", in });
    EXPECT_EQ(0, copied.status) << copied.err;
    EXPECT_EQ("Insert\tsuccessfull\timg9.jpg\t" + in + "/img9.jpg -> " + in + "/_img9.jpg\n"
            "Insert\tsuccessfull\timg10.jpg\t" + in + "/img10.jpg -> " + in + "/_img10.jpg\n"
            "Insert\tsuccessfull\tc.jpg\t" + in + "/sub/c.jpg -> " + in + "/sub/_c.jpg\n",
        copied.out);
    EXPECT_EQ(6u, contents(root / "in").size());

    // A name the insertion leaves as it is would be copied onto itself: refused, nothing done.
    auto same = bundle.run({ "insert", "-i", "_", "9", (root / "in/sub/c.jpg").string() });
    EXPECT_EQ(1, same.status);
    EXPECT_EQ("Insert\tFailed\tc.jpg\t" + in + "/sub/c.jpg -> " + in + "/sub/c.jpg\twould replace an existing item\n",
        same.out);

    fs::remove_all(root / "in");
    writeFile(root / "in/img10.jpg", "10");
    writeFile(root / "in/img9.jpg", "9");
    writeFile(root / "in/sub/c.jpg", "c");
    auto moved = bundle.run({ "insert", "--in-place", "--move", "-", "0", in });
    EXPECT_EQ(0, moved.status) << moved.err;
    EXPECT_EQ((std::map<std::string, std::string> { { "-img10.jpg", "10" }, { "-img9.jpg", "9" }, { "sub/-c.jpg", "c" } }),
        contents(root / "in"));

    // A simulation in place predicts against each file's own folder; one with neither -i nor -d cannot.
    writeFile(root / "in/p.jpg", "p");
    writeFile(root / "in/_p.jpg", "taken");
    auto predicted = bundle.run({ "insert", "-ni", "_", "0", (root / "in/p.jpg").string() });
    EXPECT_EQ(1, predicted.status);
    EXPECT_EQ("Insert\tSimulation\tp.jpg\t" + in + "/p.jpg -> " + in + "/_p.jpg\twould fail: would replace an "
              "existing item\n",
        predicted.out);
    EXPECT_EQ("1 would fail (simulation)\n", predicted.err);
    auto unknown = bundle.run({ "insert", "-n", "_", "0", (root / "in/p.jpg").string() });
    EXPECT_EQ(0, unknown.status) << unknown.err;
    EXPECT_EQ("1 would be renamed (simulation)\n", unknown.err);
    auto help = bundle.run({ "insert", "--help" });
    EXPECT_NE(help.out.find("(with --dest or --in-place; a simulation with neither\ncannot know where the files would go, "
                            "so it predicts nothing)"),
        std::string::npos)
        << help.out;
}

// A run of more files than the rows go to the printer at once: every row printed once, in natural order,
// with the cause of a failure on its own row; the log file holds every row (checked in the run below).
TEST(InsertPlanning, ARunOfThousandsPrintsEveryRowOnceInOrder)
{
    TempDir root;
    constexpr int kFiles = 2600;
    for (int i = 1; i <= kFiles; ++i)
        writeFile(root / "in" / ("f" + std::to_string(i) + ".jpg"), std::to_string(i));
    // An empty folder holds one file's new name: it gives no file to rename, and nothing frees its name.
    fs::create_directories(root / "in/_f1500.jpg");
    ScriptBundle bundle(true);
    std::string const in = (root / "in").string();

    auto run = bundle.run({ "insert", "-i", "-m", "-k", "_", "0", in });
    EXPECT_EQ(1, run.status);
    EXPECT_EQ(std::to_string(kFiles - 1) + " renamed, 1 failed\n", run.err);
    std::string expected;
    for (int i = 1; i <= kFiles; ++i) {
        std::string const name = "f" + std::to_string(i) + ".jpg";
        if (i == 1500) {
            expected += "Insert\tFailed\t" + name + "\t" + in + "/" + name + " -> " + in + "/_" + name
                + "\twould replace an existing item\n";
            continue;
        }
        expected += "Insert\tsuccessfull\t" + name + "\t" + in + "/" + name + " -> " + in + "/_" + name + "\n";
    }
    EXPECT_EQ(expected, run.out);
    EXPECT_EQ("2600", readFile(root / "in/_f2600.jpg"));
    EXPECT_EQ("1500", readFile(root / "in/f1500.jpg"));
}

// A file named itself and through its folder is one file of the run, moved once, in place and into a
// destination alike; the plan refused both runs before ("the file is renamed twice in this plan"). So is a
// file named again in other spellings ("DIR/./c.jpg", "DIR//c.jpg"), as it was first named.
TEST(InsertPlanning, AFileNamedTwiceIsOneFileOfTheRun)
{
    TempDir root;
    writeFile(root / "in/c.jpg", "c");
    fs::create_directories(root / "out");
    ScriptBundle bundle(true);
    std::string const in = (root / "in").string(), out = (root / "out").string();

    auto inPlace = bundle.run({ "insert", "-m", "-i", "_", "0", in, in + "/c.jpg" });
    EXPECT_EQ(0, inPlace.status) << inPlace.err;
    EXPECT_EQ("Insert\tsuccessfull\tc.jpg\t" + in + "/c.jpg -> " + in + "/_c.jpg\n", inPlace.out);
    auto moved = bundle.run({ "insert", "-m", "-d", out, "x", "0", in + "/_c.jpg", in });
    EXPECT_EQ(0, moved.status) << moved.err;
    EXPECT_EQ("Insert\tsuccessfull\t_c.jpg\t" + in + "/_c.jpg -> " + out + "/x_c.jpg\n", moved.out);
    EXPECT_EQ((std::map<std::string, std::string> { { "x_c.jpg", "c" } }), contents(root / "out"));
    EXPECT_TRUE(fs::is_empty(root / "in"));

    auto copied = bundle.run({ "insert", "-d", in, "y", "0", out, out + "/./x_c.jpg", out + "//x_c.jpg" });
    EXPECT_EQ(0, copied.status) << copied.err;
    EXPECT_EQ("Insert\tsuccessfull\tx_c.jpg\t" + out + "/x_c.jpg -> " + in + "/yx_c.jpg\n", copied.out);
    EXPECT_EQ((std::map<std::string, std::string> { { "yx_c.jpg", "c" } }), contents(root / "in"));
}

// A new name that cannot be made says why; a text to insert that no name can hold is refused at once.
TEST(InsertPlanning, ANameThatCannotBeMadeSaysWhyInOneLine)
{
    TempDir root;
    std::string const smile = "\xF0\x9F\x98\x80.jpg", odd = "n\nl\x1B[2J.jpg";
    writeFile(root / "in" / smile, "s");
    writeFile(root / "in" / odd, "o");
    ScriptBundle bundle(true);
    std::string const in = (root / "in").string();

    auto split = bundle.run({ "insert", "-n", "-i", "X", "1", in + "/" + smile });
    EXPECT_EQ(1, split.status);
    EXPECT_EQ("Insert\tFailed\t" + smile + "\t" + in + "/" + smile + " -> " + in + "/" + smile + "\trename " + in
            + "/" + smile + ": a position falls inside a character (between its two UTF-16 units)\n",
        split.out);
    // Nothing failed on disk in a simulation: the summary says what would.
    EXPECT_EQ("1 would fail (simulation)\n", split.err);

    // A text to insert that is not UTF-8 would fail every file: the command line is refused.
    for (auto const& line : { std::vector<std::string> { "insert", "-m", "-d", in, "\xFE", "0", in + "/" + odd },
             std::vector<std::string> { "insert", "-n", "\xFE", "0", in + "/" + odd } }) {
        auto invalid = bundle.run(line);
        EXPECT_EQ(2, invalid.status);
        EXPECT_EQ("", invalid.out);
        EXPECT_EQ(0u, invalid.err.rfind("quodrix insert: TEXT is not UTF-8 text\n", 0)) << invalid.err;
    }
    EXPECT_EQ((std::map<std::string, std::string> { { "in/" + smile, "s" }, { "in/" + odd, "o" } }),
        contents(root.path()));
}

// A reader that stops reading the rows (`quodrix insert ... | head`) does not end the run: every file is
// renamed, the journal ends, and the application log holds every row.
TEST(InsertPlanning, AReaderThatGoesAwayDoesNotCutTheRunShort)
{
    TempDir root;
    constexpr int kFiles = 3000;
    for (int i = 0; i < kFiles; ++i)
        writeFile(root / "in" / ("f" + std::to_string(i) + ".jpg"), std::to_string(i));
    ScriptBundle bundle(true);
    fs::path const status = root / "status";
    auto r = runCommand("(HOME=" + shellQuoted(bundle.home().string()) + " XDG_DATA_HOME= XDG_STATE_HOME= "
        + shellQuoted(bundle.executable().string()) + " insert -m -i _ 0 " + shellQuoted((root / "in").string())
        + "; echo $? > " + shellQuoted(status.string()) + ") | head -c 10 > /dev/null");
    EXPECT_EQ(readFile(status), "0\n") << r.err;
    fs::remove(status);
    auto const files = contents(root.path());
    ASSERT_EQ(files.size(), std::size_t(kFiles));
    for (int i = 0; i < kFiles; ++i)
        EXPECT_EQ(files.at("in/_f" + std::to_string(i) + ".jpg"), std::to_string(i));
    auto history = bundle.run({ "history" });
    EXPECT_NE(history.out.find("  3000 done, 0 failed  quodrix insert"), std::string::npos) << history.out;
    std::string const log = readFile(bundle.home() / ".local/share/BriskloCom/Quodrix Log.txt");
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), kFiles + 1);
}

// A file whose new name is its own (no position falls within its name): renamed in place it stays as it is,
// and the simulation counts it as the run does; stored into its own folder it fails, and the simulation says so.
TEST(InsertPlanning, AFileThatKeepsItsNameIsCountedAlikeInASimulationAndARun)
{
    TempDir root;
    writeFile(root / "in/ab.txt", "short");
    writeFile(root / "in/abcd.txt", "long");
    writeFile(root / "in/ab", "no extension");
    ScriptBundle bundle(true);
    std::string const in = (root / "in").string();

    auto simulated = bundle.run({ "insert", "-n", "-m", "-i", "X", "3", in });
    EXPECT_EQ(0, simulated.status);
    EXPECT_EQ("1 would be renamed (simulation), 2 unchanged\n", simulated.err);
    auto renamed = bundle.run({ "insert", "-m", "-i", "X", "3", in });
    EXPECT_EQ(0, renamed.status);
    EXPECT_EQ("Insert\tsuccessfull\tabcd.txt\t" + in + "/abcd.txt -> " + in + "/abcXd.txt\n", renamed.out);
    EXPECT_EQ("1 renamed, 2 unchanged\n", renamed.err);

    for (bool simulate : { true, false }) {
        std::vector<std::string> args { "insert", "-m", "-i", "X", "9", in };
        if (simulate)
            args.insert(args.begin() + 1, "-n");
        auto nothing = bundle.run(args);
        EXPECT_EQ(1, nothing.status);
        EXPECT_EQ("", nothing.out);
        EXPECT_EQ("quodrix insert: nothing to rename: no position falls within a file's name\n", nothing.err);
        // Nothing to insert: every file keeps its name, and that is why.
        args[args.size() - 3] = "";
        args[args.size() - 2] = "1";
        auto empty = bundle.run(args);
        EXPECT_EQ(1, empty.status);
        EXPECT_EQ("quodrix insert: nothing to rename: the text to insert is empty\n", empty.err);
    }

    auto intoItsFolder = bundle.run({ "insert", "-n", "-m", "-d", in, "X", "3", in + "/ab.txt" });
    EXPECT_EQ(1, intoItsFolder.status);
    EXPECT_EQ("Insert\tSimulation\tab.txt\t" + in + "/ab.txt -> " + in
            + "/ab.txt\twould fail: would replace an existing item\n",
        intoItsFolder.out);
    auto refused = bundle.run({ "insert", "-m", "-d", in, "X", "3", in + "/ab.txt", in + "/abcXd.txt" });
    EXPECT_EQ(1, refused.status);
    EXPECT_EQ("Insert\tFailed\tab.txt\t" + in + "/ab.txt -> " + in + "/ab.txt\twould replace an existing item\n"
              "Insert\tFailed\tabcXd.txt\t" + in + "/abcXd.txt -> " + in
            + "/abcXXd.txt\tnot done: the plan has failures\n",
        refused.out);
    EXPECT_EQ((std::map<std::string, std::string> { { "ab", "no extension" }, { "ab.txt", "short" },
                  { "abcXd.txt", "long" } }),
        contents(root / "in"));
}
