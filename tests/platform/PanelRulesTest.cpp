// What an open panel lets its user choose, for answers of a few items and of many: a folder that holds many
// items of an answer is read once, and every item is accepted or refused as a look at it would decide.

#include "platform/PanelRules.h"
#include "support/FaultySystemCalls.h"
#include "support/ScriptBundle.h"

#include <climits>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <gtest/gtest.h>

using namespace quodrix;
using namespace quodrix::test;
namespace fs = std::filesystem;

namespace {

// Every kind of item a panel meets, in `folder`, with `plain` plain files besides.
std::vector<std::string> itemsOfEveryKind(fs::path const& folder, int plain)
{
    fs::create_directories(folder / "sub");
    fs::create_directories(folder / "Tool.app");
    writeFile(folder / "p.JPG", "p");
    writeFile(folder / "q.txt", "q");
    fs::create_symlink("p.JPG", folder / "to file.jpg");
    fs::create_directory_symlink("sub", folder / "to sub");
    fs::create_symlink("missing", folder / "dangling.jpg");
    std::vector<std::string> answer;
    for (auto name : { "sub", "Tool.app", "p.JPG", "q.txt", "to file.jpg", "to sub", "dangling.jpg", "missing.jpg",
             "P.jpg", "p.JPG" })
        answer.push_back((folder / name).string());
    for (int i = 0; i < plain; ++i) {
        writeFile(folder / ("f" + std::to_string(i) + ".jpg"), "f");
        answer.push_back((folder / ("f" + std::to_string(i) + ".jpg")).string());
        // A name that no listing holds, among the others: the folder itself.
        if (i == plain / 2)
            answer.push_back(folder.string() + "/.");
    }
    // Items named again in other spellings: each is taken once, as it was first named.
    answer.push_back(folder.string() + "/./p.JPG");
    answer.push_back(folder.string() + "//q.txt");
    answer.push_back(folder.string() + "/sub/");
    answer.push_back(folder.string() + "/./sub/.");
    return answer;
}

// The accepted items by their names in `folder`, in the answer's order; "cancelled" for none.
std::string accepted(OpenPanelRequest const& request, std::vector<std::string> const& answer, fs::path const& folder)
{
    auto result = acceptOpenAnswer(request, answer);
    if (!result)
        return "cancelled";
    std::string names;
    for (auto const& path : *result)
        names += path.substr(folder.string().size() + 1) + ",";
    return names;
}

}

TEST(PanelRules, ManyItemsOfOneFolderAreAcceptedAsFewAre)
{
    TempDir dir;
    auto const few = itemsOfEveryKind(dir / "few", 3);
    auto const many = itemsOfEveryKind(dir / "many", 60);
    std::string manyFiles;
    for (int i = 3; i < 60; ++i)
        manyFiles += "f" + std::to_string(i) + ".jpg,";

    OpenPanelRequest files;
    files.allowsMultipleSelection = true;
    OpenPanelRequest both = files;
    both.canChooseDirectories = true;
    OpenPanelRequest typed = files;
    typed.allowedFileTypes = std::vector<std::string> { "jpg" };
    OpenPanelRequest folders = both;
    folders.canChooseFiles = false;
    struct Case {
        char const* what;
        OpenPanelRequest const& request;
        std::string fewAccepted;
    } const cases[] = {
        { "files", files, "Tool.app,p.JPG,q.txt,to file.jpg,f0.jpg,f1.jpg,f2.jpg," },
        { "files and folders", both, "sub,Tool.app,p.JPG,q.txt,to file.jpg,to sub,f0.jpg,f1.jpg,.,f2.jpg," },
        { "typed", typed, "p.JPG,to file.jpg,f0.jpg,f1.jpg,f2.jpg," },
        { "folders", folders, "sub,to sub,.," },
    };
    for (auto const& c : cases) {
        EXPECT_EQ(accepted(c.request, few, dir / "few"), c.fewAccepted) << c.what;
        std::string expected = c.fewAccepted;
        // The many files come after f2.jpg, and the folder itself after the 30th of them.
        if (auto dot = expected.find(".,"); dot != std::string::npos)
            expected.erase(dot, 2);
        if (c.what != std::string("folders"))
            expected += manyFiles;
        if (c.request.canChooseDirectories)
            expected.insert(c.what == std::string("folders") ? expected.size() : expected.find("f31.jpg"), ".,");
        FaultySystemCalls counted;
        ScopedSystemCalls installed(counted);
        EXPECT_EQ(accepted(c.request, many, dir / "many"), expected) << c.what;
        // The folder of the many items was read, once.
        EXPECT_EQ(counted.calls(Call::ReadFolder) > 0, true) << c.what;
        EXPECT_EQ(counted.calls(Call::Open), 1) << c.what;
    }
}

TEST(PanelRules, AFolderThatCannotBeReadLeavesEachItemToItsOwnLook)
{
    TempDir dir;
    auto const many = itemsOfEveryKind(dir / "many", 40);
    OpenPanelRequest files;
    files.allowsMultipleSelection = true;
    std::string const expected = accepted(files, many, dir / "many");
    for (Call refused : { Call::Stat, Call::Open, Call::ReadFolder }) {
        FaultySystemCalls faulty;
        faulty.fail(refused, 1, Repeat::FromThenOn, EACCES);
        ScopedSystemCalls installed(faulty);
        EXPECT_EQ(accepted(files, many, dir / "many"), expected) << int(refused);
    }
}

// A path that the system would refuse names no item, even where a folder's listing holds a name like its
// last one: a NUL cuts it short, and a path of PATH_MAX bytes or more is too long.
TEST(PanelRules, APathTheSystemRefusesNamesNoItem)
{
    TempDir dir;
    std::vector<std::string> answer;
    for (int i = 0; i < 40; ++i) {
        writeFile(dir / "d" / ("f" + std::to_string(i) + ".jpg"), "f");
        answer.push_back((dir / "d").string() + std::string("\0x/f", 4) + std::to_string(i) + ".jpg");
    }
    OpenPanelRequest both;
    both.allowsMultipleSelection = true;
    both.canChooseDirectories = true;
    EXPECT_FALSE(acceptOpenAnswer(both, answer));
    // The folder of the items, named with a NUL after it, is not the folder.
    EXPECT_FALSE(acceptOpenAnswer(both, std::vector<std::string> { (dir / "d").string() + std::string("\0x", 2) }));
    std::string const tooLong = dir.str() + "/" + std::string(PATH_MAX, 'x');
    EXPECT_FALSE(acceptOpenAnswer(both, std::vector<std::string>(40, tooLong)));

    // Files that exist, whose paths are longer than the system takes, in a folder whose path it takes
    // (made one level at a time through the folders' handles): that folder's listing holds their names.
    int fd = ::open(dir.str().c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(fd, 0);
    std::string deep = dir.str();
    std::string const level(200, 'd');
    while (deep.size() + level.size() + 1 < PATH_MAX - 10) {
        ASSERT_EQ(::mkdirat(fd, level.c_str(), 0755), 0);
        int const next = ::openat(fd, level.c_str(), O_RDONLY | O_DIRECTORY);
        ::close(fd);
        ASSERT_GE(fd = next, 0);
        deep += "/" + level;
    }
    std::vector<std::string> deepFiles;
    for (int i = 0; i < 40; ++i) {
        std::string const name = std::string(240, 'f') + std::to_string(i) + ".jpg";
        ::close(::openat(fd, name.c_str(), O_WRONLY | O_CREAT, 0644));
        deepFiles.push_back(deep + "/" + name);
    }
    ::close(fd);
    ASSERT_GE(deepFiles.front().size(), std::size_t(PATH_MAX));
    EXPECT_FALSE(acceptOpenAnswer(both, deepFiles));
    EXPECT_EQ(runCommand("rm -rf '" + (dir / level).string() + "'").status, 0);
}
