#include "app/Application.h"

int main(int argc, char** argv)
{
    return quodrix::Application::run(std::vector<std::string>(argv, argv + argc));
}
