#include "toolbox/cToolBox.h"

#include "app/Class.h"
#include "platform/Paths.h"
#include "platform/Platform.h"
#include "toolbox/FileCollector.h"
#include "toolbox/FileStore.h"

namespace quodrix {

static std::string status(bool done)
{
    return done ? cToolBox::kSuccess : cToolBox::kFailed;
}

std::string cToolBox::hStoreFiles(std::string const& source, std::string const& newName)
{
    // An item already under the new name is never replaced, and no "-temp" copy is left behind.
    if (!FileStore::isSingleComponent(newName))
        return kFailed;
    std::string target = joinPath(FileStore::parentOf(source), newName);
    return status(FileStore::copyItem(source, target));
}

std::string cToolBox::hStoreFiles2(std::string const& source, std::string const& destination)
{
    return status(FileStore::copyItem(source, destination));
}

std::string cToolBox::hStoreFiles3(std::string const& source, std::string const& destination)
{
    return status(FileStore::moveItem(source, destination));
}

std::string cToolBox::hStoreTempFile(std::string const& source, std::string const& name)
{
    if (!FileStore::isSingleComponent(name))
        return kFailed;
    return status(FileStore::copyItem(source, joinPath(hGetTempDir(), name)));
}

std::string cToolBox::hGetTempDir()
{
    return joinPath(hGetHomeDir(), "Temp");
}

std::string cToolBox::hGetHomeDir()
{
    return homeDirectory();
}

std::optional<std::vector<std::string>> cToolBox::hOpenDialogFiles(Panels& panels, std::string const& action)
{
    return collectFiles(panels, collection::openDialogFilesRows(), action);
}

std::optional<std::vector<std::string>> cToolBox::hOpenDialogFilesOC(Panels& panels, std::string const& action)
{
    return collectFiles(panels, collection::openDialogFilesOCRows(), action);
}

std::optional<Array> cToolBox::hGetFilesInDir(std::string const& path)
{
    if (path.empty())
        return std::nullopt;
    auto entries = listFolder(path);
    if (!entries)
        return std::nullopt;
    std::string folder = Url::fromPath(path).path().value_or(path);
    Array urls;
    urls.reserve(entries->size());
    for (auto const& entry : *entries) {
        Url url = Url::fromPath(joinPath(folder, entry.name));
        if (entry.isFolder)
            url.text += '/';
        urls.push_back(Value(std::move(url)));
    }
    return urls;
}

// The paths moved into an array value (results reach hundreds of thousands of paths); null for nullopt.
static Value pathsValue(std::optional<std::vector<std::string>> paths)
{
    if (!paths)
        return {};
    Array array;
    array.reserve(paths->size());
    for (auto& path : *paths)
        array.emplace_back(std::move(path));
    return Value(std::move(array));
}

// An action name or a path given as text; anything else matches no row and no folder.
static std::string textArgument(Call const& c)
{
    if (c.args[0].kind() == Kind::Url)
        return c.args[0].asUrl().path().value_or(std::string());
    return c.args[0].text().value_or(std::string());
}

void cToolBox::registerClass(Runtime& runtime)
{
    ClassBuilder<cToolBox>(runtime, "cToolBox")
        .classMethod("hStoreFiles::",
            [](Call const& c) { return Value(hStoreFiles(c.args.string(0), c.args.string(1))); })
        .classMethod("hStoreFiles2::",
            [](Call const& c) { return Value(hStoreFiles2(c.args.string(0), c.args.string(1))); })
        .classMethod("hStoreFiles3::",
            [](Call const& c) { return Value(hStoreFiles3(c.args.string(0), c.args.string(1))); })
        .classMethod("hStoreTempFile::",
            [](Call const& c) { return Value(hStoreTempFile(c.args.string(0), c.args.string(1))); })
        .classMethod("hGetTempDir", [](Call const&) { return Value(hGetTempDir()); })
        .classMethod("hGetHomeDir", [](Call const&) { return Value(hGetHomeDir()); })
        .classMethod("hOpenDialogFiles:",
            [](Call const& c) { return pathsValue(hOpenDialogFiles(c.runtime.platform().panels(), textArgument(c))); })
        .classMethod("hOpenDialogFilesOC:",
            [](Call const& c) { return pathsValue(hOpenDialogFilesOC(c.runtime.platform().panels(), textArgument(c))); })
        .classMethod("hGetFilesInDir:", [](Call const& c) { return Value(hGetFilesInDir(textArgument(c))); });
}

}
