#include "app/Application.h"
#include "app/HeapAdvice.h"

int main(int argc, char** argv)
{
    quodrix::adviseHugePagesForHeap();
    return quodrix::Application::run(std::vector<std::string>(argv, argv + argc));
}
