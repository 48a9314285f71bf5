// The save and choose panels of cToolBox through the executable: the settings each panel is given, what
// a confirmed or cancelled panel gives back, and the format accessory's two pop-up handlers.

#include "support/ScriptBundle.h"

#include <filesystem>
#include <gtest/gtest.h>

using namespace quodrix::test;
namespace fs = std::filesystem;

namespace {

// Prints every panel request as one line and answers from the global queue `answers`.
char const* const kPanelPrelude = R"(
answers = {}
local function show(req)
  local keys = {}
  for k in pairs(req) do keys[#keys + 1] = k end
  table.sort(keys)
  local parts = {}
  for _, k in ipairs(keys) do
    local v = req[k]
    if type(v) == "table" then v = "{" .. table.concat(v, ",") .. "}" end
    parts[#parts + 1] = k .. "=" .. tostring(v)
  end
  print("PANEL " .. table.concat(parts, " "))
end
local function answer(req)
  show(req)
  local a = table.remove(answers, 1)
  if a == false then return nil end
  return a
end
objc.panels.open = answer
objc.panels.save = answer
)";

RunResult runWithPanels(ScriptBundle& bundle, std::string const& body)
{
    bundle.addScript("10_prelude.lua", kPanelPrelude);
    return bundle.runScript(body);
}

}

TEST(ChooserPanels, SavingActionFilesAndTexts)
{
    ScriptBundle bundle;
    auto dir = bundle.root().string();
    auto r = runWithPanels(bundle, "local dir = '" + dir + R"('
        local tb = objc.cToolBox:new()
        answers = { dir .. "/notes", false, dir .. "/other.txt", dir .. "/data.C-ACTION", "/proc/refused.c-action", false }
        print(tb:hSaveWriteDialogFile2__("one\ntwo", "notes") == dir .. "/notes.c-action")
        print(tb:hSaveWriteDialogFile2__("x", "y") == "")
        print(tb:hSaveWriteDialogFile2__("text", "z") == dir .. "/other.txt.c-action")
        print(tb:hSaveNSDataWriteDialogFile__(objc.data("\0\1\2"), "d") == dir .. "/data.C-ACTION")
        print(tb:hSaveNSDataWriteDialogFile__(objc.data("x"), "r") == "")
        print(tb:hSaveNSDataWriteDialogFile__(objc.data("x"), "r") == "")
        answers = { dir .. "/plain" }
        print(objc.cToolBox:hSaveWriteDialogFile___("txt", "héllo", "plain"))
    )");
    EXPECT_EQ(r.status, 0) << r.err;
    auto save = [](std::string const& types, std::string const& name) {
        return "PANEL allowedFileTypes={" + types + "} allowsMultipleSelection=false allowsOtherFileTypes=false "
               "canChooseDirectories=false canChooseFiles=true canCreateDirectories=true kind=save "
               "nameFieldStringValue="
            + name + "\n";
    };
    EXPECT_EQ(r.out,
        save("c-action", "notes") + "true\n" + save("c-action", "y") + "true\n" + save("c-action", "z") + "true\n"
            + save("c-action", "d") + "true\n" + save("c-action", "r") + "true\n" + save("c-action", "r") + "true\n"
            + save("txt", "plain") + "nil\n");
    EXPECT_EQ(readFile(bundle.root() / "notes.c-action"), "one\ntwo");
    EXPECT_EQ(readFile(bundle.root() / "other.txt.c-action"), "text");
    EXPECT_EQ(readFile(bundle.root() / "data.C-ACTION"), std::string("\0\1\2", 3));
    EXPECT_EQ(readFile(bundle.root() / "plain.txt"), "h\xc3\xa9llo");
    EXPECT_FALSE(fs::exists(bundle.root() / "y.c-action"));
}

TEST(ChooserPanels, LoadingActionFilesAndChoosingListsAndFolders)
{
    ScriptBundle bundle;
    auto dir = bundle.root().string();
    writeFile(bundle.root() / "good.c-action", "\xEF\xBB\xBFstep 1\nstep 2");
    writeFile(bundle.root() / "bad.c-action", "\xff\xfe broken");
    writeFile(bundle.root() / "list.csv", "a;b\n");
    fs::create_directory(bundle.root() / "folder");
    auto r = runWithPanels(bundle, "local dir = '" + dir + R"('
        local tb = objc.cToolBox:new()
        answers = { { dir .. "/good.c-action" }, { dir .. "/bad.c-action" }, false }
        print(tb:hReadNSDataInFile())
        print(tb:hReadNSDataInFile())
        print(tb:hReadNSDataInFile() == "")
        answers = { { dir .. "/list.csv" }, false, { dir .. "/folder/" }, false, { dir .. "/folder" } }
        local list = tb:hChooseRenameFileText()
        print(#list, list[1] == dir .. "/list.csv")
        local none = tb:hChooseRenameFileText()
        print(type(none), #none)
        print(tb:hChooseDirectory() == dir .. "/folder")
        print(tb:hChooseDirectory())
        print(tb:hChooseDirectory2_("Pick one") == dir .. "/folder")
    )");
    EXPECT_EQ(r.status, 0) << r.err;
    std::string const open = "PANEL allowedFileTypes={c-action} allowsMultipleSelection=false canChooseDirectories=false "
                             "canChooseFiles=true canCreateDirectories=false kind=open\n";
    std::string const list = "PANEL allowedFileTypes={txt,csv} allowsMultipleSelection=false canChooseDirectories=false "
                             "canChooseFiles=true canCreateDirectories=false kind=open\n";
    std::string const folder = "PANEL allowsMultipleSelection=false canChooseDirectories=true canChooseFiles=false "
                               "canCreateDirectories=true kind=open title=";
    EXPECT_EQ(r.out,
        open + "step 1\nstep 2\n" + open + "nil\n" + open + "true\n" + list + "1\ttrue\n" + list + "table\t0\n" + folder
            + "Testje\ntrue\n" + folder + "Testje\nnil\n" + folder + "Pick one\ntrue\n");
}

TEST(ChooserPanels, FormatAccessoryFollowsItsPopUps)
{
    ScriptBundle bundle;
    auto r = bundle.runScript(R"(
        local tb = objc.cToolBox:new()
        local types = objc.NSPopUpButton:new()
        types:addItemsWithTitles_({ "png", "jpeg", "JPEG" })
        local compression = objc.NSPopUpButton:new()
        compression:addItemsWithTitles_({ "low", "high" })
        tb:setValue_forKey_(types, "pubFileType")
        tb:setValue_forKey_(compression, "pubJPEGcompression")
        -- without a panel the fields still follow
        types:selectItemAtIndex_(1)
        tb:hChooseFileType_(nil)
        print(tb:valueForKey_("myFileType"), table.concat(tb:valueForKey_("extensions"), ","), compression:isEnabled())
        local panel = objc.NSSavePanel:savePanel()
        panel:setAllowedFileTypes_({ "tiff" })
        tb:setValue_forKey_(panel, "panel")
        types:selectItemAtIndex_(2)
        tb:hChooseFileType_(nil)
        print(tb:valueForKey_("myFileType"), table.concat(panel:allowedFileTypes(), ","), compression:isEnabled())
        types:selectItemAtIndex_(1)
        tb:hChooseFileType_(types)
        print(table.concat(panel:allowedFileTypes(), ","), compression:isEnabled())
        compression:selectItemAtIndex_(1)
        tb:hChooseCompType_(nil)
        print(tb:valueForKey_("myCompType"))
    )");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "jpeg\tjpeg\ttrue\nJPEG\tJPEG\tfalse\njpeg\ttrue\nhigh\n");
}
