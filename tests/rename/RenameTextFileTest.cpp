// Renaming from a list through the executable: loading lists with each separator, copies into another
// folder, renaming in place, simulation, the alerts, the list kept across runs, and the file-name export.

#include "support/ScriptBundle.h"

#include <filesystem>
#include <gtest/gtest.h>

using namespace quodrix::test;
namespace fs = std::filesystem;

namespace {

char const* const kPrelude = R"(
answers = {}
objc.panels.open = function(req)
  if req.title then print("TITLE", req.title) end
  local a = table.remove(answers, 1)
  if a == false then return nil end
  return a
end
objc.panels.alert = function(title, message) print("ALERT", title, message) end
local Log = objc.defineClass("myAppLog")
function Log.hLogMyActions_______(cls, p, a, s, i, o, ip, op)
  return { { LogProcess = p, LogAction = a, LogStatus = s, LogI = i, LogO = o, LogIpath = ip, LogOpath = op } }
end
local Rows = objc.defineClass("Rows")
function Rows.addObjects_(self, rows)
  for _, r in ipairs(rows) do
    print("ROW", r.LogProcess, r.LogAction, r.LogStatus, r.LogI, r.LogO, r.LogIpath, r.LogOpath)
  end
end
function Rows.reloadData(self) end
F = {}
function makeController()
  local c = objc.cRenameTextFile:new()
  for _, name in ipairs({ "tfRenameTextFile", "tfDestinationOfFiles", "tfAlertTitle", "tfAlertInfo" }) do
    F[name] = objc.NSTextField:new()
    c:setValue_forKey_(F[name], name)
  end
  for _, name in ipairs({ "cbOverwriteMode", "cbSimulationMode" }) do
    F[name] = objc.NSButton:new()
    c:setValue_forKey_(F[name], name)
  end
  for _, name in ipairs({ "myMainWindow", "myAlertWindow" }) do
    F[name] = objc.NSWindow:new()
    c:setValue_forKey_(F[name], name)
  end
  F.pub = objc.NSPopUpButton:new()
  F.pub:addItemsWithTitles_({ "Semicolon", "Comma", "Tab" })
  c:setValue_forKey_(F.pub, "pubFileNameSeparator")
  local rows = Rows:new()
  c:setValue_forKey_(rows, "theLogDataArrayController")
  c:setValue_forKey_(rows, "myLogTableView")
  return c
end
)";

class RenameFromList : public ::testing::Test {
protected:
    RenameFromList()
    {
        bundle.addScript("10_prelude.lua", kPrelude);
        writeFile(a() / "a.jpg", "A");
        writeFile(a() / "b.jpg", "B");
        writeFile(a() / "c.jpg", "C");
        fs::create_directory(b());
    }

    fs::path a() const { return bundle.root() / "A"; }
    fs::path b() const { return bundle.root() / "B"; }
    std::string A() const { return a().string() + "/"; }
    std::string B() const { return b().string() + "/"; }

    RunResult run(std::string const& body)
    {
        std::string script = "local A, B, ROOT = '" + A() + "', '" + B() + "', '" + bundle.root().string() + "'\n" + body;
        return bundle.runScript(script);
    }

    ScriptBundle bundle;
};

}

TEST_F(RenameFromList, LoadsWithTheSeparatorOfThePopUp)
{
    writeFile(bundle.root() / "semi.txt", "a.jpg;x.jpg\r\nb.jpg;y.jpg\r\n");
    writeFile(bundle.root() / "comma.csv", "a.jpg,x.jpg\nignored line\n");
    writeFile(bundle.root() / "tab.txt", "a.jpg\tx.jpg\n");
    auto r = run(R"(
        local c = makeController()
        local function load(index, file)
          F.pub:selectItemAtIndex_(index)
          answers = { { ROOT .. "/" .. file } }
          c:hLoadRenameTextFile_(nil)
          local list = c:valueForKey_("myRenameFilesList")
          local parts = {}
          for _, p in ipairs(list) do parts[#parts + 1] = p[1] .. ">" .. p[2] end
          print(index, F.tfRenameTextFile:stringValue() == ROOT .. "/" .. file, #list, table.concat(parts, " "))
        end
        load(0, "semi.txt")
        load(1, "comma.csv")
        load(2, "tab.txt")
        load(1, "semi.txt")
        print(F.tfRenameTextFile:stringValue() == "")
        -- a cancelled load keeps the list and the field, and changes only the separator
        load(0, "semi.txt")
        F.pub:selectItemAtIndex_(1)
        answers = { false }
        c:hLoadRenameTextFile_(nil)
        print(c:valueForKey_("myTextItemDelim"), #c:valueForKey_("myRenameFilesList"), F.tfRenameTextFile:stringValue() ~= "")
    )");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
        "0\ttrue\t2\ta.jpg>x.jpg b.jpg>y.jpg\n"
        "1\ttrue\t1\ta.jpg>x.jpg\n"
        "2\ttrue\t1\ta.jpg>x.jpg\n"
        "1\tfalse\t0\t\n"
        "true\n"
        "0\ttrue\t2\ta.jpg>x.jpg b.jpg>y.jpg\n"
        ",\t2\ttrue\n");
    EXPECT_NE(r.err.find("myTextItemDelim: ;\n"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("myTextItemDelim: \t\n"), std::string::npos) << r.err;
}

TEST_F(RenameFromList, CopiesIntoAnotherFolderInListOrder)
{
    writeFile(bundle.root() / "list.txt", "b.jpg;y.jpg\na.jpg;x.jpg\nmissing.jpg;z.jpg\n");
    writeFile(b() / "x.jpg", "old");
    auto r = run(R"(
        local c = makeController()
        answers = { { ROOT .. "/list.txt" } }
        c:hLoadRenameTextFile_(nil)
        F.tfDestinationOfFiles:setStringValue_(B)
        answers = { { A .. "c.jpg" } }
        c:hChooseFilesToRename_(nil)
    )");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
        "ROW\tFile renaming\tRename\tOK\tb.jpg\ty.jpg\t" + A() + "b.jpg\t" + B() + "y.jpg\n"
        "ROW\tFile renaming\tRename\tOK\ta.jpg\tx.jpg\t" + A() + "a.jpg\t" + B() + "x.jpg\n"
        "ROW\tFile renaming\tRename\tFailed\tmissing.jpg\tz.jpg\t" + A() + "missing.jpg\t" + B() + "z.jpg\n");
    EXPECT_EQ(readFile(b() / "x.jpg"), "A");
    EXPECT_EQ(readFile(b() / "y.jpg"), "B");
    EXPECT_EQ(readFile(a() / "a.jpg"), "A");
    EXPECT_EQ(readFile(a() / "b.jpg"), "B");
    EXPECT_FALSE(fs::exists(b() / "z.jpg"));
}

TEST_F(RenameFromList, SameFolderNeedsOverwriteAndRenamesInPlace)
{
    writeFile(bundle.root() / "list.txt", "a.jpg;x.jpg\nb.jpg;c.jpg\n");
    auto r = run(R"(
        local c = makeController()
        answers = { { ROOT .. "/list.txt" } }
        c:hLoadRenameTextFile_(nil)
        F.tfDestinationOfFiles:setStringValue_(A)
        F.cbSimulationMode:setState_(1)
        answers = { { A .. "a.jpg" } }
        c:hChooseFilesToRename_(nil)
        print("sheet", F.myAlertWindow:isSheet(), F.tfAlertTitle:stringValue())
        c:closeAlertSheetObjC_(nil)
        print("sheet", F.myAlertWindow:isSheet(), F.myAlertWindow:isVisible())
        F.cbOverwriteMode:setState_(1)
        answers = { { A .. "a.jpg" } }
        c:hChooseFilesToRename_(nil)
        F.cbSimulationMode:setState_(0)
        answers = { { A .. "a.jpg" } }
        c:hChooseFilesToRename_(nil)
    )");
    EXPECT_EQ(r.status, 0) << r.err;
    std::string const alert = "ALERT\tNo overwrite allowed.\tDestination folders is the same as the original folder. "
                              "If you allow overwrite file names of original files, please apply check box: "
                              "\"Allow overwrite\".\n";
    EXPECT_EQ(r.out,
        alert + "sheet\ttrue\tNo overwrite allowed.\nsheet\tfalse\tfalse\n"
        "ROW\tFile renaming\tRename\tSimulation\ta.jpg\tx.jpg\t" + A() + "a.jpg\t" + A() + "x.jpg\n"
        "ROW\tFile renaming\tRename\tSimulation\tb.jpg\tc.jpg\t" + A() + "b.jpg\t" + A() + "c.jpg\n"
        "ROW\tFile renaming\tRename\tsuccessfull\ta.jpg\tx.jpg\t" + A() + "a.jpg\t" + A() + "x.jpg\n"
        "ROW\tFile renaming\tRename\tFailed\tb.jpg\tc.jpg\t" + A() + "b.jpg\t" + A() + "c.jpg\n");
    EXPECT_FALSE(fs::exists(a() / "a.jpg"));
    EXPECT_EQ(readFile(a() / "x.jpg"), "A");
    EXPECT_EQ(readFile(a() / "b.jpg"), "B");
    EXPECT_EQ(readFile(a() / "c.jpg"), "C");
}

TEST_F(RenameFromList, RefusesWithoutDestinationOrListAndKeepsTheListAcrossRuns)
{
    writeFile(bundle.root() / "list.txt", "a.jpg;x.jpg\n");
    auto first = run(R"(
        local c = makeController()
        c:hChooseFilesToRename_(nil)
        F.tfDestinationOfFiles:setStringValue_(B)
        c:hChooseFilesToRename_(nil)
        answers = { { ROOT .. "/list.txt" } }
        c:hLoadRenameTextFile_(nil)
    )");
    EXPECT_EQ(first.status, 0) << first.err;
    EXPECT_EQ(first.out,
        "ALERT\tNo Destination folder selected\tPlease select a destination folder where you like to store the "
        "renamed files.\n"
        "ALERT\tNo (valid) rename text file selected.\tPlease \"Load file rename text file\".\n");

    // A new run: the stored list is there, but an empty path field still refuses.
    auto second = run(R"(
        local c = makeController()
        F.tfDestinationOfFiles:setStringValue_(B)
        answers = { { A .. "a.jpg" } }
        c:hChooseFilesToRename_(nil)
        F.tfRenameTextFile:setStringValue_("loaded earlier")
        answers = { { A .. "b.jpg" } }
        c:hChooseFilesToRename_(nil)
        answers = { false }
        c:hChooseFilesToRename_(nil)
    )");
    EXPECT_EQ(second.status, 0) << second.err;
    EXPECT_EQ(second.out,
        "ALERT\tNo (valid) rename text file selected.\tPlease \"Load file rename text file\".\n"
        "ROW\tFile renaming\tRename\tOK\ta.jpg\tx.jpg\t" + A() + "a.jpg\t" + B() + "x.jpg\n");
}

TEST_F(RenameFromList, NamesThatLeaveTheirFolderAreRefused)
{
    writeFile(bundle.root() / "list.txt", "a.jpg;../escape.jpg\na.jpg;\n../A/b.jpg;z.jpg\n");
    auto r = run(R"(
        local c = makeController()
        answers = { { ROOT .. "/list.txt" } }
        c:hLoadRenameTextFile_(nil)
        F.tfDestinationOfFiles:setStringValue_(B)
        -- A simulation shows the refusals a real run makes.
        for _, simulate in ipairs({ 1, 0 }) do
          F.cbSimulationMode:setState_(simulate)
          answers = { { A .. "a.jpg" } }
          c:hChooseFilesToRename_(nil)
        end
    )");
    EXPECT_EQ(r.status, 0) << r.err;
    std::string const rows
        = "ROW\tFile renaming\tRename\tFailed\ta.jpg\t../escape.jpg\t" + A() + "a.jpg\t" + B() + "../escape.jpg\n"
          "ROW\tFile renaming\tRename\tFailed\ta.jpg\t\t" + A() + "a.jpg\t" + B() + "\n"
          "ROW\tFile renaming\tRename\tFailed\t../A/b.jpg\tz.jpg\t" + A() + "../A/b.jpg\t" + B() + "z.jpg\n";
    EXPECT_EQ(r.out, rows + rows);
    EXPECT_FALSE(fs::exists(bundle.root() / "escape.jpg"));
    EXPECT_TRUE(fs::is_empty(b()));
}

TEST_F(RenameFromList, ExportsTheFileNameList)
{
    auto r = run(R"(
        local c = makeController()
        answers = { { A .. "a.jpg", A .. "b.jpg", A .. "c.jpg" }, { ROOT } }
        c:hCreateFileNameList_(nil)
        print(c:valueForKey_("myFileNameListString") == "a.jpg\rb.jpg\rc.jpg")
        answers = { { A .. "c.jpg" }, false }
        c:hCreateFileNameList_(nil)
        answers = { false }
        c:hCreateFileNameList_(nil)
    )");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
        "TITLE\tChoose where to store Quodrix_filenamelist.txt\ntrue\n"
        "TITLE\tChoose where to store Quodrix_filenamelist.txt\n");
    EXPECT_EQ(readFile(bundle.root() / "Quodrix_filenamelist.txt"), "a.jpg\rb.jpg\rc.jpg");
}

// The destination field may name the files' folder by any spelling: relative to the working folder, with
// "." components, or through a symbolic link. It is the same folder, so the list renames in place (and asks
// for the overwrite switch first); an existing name is never replaced by a copy.
TEST_F(RenameFromList, AnySpellingOfTheFilesFolderIsTheSameFolder)
{
    writeFile(bundle.root() / "list.txt", "a.jpg;x.jpg\nb.jpg;c.jpg\n");
    fs::create_directory_symlink(a(), bundle.root() / "link");
    bundle.setWorkingFolder(bundle.root());
    for (std::string const& destination :
        { std::string("./A/"), std::string("link/"), bundle.root().string() + "/B/../A/./" }) {
        SCOPED_TRACE(destination);
        fs::remove_all(a());
        for (auto const& [name, data] : { std::pair { "a.jpg", "A" }, { "b.jpg", "B" }, { "c.jpg", "C" } })
            writeFile(a() / name, data);
        auto r = run("local DEST = '" + destination + R"('
            local c = makeController()
            answers = { { ROOT .. "/list.txt" } }
            c:hLoadRenameTextFile_(nil)
            F.tfDestinationOfFiles:setStringValue_(DEST)
            answers = { { A .. "a.jpg" } }
            c:hChooseFilesToRename_(nil)
            print("sheet", F.tfAlertTitle:stringValue())
            c:closeAlertSheetObjC_(nil)
            F.cbOverwriteMode:setState_(1)
            answers = { { A .. "a.jpg" } }
            c:hChooseFilesToRename_(nil)
        )");
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.out.find("sheet\tNo overwrite allowed.\n"), std::string::npos) << r.out;
        EXPECT_EQ(folderContents(a()), (std::map<std::string, std::string> { { "b.jpg", "B" }, { "c.jpg", "C" },
                                           { "x.jpg", "A" } }))
            << r.out;
        EXPECT_TRUE(fs::is_empty(b()));
    }
}

// The list is loaded all the same when the settings cannot be written; the cause is recorded.
TEST_F(RenameFromList, SettingsThatCannotBeWrittenRecordTheirCause)
{
    writeFile(bundle.root() / "semi.txt", "a.jpg;x.jpg\n");
    writeFile(bundle.home() / ".config", "a file where the settings folder must be");
    auto r = run(R"(
        local c = makeController()
        answers = { { ROOT .. "/semi.txt" } }
        c:hLoadRenameTextFile_(nil)
        local cause = objc.lastFailure()
        print(#c:valueForKey_("myRenameFilesList"), cause)
    )");
    EXPECT_EQ(r.status, 0) << r.err;
    std::string const config = (bundle.home() / ".config").string();
    EXPECT_EQ(r.out, "1\twrite the user defaults to " + config + "/quodrix/defaults.plist: create the folder " + config
            + ": File exists\n");
}

// A list loaded again after another process changed the settings file (even in place, to the same size),
// or removed it, is written again: the file no longer holds it.
TEST_F(RenameFromList, AListLoadedAgainAfterTheSettingsFileChangedIsWrittenAgain)
{
    writeFile(bundle.root() / "semi.txt", "a.jpg;x.jpg\n");
    std::string const settings = (bundle.home() / ".config/quodrix/defaults.plist").string();
    auto r = run(R"(
        local c = makeController()
        local path = ")" + settings + R"("
        local function load()
          answers = { { ROOT .. "/semi.txt" } }
          c:hLoadRenameTextFile_(nil)
          local file = io.open(path, "rb")
          local text = file and file:read("a") or ""
          if file then file:close() end
          return text:find("<string>x.jpg</string>", 1, true) ~= nil
        end
        print(load())
        local file = io.open(path, "wb")
        file:write('<?xml version="1.0"?><plist version="1.0"><dict/></plist>')
        file:close()
        print(load())
        os.remove(path)
        print(load())
        print(load())
        -- Changed in place, to the same size, within the same second: its times may say nothing.
        file = io.open(path, "r+b")
        local text = file:read("a")
        file:seek("set", text:find("<string>x.jpg", 1, true) + 7)
        file:write("z")
        file:close()
        print(load())
    )");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "true\ntrue\ntrue\ntrue\ntrue\n");
}
