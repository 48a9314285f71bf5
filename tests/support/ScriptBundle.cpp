#include "support/ScriptBundle.h"

#include <array>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace quodrix::test {

TempDir::TempDir() : TempDir(std::filesystem::temp_directory_path()) { }

TempDir::TempDir(std::filesystem::path const& base)
{
    std::string pattern = (base / "quodrix-test-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    m_path = pattern;
}

TempDir::~TempDir()
{
    std::error_code ec;
    // Folders made unreadable by a test must be opened again before they can be removed.
    for (auto it = std::filesystem::recursive_directory_iterator(m_path,
             std::filesystem::directory_options::skip_permission_denied, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_directory(ec) && !it->is_symlink(ec))
            std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                std::filesystem::perm_options::add, ec);
    }
    std::filesystem::remove_all(m_path, ec);
}

std::string readFile(std::filesystem::path const& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::map<std::string, std::string> folderContents(std::filesystem::path const& folder)
{
    std::map<std::string, std::string> result;
    for (auto const& entry : std::filesystem::directory_iterator(folder))
        result[entry.path().filename().string()] = entry.is_directory() ? "<folder>" : readFile(entry.path());
    return result;
}

void writeFile(std::filesystem::path const& path, std::string const& contents)
{
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << contents;
}

ScriptBundle::ScriptBundle(bool withAppScripts)
{
    std::filesystem::create_directories(m_dir.path() / "bin");
    std::filesystem::create_directories(m_dir.path() / "share" / "quodrix" / "Scripts");
    std::filesystem::create_directories(home());
    std::filesystem::copy_file(QUODRIX_EXECUTABLE, executable());
    std::filesystem::create_directories(classesModule().parent_path());
    std::filesystem::copy_file(QUODRIX_CLASSES_MODULE, classesModule());
    std::filesystem::copy_file(QUODRIX_IMAGES_MODULE, imagesModule());
    if (withAppScripts) {
        std::filesystem::path const scripts = std::filesystem::path(QUODRIX_SOURCE_DIR) / "scripts";
        std::filesystem::path const bundled = m_dir.path() / "share" / "quodrix" / "Scripts";
        for (auto const& entry : std::filesystem::directory_iterator(scripts))
            std::filesystem::copy_file(entry.path(), bundled / entry.path().filename());
    }
}

void ScriptBundle::addScript(std::string const& name, std::string const& source)
{
    writeFile(m_dir.path() / "share" / "quodrix" / "Scripts" / name, source);
}

static RunResult spawnAndWait(std::vector<std::string> const& argv, std::vector<std::string> const& env,
    std::string const& input, std::filesystem::path const& workingFolder = {})
{
    int inPipe[2], outPipe[2], errPipe[2];
    if (pipe(inPipe) || pipe(outPipe) || pipe(errPipe))
        throw std::runtime_error("pipe failed");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, inPipe[0], 0);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
    for (int fd : { inPipe[0], inPipe[1], outPipe[0], outPipe[1], errPipe[0], errPipe[1] })
        posix_spawn_file_actions_addclose(&actions, fd);
    if (!workingFolder.empty())
        posix_spawn_file_actions_addchdir_np(&actions, workingFolder.c_str());

    std::vector<char*> args;
    for (auto const& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    std::vector<char*> envp;
    for (auto const& e : env)
        envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);

    pid_t pid = 0;
    int rc = posix_spawn(&pid, argv[0].c_str(), &actions, nullptr, args.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(inPipe[0]);
    close(outPipe[1]);
    close(errPipe[1]);
    if (rc != 0)
        throw std::runtime_error("posix_spawn failed");

    // Write the input and read both outputs without letting a full pipe block either side.
    RunResult result;
    std::size_t written = 0;
    if (input.empty()) {
        close(inPipe[1]);
        inPipe[1] = -1;
    }
    fcntl(outPipe[0], F_SETFL, O_NONBLOCK);
    fcntl(errPipe[0], F_SETFL, O_NONBLOCK);
    bool outOpen = true, errOpen = true;
    while (outOpen || errOpen) {
        std::array<pollfd, 3> fds {};
        int n = 0;
        if (outOpen)
            fds[n++] = { outPipe[0], POLLIN, 0 };
        if (errOpen)
            fds[n++] = { errPipe[0], POLLIN, 0 };
        if (inPipe[1] >= 0)
            fds[n++] = { inPipe[1], POLLOUT, 0 };
        poll(fds.data(), nfds_t(n), 1000);
        for (int i = 0; i < n; ++i) {
            if (!fds[i].revents)
                continue;
            if (fds[i].fd == inPipe[1]) {
                ssize_t w = write(inPipe[1], input.data() + written, input.size() - written);
                if (w > 0)
                    written += std::size_t(w);
                if (w < 0 || written == input.size()) {
                    close(inPipe[1]);
                    inPipe[1] = -1;
                }
                continue;
            }
            char buffer[65536];
            ssize_t r = read(fds[i].fd, buffer, sizeof buffer);
            if (r > 0) {
                (fds[i].fd == outPipe[0] ? result.out : result.err).append(buffer, std::size_t(r));
            } else if (r == 0 || (errno != EAGAIN && errno != EINTR)) {
                (fds[i].fd == outPipe[0] ? outOpen : errOpen) = false;
            }
        }
    }
    if (inPipe[1] >= 0)
        close(inPipe[1]);
    close(outPipe[0]);
    close(errPipe[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

RunResult ScriptBundle::run(std::vector<std::string> const& arguments,
    std::map<std::string, std::string> const& environment, std::string const& input) const
{
    std::map<std::string, std::string> env;
    for (char** e = environ; *e; ++e) {
        std::string entry = *e;
        auto eq = entry.find('=');
        if (eq != std::string::npos)
            env[entry.substr(0, eq)] = entry.substr(eq + 1);
    }
    env["HOME"] = home().string();
    env.erase("XDG_DATA_HOME");
    env.erase("XDG_CONFIG_HOME");
    env.erase("XDG_STATE_HOME");
    env["LANG"] = "C.UTF-8";
    env["TZ"] = "UTC";
    for (auto const& [k, v] : environment)
        env[k] = v;
    std::vector<std::string> envList;
    for (auto const& [k, v] : env)
        envList.push_back(k + "=" + v);
    std::vector<std::string> argv { executable().string() };
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return spawnAndWait(argv, envList, input, m_workingFolder);
}

RunResult ScriptBundle::runScript(std::string const& source, std::vector<std::string> const& arguments)
{
    addScript("50_test.lua", source);
    return run(arguments);
}

RunResult runCommand(std::string const& command)
{
    return spawnAndWait({ "/bin/sh", "-c", command }, [] {
        std::vector<std::string> env;
        for (char** e = environ; *e; ++e)
            env.emplace_back(*e);
        return env;
    }(), {});
}

pid_t ScriptBundle::start(std::vector<std::string> arguments, int& output, int* errors) const
{
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
        return -1;
    int errorEnds[2] = { -1, -1 };
    if (errors && pipe(errorEnds) != 0) {
        close(pipeEnds[0]);
        close(pipeEnds[1]);
        return -1;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], 1);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[1]);
    if (errors) {
        posix_spawn_file_actions_adddup2(&actions, errorEnds[1], 2);
        posix_spawn_file_actions_addclose(&actions, errorEnds[0]);
        posix_spawn_file_actions_addclose(&actions, errorEnds[1]);
    }
    std::string home = "HOME=" + this->home().string();
    std::vector<char*> env { home.data(), const_cast<char*>("LANG=C.UTF-8"), nullptr };
    std::string executable = this->executable().string();
    arguments.insert(arguments.begin(), executable);
    std::vector<char*> argv;
    for (auto& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, executable.c_str(), &actions, nullptr, argv.data(), env.data()) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[1]);
    output = pipeEnds[0];
    if (errors) {
        close(errorEnds[1]);
        *errors = errorEnds[0];
    }
    return pid;
}

}
