// Faults a new user met in the bundled commands, each run as the user ran it: a list written nowhere reported
// as written, a name taken for a path, a demo that left its files behind.

#include "support/ScriptBundle.h"

#include <filesystem>
#include <string>
#include <vector>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace quodrix::test;
namespace fs = std::filesystem;

TEST(CommandFaults, NamesIntoAFolderThatCannotTakeTheListFails)
{
    ScriptBundle bundle(true);
    TempDir dir;
    writeFile(dir / "A/b.jpg", "");
    writeFile(dir / "A/a.jpg", "");
    std::string const b = (dir / "A/b.jpg").string(), a = (dir / "A/a.jpg").string();

    auto r = bundle.run({ "names", dir.str(), b, a, b });
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, (dir / "Quodrix_filenamelist.txt").string() + "\n");
    EXPECT_EQ(r.err, "2 names written\n");
    EXPECT_EQ(readFile(dir / "Quodrix_filenamelist.txt"), "b.jpg\ra.jpg");

    // A file where the folder should be: refused.
    r = bundle.run({ "names", b, a });
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err.substr(0, r.err.find('\n') + 1), "quodrix names: " + b + ": not a folder\n");
    // The list's name taken by a folder: the write fails, and the old list found there is no success.
    fs::create_directories(dir / "B/Quodrix_filenamelist.txt");
    r = bundle.run({ "names", (dir / "B").string(), a });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err.rfind("quodrix names: " + (dir / "B/Quodrix_filenamelist.txt").string() + " was not written: write "
                  + (dir / "B/Quodrix_filenamelist.txt").string() + ": not a file\n", 0), 0u)
        << r.err;
    // The same list left by an earlier run does not count for this one.
    writeFile(dir / "C/Quodrix_filenamelist.txt", "b.jpg\ra.jpg");
    r = bundle.run({ "names", (dir / "C").string(), a });
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(readFile(dir / "C/Quodrix_filenamelist.txt"), "a.jpg");
    r = bundle.run({ "names", (dir / "C").string(), (dir / "A/none.jpg").string() });
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(readFile(dir / "C/Quodrix_filenamelist.txt"), "a.jpg");

    // A name with a line break would read back as two names: no list is written, and the name is shown
    // with its break escaped.
    for (std::string const name : { "c\rd.jpg", "e\nf.jpg" }) {
        writeFile(dir / "A" / name, "");
        r = bundle.run({ "names", (dir / "C").string(), a, (dir / "A" / name).string() });
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, "");
        std::string const shown = name[1] == '\r' ? "c\\x0Dd.jpg" : "e\\nf.jpg";
        EXPECT_EQ(r.err, "quodrix names: " + (dir / "C/Quodrix_filenamelist.txt").string() + " was not written: "
            + (dir / "A").string() + "/" + shown + ": the name holds a line break, which the list takes as the end "
            "of a name\n");
        EXPECT_EQ(readFile(dir / "C/Quodrix_filenamelist.txt"), "a.jpg");
    }
    // A name that is not UTF-8 would make the list a file that no rename list is read from.
    writeFile(dir / "A" / "g\xFF.jpg", "");
    r = bundle.run({ "names", (dir / "C").string(), a, (dir / "A" / "g\xFF.jpg").string() });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "quodrix names: " + (dir / "C/Quodrix_filenamelist.txt").string() + " was not written: "
        + (dir / "A").string() + "/g\\xFF.jpg: the name is not UTF-8 text, which a list file cannot hold (it would "
        "not be read back)\n");
    EXPECT_EQ(readFile(dir / "C/Quodrix_filenamelist.txt"), "a.jpg");
}

TEST(CommandFaults, StoreBesideTakesANameNotAPath)
{
    ScriptBundle bundle(true);
    TempDir dir;
    writeFile(dir / "img/x.jpg", "x");
    bundle.setWorkingFolder(dir.path());
    for (auto const& [name, shown] : std::initializer_list<std::pair<std::string, std::string>> {
             { "st/x.jpg", "st/x.jpg" }, { "img/st", "img/st" }, { "..", ".." }, { "a/\x1b[2J", "a/\\x1B[2J" } }) {
        auto r = bundle.run({ "store", "beside", "img/x.jpg", name });
        EXPECT_EQ(r.status, 2) << name;
        EXPECT_EQ(r.err.substr(0, r.err.find('\n') + 1),
            "quodrix store: beside takes a new name, not a path: " + shown + "\n");
    }
    auto r = bundle.run({ "store", "temp", "img/x.jpg", "" });
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err.substr(0, r.err.find('\n') + 1), "quodrix store: temp takes a new name, and NEWNAME is empty\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "img"), fs::directory_iterator()), 1);
    r = bundle.run({ "store", "beside", "img/x.jpg", "st.jpg" });
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(readFile(dir / "img/st.jpg"), "x");
    // copy and move take relative paths from the working folder.
    r = bundle.run({ "store", "move", "img/st.jpg", "moved.jpg" });
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "1 moved\n");
    EXPECT_EQ(readFile(dir / "moved.jpg"), "x");
    // temp makes the temporary folder when the home folder has none, and never replaces what is there.
    fs::remove_all(bundle.home() / "Temp");
    r = bundle.run({ "store", "temp", "moved.jpg", "t.jpg" });
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(readFile(bundle.home() / "Temp/t.jpg"), "x");
    r = bundle.run({ "store", "temp", "moved.jpg", "t.jpg" });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "Failed\t" + (dir / "moved.jpg").string() + " to " + (bundle.home() / "Temp/t.jpg").string()
            + ": would replace an existing item\n");
    // A folder is neither copied nor moved into itself, and the row says why.
    fs::create_directories(dir / "img/sub");
    for (std::string mode : { "copy", "move" }) {
        r = bundle.run({ "store", mode, "img", "img/sub/img2" });
        EXPECT_EQ(r.status, 1) << mode;
        EXPECT_EQ(r.out, "Failed\t" + (dir / "img").string() + " to " + (dir / "img/sub/img2").string()
                + ": a folder cannot be " + (mode == "copy" ? "copied" : "moved") + " into itself\n");
    }
    EXPECT_TRUE(fs::is_empty(dir / "img/sub"));
}

// A message that quotes what was typed (a command, an option, a name, a path) shows it escaped: an argument
// holding a terminal's escape sequence cannot clear the screen or retitle the window.
TEST(CommandFaults, NoTypedArgumentReachesTheTerminalRaw)
{
    ScriptBundle bundle(true);
    TempDir dir;
    std::string const odd = "x\x1b[2J\x1b]0;t\x07";
    std::string const path = (dir / odd).string();
    std::vector<std::vector<std::string>> const commands {
        { odd },
        { "help", odd },
        { "store", odd, "a", "b" },
        { "insert", "--" + odd },
        { "presets", "show", odd },
        { "presets", odd, "n" },
        { "comment", path + ".jpg" },
        { "meta", path + ".jpg" },
        { "list", path + ".txt", dir.str() },
        { "undo", odd },
        { "rename", "-x", "a", "b", path },
    };
    for (auto const& command : commands) {
        auto r = bundle.run(command);
        EXPECT_NE(r.status, 0) << command.front();
        EXPECT_EQ(r.err.find_first_of("\x1b\x07"), std::string::npos) << command.front() << ": " << r.err;
        EXPECT_NE(r.err.find("x\\x1B[2J\\x1B]0;t\\x07"), std::string::npos) << command.front() << ": " << r.err;
    }
}

// Standard output closed: the rows go nowhere, never into a file the run opens in its place (the system log
// here, a journal or the log file as well). Standard output that cannot take the rows (a full disk): the
// run does its work and says that its rows were not all written.
TEST(CommandFaults, RowsNeverGoIntoAnotherFileAndAFailedOutputIsTold)
{
    ScriptBundle bundle(true);
    TempDir dir;
    writeFile(dir / "a.jpg", "a");
    writeFile(dir / "b.jpg", "b");
    std::string const run = "HOME='" + bundle.home().string() + "' '" + bundle.executable().string() + "' ";
    auto closed = runCommand(run + "insert -i -m X 0 '" + dir.str() + "' >&-");
    EXPECT_EQ(closed.status, 0) << closed.err;
    EXPECT_EQ(closed.err, "2 renamed\n");
    std::string const systemLog = readFile(bundle.home() / ".local/state/quodrix/system.log");
    EXPECT_EQ(systemLog.find("Insert\t"), std::string::npos) << systemLog;
    EXPECT_NE(bundle.run({ "history" }).out.find("  2 done, 0 failed  quodrix insert"), std::string::npos);

    auto full = runCommand(run + "undo > /dev/full");
    EXPECT_EQ(full.status, 1);
    EXPECT_NE(full.err.find("quodrix: not every row could be written to standard output"), std::string::npos)
        << full.err;
    EXPECT_EQ(folderContents(dir.path()), (std::map<std::string, std::string> { { "a.jpg", "a" }, { "b.jpg", "b" } }));
}

// A message that quotes a text its caller left raw still shows its control characters escaped; its own
// line ends and tabs stay.
TEST(CommandFaults, NoMessageWritesAControlCharacterRaw)
{
    ScriptBundle bundle(true);
    bundle.addScript("95_probe.lua", R"(
        App.command("probe", { summary = "a probe", usage = "usage: quodrix probe\n", operands = { min = 0, max = 0 },
          main = function()
            App.eprintf("quodrix probe:\t%s\n", "a\27[2J b\7 c\194\155" .. "2J d\194\160e")
            return App.OK
          end })
    )");
    auto r = bundle.run({ "probe" });
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "quodrix probe:\ta\\x1B[2J b\\x07 c\\xC2\\x9B2J d\xC2\xA0" "e\n");
}

// The log file is the account of every file a run changed: when it cannot be written the files are still
// renamed, but the run says so and has failed.
TEST(CommandFaults, ALogFileThatCannotBeWrittenFailsTheRun)
{
    ScriptBundle bundle(true);
    TempDir dir;
    writeFile(dir / "a.jpg", "a");
    writeFile(dir / "data", "a file where the data folder must be");
    auto r = bundle.run({ "insert", "-i", "-m", "X", "0", (dir / "a.jpg").string() },
        { { "XDG_DATA_HOME", (dir / "data").string() } });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "1 renamed\nquodrix: cannot write the log file: open " + (dir / "data").string()
            + "/BriskloCom/Quodrix Log.txt: Not a directory\n");
    EXPECT_EQ(readFile(dir / "Xa.jpg"), "a");
}

// The demo works in a folder of its own under ~/Temp and removes it; --keep keeps it and says where.
TEST(CommandFaults, TheDemoLeavesNothingBehind)
{
    TempDir home;
    std::string const run = "HOME='" + home.str() + "' XDG_DATA_HOME= TMPDIR='" + home.str() + "' '"
        + std::string(QUODRIX_EXECUTABLE) + "' demo";
    auto r = runCommand(run);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::is_empty(home / "Temp"));
    EXPECT_EQ(r.err.find("myTextItemDelim"), std::string::npos) << r.err;
    r = runCommand(run + " --keep");
    ASSERT_EQ(r.status, 0) << r.err;
    auto kept = r.out.find("The demo's files are in " + (home / "Temp").string() + "/quodrix-demo-");
    EXPECT_NE(kept, std::string::npos) << r.out;
    EXPECT_EQ(std::distance(fs::directory_iterator(home / "Temp"), fs::directory_iterator()), 1);

    // Another process's run, newer than the demo's and still running (this test's process records it):
    // the demo takes back its own run, never the newest one.
    std::string const other = "99991231-000000.000000-" + std::to_string(::getpid());
    writeFile(home / ".local/state/quodrix/runs" / (other + ".journal"),
        "quodrix-journal 1\nrun " + other + "\nstarted 9000000000000000000\ncommand quodrix insert\n"
        "I 1 move /nowhere/a /nowhere/b 1:1:1:1 - - -\nO 1 done 1:1:1:1\n");
    r = runCommand(run);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err.find("still running"), std::string::npos) << r.err;
}
