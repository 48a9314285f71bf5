#include "toolbox/cToolBox.h"

#include "core/Class.h"
#include "fs/FileStore.h"
#include "fs/JournaledChange.h"
#include "platform/Paths.h"
#include "platform/Platform.h"
#include "toolbox/ChooserPanels.h"
#include "toolbox/FileCollector.h"
#include "toolbox/UrlServices.h"

namespace quodrix {

// The status word of a storing; its cause goes to `cause` when the caller asked for it.
static std::string status(Status const& outcome, Status* cause)
{
    if (cause)
        *cause = outcome;
    return outcome.ok() ? cToolBox::kSuccess : cToolBox::kFailed;
}

static Status notOneComponent(std::string const& name)
{
    return Status::refused("\"" + name + "\": not one path component");
}

std::string cToolBox::hStoreFiles(std::string const& source, std::string const& newName, Status* cause,
    RunJournal* journal)
{
    // An item already under the new name is never replaced, and no "-temp" copy is left behind.
    if (!FileStore::isSingleComponent(newName))
        return status(notOneComponent(newName), cause);
    std::string target = joinPath(FileStore::parentOf(source), newName);
    return status(journaledPlaceItem(journal, Placement::Copy, Existing::Kept, source, target), cause);
}

std::string cToolBox::hStoreFiles2(std::string const& source, std::string const& destination, Status* cause,
    RunJournal* journal)
{
    return status(journaledPlaceItem(journal, Placement::Copy, Existing::Kept, source, destination), cause);
}

std::string cToolBox::hStoreFiles3(std::string const& source, std::string const& destination, Status* cause,
    RunJournal* journal)
{
    return status(journaledPlaceItem(journal, Placement::Move, Existing::Kept, source, destination), cause);
}

std::string cToolBox::hStoreTempFile(std::string const& source, std::string const& name, Status* cause,
    RunJournal* journal)
{
    if (!FileStore::isSingleComponent(name))
        return status(notOneComponent(name), cause);
    return status(journaledPlaceItem(journal, Placement::Copy, Existing::Kept, source, joinPath(hGetTempDir(), name)), cause);
}

std::string cToolBox::hGetTempDir()
{
    return joinPath(hGetHomeDir(), "Temp");
}

std::string cToolBox::hGetHomeDir()
{
    return homeDirectory();
}

static std::optional<std::string> titleOfSelectedItem(Runtime& runtime, Value const& popUp)
{
    Value title = runtime.send(popUp, "titleOfSelectedItem");
    return title.text();
}

void cToolBox::hChooseFileType(Runtime& runtime)
{
    auto fileType = titleOfSelectedItem(runtime, field("pubFileType"));
    setValueForKey("myFileType", Value(fileType));
    Array extensions;
    if (fileType)
        extensions.emplace_back(*fileType);
    setValueForKey("extensions", Value(extensions));
    if (fileType)
        runtime.send(field("panel"), "setAllowedFileTypes:", { Value(extensions) });
    runtime.send(field("pubJPEGcompression"), "setEnabled:", { Value(fileType == std::string("jpeg")) });
}

void cToolBox::hChooseCompType(Runtime& runtime)
{
    setValueForKey("myCompType", Value(titleOfSelectedItem(runtime, field("pubJPEGcompression"))));
}

static ChooserPanels chooser(Call const& c)
{
    return ChooserPanels(c.runtime.platform().panels());
}

// The collected paths as strings, for the controllers that go through them one by one.
static std::optional<std::vector<std::string>> strings(std::optional<PathList> const& paths)
{
    if (!paths)
        return std::nullopt;
    return paths->strings();
}

std::optional<std::vector<std::string>> cToolBox::hOpenDialogFiles(Panels& panels, std::string const& action)
{
    return strings(collectFiles(panels, collection::openDialogFilesRows(), action));
}

std::optional<std::vector<std::string>> cToolBox::hOpenDialogFilesOC(Panels& panels, std::string const& action)
{
    return strings(collectFiles(panels, collection::openDialogFilesOCRows(), action));
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

// Records why a message failed, for objc.lastFailure(); a success records nothing.
static void recordCause(Call const& c, char const* what, Status const& cause)
{
    if (!cause.ok())
        c.runtime.platform().recordFailure(what, cause.message());
}

// Runs a storing of the message's two arguments and records its cause for objc.lastFailure().
template<typename Store>
static Value stored(Call const& c, char const* what, Store store)
{
    Status cause;
    std::string word = store(c.args.string(0), c.args.string(1), &cause, c.runtime.platform().journal());
    if (!cause.ok())
        c.runtime.platform().recordFailure(what, cause.message());
    return Value(word);
}

// An action name or a path given as text; anything else matches no row and no folder.
static std::string textArgument(Call const& c)
{
    if (c.args[0].kind() == Kind::Url)
        return c.args[0].asUrl().path().value_or(std::string());
    return c.args[0].text().value_or(std::string());
}

// Collects the files of an action and records why the walk below a folder missed some, when it did.
static Value collected(Call const& c, char const* what, std::span<collection::ActionRow const> rows)
{
    Status cause;
    auto paths = collectFiles(c.runtime.platform().panels(), rows, textArgument(c), &cause);
    if (!cause.ok())
        c.runtime.platform().recordFailure(what, cause.message());
    // Results reach hundreds of thousands of paths: they cross as one compact list.
    return paths ? Value(std::move(*paths)) : Value();
}

void cToolBox::registerClass(Runtime& runtime)
{
    ClassBuilder<cToolBox>(runtime, "cToolBox")
        .classMethod("hStoreFiles::",
            [](Call const& c) { return stored(c, "hStoreFiles::", hStoreFiles); })
        .classMethod("hStoreFiles2::",
            [](Call const& c) { return stored(c, "hStoreFiles2::", hStoreFiles2); })
        .classMethod("hStoreFiles3::",
            [](Call const& c) { return stored(c, "hStoreFiles3::", hStoreFiles3); })
        .classMethod("hStoreTempFile::",
            [](Call const& c) { return stored(c, "hStoreTempFile::", hStoreTempFile); })
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
            [](Call const& c) { return Value(systemGenerationWord(c.runtime.platform().coreLibraryVersion())); })
        .classMethod("hSaveWriteDialogFile:::", [](Call const& c) {
            Status cause;
            chooser(c).saveText(c.args.text(0), c.args.optionalString(1), c.args.optionalString(2).value_or(""), &cause);
            recordCause(c, "hSaveWriteDialogFile:::", cause);
            return Value();
        })
        .method("hSaveWriteDialogFile2::", [](Call const& c) {
            Status cause;
            std::string path = chooser(c).saveActionText(c.args.optionalString(0), c.args.optionalString(1).value_or(""), &cause);
            recordCause(c, "hSaveWriteDialogFile2::", cause);
            return Value(path);
        })
        .method("hSaveNSDataWriteDialogFile::", [](Call const& c) {
            std::optional<std::string> bytes;
            if (!c.args[0].isNull())
                bytes = c.args.data(0).bytes;
            Status cause;
            std::string path = chooser(c).saveActionData(bytes, c.args.optionalString(1).value_or(""), &cause);
            recordCause(c, "hSaveNSDataWriteDialogFile::", cause);
            return Value(path);
        })
        .method("hReadNSDataInFile", [](Call const& c) {
            Status cause;
            Value text = chooser(c).readActionFile(&cause);
            recordCause(c, "hReadNSDataInFile", cause);
            return text;
        })
        .method("hChooseRenameFileText", [](Call const& c) { return Value(chooser(c).chooseRenameList()); })
        .method("hChooseDirectory", [](Call const& c) {
            return Value(chooser(c).chooseFolder(std::string(ChooserPanels::kDefaultFolderTitle)));
        })
        .method("hChooseDirectory2:", [](Call const& c) { return Value(chooser(c).chooseFolder(c.args.optionalString(0))); })
        .method("hChooseFileType:", [](Call const& c) {
            c.self<cToolBox>().hChooseFileType(c.runtime);
            return Value();
        })
        .method("hChooseCompType:", [](Call const& c) {
            c.self<cToolBox>().hChooseCompType(c.runtime);
            return Value();
        })
        .classMethod("hOpenDialogFiles:",
            [](Call const& c) { return collected(c, "hOpenDialogFiles:", collection::openDialogFilesRows()); })
        .classMethod("hOpenDialogFilesOC:",
            [](Call const& c) { return collected(c, "hOpenDialogFilesOC:", collection::openDialogFilesOCRows()); })
        .classMethod("hGetFilesInDir:", [](Call const& c) { return Value(hGetFilesInDir(textArgument(c))); });
}

}
