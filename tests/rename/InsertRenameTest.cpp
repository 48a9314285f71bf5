// Renaming by inserted text: the controller driven through its outlets by real scripts, as the interface
// connects it, over real files; and the bundled `quodrix insert` command and demo.

#include "fs/FsTestSupport.h"
#include "support/ScriptBundle.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <unistd.h>

using namespace quodrix::test;
namespace fs = std::filesystem;

namespace {

// `rename{...}` builds a controller with fresh controls, answers the "rename" panel with `files`, runs
// hChooseFileToRenameInsert: and prints one line per log row: status, input name, output name, output path.
std::string const kPrelude = R"(
ROOT = arg_root
log = {}
myAppLog = objc.defineClass("myAppLog")
function myAppLog.hLogMyActions_______(cls, process, action, status, i, o, ipath, opath)
  local row = { LogProcess = process, LogAction = action, LogStatus = status, LogI = i, LogO = o,
    LogIpath = ipath, LogOpath = opath }
  log[#log + 1] = row
  return { row }
end
function rel(p) if p:sub(1, #ROOT + 1) == ROOT .. "/" then return p:sub(#ROOT + 2) end return p end
local function field(text) local f = objc.NSTextField:new() f:setStringValue_(text) return f end
local function box(state) local b = objc.NSButton:new() b:setState_(state) return b end
function rename(o)
  local c = objc.ocFileRename:alloc():init()
  controls = {
    btnSimulationMode = box(o.simulate and 1 or 0), btnOverwrite = box(o.overwrite and 1 or 0),
    tfFileRenameDestination = field(o.destination or ""), tfInsertionString = field(o.text or ""),
    tfInsertionPosition = field(o.positions or ""), theLogDataArrayController = objc.NSArrayController:new(),
    myLogTableView = objc.NSTableView:new(), myMainWindow = objc.NSWindow:new(), myAlertWindow = objc.NSWindow:new(),
    tfAlertTitle = objc.NSTextField:new(), tfAlertInfo = objc.NSTextField:new(),
  }
  for k, v in pairs(controls) do c:setValue_forKey_(v, k) end
  panels, alerts = 0, {}
  objc.panels.open = function(request)
    panels = panels + 1
    return o.files
  end
  objc.panels.alert = function(title, message) alerts[#alerts + 1] = title .. "|" .. message end
  log = {}
  c:hChooseFileToRenameInsert_(nil)
  for _, row in ipairs(log) do
    print(row.LogStatus, row.LogI, row.LogO, rel(row.LogOpath))
  end
  return c
end
)";

std::string script(fs::path const& root, std::string const& body)
{
    return "arg_root = \"" + root.string() + "\"\n" + kPrelude + body;
}

RunResult runIn(fs::path const& root, std::string const& body)
{
    ScriptBundle bundle;
    return bundle.runScript(script(root, body));
}

}

TEST(InsertRename, PositionListCases)
{
    struct Case {
        char const* file;
        char const* text;
        char const* positions;
        char const* newName;
    } const cases[] = {
        { "abcdef.txt", "X", "2;4", "abXcdXef.txt" },
        { "abcdef.txt", "X", "0", "Xabcdef.txt" },
        { "abcdef.txt", "X", "6", "abcdefX.txt" },
        { "abcdef.txt", "X", "7", "abcdef.txt" },
        { "abcdef.txt", "X", "-1", "abcdef.txt" },
        { "abcdef.txt", "X", "abc;def", "XXabcdef.txt" },
        { "abcdef.txt", "X", "3;", "aXbcXdef.txt" },
        { "abcdef.txt", "X", "  \t+2x", "abXcdef.txt" },
        { "abcdef.txt", "X", "2147483648", "abcdef.txt" },
        { "abcdef.txt", "X", "2147483647;0", "aXbcdef.txt" },
        { "abcdef.txt", "X", "-2147483649;5", "abcdefX.txt" },
        { "abcd.jpg", "X", "2;2", "abXXcd.jpg" },
        { "README", "_1", "6", "README_1." },
        { "README", "_1", "7", "README" },  // nothing inserted: its own name, with no final "."
        { "a.b.c", "X", "3", "a.bX.c" },
        { ".profile", "X", "0", "X.profile" },
        { "\xC3\xA9t\xC3\xA9.png", "X", "1;3", "\xC3\xA9Xt\xC3\xA9X.png" },   // é counts one unit
        { "\xF0\x9F\x98\x80z.jpg", "X", "3", "\xF0\x9F\x98\x80zX.jpg" },  // the emoji counts two
        // An ASCII name with a text that is not: the positions count units after the first insertion too.
        { "abcdef.txt", "\xC3\xA9", "2;4", "ab\xC3\xA9" "cd\xC3\xA9" "ef.txt" },
        { "abcdef.txt", "\xF0\x9F\x98\x80", "1;2", "a\xF0\x9F\x98\x80\xF0\x9F\x98\x80" "bcdef.txt" },
    };
    TempDir root;
    std::string body;
    std::string expected;
    for (auto const& c : cases) {
        fs::path file = root / "in" / c.file;
        writeFile(file, "x");
        body += "rename{ simulate = true, text = \"" + std::string(c.text) + "\", positions = \""
            + std::string(c.positions) + "\", files = { \"" + file.string() + "\" } }\n";
        expected += std::string("Simulation\t") + c.file + "\t" + c.newName + "\t" + c.newName + "\n";
    }
    auto r = runIn(root.path(), body);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, expected);
}

// The checks in their order; each failure shows the alert sheet, shows no panel and logs nothing.
TEST(InsertRename, ChecksShowTheAlertSheetInOrder)
{
    TempDir root;
    writeFile(root / "a.txt", "a");
    auto r = runIn(root.path(), R"(
      local f = { ROOT .. "/a.txt" }
      local cases = {
        { text = "", positions = "", destination = "" },
        { text = "", positions = "1", destination = ROOT .. "/" },
        { text = "X", positions = "", destination = "" },
        { text = "X", positions = "1", destination = "" },
        { text = "X", positions = "1", destination = "", simulate = true },
        { text = " ", positions = " ", destination = " ", simulate = true },
      }
      for i, o in ipairs(cases) do
        o.files = f
        local c = rename(o)
        print(i, panels, #log, alerts[1], controls.tfAlertTitle:stringValue(), controls.tfAlertInfo:stringValue(),
          controls.myAlertWindow:isSheet(), controls.myAlertWindow:isVisible())
        if alerts[1] then
          c:closeAlertSheetObjC_(nil)
          print("closed", controls.myAlertWindow:isSheet(), controls.myAlertWindow:isVisible())
        end
      end
    )");
    ASSERT_EQ(r.status, 0) << r.err;
    std::string const missing = "Missing text.|Please fill in text in the appropriate field.\tMissing text.\t"
                                "Please fill in text in the appropriate field.\ttrue\ttrue\nclosed\tfalse\tfalse\n";
    EXPECT_EQ(r.out,
        "1\t0\t0\t" + missing + "2\t0\t0\t" + missing + "3\t0\t0\t" + missing
            + "4\t0\t0\tNo Destination folder selected|Please select a destination folder where you like to store "
              "the renamed files.\tNo Destination folder selected\tPlease select a destination folder where you like "
              "to store the renamed files.\ttrue\ttrue\nclosed\tfalse\tfalse\n"
            + "Simulation\ta.txt\taX.txt\taX.txt\n5\t1\t1\tnil\t\t\tfalse\tfalse\n"
            + "Simulation\ta.txt\t a.txt\t  a.txt\n6\t1\t1\tnil\t\t\tfalse\tfalse\n");
}

// A store that fails is logged "Failed", the file stays, and the next file follows.
TEST(InsertRename, FailedStoresAreLoggedAndTheLoopGoesOn)
{
    TempDir root;
    writeFile(root / "in/a.jpg", "new a");
    writeFile(root / "in/b.jpg", "b");
    writeFile(root / "out/aX.jpg", "old");
    auto r = runIn(root.path(), R"(
      local files = { ROOT .. "/in/a.jpg", ROOT .. "/in/b.jpg" }
      rename{ text = "X", positions = "1", destination = ROOT .. "/out/", overwrite = true, files = files }
      rename{ text = "X", positions = "1", destination = ROOT .. "/nowhere/", files = { ROOT .. "/in/a.jpg" } }
    )");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
        "Failed\ta.jpg\taX.jpg\tout/aX.jpg\n"
        "successfull\tb.jpg\tbX.jpg\tout/bX.jpg\n"
        "Failed\ta.jpg\taX.jpg\tnowhere/aX.jpg\n");
    EXPECT_EQ(readFile(root / "out/aX.jpg"), "old");
    EXPECT_EQ(readFile(root / "in/a.jpg"), "new a");
    EXPECT_FALSE(fs::exists(root / "in/b.jpg"));
    // Each failed store says why, in the system log.
    EXPECT_NE(r.err.find("would replace an existing item\n"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find((root / "nowhere").string()), std::string::npos) << r.err;
}

// A new name that is not one path component, or not valid text, is never stored anywhere.
TEST(InsertRename, NamesThatAreNotOneComponentAreRefused)
{
    TempDir root;
    writeFile(root / "in/ab.jpg", "a");
    writeFile(root / "in/\xF0\x9F\x98\x80.jpg", "e");
    fs::create_directories(root / "out/x");
    auto r = runIn(root.path(), R"(
      rename{ text = "/../../escaped", positions = "1", destination = ROOT .. "/out/x/", files = { ROOT .. "/in/ab.jpg" } }
      rename{ text = "x/", positions = "0", destination = ROOT .. "/out/", overwrite = true, files = { ROOT .. "/in/ab.jpg" } }
      rename{ text = "a\0b", positions = "0", destination = ROOT .. "/out/", files = { ROOT .. "/in/ab.jpg" } }
      rename{ text = "x/", positions = "0", simulate = true, files = { ROOT .. "/in/ab.jpg" } }
      rename{ text = "X", positions = "1", destination = ROOT .. "/out/", files = { ROOT .. "/in/\xF0\x9F\x98\x80.jpg" } }
      rename{ text = "\xFF", positions = "0", destination = ROOT .. "/out/", files = { ROOT .. "/in/ab.jpg" } }
    )");
    ASSERT_EQ(r.status, 0) << r.err;
    using namespace std::string_literals;
    EXPECT_EQ(r.out,
        "Failed\tab.jpg\ta/../../escapedb.jpg\tout/x/a/../../escapedb.jpg\n"
        "Failed\tab.jpg\tx/ab.jpg\tout/x/ab.jpg\n"
        "Failed\tab.jpg\ta\0bab.jpg\tout/a\0bab.jpg\n"
        "Failed\tab.jpg\tx/ab.jpg\tx/ab.jpg\n"
        "Failed\t\xF0\x9F\x98\x80.jpg\t\xF0\x9F\x98\x80.jpg\tout/\xF0\x9F\x98\x80.jpg\n"
        "Failed\tab.jpg\tab.jpg\tout/ab.jpg\n"s);
    EXPECT_TRUE(fs::exists(root / "in/ab.jpg"));
    EXPECT_TRUE(fs::is_empty(root / "out/x"));
    EXPECT_EQ(std::distance(fs::directory_iterator(root / "out"), fs::directory_iterator()), 1);
    EXPECT_EQ(std::distance(fs::directory_iterator(root.path()), fs::directory_iterator()), 2);
}

// A destination that names an existing folder without the final "/" is that folder: the files go into it,
// and nothing named after the folder appears beside it. A copy keeps its source, a move takes it, and each
// row reaches the log list with a redraw.
TEST(InsertRename, DestinationFolderWithoutTheFinalSlashIsTheFolder)
{
    TempDir root;
    writeFile(root / "in/a.jpg", "a");
    writeFile(root / "in/b.jpg", "b");
    fs::create_directories(root / "x/out");
    fs::create_directories(root / "x/moved");
    fs::create_directory_symlink("out", root / "x/link");
    auto r = runIn(root.path(), R"(
      local files = { ROOT .. "/in/a.jpg", ROOT .. "/in/b.jpg" }
      rename{ text = "X", positions = "1", destination = ROOT .. "/x/out", files = files }
      print(#controls.theLogDataArrayController:arrangedObjects(), controls.myLogTableView:reloadCount())
      rename{ text = "S", positions = "1", destination = ROOT .. "/x/out", simulate = true, files = { files[1] } }
      rename{ text = "L", positions = "1", destination = ROOT .. "/x/link", files = { files[1] } }
      rename{ text = "M", positions = "1", destination = ROOT .. "/x/moved", overwrite = true, files = { files[2] } }
    )");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
        "successfull\ta.jpg\taX.jpg\tx/out/aX.jpg\n"
        "successfull\tb.jpg\tbX.jpg\tx/out/bX.jpg\n"
        "2\t2\n"
        "Simulation\ta.jpg\taS.jpg\tx/out/aS.jpg\n"
        "successfull\ta.jpg\taL.jpg\tx/link/aL.jpg\n"
        "successfull\tb.jpg\tbM.jpg\tx/moved/bM.jpg\n");
    EXPECT_EQ(readFile(root / "x/out/aX.jpg"), "a");
    EXPECT_EQ(readFile(root / "x/out/bX.jpg"), "b");
    EXPECT_EQ(readFile(root / "x/out/aL.jpg"), "a");
    EXPECT_EQ(readFile(root / "x/moved/bM.jpg"), "b");
    EXPECT_FALSE(fs::exists(root / "x/out/aS.jpg"));
    EXPECT_TRUE(fs::exists(root / "in/a.jpg"));
    EXPECT_FALSE(fs::exists(root / "in/b.jpg"));
    // Nothing was written into the parent under a name that begins with the folder's.
    std::vector<std::string> parent;
    for (auto const& entry : fs::directory_iterator(root / "x"))
        parent.push_back(entry.path().filename().string());
    std::sort(parent.begin(), parent.end());
    EXPECT_EQ(parent, (std::vector<std::string> { "link", "moved", "out" }));
}

// Any other destination text is the start of the output path, as it stands.
TEST(InsertRename, DestinationTextThatIsNoFolderIsKeptAsItStands)
{
    TempDir root;
    writeFile(root / "in/a.jpg", "a");
    writeFile(root / "x/plain", "not a folder");
    auto r = runIn(root.path(), R"(
      local files = { ROOT .. "/in/a.jpg" }
      rename{ text = "X", positions = "1", destination = ROOT .. "/x/pre-", files = files }
      rename{ text = "Y", positions = "1", destination = ROOT .. "/x/plain", files = files }
      rename{ text = "Z", positions = "1", destination = ROOT .. "/x/missing/sub", files = files }
    )");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
        "successfull\ta.jpg\taX.jpg\tx/pre-aX.jpg\n"
        "successfull\ta.jpg\taY.jpg\tx/plainaY.jpg\n"
        "Failed\ta.jpg\taZ.jpg\tx/missing/subaZ.jpg\n");
    EXPECT_EQ(readFile(root / "x/pre-aX.jpg"), "a");
    EXPECT_EQ(readFile(root / "x/plainaY.jpg"), "a");
    EXPECT_EQ(readFile(root / "x/plain"), "not a folder");
    EXPECT_FALSE(fs::exists(root / "x/missing"));
}

TEST(InsertRename, CancelledPanelLogsNothing)
{
    TempDir root;
    auto r = runIn(root.path(), R"(
      rename{ text = "X", positions = "1", destination = ROOT .. "/" }
      print(panels, #log, #alerts)
    )");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "1\t0\t0\n");
}

TEST(InsertCommand, AlertsAndRefusedOperands)
{
    TempDir root;
    writeFile(root / "in/a.txt", "a");
    ScriptBundle bundle(true);
    auto noDestination = bundle.run({ "insert", "_", "1", (root / "in/a.txt").string() });
    EXPECT_EQ(noDestination.status, 2);
    EXPECT_EQ(noDestination.err, "quodrix insert: No Destination folder selected Please select a destination folder "
                                 "where you like to store the renamed files.\n");
    auto noText = bundle.run({ "insert", "-n", "", "1", (root / "in/a.txt").string() });
    EXPECT_EQ(noText.status, 2);
    EXPECT_EQ(noText.err, "quodrix insert: Missing text. Please fill in text in the appropriate field.\n");

    auto missing = bundle.run({ "insert", "-n", "_", "1", (root / "in/none.txt").string() });
    EXPECT_EQ(missing.status, 2);
    EXPECT_EQ(missing.err.rfind("quodrix insert: " + (root / "in/none.txt").string() + ": no such file or folder\n", 0), 0u)
        << missing.err;
    fs::create_directory(root / "empty");
    auto nothing = bundle.run({ "insert", "-n", "_", "1", (root / "empty").string() });
    EXPECT_EQ(nothing.status, 1);
    EXPECT_EQ(nothing.err, "quodrix insert: no file to rename\n");
}

// The README's first command: the demo over the bundled sample images, from the build tree's bundle.
TEST(InsertCommand, DemoRenamesTheBundledSamples)
{
    TempDir home;
    auto r = runCommand("HOME='" + home.str() + "' XDG_DATA_HOME= TMPDIR='" + home.str() + "' '"
        + std::string(QUODRIX_EXECUTABLE) + "' demo");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Insert\tSimulation\tBeach.jpg\t"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("/B_ea_ch.jpg\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\xC3\x89_t\xC3\xA9_.png"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("Failed"), std::string::npos) << r.out;
    // The run is taken back from its journal: every renamed file is back under its first name.
    EXPECT_NE(r.out.find("restored\t"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find(": 4 restored\n"), std::string::npos) << r.err;
    std::string const marker = "holds the original names again:\n";
    std::string const restored = "  Beach.jpg\n  Forest.jpg\n  Mountain Lake.JPG\n  \xC3\x89t\xC3\xA9.png\n\n";
    auto work = r.out.find(marker);
    ASSERT_NE(work, std::string::npos) << r.out;
    EXPECT_EQ(r.out.substr(work + marker.size(), restored.size()), restored);
}

// A folder whose names the process may not change fails its files when the run is planned, with the cause
// the rename would give: over it and a folder that may be changed, a run changes nothing unless it keeps
// going, instead of renaming half the files.
TEST(InsertCommand, AFolderWhoseNamesCannotChangeFailsThePlanNotHalfTheRun)
{
    TempDir root;
    writeFile(root / "free/a.txt", "a");
    writeFile(root / "locked/b.txt", "b");
    std::string const free = (root / "free").string(), locked = (root / "locked").string();
    ReadOnlyFolder const readOnly(locked);
    if (!readOnly.mounted())
        GTEST_SKIP() << "cannot mount a read-only folder here";
    ScriptBundle bundle(true);
    std::string const rows = "Insert\tFailed\ta.txt\t" + free + "/a.txt -> " + free + "/aX.txt\t"
        + "not done: the plan has failures\n" + "Insert\tFailed\tb.txt\t" + locked + "/b.txt -> " + locked
        + "/bX.txt\tRead-only file system\n";
    auto r = bundle.run({ "insert", "-i", "-m", "X", "1", free, locked });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, rows);
    EXPECT_EQ(folderContents(root / "free"), (std::map<std::string, std::string> { { "a.txt", "a" } }));
    r = bundle.run({ "insert", "-i", "-m", "-k", "X", "1", free, locked });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "Insert\tsuccessfull\ta.txt\t" + free + "/a.txt -> " + free + "/aX.txt\n"
        + "Insert\tFailed\tb.txt\t" + locked + "/b.txt -> " + locked + "/bX.txt\tRead-only file system\n");
    // A copy needs only its destination to take a name: a simulation already says it would fail there.
    r = bundle.run({ "insert", "-n", "-d", locked, "Y", "1", free + "/aX.txt" });
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "Insert\tSimulation\taX.txt\t" + free + "/aX.txt -> " + locked
        + "/aYX.txt\twould fail: Read-only file system\n");
}

// In a sticky folder (as /tmp) only the owner of an item, or of the folder, may take its name away: a user's
// run there fails another user's file when it is planned.
TEST(InsertCommand, ASharedStickyFolderFailsTheFilesOfOthersWhenPlanned)
{
    TempDir root;
    fs::permissions(root.path(), fs::perms::others_read | fs::perms::others_exec, fs::perm_options::add);
    std::string const sticky = (root / "sticky").string(), home = (root / "home").string();
    writeFile(root / "sticky/theirs", "t");
    writeFile(root / "sticky/mine", "m");
    fs::create_directories(home);
    std::string const asNobody = "setpriv --reuid=nobody --regid=nogroup --clear-groups env HOME='" + home + "' '"
        + std::string(QUODRIX_EXECUTABLE) + "' ";
    auto prepared = runCommand("chmod 1777 '" + sticky + "' && chown nobody '" + sticky + "/mine' '" + home + "' && "
        + asNobody + "--version 2>&1");
    if (getuid() != 0 || prepared.status != 0)
        GTEST_SKIP() << "cannot run the executable as another user here: " << prepared.out;
    auto r = runCommand(asNobody + "insert -i -m X 1 '" + sticky + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "Insert\tFailed\tmine\t" + sticky + "/mine -> " + sticky + "/mXine.\t"
        + "not done: the plan has failures\n" + "Insert\tFailed\ttheirs\t" + sticky + "/theirs -> " + sticky
        + "/tXheirs.\tOperation not permitted\n");
    EXPECT_EQ(folderContents(root / "sticky"),
        (std::map<std::string, std::string> { { "mine", "m" }, { "theirs", "t" } }));
}
