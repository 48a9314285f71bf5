// Renaming 10,000 files in one folder: a bare renameat loop against the same loop with the run journal
// recording an intent before and an outcome after each rename. Prints the best of several runs of each.
// Usage: bench_journal WORK_DIR

#include "fs/RunJournal.h"

#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace quodrix;
namespace fs = std::filesystem;

namespace {

constexpr int kFiles = 10000;
constexpr int kRuns = 7;

std::string name(char const* prefix, int i)
{
    return prefix + std::to_string(i) + ".jpg";
}

void makeFiles(fs::path const& folder)
{
    fs::remove_all(folder);
    fs::create_directories(folder);
    for (int i = 0; i < kFiles; ++i) {
        int fd = ::open((folder / name("a", i)).c_str(), O_WRONLY | O_CREAT, 0644);
        ::close(fd);
    }
}

enum class Mode { Bare, JournalKnownIdentity, JournalStatEach };

double runOnce(fs::path const& work, Mode mode)
{
    fs::path folder = work / "files";
    makeFiles(folder);
    fs::remove_all(work / "runs");
    int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    // The identities an executor knows from its plan.
    std::vector<ItemIdentity> identities(kFiles);
    for (int i = 0; i < kFiles; ++i) {
        struct stat info {};
        ::fstatat(dir, name("a", i).c_str(), &info, AT_SYMLINK_NOFOLLOW);
        identities[i] = ItemIdentity::of(info);
    }
    std::vector<std::string> from(kFiles), to(kFiles), fromPath(kFiles), toPath(kFiles);
    for (int i = 0; i < kFiles; ++i) {
        from[i] = name("a", i);
        to[i] = name("b", i);
        fromPath[i] = (folder / from[i]).string();
        toPath[i] = (folder / to[i]).string();
    }
    ::sync();
    RunJournal journal((work / "runs").string(), "bench");
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kFiles; ++i) {
        std::uint64_t sequence = 0;
        if (mode != Mode::Bare) {
            std::optional<ItemIdentity> identity = identities[i];
            if (mode == Mode::JournalStatEach) {
                struct stat info {};
                ::fstatat(dir, from[i].c_str(), &info, AT_SYMLINK_NOFOLLOW);
                identity = ItemIdentity::of(info);
            }
            RunJournal::Intent intent { JournalChange::Move, fromPath[i], toPath[i], identity, std::nullopt, {}, std::nullopt };
            if (!journal.recordIntent(intent, sequence).ok())
                std::abort();
        }
        if (::renameat(dir, from[i].c_str(), dir, to[i].c_str()) != 0)
            std::abort();
        if (mode != Mode::Bare && !journal.recordDone(sequence, identities[i]).ok())
            std::abort();
    }
    // The journal's end: the last outcome, the end record, fsync of the file and its folder.
    if (mode != Mode::Bare && !journal.finish().ok())
        std::abort();
    auto end = std::chrono::steady_clock::now();
    ::close(dir);
    return std::chrono::duration<double, std::milli>(end - start).count();
}

}

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench_journal WORK_DIR\n");
        return 2;
    }
    fs::path work = argv[1];
    double best[3] = { 1e18, 1e18, 1e18 };
    for (int run = 0; run < kRuns; ++run)
        for (int mode = 0; mode < 3; ++mode)
            best[mode] = std::min(best[mode], runOnce(work, Mode(mode)));
    std::printf("bare renameat loop:                 %8.1f ms\n", best[0]);
    std::printf("journal, identities from the plan:  %8.1f ms  (%.2fx)\n", best[1], best[1] / best[0]);
    std::printf("journal, one fstatat per file:      %8.1f ms  (%.2fx)\n", best[2], best[2] / best[0]);
    fs::remove_all(work / "files");
    fs::remove_all(work / "runs");
    return 0;
}
