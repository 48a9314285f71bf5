#pragma once
// FileBytes: the whole content of a regular file, read into one block of memory of its own. A large block
// is offered to the kernel for huge pages and is not zero-filled before the file is read into it, so that
// reading a photograph of tens of megabytes costs a few page faults rather than one for every 4 KiB page.
// The reading follows readWholeFile: opened without waiting (a named pipe cannot hold the caller), only a
// regular file is read, a read that fails is an error, and a file that grows while it is read is read to
// its end.

#include "fs/Status.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace quodrix {

class FileBytes {
public:
    FileBytes() = default;
    ~FileBytes();
    FileBytes(FileBytes&& other) noexcept;
    FileBytes& operator=(FileBytes&& other) noexcept;
    FileBytes(FileBytes const&) = delete;
    FileBytes& operator=(FileBytes const&) = delete;

    // Replaces the content with that of the file at `path`; on failure the content is empty.
    [[nodiscard]] Status read(std::string const& path);

    std::string_view view() const { return { static_cast<char const*>(m_block), m_size }; }
    std::size_t size() const { return m_size; }

private:
    // Makes room for at least `capacity` bytes, keeping the first m_size.
    [[nodiscard]] bool reserve(std::size_t capacity);
    void release();

    void* m_block = nullptr;
    std::size_t m_capacity = 0;
    std::size_t m_size = 0;
};

}
