#include "app/Application.h"
#include "app/HeapAdvice.h"

#include <csignal>

int main(int argc, char** argv)
{
    // A reader that goes away (`quodrix insert ... | head`) must not end a run halfway through its changes,
    // its journal or its log: the rows it no longer takes are dropped, and the run finishes.
    std::signal(SIGPIPE, SIG_IGN);
    quodrix::adviseHugePagesForHeap();
    return quodrix::Application::run(std::vector<std::string>(argv, argv + argc));
}
