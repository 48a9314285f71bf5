#include "fs/FileBytes.h"

#include "fs/FileDescriptor.h"
#include "fs/FileOps.h"
#include "fs/SystemCalls.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <utility>

namespace quodrix {

namespace {

constexpr std::size_t kHugePage = std::size_t(2) << 20;

std::size_t roundedUp(std::size_t bytes, std::size_t unit)
{
    return (bytes + unit - 1) / unit * unit;
}

}

FileBytes::~FileBytes()
{
    release();
}

FileBytes::FileBytes(FileBytes&& other) noexcept
    : m_block(std::exchange(other.m_block, nullptr))
    , m_capacity(std::exchange(other.m_capacity, 0))
    , m_size(std::exchange(other.m_size, 0))
{
}

FileBytes& FileBytes::operator=(FileBytes&& other) noexcept
{
    if (this != &other) {
        release();
        m_block = std::exchange(other.m_block, nullptr);
        m_capacity = std::exchange(other.m_capacity, 0);
        m_size = std::exchange(other.m_size, 0);
    }
    return *this;
}

void FileBytes::release()
{
    if (m_block)
        ::munmap(m_block, m_capacity);
    m_block = nullptr;
    m_capacity = 0;
    m_size = 0;
}

bool FileBytes::reserve(std::size_t capacity)
{
    if (capacity <= m_capacity)
        return true;
    capacity = roundedUp(capacity, kHugePage);
    void* block = m_block ? ::mremap(m_block, m_capacity, capacity, MREMAP_MAYMOVE)
                          : ::mmap(nullptr, capacity, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (block == MAP_FAILED)
        return false;
    // Only advice: without huge pages the block works the same.
    (void)::madvise(block, capacity, MADV_HUGEPAGE);
    m_block = block;
    m_capacity = capacity;
    return true;
}

Status FileBytes::read(std::string const& path)
{
    release();
    FileDescriptor in;
    struct stat info {};
    if (Status opened = openFileForReading(path, in, info); !opened)
        return opened;
    auto& calls = systemCalls();
    // One byte more than the file holds, so that its end is seen without growing the block.
    std::size_t wanted = std::size_t(std::max<off_t>(info.st_size, 0)) + 1;
    while (true) {
        if (m_capacity - m_size == 0 && !reserve(std::max(wanted, m_capacity * 2))) {
            release();
            return Status::fromError(ENOMEM, "read " + path);
        }
        ssize_t n = calls.read(in.get(), static_cast<char*>(m_block) + m_size, m_capacity - m_size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            Status failed = Status::fromErrno("read " + path);
            release();
            return failed;
        }
        if (n == 0)
            return {};
        m_size += std::size_t(n);
    }
}

}
