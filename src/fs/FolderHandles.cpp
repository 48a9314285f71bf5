#include "fs/FolderHandles.h"

#include "fs/SystemCalls.h"

#include <algorithm>
#include <climits>
#include <fcntl.h>
#include <string_view>

namespace quodrix {

FolderHandles::Place FolderHandles::at(std::string const& path)
{
    Place const asItIs { AT_FDCWD, path.c_str() };
    auto const slash = path.rfind('/');
    // A path too long for the system fails by its path, as it would without handles.
    if (slash == std::string::npos || path.size() >= PATH_MAX)
        return asItIs;
    std::string_view const name = std::string_view(path).substr(slash + 1);
    if (name.empty() || name == "." || name == "..")
        return asItIs;
    std::string_view const folder = slash == 0 ? std::string_view("/") : std::string_view(path).substr(0, slash);
    ++m_uses;
    // The folder used last first: a run mostly moves item after item within one folder.
    auto found = std::find_if(m_folders.rbegin(), m_folders.rend(), [&](Folder const& f) { return f.path == folder; });
    Folder* entry = found == m_folders.rend() ? nullptr : &*found;
    if (!entry) {
        if (m_folders.size() == kLimit) {
            auto oldest = std::min_element(m_folders.begin(), m_folders.end(),
                [](Folder const& a, Folder const& b) { return a.lastUse < b.lastUse; });
            m_folders.erase(oldest);
        }
        std::string text(folder);
        int const fd = systemCalls().open(text.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC, 0);
        m_folders.push_back({ std::move(text), FileDescriptor(fd), 0 });
        entry = &m_folders.back();
    }
    entry->lastUse = m_uses;
    if (!entry->handle.valid())
        return asItIs;
    return { entry->handle.get(), path.c_str() + slash + 1 };
}

void FolderHandles::forgetAll()
{
    m_folders.clear();
}

std::size_t FolderHandles::openCount() const
{
    auto const open = [](Folder const& folder) { return folder.handle.valid(); };
    return std::size_t(std::count_if(m_folders.begin(), m_folders.end(), open));
}

}
