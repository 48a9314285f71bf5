// The conventions every command of the bundled application keeps, run through the built executable on real
// files: --help anywhere, combined short options, both forms of option values, "--", refused command lines
// (exit 2), the cause beside a failed row, the summary lines and the exit statuses.

#include "support/ScriptBundle.h"

#include <filesystem>
#include <gtest/gtest.h>

using namespace quodrix::test;
namespace fs = std::filesystem;

namespace {

std::vector<std::string> const kCommands { "insert", "list", "rename", "names", "store", "comment", "meta", "print",
    "presets", "history", "undo", "demo" };

bool contains(std::string const& text, std::string const& part) { return text.find(part) != std::string::npos; }

std::string firstLine(std::string const& text) { return text.substr(0, text.find('\n') + 1); }

}

TEST(CommandLine, HelpAnywherePrintsTheUsageAndDoesNothing)
{
    ScriptBundle bundle(true);
    TempDir dir;
    writeFile(dir / "a.txt", "a");
    for (auto const& command : kCommands) {
        std::vector<std::vector<std::string>> const lines {
            { command, "--help" },
            { command, "-h" },
            // Among other arguments, even ones that would be refused or would do something.
            { command, (dir / "a.txt").string(), "--bogus", "--help" },
            { command, "-h", "X", "0", (dir / "a.txt").string() },
        };
        for (auto const& line : lines) {
            auto r = bundle.run(line);
            EXPECT_EQ(r.status, 0) << command << "\n" << r.err;
            EXPECT_EQ(r.out.rfind("usage: quodrix " + command, 0), 0u) << r.out;
            EXPECT_TRUE(contains(r.out, "  -h, --help ")) << r.out;
            EXPECT_TRUE(contains(r.out, "exit status:\n  0  all was done\n  1  something failed, or there was nothing "
                                        "to do\n  2  a usage error or refused input\n"))
                << r.out;
            EXPECT_EQ(r.err, "") << command;
        }
        EXPECT_EQ(bundle.run({ "help", command }).out, bundle.run({ command, "--help" }).out) << command;
    }
    // Nothing was done: no log, no state, no renamed file, the demo did not run.
    EXPECT_FALSE(fs::exists(bundle.home() / ".local"));
    EXPECT_FALSE(fs::exists(bundle.home() / "Temp"));
    EXPECT_EQ(readFile(dir / "a.txt"), "a");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);

    // After "--" a "-h" is an operand.
    auto r = bundle.run({ "meta", "--", "-h" });
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(contains(r.err, "/-h: no such file or folder\n")) << r.err;
}

TEST(CommandLine, VersionAndTheCommandList)
{
    ScriptBundle bundle(true);
    auto version = bundle.run({ "--version" });
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.rfind("quodrix ", 0), 0u);
    EXPECT_EQ(bundle.run({ "version" }).out, version.out);
    auto help = bundle.run({ "help" });
    EXPECT_EQ(help.status, 0);
    for (auto const& command : kCommands)
        EXPECT_TRUE(contains(help.out, "\n  " + command + " ")) << command;
    EXPECT_TRUE(contains(help.out, "exit status:\n"));
    auto none = bundle.run({});
    EXPECT_EQ(none.status, 2);
    EXPECT_EQ(none.out, "");
    EXPECT_EQ(none.err, "quodrix: no command given\n" + help.out);
    auto unknown = bundle.run({ "frobnicate" });
    EXPECT_EQ(unknown.status, 2);
    EXPECT_EQ(firstLine(unknown.err), "quodrix: unknown command 'frobnicate'\n");
    auto helpUnknown = bundle.run({ "help", "frobnicate" });
    EXPECT_EQ(helpUnknown.status, 2);
    EXPECT_EQ(firstLine(helpUnknown.err), "quodrix: unknown command 'frobnicate'\n");
    auto versionExtra = bundle.run({ "version", "x" });
    EXPECT_EQ(versionExtra.status, 2);
    EXPECT_EQ(firstLine(versionExtra.err), "quodrix: version takes no argument\n");
}

TEST(CommandLine, RefusedCommandLinesExitTwoWithTheUsage)
{
    ScriptBundle bundle(true);
    TempDir dir;
    writeFile(dir / "a.txt", "a");
    std::string const a = (dir / "a.txt").string();
    writeFile(dir / "pairs.lst", "a.txt;b.txt\n");
    struct Case {
        std::vector<std::string> line;
        std::string message;  // the first line of standard error
    };
    std::vector<Case> const cases {
        { { "insert", "--bogus", "X", "0", a }, "quodrix insert: unknown option --bogus\n" },
        { { "insert", "-nx", "X", "0", a }, "quodrix insert: unknown option -x\n" },
        { { "insert", "--simulate=yes", "X", "0", a }, "quodrix insert: --simulate takes no value\n" },
        { { "insert", "X", "0", a, "-d" }, "quodrix insert: -d needs a value (FOLDER)\n" },
        { { "insert", "X", "0" }, "quodrix insert: missing arguments\n" },
        { { "insert", "-n", "X", "1;x", a },
            "quodrix insert: POSITIONS: \"x\" is not a whole number of 0 or more (positions are separated by \";\")\n" },
        { { "insert", "-n", "X", "2.5", a },
            "quodrix insert: POSITIONS: \"2.5\" is not a whole number of 0 or more (positions are separated by \";\")\n" },
        { { "insert", "-n", "X", "99999999999", a },
            "quodrix insert: POSITIONS: \"99999999999\" is not a whole number of 0 or more (positions are separated by \";\")\n" },
        { { "rename", "--step=two", "a", "b", a }, "quodrix rename: --step two: not a whole number\n" },
        { { "rename", "a", "b" }, "quodrix rename: FIND, REPLACE and at least one file are needed\n" },
        { { "rename" }, "quodrix rename: missing arguments\n" },
        { { "rename", "-x", "a", "b", dir.str() + "/nonexist" }, "quodrix rename: " + dir.str() + "/nonexist: no such file or folder\n" },
        { { "rename", "-x", "-d", dir.str() + "/nonexist", "a", "b", a },
            "quodrix rename: the destination " + dir.str() + "/nonexist: no such file or folder\n" },
        { { "list", a, a, a }, "quodrix list: too many arguments: " + a + "\n" },
        { { "list", "-s", "|", a, dir.str() }, "quodrix list: --separator |: not one of ;, ,, tab, semicolon, comma\n" },
        { { "list", dir.str() + "/pairs.lst", dir.str() }, "quodrix list: " + dir.str() + "/pairs.lst: a rename list is a .txt or .csv file\n" },
        { { "list", "-d", a, a, dir.str() }, "quodrix list: the destination " + a + ": not a folder\n" },
        { { "insert", "-d", a, "X", "0", a }, "quodrix insert: the destination " + a + ": not a folder\n" },
        { { "names", dir.str() }, "quodrix names: missing arguments\n" },
        { { "store", "copy", a }, "quodrix store: missing arguments\n" },
        { { "store", "swap", a, "b" }, "quodrix store: the first argument is copy, move, beside or temp, not swap\n" },
        { { "comment", a, "text", "more" }, "quodrix comment: too many arguments: more\n" },
        { { "comment" }, "quodrix comment: missing arguments\n" },
        { { "meta", a, a }, "quodrix meta: too many arguments: " + a + "\n" },
        { { "print", "--copies", "abc", a }, "quodrix print: --copies abc: not a whole number of 1 or more\n" },
        { { "print", "--copies=0", a }, "quodrix print: --copies 0: not a whole number of 1 or more\n" },
        { { "print", "--copies=1000", a }, "quodrix print: --copies 1000: more than 999 copies\n" },
        { { "print", "--paper", "Z9", a },
            "quodrix print: --paper Z9: not one of A3, A4, A5, A6, B4, B5, Letter, Legal, Tabloid, Executive\n" },
        { { "print", "--portrait", "--landscape", a }, "quodrix print: --portrait and --landscape exclude each other\n" },
        { { "presets", "check", "a", "b" }, "quodrix presets: too many arguments: b\n" },
        { { "presets", "frobnicate", "x" }, "quodrix presets: unknown action frobnicate\n" },
        { { "presets", "frobnicate" }, "quodrix presets: unknown action frobnicate\n" },
        { { "presets", "show" }, "quodrix presets: missing arguments\n" },
        { { "presets" }, "quodrix presets: missing arguments\n" },
        { { "demo", "extra" }, "quodrix demo: too many arguments: extra\n" },
    };
    for (auto const& c : cases) {
        auto r = bundle.run(c.line);
        EXPECT_EQ(r.status, 2) << c.message << r.err;
        EXPECT_EQ(r.out, "") << c.message;
        EXPECT_EQ(firstLine(r.err), c.message);
        EXPECT_TRUE(contains(r.err, "\nusage: quodrix " + c.line[0])) << r.err;
        // How the command is called, not its whole help, which would push the problem out of sight.
        EXPECT_TRUE(r.err.ends_with("\n(quodrix " + c.line[0] + " --help tells more)\n")) << r.err;
        EXPECT_FALSE(contains(r.err, "\noptions:")) << r.err;
    }
    EXPECT_EQ(readFile(dir / "a.txt"), "a");
    EXPECT_FALSE(fs::exists(bundle.home() / ".local/share/BriskloCom/Quodrix Log.txt"));
}

TEST(CommandLine, CombinedOptionsValueFormsAndTheEndOfOptions)
{
    ScriptBundle bundle(true);
    TempDir dir;
    writeFile(dir / "in/ab.txt", "ab");
    fs::create_directory(dir / "out");
    std::string const in = (dir / "in/ab.txt").string();

    // --dest=FOLDER, -dFOLDER and --dest FOLDER are one option.
    for (auto const& form : std::vector<std::vector<std::string>> { { "--dest=" + (dir / "out").string() },
             { "-d" + (dir / "out").string() }, { "--dest", (dir / "out").string() } }) {
        fs::remove_all(dir / "out");
        fs::create_directory(dir / "out");
        std::vector<std::string> line { "insert" };
        line.insert(line.end(), form.begin(), form.end());
        line.insert(line.end(), { "X", "1", in });
        auto r = bundle.run(line);
        EXPECT_EQ(r.status, 0) << form[0] << r.err;
        EXPECT_EQ(readFile(dir / "out/aXb.txt"), "ab") << form[0];
        EXPECT_EQ(r.err, "1 copied\n");
    }

    // "--": a text that begins with "-".
    auto r = bundle.run({ "insert", "-md", (dir / "out").string(), "--", "-1", "0", in });
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(readFile(dir / "out/-1ab.txt"), "ab");
    EXPECT_FALSE(fs::exists(in));
    EXPECT_EQ(r.err, "1 renamed\n");
}

// Each failed row names its own cause after a tab, whatever the row before it recorded; the summary line
// counts in the command's words.
TEST(CommandLine, EveryFailedRowCarriesItsOwnCause)
{
    ScriptBundle bundle(true);
    TempDir dir;
    std::string const longName(251, 'n');  // with the inserted "X", one more than a name may hold
    writeFile(dir / "in/a.txt", "a");
    writeFile(dir / "in/b.txt", "b");
    writeFile(dir / "in" / (longName + ".txt"), "long");
    writeFile(dir / "out/aX.txt", "taken");
    std::string const in = (dir / "in").string(), out = (dir / "out").string();
    // Kept going past the failures of the plan, each file fails or not by itself.
    auto r = bundle.run(
        { "insert", "-mk", "-d", out, "X", "1", in + "/a.txt", in + "/b.txt", in + "/" + longName + ".txt" });
    EXPECT_EQ(r.status, 1);
    std::string const longTarget = out + "/nX" + longName.substr(1) + ".txt";
    EXPECT_EQ(r.out,
        "Insert\tFailed\ta.txt\t" + in + "/a.txt -> " + out + "/aX.txt\t" + in + "/a.txt to " + out
            + "/aX.txt: would replace an existing item\n"
              "Insert\tsuccessfull\tb.txt\t" + in + "/b.txt -> " + out + "/bX.txt\n"
              "Insert\tFailed\t" + longName + ".txt\t" + in + "/" + longName + ".txt -> " + longTarget + "\t" + in
            + "/" + longName + ".txt to " + longTarget + ": File name too long\n");
    EXPECT_EQ(r.err, "1 renamed, 2 failed\n");
    EXPECT_EQ(readFile(dir / "out/aX.txt"), "taken");
    EXPECT_EQ(readFile(dir / "in/a.txt"), "a");
    writeFile(dir / "in/b.txt", "b");

    // Storing onto an existing name.
    r = bundle.run({ "store", "copy", (dir / "in/a.txt").string(), (dir / "in/b.txt").string() });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "Failed\t" + in + "/a.txt to " + in + "/b.txt: would replace an existing item\n");
    EXPECT_EQ(r.err, "1 failed\n");
    // The native side's diagnostic lines stay off the terminal; they are in the state folder's system log.
    EXPECT_NE(readFile(bundle.home() / ".local/state/quodrix/system.log").find("would replace an existing item\n"),
        std::string::npos);
    // Storing into a file as though it were a folder says what the file is.
    r = bundle.run({ "store", "copy", (dir / "in/a.txt").string(), (dir / "in/b.txt/a.txt").string() });
    EXPECT_EQ(r.out, "Failed\t" + in + "/a.txt to " + in + "/b.txt/a.txt: " + in + "/b.txt is not a folder\n");
    // Names the system refuses only at the end are refused before anything is copied, by the user's name.
    r = bundle.run({ "store", "copy", (dir / "in/a.txt").string(), (dir / "in/new/").string() });
    EXPECT_EQ(r.out, "Failed\t" + in + "/a.txt to " + in + "/new/: Not a directory\n");
    // A folder may be given a name with "/" after it.
    fs::create_directories(dir / "in/folder");
    r = bundle.run({ "store", "move", (dir / "in/folder").string(), (dir / "in/moved/").string() });
    EXPECT_EQ(r.out, "successfull\n");
    EXPECT_TRUE(fs::is_directory(dir / "in/moved"));
    r = bundle.run({ "store", "copy", (dir / "in/a.txt").string(), in + "/" + longName + ".long" });
    EXPECT_EQ(r.out, "Failed\t" + in + "/a.txt to " + in + "/" + longName + ".long: File name too long\n");
    r = bundle.run({ "store", "beside", (dir / "in/a.txt").string(), "c.txt" });
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "successfull\n");
    EXPECT_EQ(r.err, "1 stored\n");
    EXPECT_EQ(readFile(dir / "in/c.txt"), "a");
}

TEST(CommandLine, ExitStatusSaysWhetherAllWasDone)
{
    ScriptBundle bundle(true);
    TempDir dir;
    writeFile(dir / "a.txt", "a");
    writeFile(dir / "list.txt", "a.txt;b.txt\n");
    writeFile(dir / "empty.txt", "");
    // Refused input: 2, without a word of the panels.
    auto r = bundle.run({ "list", (dir / "list.txt").string(), "/nonexist" });
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(firstLine(r.err), "quodrix list: /nonexist: no such file or folder\n");
    EXPECT_FALSE(contains(r.err, "panel")) << r.err;
    // Nothing to do: 1.
    r = bundle.run({ "list", (dir / "empty.txt").string(), dir.str() });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "quodrix list: the list holds no usable line\n");
    // A folder that holds no file (only a folder, or nothing) has none to stand for it: 1, and nothing done.
    std::filesystem::create_directories(dir / "none" / "inner");
    for (auto const& folder : { dir / "none", dir / "none" / "inner" }) {
        for (std::vector<std::string> options : { std::vector<std::string> {}, { "-n" }, { "-k", "-d", dir.str() } }) {
            std::vector<std::string> arguments { "list" };
            arguments.insert(arguments.end(), options.begin(), options.end());
            arguments.push_back((dir / "list.txt").string());
            arguments.push_back(folder.string());
            r = bundle.run(arguments);
            EXPECT_EQ(r.status, 1) << folder;
            EXPECT_EQ(r.out, "");
            EXPECT_EQ(r.err, "quodrix list: " + folder.string() + " holds no file\n");
        }
    }
    // All done: 0, the summary in the command's words.
    r = bundle.run({ "list", (dir / "list.txt").string(), dir.str() });
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "1 renamed\n");
    EXPECT_EQ(readFile(dir / "b.txt"), "a");
}

// Progress shows only when standard error is a terminal, and is cleared before the summary line.
TEST(CommandLine, ProgressOnlyOnATerminal)
{
    if (runCommand("command -v script >/dev/null").status != 0)
        GTEST_SKIP() << "no script(1) to give the run a terminal";
    TempDir dir;
    for (auto const& name : { "a", "b", "c" })
        writeFile(dir / "in" / name, name);
    std::string const run = "HOME='" + dir.str() + "' '" + std::string(QUODRIX_EXECUTABLE) + "' insert -n X 0 '"
        + (dir / "in").string() + "'";
    // On a terminal: standard output into a file, standard error on the terminal.
    auto tty = runCommand("script -qec \"" + run + " >/dev/null\" /dev/null");
    EXPECT_EQ(tty.status, 0) << tty.err;
    EXPECT_EQ(tty.out, "[1/3]\r\x1b[K[2/3]\r\x1b[K[3/3]\r\x1b[K3 would be renamed (simulation)\r\n");
    auto plain = runCommand(run + " 2>&1 >/dev/null");
    EXPECT_EQ(plain.out, "3 would be renamed (simulation)\n");
}
