#include "fs/FsTestSupport.h"

#include "support/ScriptBundle.h"

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace quodrix::test {

namespace {

std::string modeText(fs::path const& path)
{
    struct stat info {};
    ::lstat(path.c_str(), &info);
    char text[8];
    std::snprintf(text, sizeof text, "%04o", unsigned(info.st_mode & 07777));
    return text;
}

std::string describe(fs::path const& path)
{
    auto status = fs::symlink_status(path);
    if (fs::is_symlink(status))
        return "link " + fs::read_symlink(path).string();
    if (fs::is_directory(status))
        return "folder " + modeText(path);
    return "file " + modeText(path) + " " + readFile(path);
}

}

Tree treeAt(fs::path const& path)
{
    Tree tree;
    std::error_code ec;
    if (!fs::exists(fs::symlink_status(path, ec)))
        return tree;
    tree[""] = describe(path);
    if (fs::is_directory(fs::symlink_status(path)))
        for (auto const& entry : fs::recursive_directory_iterator(path))
            tree[entry.path().lexically_relative(path).string()] = describe(entry.path());
    return tree;
}

bool onOneFileSystem(fs::path const& a, fs::path const& b)
{
    struct stat first {}, second {};
    return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 && first.st_dev == second.st_dev;
}

fs::path fastTemporaryFolder()
{
    std::error_code ec;
    if (fs::is_directory("/dev/shm", ec) && ::access("/dev/shm", W_OK) == 0)
        return "/dev/shm";
    return fs::temp_directory_path();
}

std::vector<std::string> temporariesBelow(fs::path const& root)
{
    std::vector<std::string> found;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::recursive_directory_iterator(); ++it) {
        std::string name = it->path().filename().string();
        if (name.starts_with(".quodrix-") && name.ends_with(".partial")) {
            found.push_back(it->path().string());
            it.disable_recursion_pending();
        }
    }
    return found;
}

SmallTmpfs::SmallTmpfs(fs::path folder, std::string const& size) : m_folder(std::move(folder))
{
    fs::create_directories(m_folder);
    m_mounted = geteuid() == 0 && ::mount("tmpfs", m_folder.c_str(), "tmpfs", 0, ("size=" + size).c_str()) == 0;
}

SmallTmpfs::~SmallTmpfs()
{
    if (m_mounted)
        ::umount2(m_folder.c_str(), MNT_DETACH);
}

ReadOnlyFolder::ReadOnlyFolder(fs::path folder) : m_folder(std::move(folder))
{
    fs::create_directories(m_folder);
    char const* const path = m_folder.c_str();
    if (geteuid() != 0 || ::mount(path, path, nullptr, MS_BIND, nullptr) != 0)
        return;
    m_mounted = true;
    if (::mount(nullptr, path, nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0) {
        ::umount2(path, MNT_DETACH);
        m_mounted = false;
    }
}

ReadOnlyFolder::~ReadOnlyFolder()
{
    if (m_mounted)
        ::umount2(m_folder.c_str(), MNT_DETACH);
}

ExfatVolume::ExfatVolume(fs::path folder) : m_folder(std::move(folder)), m_image(m_folder.string() + ".img")
{
    fs::create_directories(m_folder);
    if (geteuid() != 0) {
        m_whyNot = "mounting a volume needs root";
        return;
    }
    if (::access("/dev/fuse", R_OK | W_OK) != 0) {
        m_whyNot = "no /dev/fuse";
        return;
    }
    std::string const image = "'" + m_image.string() + "'";
    RunResult const made = runCommand("truncate -s 16M " + image + " && mkfs.exfat " + image + " 2>&1");
    if (made.status != 0) {
        m_whyNot = "mkfs.exfat failed: " + made.out;
        return;
    }
    RunResult attached = runCommand("losetup -f --show " + image + " 2>&1");
    if (attached.status != 0 || !attached.out.starts_with("/dev/")) {
        m_whyNot = "no loop device: " + attached.out;
        return;
    }
    m_device = attached.out.substr(0, attached.out.find('\n'));
    RunResult mounted = runCommand("mount.exfat-fuse " + m_device + " '" + m_folder.string() + "' 2>&1");
    m_mounted = mounted.status == 0;
    if (!m_mounted)
        m_whyNot = "mount.exfat-fuse failed: " + mounted.out;
}

ExfatVolume::~ExfatVolume()
{
    if (m_mounted)
        runCommand("umount '" + m_folder.string() + "' 2>/dev/null || umount -l '" + m_folder.string() + "'");
    if (!m_device.empty())
        runCommand("losetup -d " + m_device + " 2>/dev/null");
    std::error_code ignored;
    fs::remove(m_image, ignored);
}

}
