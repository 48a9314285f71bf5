#include "toolbox/cToolBox.h"

#include "app/Class.h"
#include "platform/Paths.h"
#include "platform/Platform.h"
#include "toolbox/FileStore.h"
#include "toolbox/UrlServices.h"

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
        .classMethod("hNSStrToUrl:", [](Call const& c) {
            // Anything but a text makes no URL; nothing is raised.
            auto text = c.args[0].text();
            auto url = text ? urlFromText(*text) : std::nullopt;
            return url ? Value(Url { *url }) : Value();
        })
        .classMethod("hShowURL:", [](Call const& c) {
            if (auto text = c.args[0].text())
                showUrl(c.runtime.platform(), *text);
            return Value();
        })
        .classMethod("hGetMacOSVersion",
            [](Call const& c) { return Value(systemGenerationWord(c.runtime.platform().coreLibraryVersion())); });
}

}
