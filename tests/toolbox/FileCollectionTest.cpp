// Collecting the files of an action through the open panels, the folder walk and the listing of a folder,
// run through the executable with real scripts over real folders.

#include "support/ScriptBundle.h"

#include <filesystem>
#include <gtest/gtest.h>

using namespace quodrix::test;
namespace fs = std::filesystem;

namespace {

// Helpers that every script gets: `show` prints a result with the root folder cut off, sorted (the order
// of one folder's items is the file system's), `answer` sets the open panel's answer and counts panels.
std::string const kPrelude = R"(
ROOT = arg_root
panelsShown = 0
lastRequest = nil
function answer(paths)
  objc.panels.open = function(request)
    panelsShown = panelsShown + 1
    lastRequest = request
    return paths
  end
end
function rel(p) if p:sub(1, #ROOT + 1) == ROOT .. "/" then return p:sub(#ROOT + 2) end return p end
function show(r)
  if r == nil then return "nil" end
  local t = {}
  for i, p in ipairs(r) do t[i] = rel(p) end
  table.sort(t)
  return "[" .. table.concat(t, ",") .. "]"
end
)";

std::string script(fs::path const& root, std::string const& body)
{
    std::string quoted;
    for (char c : root.string())
        quoted += (c == '"' || c == '\\') ? std::string("\\") + c : std::string(1, c);
    return "arg_root = \"" + quoted + "\"\n" + kPrelude + body;
}

void touch(fs::path const& path)
{
    writeFile(path, "x");
}

RunResult runIn(fs::path const& root, std::string const& body)
{
    ScriptBundle bundle;
    return bundle.runScript(script(root, body));
}

}

// Every row of both methods: the panel it shows (files or one folder, the types given) and the result of
// a cancelled panel; names a method does not know give null without a panel.
TEST(FileCollection, EveryActionRowSetsUpItsPanelAndItsCancelResult)
{
    TempDir root;
    auto r = runIn(root.path(), R"(
      answer(nil)
      local names = { "EMM", "EMMDir", "batchSort", "batchSortImages", "sort", "rescale", "rename", "renameDir",
        "sortDir", "WatermarkDir", "WatermarkFiles", "Sort", "", "rename " }
      for _, method in ipairs({ "hOpenDialogFiles:", "hOpenDialogFilesOC:" }) do
        for _, name in ipairs(names) do
          panelsShown, lastRequest = 0, nil
          local result = objc.cToolBox:send(method, name)
          local panel = "none"
          if lastRequest then
            local q = lastRequest
            panel = (q.canChooseFiles and "files" or "") .. (q.canChooseDirectories and "folder" or "")
              .. (q.allowsMultipleSelection and "+" or "1") .. (q.canCreateDirectories and " create" or "")
              .. " " .. (q.allowedFileTypes and table.concat(q.allowedFileTypes, ",") or "any")
              .. (q.title and " titled" or "")
          end
          print(method, name, panelsShown, panel, show(result))
        end
      end
    )");
    ASSERT_EQ(r.status, 0) << r.err;
    std::string const longTypes = "pdf,png,jpg,jpeg,gif,tif,tiff,tga,targa,psd";
    std::string const shortTypes = "pdf,png,jpg,jpeg,gif,tif,tiff";
    std::string const emmTypes = "jpg,jpeg,tif,tiff";
    std::string const watermarkTypes = "jpg,jpeg,tif,tiff,png,JPG,JPEG,TIF,TIFF,PNG";
    std::string const m1 = "hOpenDialogFiles:\t";
    std::string const m2 = "hOpenDialogFilesOC:\t";
    std::string expected
        = m1 + "EMM\t1\tfiles+ " + emmTypes + "\t[]\n"
        + m1 + "EMMDir\t0\tnone\tnil\n"
        + m1 + "batchSort\t1\tfiles+ " + longTypes + "\t[]\n"
        + m1 + "batchSortImages\t0\tnone\tnil\n"
        + m1 + "sort\t1\tfiles+ " + longTypes + "\t[]\n"
        + m1 + "rescale\t1\tfiles+ " + longTypes + "\tnil\n"
        + m1 + "rename\t1\tfiles+ any\tnil\n"
        + m1 + "renameDir\t1\tfolder1 any\tnil\n"
        + m1 + "sortDir\t1\tfolder1 " + longTypes + "\tnil\n"
        + m1 + "WatermarkDir\t1\tfolder1 " + longTypes + "\tnil\n"
        + m1 + "WatermarkFiles\t1\tfiles+ " + watermarkTypes + "\t[]\n"
        + m1 + "Sort\t0\tnone\tnil\n"
        + m1 + "\t0\tnone\tnil\n"
        + m1 + "rename \t0\tnone\tnil\n"
        + m2 + "EMM\t1\tfiles+ " + emmTypes + "\t[]\n"
        + m2 + "EMMDir\t1\tfolder1 " + shortTypes + "\t[]\n"
        + m2 + "batchSort\t0\tnone\tnil\n"
        + m2 + "batchSortImages\t1\tfolder1 " + shortTypes + "\tnil\n"
        + m2 + "sort\t1\tfiles+ " + shortTypes + "\t[]\n"
        + m2 + "rescale\t1\tfiles+ " + shortTypes + "\tnil\n"
        + m2 + "rename\t1\tfiles+ any\tnil\n"
        + m2 + "renameDir\t1\tfolder1 any\tnil\n"
        + m2 + "sortDir\t1\tfolder1 " + shortTypes + "\t[]\n"
        + m2 + "WatermarkDir\t0\tnone\tnil\n"
        + m2 + "WatermarkFiles\t0\tnone\tnil\n"
        + m2 + "Sort\t0\tnone\tnil\n"
        + m2 + "\t0\tnone\tnil\n"
        + m2 + "rename \t0\tnone\tnil\n";
    EXPECT_EQ(r.out, expected);
}

TEST(FileCollection, FilePanelsReturnTheChosenFilesInThePanelsOrder)
{
    TempDir root;
    for (auto name : { "b.jpg", "a.JPG", "c.tga", "notes.txt" })
        touch(root / name);
    auto r = runIn(root.path(), R"(
      answer({ ROOT .. "/b.jpg", ROOT .. "/a.JPG", ROOT .. "/c.tga" })
      local got = objc.cToolBox:hOpenDialogFiles_("sort")
      print(#got, rel(got[1]), rel(got[2]), rel(got[3]))
      answer({ ROOT .. "/notes.txt", ROOT .. "/b.jpg" })
      print(show(objc.cToolBox:hOpenDialogFiles_("rename")))
    )");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "3\tb.jpg\ta.JPG\tc.tga\n[b.jpg,notes.txt]\n");
}

// The folder scans compare extensions exactly; hidden items and .hidden lists are left out.
TEST(FileCollection, FolderScansUseExactExtensionSets)
{
    TempDir root;
    fs::path in = root / "in";
    for (auto name : { "a.jpg", "b.JPG", "c.Jpg", "d.psd", "e.tga", "f.txt", ".hidden.jpg", "sub/g.png",
             ".dot/h.jpg", "listed.jpg", "noext", "trailing." })
        touch(in / name);
    writeFile(in / ".hidden", "listed.jpg\n\nnothing-here\n");
    fs::path marks = root / "marks";
    touch(marks / "x.gif");
    touch(marks / "y.pdf");
    auto r = runIn(root.path(), R"(
      answer({ ROOT .. "/in" })
      print(show(objc.cToolBox:hOpenDialogFiles_("sortDir")))
      print(show(objc.cToolBox:hOpenDialogFilesOC_("EMMDir")))
      print(show(objc.cToolBox:hOpenDialogFilesOC_("renameDir")))
      answer({ ROOT .. "/marks" })
      print(show(objc.cToolBox:hOpenDialogFiles_("WatermarkDir")))
      print(show(objc.cToolBox:hOpenDialogFiles_("sortDir")))
      print(show(objc.cToolBox:hOpenDialogFilesOC_("batchSortImages")))
    )");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
        "[in/a.jpg,in/b.JPG,in/sub/g.png]\n"
        "[in/a.jpg,in/b.JPG]\n"
        "[in/a.jpg,in/b.JPG,in/c.Jpg,in/d.psd,in/e.tga,in/f.txt,in/noext,in/sub/g.png,in/trailing.]\n"
        "[]\n"
        "[marks/x.gif,marks/y.pdf]\n"
        "[marks/x.gif,marks/y.pdf]\n");
}

TEST(FileCollection, WalkIsDepthFirstAndNeverListsTheChosenFolder)
{
    TempDir root;
    for (auto name : { "t/a/1.jpg", "t/a/2.jpg", "t/a/deep/3.jpg", "t/b/4.jpg", "t/b/5.jpg", "t/6.jpg" })
        touch(root / name);
    auto r = runIn(root.path(), R"(
      answer({ ROOT .. "/t/" })
      local got = objc.cToolBox:hOpenDialogFiles_("renameDir")
      -- the files of one folder and of the folders below it come together
      local seen, last, ok = {}, nil, true
      for _, p in ipairs(got) do
        local top = rel(p):match("^t/([^/]*)/") or rel(p)
        if top ~= last and seen[top] then ok = false end
        seen[top], last = true, top
        if p:find("//", 1, true) then ok = false end
      end
      print(#got, ok, show(got))
    )");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "6\ttrue\t[t/6.jpg,t/a/1.jpg,t/a/2.jpg,t/a/deep/3.jpg,t/b/4.jpg,t/b/5.jpg]\n");
}

// Package folders are reported but entered only by "renameDir"; links are items, never followed.
TEST(FileCollection, PackagesAndSymbolicLinks)
{
    TempDir root;
    fs::path in = root / "in";
    touch(in / "Tool.app/Contents/icon.png");
    touch(in / "Notes.RTFD/pic.jpg");
    touch(in / "plain.jpg");
    touch(root / "outside/far.jpg");
    fs::create_directory_symlink(root / "outside", in / "linked");
    fs::create_symlink(root / "outside/far.jpg", in / "alias.jpg");
    fs::create_symlink(root / "nothing.jpg", in / "dangling.jpg");
    auto r = runIn(root.path(), R"(
      answer({ ROOT .. "/in" })
      print(show(objc.cToolBox:hOpenDialogFiles_("renameDir")))
      print(show(objc.cToolBox:hOpenDialogFiles_("sortDir")))
      print(show(objc.cToolBox:hOpenDialogFilesOC_("batchSortImages")))
    )");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
        "[in/Notes.RTFD/pic.jpg,in/Tool.app/Contents/icon.png,in/alias.jpg,in/dangling.jpg,in/linked,in/plain.jpg]\n"
        "[in/alias.jpg,in/dangling.jpg,in/plain.jpg]\n"
        "[in/alias.jpg,in/dangling.jpg,in/plain.jpg]\n");
}

// An empty folder gives an empty array; an empty answer is a cancelled panel (the results of a cancel
// are in the first test).
TEST(FileCollection, EmptyFolderGivesAnEmptyArrayAndAnEmptyAnswerCancels)
{
    TempDir root;
    fs::create_directories(root / "empty");
    auto r = runIn(root.path(), R"(
      answer({ ROOT .. "/empty" })
      print(show(objc.cToolBox:hOpenDialogFiles_("renameDir")), show(objc.cToolBox:hOpenDialogFilesOC_("sortDir")))
      answer({})
      print(show(objc.cToolBox:hOpenDialogFiles_("sort")), show(objc.cToolBox:hOpenDialogFiles_("rescale")))
    )");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "[]\t[]\n[]\tnil\n");
}

// The panel's own rules hold whoever answers it: folder panels take one folder, file panels no folder,
// typed panels their types (any case), and only items that exist.
TEST(FileCollection, PanelRulesApplyToEveryAnswer)
{
    TempDir root;
    for (auto name : { "d1/a.jpg", "d2/b.jpg", "p.JPG", "q.txt", "Tool.app/x.jpg" })
        touch(root / name);
    auto r = runIn(root.path(), R"(
      local tb = objc.cToolBox
      answer({ ROOT .. "/p.JPG" })             print("folder panel, a file", show(tb:hOpenDialogFiles_("renameDir")))
      answer({ ROOT .. "/d1", ROOT .. "/d2" }) print("folder panel, two", show(tb:hOpenDialogFiles_("renameDir")))
      answer({ ROOT .. "/Tool.app" })          print("folder panel, package", show(tb:hOpenDialogFiles_("renameDir")))
      answer({ ROOT .. "/d1", ROOT .. "/p.JPG" }) print("files panel, a folder", show(tb:hOpenDialogFiles_("rename")))
      answer({ ROOT .. "/Tool.app" })          print("files panel, package", show(tb:hOpenDialogFiles_("rename")))
      answer({ ROOT .. "/q.txt", ROOT .. "/p.JPG" }) print("typed panel", show(tb:hOpenDialogFiles_("sort")))
      answer({ ROOT .. "/q.txt" })             print("typed panel, nothing left", show(tb:hOpenDialogFiles_("rescale")))
      answer({ ROOT .. "/missing.jpg", ROOT .. "/p.JPG", ROOT .. "/p.JPG" })
      print("missing, twice", show(tb:hOpenDialogFiles_("rename")))
      answer({ objc.fileURL(ROOT .. "/d1/a.jpg") }) print("a URL", show(tb:hOpenDialogFiles_("rename")))
    )");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
        "folder panel, a file\tnil\n"
        "folder panel, two\tnil\n"
        "folder panel, package\tnil\n"
        "files panel, a folder\t[p.JPG]\n"
        "files panel, package\t[Tool.app]\n"
        "typed panel\t[p.JPG]\n"
        "typed panel, nothing left\tnil\n"
        "missing, twice\t[p.JPG]\n"
        "a URL\t[d1/a.jpg]\n");
    EXPECT_NE(r.err.find("Open panel: refused " + (root / "missing.jpg").string() + ": no such item"),
        std::string::npos)
        << r.err;
}

TEST(FileCollection, RelativeAnswersAreMadeAbsolute)
{
    TempDir root;
    touch(root / "r.jpg");
    ScriptBundle bundle;
    bundle.addScript("50_test.lua", script(root.path(), R"(
      answer({ "r.jpg" })
      local got = objc.cToolBox:hOpenDialogFiles_("rename")
      print(got[1] == ROOT .. "/r.jpg")
    )"));
    auto run = runCommand("cd '" + root.str() + "' && HOME=/nonexistent '" + bundle.executable().string() + "'");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "true\n");
}

// Without a script answering, a panel whose standard input is not a terminal is cancelled.
TEST(FileCollection, PanelWithoutHandlerOrTerminalIsCancelled)
{
    TempDir root;
    ScriptBundle bundle;
    bundle.addScript("50_test.lua", script(root.path(), R"(
      print(show(objc.cToolBox:hOpenDialogFiles_("sort")), show(objc.cToolBox:hOpenDialogFiles_("rename")))
    )"));
    auto r = bundle.run();
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "[]\tnil\n");
}

TEST(FileCollection, GetFilesInDirListsDirectContentsAsFileUrls)
{
    TempDir root;
    touch(root / "dir/one.jpg");
    touch(root / "dir/two words.txt");
    touch(root / "dir/sub/inner.jpg");
    touch(root / "dir/.DS_Store");
    writeFile(root / "dir/.hidden", "secret.txt\n");
    touch(root / "dir/secret.txt");
    touch(root / "file.txt");
    auto r = runIn(root.path(), R"(
      local urls = objc.cToolBox:hGetFilesInDir_(ROOT .. "/dir")
      local t = {}
      for i, u in ipairs(urls) do t[i] = u:absoluteString():sub(#objc.fileURL(ROOT):absoluteString() + 2) end
      table.sort(t)
      print(#urls, urls[1]:isFileURL(), table.concat(t, " "))
      print(objc.cToolBox:hGetFilesInDir_(ROOT .. "/missing"), objc.cToolBox:hGetFilesInDir_(ROOT .. "/file.txt"),
        objc.cToolBox:hGetFilesInDir_(""), objc.cToolBox:hGetFilesInDir_(objc.null))
      print(#objc.cToolBox:hGetFilesInDir_(ROOT .. "/dir/"))
    )");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "3\ttrue\tdir/one.jpg dir/sub/ dir/two%20words.txt\nnil\tnil\tnil\tnil\n3\n");
}

// Folders that cannot be read are passed over (the walk goes on), and listing one gives null. Root reads
// every folder, so this runs as an unprivileged user.
TEST(FileCollection, UnreadableFoldersArePassedOver)
{
    if (runCommand("command -v setpriv >/dev/null").status != 0)
        GTEST_SKIP() << "setpriv is not installed";
    TempDir root;
    touch(root / "in/a.jpg");
    touch(root / "in/locked/hidden-from-me.jpg");
    touch(root / "in/z/after.jpg");
    ScriptBundle bundle;
    bundle.addScript("50_test.lua", script(root.path(), R"(
      answer({ ROOT .. "/in" })
      print(show(objc.cToolBox:hOpenDialogFiles_("renameDir")))
      print(objc.cToolBox:hGetFilesInDir_(ROOT .. "/in/locked"))
    )"));
    fs::permissions(root / "in/locked", fs::perms::none);
    for (auto const& open : { root.path(), bundle.root(), bundle.root() / "bin", bundle.root() / "share",
             bundle.root() / "share/quodrix", bundle.root() / "share/quodrix/Scripts" })
        fs::permissions(open, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec
                | fs::perms::others_read | fs::perms::others_exec);
    auto r = runCommand("cd / && HOME=/nonexistent setpriv --reuid=nobody --regid=nogroup --clear-groups '"
        + bundle.executable().string() + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "[in/a.jpg,in/z/after.jpg]\nnil\n");
}
