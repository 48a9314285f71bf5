#pragma once
// FolderReader: the entries of an open folder, one at a time, as the kernel lists them ("." and ".."
// left out). It is the one place that reads folders; FolderWalk and the copying and removing steps of
// FileOps use it.
//
// The reader neither opens nor closes the folder; it reads through SystemCalls into a buffer that the
// caller owns, so that a walk over many folders reuses one buffer and allocates nothing per entry. The
// names it gives point into that buffer and stay valid until the next call of next().
//
// A failing read is never mistaken for the end of the folder: next() answers false both at the end and
// on failure, and error() then tells which (0 at the end, else the system's error number, EIO when a
// failed read left no number). An interrupted read is retried.

#include <cerrno>
#include <cstddef>
#include <dirent.h>
#include <string_view>
#include <vector>

namespace quodrix {

class FolderReader {
public:
    struct Entry {
        std::string_view name;
        unsigned char type = DT_UNKNOWN;  // DT_DIR, DT_REG, DT_LNK, ..., DT_UNKNOWN when the file system does not say
    };

    // `buffer` must hold at least one entry (a few hundred bytes); its size is kept.
    FolderReader(int folder, std::vector<char>& buffer) : m_folder(folder), m_buffer(buffer) { }
    FolderReader(FolderReader const&) = delete;
    FolderReader& operator=(FolderReader const&) = delete;

    // The next entry; false at the end of the folder or when a read failed (see error()). Inline: a walk
    // calls it once for every item it meets.
    [[nodiscard]] bool next(Entry& entry)
    {
        while (true) {
            if (m_offset >= m_filled && !refill())
                return false;
            auto const* raw = reinterpret_cast<dirent64 const*>(m_buffer.data() + m_offset);
            if (raw->d_reclen == 0)
                return damaged();
            m_offset += raw->d_reclen;
            std::string_view name(raw->d_name);
            if (name == "." || name == "..")
                continue;
            entry = Entry { name, raw->d_type };
            return true;
        }
    }
    int error() const { return m_error; }

private:
    // Reads the next batch of entries; false at the end or on failure.
    bool refill();
    // A record that does not move on would repeat forever: the listing is damaged (EIO).
    bool damaged();

    int m_folder;
    std::vector<char>& m_buffer;
    long m_filled = 0;
    long m_offset = 0;
    int m_error = 0;
    bool m_done = false;
};

}
