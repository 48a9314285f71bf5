#include "fs/Interruption.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace quodrix {

namespace {

// The only state a signal handler may touch: lock-free atomics.
std::atomic<int> g_noted { 0 };
std::atomic<bool> g_underWay { false };
static_assert(std::atomic<int>::is_always_lock_free && std::atomic<bool>::is_always_lock_free);

constexpr int kSignals[] = { SIGINT, SIGTERM, SIGHUP };

extern "C" void onSignal(int signal)
{
    // Only async-signal-safe calls here: signal, raise, write.
    if (!g_underWay.load() || g_noted.load() != 0) {
        ::signal(signal, SIG_DFL);
        ::raise(signal);
        return;
    }
    g_noted.store(signal);
    static constexpr char kMessage[]
        = "\nquodrix: interrupted: the change under way is finished, no other begun (interrupt again to end at once)\n";
    ssize_t const written = ::write(STDERR_FILENO, kMessage, sizeof kMessage - 1);
    (void)written;
}

}

void Interruption::catchSignals()
{
    for (int const signal : kSignals) {
        struct sigaction before {};
        if (::sigaction(signal, nullptr, &before) != 0 || before.sa_handler == SIG_IGN)
            continue;
        struct sigaction action {};
        action.sa_handler = onSignal;
        // Calls the signal comes in the middle of go on, as they would without a handler.
        action.sa_flags = SA_RESTART;
        sigemptyset(&action.sa_mask);
        (void)::sigaction(signal, &action, nullptr);
    }
}

void Interruption::setChangesUnderWay(bool underWay)
{
    g_underWay.store(underWay);
}

int Interruption::noted()
{
    return g_noted.load();
}

char const* Interruption::cause()
{
    switch (g_noted.load()) {
    case SIGINT: return "the run was interrupted (SIGINT)";
    case SIGTERM: return "the run was interrupted (SIGTERM)";
    case SIGHUP: return "the run was interrupted (SIGHUP)";
    default: return "the run was interrupted";
    }
}

void Interruption::endByNotedSignal()
{
    int const signal = g_noted.load();
    if (signal == 0)
        return;
    std::fflush(nullptr);
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

}
