#pragma once
// ScriptBundle: a throw-away bundle in a temporary folder (bin/quodrix, a copy of the built executable,
// lib/quodrix/quodrix-classes.so and quodrix-images.so, copies of the built modules, and
// share/quodrix/Scripts/ with the test's own scripts), and a way to run it and see what it did.

#include <filesystem>
#include <map>
#include <string>
#include <sys/types.h>
#include <vector>

namespace quodrix::test {

// A temporary folder removed with everything in it when the object goes.
class TempDir {
public:
    TempDir();
    // A temporary folder inside `base`.
    explicit TempDir(std::filesystem::path const& base);
    ~TempDir();
    TempDir(TempDir const&) = delete;
    TempDir& operator=(TempDir const&) = delete;
    std::filesystem::path const& path() const { return m_path; }
    std::string str() const { return m_path.string(); }
    std::filesystem::path operator/(std::string const& name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
};

struct RunResult {
    int status = -1;
    std::string out;
    std::string err;
};

class ScriptBundle {
public:
    // `withAppScripts`: also copies the bundled application's scripts from the source tree.
    explicit ScriptBundle(bool withAppScripts = false);

    void addScript(std::string const& name, std::string const& source);
    // Runs bin/quodrix with the arguments; HOME and XDG folders point into the bundle's own home folder
    // unless `environment` overrides them. `input` is written to standard input.
    RunResult run(std::vector<std::string> const& arguments = {},
        std::map<std::string, std::string> const& environment = {}, std::string const& input = {}) const;
    // Runs one script as the whole application: the script is the only one in the bundle besides those
    // added before.
    RunResult runScript(std::string const& source, std::vector<std::string> const& arguments = {});
    // Starts bin/quodrix with the arguments, HOME in the bundle's home folder, and its standard output in a
    // pipe whose reading end goes to `output` (and, when `errors` is given, its standard error in another),
    // for a test that kills or interrupts it halfway; the process id, or -1.
    pid_t start(std::vector<std::string> arguments, int& output, int* errors = nullptr) const;

    // The folder that runs start in (relative paths on the command line are read against it); by default
    // the test's own.
    void setWorkingFolder(std::filesystem::path folder) { m_workingFolder = std::move(folder); }

    std::filesystem::path const& root() const { return m_dir.path(); }
    std::filesystem::path home() const { return m_dir.path() / "home"; }
    std::filesystem::path executable() const { return m_dir.path() / "bin" / "quodrix"; }
    std::filesystem::path classesModule() const { return m_dir.path() / "lib" / "quodrix" / "quodrix-classes.so"; }
    std::filesystem::path imagesModule() const { return m_dir.path() / "lib" / "quodrix" / "quodrix-images.so"; }

private:
    TempDir m_dir;
    std::filesystem::path m_workingFolder;
};

std::string readFile(std::filesystem::path const& path);
void writeFile(std::filesystem::path const& path, std::string const& contents);
// The items of a folder (not below it): name to contents, a folder's contents as "<folder>".
std::map<std::string, std::string> folderContents(std::filesystem::path const& folder);

// Runs a command line with a shell and gives its output; for setting up fixtures.
RunResult runCommand(std::string const& command);

}
