#include "platform/Platform.h"

#include "core/Value.h"

#include "fs/FolderWalk.h"
#include "fs/RunJournal.h"
#include "platform/DefaultHandler.h"
#include "platform/Paths.h"
#include "platform/ImageIO.h"
#include "platform/SystemLog.h"

#include <algorithm>

#ifndef QUODRIX_VERSION_URL
#define QUODRIX_VERSION_URL ""
#endif

namespace quodrix {

// The core-library release number reported on Linux: a current generation of the system.
static constexpr double kCoreLibraryVersion = 1953.1;

Platform::Platform(std::filesystem::path resourcesFolder)
    : m_resourcesFolder(std::move(resourcesFolder))
    , m_panels(std::make_unique<TerminalPanels>())
    , m_coreLibraryVersion(kCoreLibraryVersion)
    , m_urlOpener([](std::string const& url) { openWithDefaultHandler(url); })
    , m_versionUrl(QUODRIX_VERSION_URL)
{
}

Platform::~Platform() = default;

void Platform::setImageIO(std::unique_ptr<ImageIO> imageIO)
{
    m_imageIO = std::move(imageIO);
}

void Platform::beginRun(std::string const& commandLine)
{
    if (m_journal)
        (void)finishRun();
    m_journal = std::make_unique<RunJournal>(joinPath(stateDirectory(), "runs"), commandLine);
}

Status Platform::finishRun()
{
    if (!m_journal)
        return {};
    Status finished = m_journal->finish();
    m_journal.reset();
    return finished;
}

void Platform::recordFailure(std::string const& what, std::string const& cause)
{
    m_lastFailure = what.empty() ? cause : what + ": " + cause;
    m_lastCause = cause;
    systemLog(*m_lastFailure);
}

std::optional<std::string> Platform::takeLastFailure()
{
    std::optional<std::string> cause = std::move(m_lastFailure);
    clearLastFailure();
    return cause;
}

bool Platform::readsFolder(std::string const& path)
{
    return canListFolder(path);
}

std::optional<std::string> Platform::firstFileIn(std::string const& folder)
{
    if (folder.empty())
        return std::nullopt;
    auto entries = listFolder(folder);
    if (!entries)
        return std::nullopt;
    std::erase_if(*entries, [](FolderEntry const& entry) { return entry.isFolder; });
    auto const byName = [](FolderEntry const& a, FolderEntry const& b) { return a.name < b.name; };
    // The folder and a name as hGetFilesInDir: puts them into a URL; the first whose URL gives a path back.
    // That is nearly always the first name, found without sorting them all.
    std::string const base = Url::fromPath(folder).path().value_or(folder);
    auto const pathOf = [&](FolderEntry const& entry) { return Url::fromPath(joinPath(base, entry.name)).path(); };
    auto const first = std::min_element(entries->begin(), entries->end(), byName);
    if (first == entries->end())
        return std::nullopt;
    if (auto path = pathOf(*first))
        return path;
    std::sort(entries->begin(), entries->end(), byName);
    for (auto const& entry : *entries) {
        if (auto path = pathOf(entry))
            return path;
    }
    return std::nullopt;
}

}
