// A renaming plan carried out with its journal, as `quodrix rename` and `list` run one: N files in folders of
// 50, as in the tree of a million files in 20,000 folders, renamed in place ("img_0000001.jpg" to
// "img_0000001_x.jpg"), the plan checked (every target and every conflict worked out), then executed with
// every move recorded in the run's journal. Beside it, a bare loop of renameat(2) over the same files. The
// time per file at 10,000 and at 1,000,000 files shows whether planning and recording stay linear. The
// files are made anew before each run, outside the timing; best of RUNS at 10,000, one run at 1,000,000.
// The user time is also given alone: it is the planning and recording themselves, while the kernel's part
// of each rename grows with the files and folders on the disk, as the bare loop's does. The heap is advised
// as the executable's is.
// Usage: bench_plan_scale WORK_DIR [RUNS]

#include "app/HeapAdvice.h"
#include "fs/RunJournal.h"
#include "rename/JournalObserver.h"
#include "rename/RenamePlan.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

using namespace quodrix;
namespace fs = std::filesystem;

namespace {

std::string nameOf(int i, char const* suffix)
{
    char name[64];
    std::snprintf(name, sizeof name, "img_%07d%s.jpg", i, suffix);
    return name;
}

constexpr int kFilesAFolder = 50;

std::string folderOf(fs::path const& root, int i)
{
    return (root / std::to_string(i / kFilesAFolder)).string() + "/";
}

void makeFiles(fs::path const& root, int count)
{
    fs::remove_all(root);
    for (int i = 0; i < count; ++i) {
        if (i % kFilesAFolder == 0)
            fs::create_directories(folderOf(root, i));
        int fd = ::open((folderOf(root, i) + nameOf(i, "")).c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        if (fd < 0 || ::close(fd) != 0)
            std::abort();
    }
    ::sync();
}

double bareLoop(fs::path const& work, int files)
{
    fs::path const root = work / "plan";
    makeFiles(root, files);
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < files; ++i) {
        std::string const folder = folderOf(root, i);
        if (::renameat(AT_FDCWD, (folder + nameOf(i, "")).c_str(), AT_FDCWD, (folder + nameOf(i, "_x")).c_str()) != 0)
            std::abort();
    }
    auto end = std::chrono::steady_clock::now();
    return std::chrono::duration<double, std::milli>(end - start).count();
}

// Processor time of the process so far, user and system, in milliseconds.
std::pair<double, double> processorTime()
{
    rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    auto ms = [](timeval const& t) { return double(t.tv_sec) * 1e3 + double(t.tv_usec) / 1e3; };
    return { ms(usage.ru_utime), ms(usage.ru_stime) };
}

struct Timing {
    double wall = 1e18;  // milliseconds
    double processor = 1e18;  // user and system, milliseconds
    double user = 1e18;  // user alone: the planning and recording, without the kernel's part
};

Timing runOnce(fs::path const& work, int files)
{
    fs::path const root = work / "plan";
    makeFiles(root, files);
    fs::remove_all(work / "runs");
    auto const before = processorTime();
    auto start = std::chrono::steady_clock::now();
    RenamePlan plan;
    plan.reserve(std::size_t(files));
    for (int i = 0; i < files; ++i) {
        std::string const folder = folderOf(root, i);
        plan.add(folder + nameOf(i, ""), folder + nameOf(i, "_x"));
    }
    plan.check();
    RunJournal journal((work / "runs").string(), "bench");
    JournalObserver observer(journal, Operation::Move);
    RenamePlan::Summary summary = plan.execute(OnFailure::Stop, &observer);
    if (!journal.finish().ok() || summary.done != std::size_t(files))
        std::abort();
    auto end = std::chrono::steady_clock::now();
    auto const after = processorTime();
    return { std::chrono::duration<double, std::milli>(end - start).count(),
        after.first - before.first + after.second - before.second, after.first - before.first };
}

}

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_plan_scale WORK_DIR [RUNS]\n");
        return 2;
    }
    adviseHugePagesForHeap();
    fs::path work = argv[1];
    int runs = argc > 2 ? std::atoi(argv[2]) : 3;
    Timing small;
    double bareSmall = 1e18;
    for (int run = 0; run < runs; ++run) {
        bareSmall = std::min(bareSmall, bareLoop(work, 10000));
        Timing const timing = runOnce(work, 10000);
        small = { std::min(small.wall, timing.wall), std::min(small.processor, timing.processor),
            std::min(small.user, timing.user) };
    }
    double const bareLarge = bareLoop(work, 1000000);
    Timing const large = runOnce(work, 1000000);
    double perSmall = small.wall * 1e3 / 10000, perLarge = large.wall * 1e3 / 1000000;
    double cpuSmall = small.processor * 1e3 / 10000, cpuLarge = large.processor * 1e3 / 1000000;
    double userSmall = small.user * 1e3 / 10000, userLarge = large.user * 1e3 / 1000000;
    double bareSmallPer = bareSmall * 1e3 / 10000, bareLargePer = bareLarge * 1e3 / 1000000;
    std::printf("renameat loop, 10,000 renames:       %9.1f ms  %6.2f us a file\n", bareSmall, bareSmallPer);
    std::printf("renameat loop, 1,000,000 renames:    %9.1f ms  %6.2f us a file  (%.2fx the time a file at 10,000)\n",
        bareLarge, bareLargePer, bareLargePer / bareSmallPer);
    std::printf("plan and journal, 10,000 renames:    %9.1f ms  %6.2f us a file, processor %6.2f us, user %5.2f us\n",
        small.wall, perSmall, cpuSmall, userSmall);
    std::printf("plan and journal, 1,000,000 renames: %9.1f ms  %6.2f us a file, processor %6.2f us, user %5.2f us  (%.2fx"
                " the time a file at 10,000, processor %.2fx, user %.2fx)\n",
        large.wall, perLarge, cpuLarge, userLarge, perLarge / perSmall, cpuLarge / cpuSmall, userLarge / userSmall);
    fs::remove_all(work / "plan");
    fs::remove_all(work / "runs");
    return 0;
}
