#pragma once
// Platform: the stand-ins for the desktop platform that native classes reach through the runtime.
//
// Each service is a narrow interface with its Linux implementation behind it; the script host replaces
// some of them (panels answered by scripts) and tests may install recording ones.

#include "fs/Status.h"
#include "platform/ActionLogFile.h"
#include "platform/Panels.h"
#include "platform/PrintInfo.h"
#include "platform/UserDefaults.h"

#include <array>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quodrix {

class ImageIO;
class RunJournal;

class Platform {
public:
    // resourcesFolder: the bundle's shared resources (<bundle>/share/quodrix), where the scripts, the
    // strings tables and the samples live; empty when there is no bundle (unit tests).
    explicit Platform(std::filesystem::path resourcesFolder = {});
    ~Platform();
    Platform(Platform const&) = delete;
    Platform& operator=(Platform const&) = delete;

    std::filesystem::path const& resourcesFolder() const { return m_resourcesFolder; }
    std::filesystem::path scriptsFolder() const { return m_resourcesFolder / "Scripts"; }
    std::filesystem::path localeFolder() const { return m_resourcesFolder / "locale"; }

    // Whether `path` is a folder whose entries can be read to the end, the folders that cToolBox
    // hGetFilesInDir: lists (it answers nil for any other path); scripts ask with objc.readsFolder(path).
    static bool readsFolder(std::string const& path);
    // The path of the first item, by the bytes of the names, that cToolBox hGetFilesInDir: lists in the
    // folder as a file (not a folder), as the path of its URL gives it; nullopt when the folder holds none
    // or is not listed. Scripts ask with objc.firstFileIn(folder), which makes no URL for the other items.
    static std::optional<std::string> firstFileIn(std::string const& folder);

    Panels& panels() { return *m_panels; }
    void setPanels(std::unique_ptr<Panels> panels) { m_panels = std::move(panels); }

    // The screens, first screen first, each as its frame {x, y, width, height}. One 1920 x 1080 screen
    // until a script or test sets another list; the list may be empty.
    using ScreenFrame = std::array<double, 4>;
    std::vector<ScreenFrame> const& screenFrames() const { return m_screenFrames; }
    void setScreenFrames(std::vector<ScreenFrame> frames) { m_screenFrames = std::move(frames); }

    // Whether the menu bar is shown; it is until someone hides it.
    bool menuBarVisible() const { return m_menuBarVisible; }
    void setMenuBarVisible(bool visible) { m_menuBarVisible = visible; }

    // The release number of the core library, the number from which the system generation is told.
    double coreLibraryVersion() const { return m_coreLibraryVersion; }
    void setCoreLibraryVersion(double version) { m_coreLibraryVersion = version; }

    // Opens a URL with the desktop's default handler; never fails the caller and reports nothing.
    // Tests may install their own opener.
    using UrlOpener = std::function<void(std::string const& url)>;
    void openUrl(std::string const& url) const { m_urlOpener(url); }
    void setUrlOpener(UrlOpener opener) { m_urlOpener = std::move(opener); }

    // Where the published version text is read from, and how long the read may take in all.
    std::string const& versionUrl() const { return m_versionUrl; }
    void setVersionUrl(std::string url) { m_versionUrl = std::move(url); }
    std::chrono::milliseconds versionTimeout() const { return m_versionTimeout; }
    void setVersionTimeout(std::chrono::milliseconds timeout) { m_versionTimeout = timeout; }

    // The user's persistent settings.
    UserDefaults& userDefaults() { return m_userDefaults; }

    // The image reading service shared by every caller; null until one is installed.
    ImageIO* imageIO() { return m_imageIO.get(); }
    void setImageIO(std::unique_ptr<ImageIO> imageIO);

    // The shared print settings.
    PrintInfo& printInfo() { return m_printInfo; }

    // Why the last operation that failed failed: "<what>: <cause>", for example
    // "copy /a/x.jpg to /b/x.jpg: No space left on device". Operations record a cause whenever they
    // fail, whatever their contract answers (a status word, null, NO); the line also goes to the system
    // log. Scripts read it with objc.lastFailure(), which answers for the last message a script sent.
    void recordFailure(std::string const& what, std::string const& cause);
    std::optional<std::string> const& lastFailure() const { return m_lastFailure; }
    // The cause of the last failure without its operation ("No space left on device" above): what a script
    // tells its user when the operation is only the name of a message.
    std::optional<std::string> const& lastCause() const { return m_lastCause; }
    void clearLastFailure()
    {
        m_lastFailure.reset();
        m_lastCause.reset();
    }
    // The recorded cause, which is then forgotten, so that it cannot be read for a later operation.
    [[nodiscard]] std::optional<std::string> takeLastFailure();

    // The cause of the failed action-log row being reported now (set for the time of the row's report to
    // the log call and the log list, see RowFailureScope); nullopt for a row that did not fail and outside
    // a report. Scripts read it with objc.rowFailure().
    std::optional<std::string> const& rowFailure() const { return m_rowFailure; }
    void setRowFailure(std::optional<std::string> cause) { m_rowFailure = std::move(cause); }

    // The journal of the run in progress, which the code that changes files records into; null when no
    // run is open. beginRun opens one in `<state>/runs/` (its file appears at the first change, so a
    // simulation leaves none); finishRun closes it, flushed, and says whether every record was written.
    RunJournal* journal() { return m_journal.get(); }
    void beginRun(std::string const& commandLine);
    Status finishRun();

    // The application's log file, whose rows scripts append (objc.logRow) and write (objc.flushLogRows).
    ActionLogFile& actionLogFile() { return m_actionLogFile; }

private:
    std::filesystem::path m_resourcesFolder;
    std::unique_ptr<Panels> m_panels;
    std::vector<ScreenFrame> m_screenFrames { { 0, 0, 1920, 1080 } };
    bool m_menuBarVisible = true;
    double m_coreLibraryVersion;
    UrlOpener m_urlOpener;
    std::string m_versionUrl;
    std::chrono::milliseconds m_versionTimeout { 15000 };
    UserDefaults m_userDefaults;
    std::unique_ptr<ImageIO> m_imageIO;
    PrintInfo m_printInfo;
    std::optional<std::string> m_lastFailure;
    std::optional<std::string> m_lastCause;
    std::optional<std::string> m_rowFailure;
    std::unique_ptr<RunJournal> m_journal;
    ActionLogFile m_actionLogFile;
};

}
