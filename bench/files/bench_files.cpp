// The file benchmarks of cNSFileHandling, called as the rename-from-list controller calls them:
//   bench_files read LIST   reads the rename list with separator ";" and prints "pairs milliseconds"
//   bench_files copy FROM TO  copies one item with hCopyFileTo and prints "status milliseconds"
#include "util/cNSFileHandling.h"

#include <chrono>
#include <cstdio>
#include <string>

using quodrix::cNSFileHandling;

static double since(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

int main(int argc, char** argv)
{
    std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "read" && argc == 3) {
        auto start = std::chrono::steady_clock::now();
        auto pairs = cNSFileHandling::hReadMfrLog(argv[2], std::string(";"));
        double elapsed = since(start);
        std::printf("%zu %.1f\n", pairs.size(), elapsed);
        return 0;
    }
    if (mode == "copy" && argc == 4) {
        auto start = std::chrono::steady_clock::now();
        std::string status = cNSFileHandling::hCopyFileTo(argv[2], argv[3]);
        double elapsed = since(start);
        std::printf("%s %.1f\n", status.c_str(), elapsed);
        return status == "OK" ? 0 : 1;
    }
    std::fprintf(stderr, "usage: %s read LIST | copy FROM TO\n", argv[0]);
    return 2;
}
