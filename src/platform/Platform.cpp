#include "platform/Platform.h"

#include "fs/FolderWalk.h"
#include "fs/RunJournal.h"
#include "platform/DefaultHandler.h"
#include "platform/Paths.h"
#include "platform/ImageIO.h"
#include "platform/SystemLog.h"

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
    systemLog(*m_lastFailure);
}

std::optional<std::string> Platform::takeLastFailure()
{
    std::optional<std::string> cause = std::move(m_lastFailure);
    m_lastFailure.reset();
    return cause;
}

bool Platform::readsFolder(std::string const& path)
{
    return canListFolder(path);
}

}
