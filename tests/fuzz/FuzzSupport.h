#pragma once
// What the fuzz targets share: a scratch folder of their own for files a target must write, removed when
// the process ends, and a check that stops the run as a crash when an expectation fails.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <unistd.h>

namespace quodrix::fuzz {

inline std::filesystem::path const& scratchFolder()
{
    // The name is also kept in a plain array, which is never destroyed: the removal at exit runs after the
    // path object's destructor (registered when its construction completed, after the handler).
    static char name[4096];
    static std::filesystem::path const folder = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "quodrix-fuzz-XXXXXX").string();
        if (pattern.size() >= sizeof name || !::mkdtemp(pattern.data()))
            std::abort();
        pattern.copy(name, pattern.size());
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(name, ignored);
        });
        return std::filesystem::path(pattern);
    }();
    return folder;
}

// Writes the bytes to a file of that name in the scratch folder and gives its path.
inline std::string scratchFile(std::string const& name, std::string_view bytes)
{
    std::string path = (scratchFolder() / name).string();
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    out.close();
    if (!out)
        std::abort();
    return path;
}

#define QUODRIX_FUZZ_EXPECT(condition)                                                                      \
    do {                                                                                                   \
        if (!(condition)) {                                                                                \
            std::fprintf(stderr, "%s:%d: expected %s\n", __FILE__, __LINE__, #condition);                  \
            std::abort();                                                                                  \
        }                                                                                                  \
    } while (false)

}
