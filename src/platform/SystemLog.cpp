#include "platform/SystemLog.h"

#include <cstdio>
#include <memory>
#include <string>

namespace quodrix {

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// The file the lines go to; standard error when empty.
std::unique_ptr<std::FILE, FileCloser>& logFile()
{
    static std::unique_ptr<std::FILE, FileCloser> file;
    return file;
}

}

void systemLog(std::string_view line)
{
    std::string text(line);
    text += '\n';
    std::FILE* out = logFile() ? logFile().get() : stderr;
    std::fwrite(text.data(), 1, text.size(), out);
    std::fflush(out);
}

bool setSystemLogFile(std::string const& path)
{
    if (path.empty()) {
        logFile().reset();
        return true;
    }
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "we"));
    if (!file)
        return false;
    logFile() = std::move(file);
    return true;
}

}
