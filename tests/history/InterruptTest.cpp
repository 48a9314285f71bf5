// Runs interrupted as a user interrupts them (SIGINT, Ctrl-C), through the built executable over real files.
// Nobody reads a run's rows at first, so that it blocks on its full standard output with part of its
// copies made; the signal comes there. Once changes are under way the run makes no further change,
// reports every file, records its end as interrupted and then ends by the signal, and undo takes back
// exactly what it made. A second signal ends it at once, and a run that changes nothing ends at the first.

#include "support/ScriptBundle.h"

#include <chrono>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace quodrix::test;
namespace fs = std::filesystem;

namespace {

constexpr int kFiles = 3000;

std::size_t itemCount(fs::path const& folder)
{
    std::size_t count = 0;
    for ([[maybe_unused]] auto const& entry : fs::directory_iterator(folder))
        ++count;
    return count;
}

// Waits until the process is blocked writing into its full standard output (as the kernel says where it
// waits, or else as it adds no item to `folder` for a second); the count of items there then.
std::size_t countWhenBlocked(pid_t pid, fs::path const& folder)
{
    std::size_t count = itemCount(folder);
    int unchanged = 0;
    for (int tries = 0; tries < 600 && unchanged < 20; ++tries) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        std::string const waitingIn = readFile("/proc/" + std::to_string(pid) + "/wchan");
        std::size_t const now = itemCount(folder);
        unchanged = now == count ? unchanged + 1 : 0;
        if (unchanged > 0 && waitingIn.find("pipe_write") != std::string::npos)
            break;
        count = now;
    }
    return count;
}

std::string readAll(int fd)
{
    std::string text;
    char buffer[65536];
    for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;)
        text.append(buffer, std::size_t(n));
    close(fd);
    return text;
}

std::size_t occurrences(std::string const& text, std::string const& part)
{
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size()))
        ++count;
    return count;
}

class Interruption : public ::testing::Test {
protected:
    Interruption() : m_bundle(true)
    {
        for (int i = 0; i < kFiles; ++i)
            writeFile(src() / ("f_" + std::to_string(i) + ".txt"), "contents " + std::to_string(i));
        fs::create_directories(dst());
    }
    fs::path src() const { return m_bundle.root() / "src"; }
    fs::path dst() const { return m_bundle.root() / "dst"; }

    // Starts the executable and sends SIGINT once it is blocked on its full standard output; the items in
    // dst() then.
    std::size_t startAndInterrupt(std::vector<std::string> arguments)
    {
        m_pid = m_bundle.start(std::move(arguments), m_output, &m_errors);
        EXPECT_GT(m_pid, 0);
        std::size_t const before = countWhenBlocked(m_pid, dst());
        EXPECT_EQ(0, kill(m_pid, SIGINT));
        return before;
    }
    // Waits for the run to end; whether the signal ended it.
    bool endedBySigint()
    {
        int status = 0;
        return waitpid(m_pid, &status, 0) == m_pid && WIFSIGNALED(status) && WTERMSIG(status) == SIGINT;
    }
    // Undo takes back every copy the run made, and only those.
    void expectUndoneWhole()
    {
        auto undo = m_bundle.run({ "undo" });
        EXPECT_EQ(0, undo.status) << undo.err;
        EXPECT_TRUE(fs::is_empty(dst()));
        EXPECT_EQ(std::size_t(kFiles), itemCount(src()));
    }
    std::vector<std::string> copyAll() const { return { "insert", "-d", dst().string(), "X", "0", src().string() }; }

    ScriptBundle m_bundle;
    pid_t m_pid = -1;
    int m_output = -1;
    int m_errors = -1;
};

}

TEST_F(Interruption, ARunMakesNoChangeAfterTheSignalAndEndsByIt)
{
    std::size_t const before = startAndInterrupt(copyAll());
    ASSERT_GT(before, 0u);
    ASSERT_LT(before, std::size_t(kFiles));
    std::string const out = readAll(m_output), err = readAll(m_errors);
    EXPECT_TRUE(endedBySigint()) << err;

    // The change under way when the signal came was finished; none was made after it.
    std::size_t const copied = itemCount(dst());
    EXPECT_EQ(before, copied);
    for (auto const& entry : fs::directory_iterator(dst())) {
        std::string const name = entry.path().filename().string();
        ASSERT_EQ('X', name[0]) << name;
        EXPECT_EQ(readFile(src() / name.substr(1)), readFile(entry.path())) << name;
    }
    EXPECT_EQ(copied, occurrences(out, "\tsuccessfull\t"));
    EXPECT_EQ(kFiles - copied, occurrences(out, "\tthe run was interrupted (SIGINT)\n"));
    EXPECT_EQ(std::size_t(kFiles), occurrences(out, "\n"));
    EXPECT_EQ("\nquodrix: interrupted: the change under way is finished, no other begun (interrupt again to end at "
              "once)\n"
            + std::to_string(copied) + " copied, " + std::to_string(kFiles - copied) + " not done (interrupted)\n"
            + "quodrix insert: the run was interrupted (SIGINT); the files not done are as they were\n",
        err);
    auto history = m_bundle.run({ "history" });
    EXPECT_NE(std::string::npos,
        history.out.find(std::to_string(copied) + " done, 0 failed, interrupted  quodrix insert -d "))
        << history.out;
    expectUndoneWhole();
}

TEST_F(Interruption, ASecondSignalEndsTheRunAtOnceAndUndoTakesBackWhatItMade)
{
    std::size_t const before = startAndInterrupt(copyAll());
    ASSERT_GT(before, 0u);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ASSERT_EQ(0, kill(m_pid, SIGINT));
    EXPECT_TRUE(endedBySigint());
    close(m_output);
    close(m_errors);
    EXPECT_EQ(before, itemCount(dst()));
    expectUndoneWhole();
}

TEST_F(Interruption, ARunThatChangesNothingEndsAtTheFirstSignal)
{
    (void)startAndInterrupt({ "insert", "-n", "X", "0", src().string() });
    EXPECT_TRUE(endedBySigint());
    close(m_output);
    EXPECT_EQ("", readAll(m_errors));
    EXPECT_TRUE(fs::is_empty(dst()));
}
