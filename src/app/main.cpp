#include "app/Application.h"
#include "app/HeapAdvice.h"
#include "fs/Interruption.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A standard stream that was closed (`quodrix insert ... >&-`) is opened on /dev/null: otherwise the first
// file the run opens would take its number, and the rows printed would go into that file, a journal or
// the log among them.
void openClosedStandardStreams()
{
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) == -1 && errno == EBADF) {
            int const opened = ::open("/dev/null", O_RDWR);
            if (opened != fd && opened >= 0)
                ::close(opened);
        }
    }
}

// Whether standard output took every row. A reader that went away (a pipe or a socket) is no failure: the
// rows it no longer takes are dropped by design. Any other failed write (a full disk, /dev/full) is told,
// since the rows are the only account of the run on the terminal's side.
bool outputWasWritten()
{
    // The cause is known when the last flush fails; an earlier failed write leaves only the stream's mark.
    int const error = std::fflush(stdout) != 0 ? errno : 0;
    if (error == 0 && !std::ferror(stdout))
        return true;
    struct stat info {};
    if (::fstat(STDOUT_FILENO, &info) == 0 && (S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode)))
        return true;
    std::fprintf(stderr, "quodrix: not every row could be written to standard output%s%s\n", error != 0 ? ": " : "",
        error != 0 ? std::strerror(error) : "");
    return false;
}

}

int main(int argc, char** argv)
{
    openClosedStandardStreams();
    // A reader that goes away (`quodrix insert ... | head`) must not end a run halfway through its changes,
    // its journal or its log: the rows it no longer takes are dropped, and the run finishes.
    std::signal(SIGPIPE, SIG_IGN);
    quodrix::Interruption::catchSignals();
    quodrix::adviseHugePagesForHeap();
    int status = quodrix::Application::run(std::vector<std::string>(argv, argv + argc));
    if (!outputWasWritten() && status == 0)
        status = 1;
    // A run interrupted halfway has made, recorded and reported what it did; the process now ends as the
    // signal would have ended it.
    quodrix::Interruption::endByNotedSignal();
    return status;
}
