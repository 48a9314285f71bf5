// The run journal's records for N changes (an intent before and an outcome after each, as a renaming run
// writes them), without the renames themselves: the time per change at 10,000 and at 1,000,000 changes
// shows whether recording stays linear. Best of several runs at each size.
// Usage: bench_journal_scale WORK_DIR [RUNS]

#include "fs/RunJournal.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

using namespace quodrix;
namespace fs = std::filesystem;

namespace {

double runOnce(fs::path const& work, int changes)
{
    fs::remove_all(work / "runs");
    std::string from = (work / "files" / "IMG_0000000.jpg").string();
    std::string to = (work / "files" / "IMG_0000000_x.jpg").string();
    std::size_t const digits = from.size() - 11;
    ItemIdentity identity {};
    RunJournal journal((work / "runs").string(), "bench");
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < changes; ++i) {
        // Names that differ per change, as a plan's would, written in place.
        std::snprintf(from.data() + digits, 8, "%07d", i);
        from[digits + 7] = '.';
        std::snprintf(to.data() + digits, 8, "%07d", i);
        to[digits + 7] = '_';
        identity.inode = std::uint64_t(i) + 1;
        std::uint64_t sequence = 0;
        RunJournal::Intent intent { JournalChange::Move, from, to, identity, std::nullopt, {}, std::nullopt };
        if (!journal.recordIntent(intent, sequence).ok() || !journal.recordDone(sequence, identity).ok())
            std::abort();
    }
    if (!journal.finish().ok())
        std::abort();
    auto end = std::chrono::steady_clock::now();
    return std::chrono::duration<double, std::milli>(end - start).count();
}

}

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_journal_scale WORK_DIR [RUNS]\n");
        return 2;
    }
    fs::path work = argv[1];
    int runs = argc > 2 ? std::atoi(argv[2]) : 5;
    double small = 1e18, large = 1e18;
    for (int run = 0; run < runs; ++run) {
        small = std::min(small, runOnce(work, 10000));
        large = std::min(large, runOnce(work, 1000000));
    }
    double perSmall = small * 1e6 / 10000, perLarge = large * 1e6 / 1000000;
    std::printf("journal, 10,000 changes:     %9.1f ms  %7.0f ns a change\n", small, perSmall);
    std::printf("journal, 1,000,000 changes:  %9.1f ms  %7.0f ns a change  (%.2fx the time a change at 10,000)\n",
        large, perLarge, perLarge / perSmall);
    fs::remove_all(work / "runs");
    return 0;
}
