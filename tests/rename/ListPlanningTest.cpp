// `quodrix list` with its plan worked out first, run through the built executable over real files: every
// predicted failure with its cause in a simulation, a real run that the plan refuses and that changes
// nothing, --keep-going file by file, a chain renamed in place, and copies into another folder as before.

#include "app/QDRenamePlan.h"
#include "support/FaultySystemCalls.h"
#include "support/ScriptBundle.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <sys/stat.h>

using namespace quodrix;
using namespace quodrix::test;
namespace fs = std::filesystem;

namespace {

class ListPlanning : public ::testing::Test {
protected:
    ListPlanning() : m_bundle(true)
    {
        for (auto const& name : { "a", "b", "c", "d", "taken" })
            writeFile(dir() / name, name);
        // Every kind of failure the plan sees, and one pair that would work.
        writeFile(list(), "a;taken\nb;z\nc;z\nmissing;m\nd;" + m_long + "\ne f;g\n");
        writeFile(dir() / "e f", "e f");
    }

    fs::path dir() const { return m_bundle.root() / "pics"; }
    fs::path list() const { return m_bundle.root() / "list.txt"; }
    std::string at(std::string const& name) const { return (dir() / name).string(); }
    std::string row(std::string const& status, std::string const& from, std::string const& to,
        std::string const& tail = "") const
    {
        return "Rename\t" + status + "\t" + from + "\t" + at(from) + " -> " + at(to) + tail + "\n";
    }
    std::string log() const { return readFile(m_bundle.home() / ".local/share/BriskloCom/Quodrix Log.txt"); }
    // The rows of the five failures of the list, each cause after `tail`.
    std::string failures(std::string const& status, std::string const& tail) const
    {
        std::string const causes[][3] = { { "a", "taken", "would replace an existing item" },
            { "b", "z", "two files would get this name" }, { "c", "z", "two files would get this name" },
            { "missing", "m", "not found in the folders given" }, { "d", m_long, "File name too long" } };
        std::string out;
        for (auto const& [from, to, cause] : causes)
            out += row(status, from, to, tail + cause);
        return out;
    }

    std::map<std::string, std::string> const m_original { { "a", "a" }, { "b", "b" }, { "c", "c" }, { "d", "d" },
        { "taken", "taken" }, { "e f", "e f" } };
    std::string const m_long = std::string(300, 'L');
    ScriptBundle m_bundle;
};

}

// A simulation shows every predicted failure with its cause; a real run whose plan fails changes nothing;
// kept going, each file is renamed or fails by itself, and undo takes the one renamed back.
TEST_F(ListPlanning, APlanWithFailuresIsShownThenRefusedUnlessKeptGoing)
{
    auto r = m_bundle.run({ "list", "-n", list().string(), dir().string() });
    EXPECT_EQ(1, r.status);
    EXPECT_EQ(failures("Simulation", "\twould fail: ") + row("Simulation", "e f", "g"), r.out);
    EXPECT_EQ("1 would be renamed (simulation), 5 would fail (simulation)\n", r.err);
    EXPECT_EQ(m_original, folderContents(dir()));
    // The log keeps the controller's rows: a simulated row stays "Simulation".
    EXPECT_NE(log().find("\tFile renaming\ta\tRename\ttaken\tSimulation\t" + at("a") + "\t" + at("taken") + "\n"),
        std::string::npos)
        << log();
    EXPECT_EQ(std::string::npos, log().find("\tFailed\t"));

    // The folder spelled ".", as the controller's rows then spell it.
    m_bundle.setWorkingFolder(dir());
    auto dot = m_bundle.run({ "list", "-n", list().string(), "." });
    EXPECT_EQ(1, dot.status);
    EXPECT_EQ(0u, dot.out.find("Rename\tSimulation\ta\t" + dir().string() + "/./a -> " + dir().string()
                      + "/./taken\twould fail: would replace an existing item\n"))
        << dot.out;
    EXPECT_EQ("1 would be renamed (simulation), 5 would fail (simulation)\n", dot.err);

    r = m_bundle.run({ "list", list().string(), dir().string() });
    EXPECT_EQ(1, r.status);
    EXPECT_EQ(failures("Failed", "\t") + row("Failed", "e f", "g", "\tnot done: the plan has failures"), r.out);
    EXPECT_EQ("6 failed\nquodrix list: the plan has failures; nothing was done (--keep-going does the rest)\n", r.err);
    EXPECT_EQ(m_original, folderContents(dir()));
    EXPECT_NE(log().find("\tFile renaming\te f\tRename\tg\tFailed\t" + at("e f") + "\t" + at("g") + "\n"),
        std::string::npos)
        << log();

    r = m_bundle.run({ "list", "--keep-going", list().string(), dir().string() });
    EXPECT_EQ(1, r.status);
    EXPECT_EQ(failures("Failed", "\t") + row("successfull", "e f", "g"), r.out);
    EXPECT_EQ("1 renamed, 5 failed\n", r.err);
    auto renamed = m_original;
    renamed.erase("e f");
    renamed["g"] = "e f";
    EXPECT_EQ(renamed, folderContents(dir()));
    EXPECT_NE(log().find("\tFile renaming\te f\tRename\tg\tsuccessfull\t" + at("e f") + "\t" + at("g") + "\n"),
        std::string::npos)
        << log();

    auto undo = m_bundle.run({ "undo" });
    EXPECT_EQ(0, undo.status) << undo.err;
    EXPECT_EQ(m_original, folderContents(dir()));
}

TEST_F(ListPlanning, AChainAndASwapRunInPlace)
{
    // a to b while b to c while c to e, listed so that renaming line by line would stop at the first; and a
    // swap, which goes through a temporary name.
    writeFile(list(), "a;b\nb;c\nc;e\nd;taken\ntaken;d\n");
    auto preview = m_bundle.run({ "list", "-n", list().string(), dir().string() });
    EXPECT_EQ(0, preview.status) << preview.err;
    EXPECT_EQ("5 would be renamed (simulation)\n", preview.err);

    auto r = m_bundle.run({ "list", "--separator=;", list().string(), at("a") });
    EXPECT_EQ(0, r.status) << r.err;
    EXPECT_EQ(row("successfull", "a", "b") + row("successfull", "b", "c") + row("successfull", "c", "e")
            + row("successfull", "d", "taken") + row("successfull", "taken", "d"),
        r.out);
    EXPECT_EQ("5 renamed\n", r.err);
    EXPECT_EQ((std::map<std::string, std::string> { { "b", "a" }, { "c", "b" }, { "e", "c" }, { "taken", "d" },
                  { "d", "taken" }, { "e f", "e f" } }),
        folderContents(dir()));
}

// A pair whose new name is the present name changes nothing in place: the simulation counts it as the run
// does, and a list of nothing else has nothing to rename.
TEST_F(ListPlanning, APairThatKeepsItsNameIsCountedAlikeInASimulationAndARun)
{
    writeFile(list(), "a;a\nb;y\n");
    auto simulated = m_bundle.run({ "list", "-n", list().string(), dir().string() });
    EXPECT_EQ(0, simulated.status);
    EXPECT_EQ("1 would be renamed (simulation), 1 unchanged\n", simulated.err);
    auto renamed = m_bundle.run({ "list", list().string(), dir().string() });
    EXPECT_EQ(0, renamed.status);
    EXPECT_EQ(row("successfull", "b", "y"), renamed.out);
    EXPECT_EQ("1 renamed, 1 unchanged\n", renamed.err);

    // A pair without a new name, or with one that is no name, is refused by the controller in a simulation
    // too, in the plan's words.
    writeFile(list(), "b;\nc;x/y\n");
    simulated = m_bundle.run({ "list", "-n", list().string(), dir().string() });
    EXPECT_EQ(1, simulated.status);
    EXPECT_EQ("Rename\tFailed\tb\t" + at("b") + " -> " + dir().string() + "/\tthe new name is empty\n"
            + "Rename\tFailed\tc\t" + at("c") + " -> " + at("x/y") + "\tnot one path component\n",
        simulated.out);

    // The same file listed again with a new name that fails: the cause is that pair's alone.
    writeFile(list(), "a;a\na;taken\n");
    simulated = m_bundle.run({ "list", "-n", list().string(), dir().string() });
    EXPECT_EQ(1, simulated.status);
    EXPECT_EQ(row("Simulation", "a", "a")
            + row("Simulation", "a", "taken", "\twould fail: would replace an existing item"),
        simulated.out);
    EXPECT_EQ("1 would fail (simulation), 1 unchanged\n", simulated.err);

    writeFile(list(), "a;a\n");
    for (bool simulate : { true, false }) {
        std::vector<std::string> args { "list", list().string(), dir().string() };
        if (simulate)
            args.insert(args.begin() + 1, "-n");
        auto nothing = m_bundle.run(args);
        EXPECT_EQ(1, nothing.status);
        EXPECT_EQ("", nothing.out);
        EXPECT_EQ("quodrix list: nothing to rename: every new name of the list is the present name\n", nothing.err);
    }
}

TEST_F(ListPlanning, CopiesIntoAnotherFolderStillReplaceThere)
{
    fs::create_directories(m_bundle.root() / "out");
    writeFile(m_bundle.root() / "out/z", "old");
    writeFile(list(), "a;z\nb;y\n");
    auto r = m_bundle.run({ "list", "-d", (m_bundle.root() / "out").string(), list().string(), dir().string() });
    EXPECT_EQ(0, r.status) << r.err;
    EXPECT_EQ("2 copied\n", r.err);
    EXPECT_EQ((std::map<std::string, std::string> { { "z", "a" }, { "y", "b" } }), folderContents(m_bundle.root() / "out"));
    EXPECT_EQ(m_original, folderContents(dir()));

    // What a replacing copy refuses is predicted, and refuses the plan: a link that leads nowhere in the
    // way, and the file itself (a hard link of it) standing at its new name.
    fs::path const out = m_bundle.root() / "out";
    fs::create_symlink("nowhere", out / "x");
    fs::create_hard_link(dir() / "c", out / "w");
    writeFile(list(), "a;x\nc;w\nd;v\n");
    std::string const tail = "\tSimulation\t";
    auto simulated = m_bundle.run({ "list", "-n", "-d", out.string(), list().string(), dir().string() });
    EXPECT_EQ(1, simulated.status);
    EXPECT_EQ("Rename" + tail + "a\t" + at("a") + " -> " + (out / "x").string()
            + "\twould fail: a link that leads nowhere is in the way\nRename" + tail + "c\t" + at("c") + " -> "
            + (out / "w").string() + "\twould fail: source and destination are the same item\nRename" + tail + "d\t"
            + at("d") + " -> " + (out / "v").string() + "\n",
        simulated.out);
    auto refused = m_bundle.run({ "list", "-d", out.string(), list().string(), dir().string() });
    EXPECT_EQ(1, refused.status);
    EXPECT_FALSE(fs::exists(out / "v"));

    // Kept going, two files copied to one new name fail, as planned, instead of the later copy taking the
    // place of the earlier one.
    writeFile(list(), "a;u\nb;u\n");
    auto kept = m_bundle.run({ "list", "-k", "-d", out.string(), list().string(), dir().string() });
    EXPECT_EQ(1, kept.status);
    EXPECT_EQ("Rename\tFailed\ta\t" + at("a") + " -> " + (out / "u").string() + "\ttwo files would get this name\n"
            + "Rename\tFailed\tb\t" + at("b") + " -> " + (out / "u").string() + "\ttwo files would get this name\n",
        kept.out);
    EXPECT_FALSE(fs::exists(out / "u"));
}

// A list long enough for its folder to be read whole finds its files as a short one does: a name the
// folder lacks is not found, a link that leads nowhere and a folder are found.
TEST_F(ListPlanning, ALongListFindsItsFilesAsAShortOneDoes)
{
    std::string text = readFile(list());
    std::string rows = failures("Simulation", "\twould fail: ") + row("Simulation", "e f", "g");
    for (int i = 0; i < 40; ++i) {
        std::string const name = "n" + std::to_string(i);
        writeFile(dir() / name, name);
        text += name + ";o" + std::to_string(i) + "\n";
        rows += row("Simulation", name, "o" + std::to_string(i));
    }
    fs::create_symlink("nowhere", dir() / "dangling");
    fs::create_directories(dir() / "sub");
    text += "dangling;l\nsub;s\nD;x\n";
    rows += row("Simulation", "dangling", "l") + row("Simulation", "sub", "s")
        + row("Simulation", "D", "x", "\twould fail: not found in the folders given");
    writeFile(list(), text);
    auto r = m_bundle.run({ "list", "-n", list().string(), dir().string() });
    EXPECT_EQ(1, r.status);
    EXPECT_EQ(rows, r.out);
    EXPECT_EQ("43 would be renamed (simulation), 6 would fail (simulation)\n", r.err);
}

// The settings keep the loaded list. Loading the list they hold already leaves their file as it is; another
// list, or a file that cannot be read, is written.
TEST_F(ListPlanning, TheSettingsFileIsWrittenWhenTheListInItChanges)
{
    fs::path const settings = m_bundle.home() / ".config/quodrix/defaults.plist";
    auto identity = [&] {
        struct stat info {};
        EXPECT_EQ(0, ::stat(settings.c_str(), &info));
        return std::pair(info.st_ino, info.st_size);
    };
    writeFile(list(), "a;x\n");
    ASSERT_EQ(0, m_bundle.run({ "list", "-n", list().string(), dir().string() }).status);
    auto const first = identity();
    ASSERT_EQ(0, m_bundle.run({ "list", "-n", list().string(), dir().string() }).status);
    EXPECT_EQ(first, identity());
    ASSERT_EQ(0, m_bundle.run({ "list", list().string(), dir().string() }).status);
    EXPECT_EQ(first, identity());

    writeFile(list(), "x;y\n");
    ASSERT_EQ(0, m_bundle.run({ "list", "-n", list().string(), dir().string() }).status);
    EXPECT_NE(first, identity());
    EXPECT_NE(readFile(settings).find("<string>y</string>"), std::string::npos) << readFile(settings);

    writeFile(settings, "<plist>damaged");
    ASSERT_EQ(0, m_bundle.run({ "list", "-n", list().string(), dir().string() }).status);
    EXPECT_NE(readFile(settings).find("<string>y</string>"), std::string::npos) << readFile(settings);
}

// A long list finds its names in one read of their folder, not by a look at each file; only a name that the
// listing lacks is looked at by its path. (What it finds is checked through the command, above.)
TEST(ListPlan, ALongListIsLookedUpInOneReadOfItsFolder)
{
    TempDir dir;
    fs::create_directories(dir / "pics");
    std::string text;
    for (int i = 0; i < 100; ++i) {
        writeFile(dir / "pics" / ("n" + std::to_string(i)), "n");
        text += "n" + std::to_string(i) + ";o" + std::to_string(i) + "\n";
    }
    writeFile(dir / "list.txt", text + "missing;m\nN1;x\n");

    FaultySystemCalls counted;
    ScopedSystemCalls installed(counted);
    QDRenamePlan plan;
    EXPECT_EQ(std::nullopt,
        plan.planList(Dictionary { { "list", Value((dir / "list.txt").string()) },
            { "folders", Value(Array { Value((dir / "pics").string()) }) } }));
    EXPECT_EQ(102u, plan.plan().pairs().size());
    EXPECT_EQ("not found in the folders given", plan.plan().pairs().back().cause);
    // The list read, the folder read once, and the two names that the listing lacks each looked at by its path.
    std::string const list = (dir / "list.txt").string(), pics = (dir / "pics").string();
    std::vector<std::string> looks;
    for (auto const& call : counted.journal()) {
        if (call.starts_with("open ") || call.starts_with("access ") || call.starts_with("lstat ")
            || call.starts_with("stat "))
            looks.push_back(call);
    }
    EXPECT_EQ((std::vector<std::string> { "open " + list, "access " + pics, "open " + pics,
                  "lstat " + pics + "/missing", "lstat " + pics + "/N1" }),
        looks);
}
