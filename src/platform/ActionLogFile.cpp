#include "platform/ActionLogFile.h"

#include "fs/FileDescriptor.h"
#include "fs/FileOps.h"
#include "fs/Status.h"
#include "fs/SystemCalls.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quodrix {

namespace {

// Appends the field with its line breakers named.
void appendField(std::string& row, std::string_view field)
{
    // The three are below every printable byte: most bytes are told apart by the first comparison.
    auto const breaksLines = [](char c) {
        return static_cast<unsigned char>(c) <= '\r' && (c == '\t' || c == '\n' || c == '\r');
    };
    if (std::none_of(field.begin(), field.end(), breaksLines)) {
        row += field;
        return;
    }
    for (char c : field) {
        if (c == '\t')
            row += "\\t";
        else if (c == '\n')
            row += "\\n";
        else if (c == '\r')
            row += "\\r";
        else
            row += c;
    }
}

// Appends `block` to the file at `path`, as a rule with one write(2), the header in front when the file is new
// or empty; the cause of a failure ("open PATH: REASON", "lock ...", "stat ...", "write ...", "close ..."),
// else nullopt. A write cut short (a disk filling up) is carried on with the rest; when that fails, the file is
// cut back to where the block began, so that no torn row is left for the next block to be glued onto. The
// lock is held all along, so rows of two processes never interleave. The calls go through the file-system
// layer, as every write of the application does.
std::optional<std::string> appendBlock(std::string const& path, std::string_view header, std::string_view block)
{
    auto const failure = [&](char const* what, int error) {
        return std::string(what) + " " + path + ": " + std::strerror(error);
    };
    SystemCalls& calls = systemCalls();
    FileDescriptor fd(calls.open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644));
    if (!fd.valid())
        return failure("open", errno);
    if (::flock(fd.get(), LOCK_EX) != 0)
        return failure("lock", errno);
    struct stat info {};
    if (calls.fstat(fd.get(), &info) != 0)
        return failure("stat", errno);
    // A new file gets its header in the same write as the block.
    std::string headed;
    if (info.st_size == 0)
        block = headed.append(header).append(block);
    if (Status written = writeAll(fd.get(), block, path); !written) {
        (void)calls.ftruncate(fd.get(), info.st_size);
        return written.message();
    }
    if (!fd.close())
        return failure("close", errno);
    return std::nullopt;
}

}

std::optional<std::string> ActionLogFile::append(std::string_view path, std::string_view header, std::string_view date,
    std::array<std::string_view, 7> const& fields)
{
    std::optional<std::string> problem;
    if (path != m_path) {
        problem = flush();
        m_path = path;
    }
    if (header != m_header)
        m_header = header;
    m_block += date;
    for (std::string_view field : fields) {
        m_block += '\t';
        appendField(m_block, field);
    }
    m_block += '\n';
    if (m_block.size() >= kBlockBytes) {
        if (auto failed = flush())
            problem = std::move(failed);
    }
    return problem;
}

std::optional<std::string> ActionLogFile::flush()
{
    if (m_block.empty())
        return std::nullopt;
    // The block is emptied whether it was written or not (the rows of a failed block are dropped), and
    // keeps its memory for the rows that follow.
    auto problem = appendBlock(m_path, m_header, m_block);
    m_block.clear();
    return problem;
}

std::optional<std::string_view> ActionLogFile::dateText(double secondsSince1970)
{
    double const whole = std::floor(secondsSince1970);
    if (!std::isfinite(whole) || whole < double(std::numeric_limits<std::time_t>::min())
        || whole >= double(std::numeric_limits<std::time_t>::max()))
        return std::nullopt;
    auto const second = static_cast<std::time_t>(whole);
    if (m_dateSecond != second) {
        std::tm local {};
        char text[64];
        if (!localtime_r(&second, &local))
            return std::nullopt;
        std::size_t const length = std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
        if (length == 0)
            return std::nullopt;
        m_dateText.assign(text, length);
        m_dateSecond = second;
    }
    return std::string_view(m_dateText);
}

}
