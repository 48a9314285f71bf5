#pragma once
// Helpers of the file-system layer's tests: trees as comparable values, temporary items, a small tmpfs
// as a second file system, an exFAT volume as one that does not tell letter case apart.

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace quodrix::test {

// Every item at and below `path` by relative path ("" for the item itself): "file 0644 <contents>",
// "folder 0755", "link <target>". Empty when nothing is there.
using Tree = std::map<std::string, std::string>;
Tree treeAt(std::filesystem::path const& path);

// A folder for temporary folders of tests that run an operation hundreds of times: /dev/shm (a tmpfs,
// where flushing costs nothing) when there is one, else the usual temporary folder.
std::filesystem::path fastTemporaryFolder();

// How many times a test kills a real run at a random point: every round starts, kills and checks a whole
// run of thousands of files. The sanitized build, where a run takes several times as long, kills a third as
// often; it is there for the memory errors of the same paths, which the plain build kills at every round.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr int kKillRoundsPercent = 34;
#else
inline constexpr int kKillRoundsPercent = 100;
#endif
constexpr int killRounds(int rounds)
{
    return std::max(1, rounds * kKillRoundsPercent / 100);
}

// Whether two existing folders lie on one file system (one device).
bool onOneFileSystem(std::filesystem::path const& a, std::filesystem::path const& b);

// The layer's temporary items (".quodrix-<pid>-....partial") anywhere below `root`.
std::vector<std::string> temporariesBelow(std::filesystem::path const& root);

// A small tmpfs mounted at a folder for the object's lifetime, when the process may mount (root).
class SmallTmpfs {
public:
    explicit SmallTmpfs(std::filesystem::path folder, std::string const& size = "8m");
    ~SmallTmpfs();
    SmallTmpfs(SmallTmpfs const&) = delete;
    SmallTmpfs& operator=(SmallTmpfs const&) = delete;
    bool mounted() const { return m_mounted; }

private:
    std::filesystem::path m_folder;
    bool m_mounted = false;
};

// A folder mounted read-only over itself for the object's lifetime (a bind mount), when the process may
// mount (root): every change in it fails with "Read-only file system", for root too.
class ReadOnlyFolder {
public:
    explicit ReadOnlyFolder(std::filesystem::path folder);
    ~ReadOnlyFolder();
    ReadOnlyFolder(ReadOnlyFolder const&) = delete;
    ReadOnlyFolder& operator=(ReadOnlyFolder const&) = delete;
    bool mounted() const { return m_mounted; }

private:
    std::filesystem::path m_folder;
    bool m_mounted = false;
};

// An exFAT volume (the file system of cameras' memory cards, which does not tell letter case apart: "a.jpg"
// finds "A.JPG") mounted at a folder through FUSE for the object's lifetime, from an image file beside the
// folder. It needs root, /dev/fuse, a loop device and the exFAT tools; whyNot() says what was missing.
class ExfatVolume {
public:
    explicit ExfatVolume(std::filesystem::path folder);
    ~ExfatVolume();
    ExfatVolume(ExfatVolume const&) = delete;
    ExfatVolume& operator=(ExfatVolume const&) = delete;
    bool mounted() const { return m_mounted; }
    std::string const& whyNot() const { return m_whyNot; }

private:
    std::filesystem::path m_folder;
    std::filesystem::path m_image;
    std::string m_device;
    bool m_mounted = false;
    std::string m_whyNot;
};

}
