// FileBytes, the reader of whole files that the comment write uses for photographs: every byte of files of
// every size, the end of a file that grows beyond what it said it held, and the refusals of the file
// reader (a named pipe, a missing file, a failed read), with nothing kept after a failure.

#include "fs/AtomicFile.h"
#include "fs/FileBytes.h"
#include "fs/FsTestSupport.h"
#include "fs/SystemCalls.h"
#include "support/FaultySystemCalls.h"
#include "support/ScriptBundle.h"

#include <gtest/gtest.h>
#include <random>
#include <sys/stat.h>

using namespace quodrix;
using namespace quodrix::test;
namespace fs = std::filesystem;

namespace {

std::string randomBytes(std::size_t size, unsigned seed)
{
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes)
        c = char(random());
    return bytes;
}

// Says that every file holds nothing, as a file written while it is read has said before it grew.
class SizeHidingCalls final : public SystemCalls {
public:
    int fstat(int fd, struct stat* info) override
    {
        int result = SystemCalls::fstat(fd, info);
        info->st_size = 0;
        return result;
    }
};

}

// Both readers, FileBytes and readWholeFile (which takes room for the size a file says it has), read every
// byte of files of every size around their blocks, and a file longer than it said to its end.
TEST(FileBytes, ReadsEveryByteOfFilesOfEverySize)
{
    TempDir dir;
    for (std::size_t size : { std::size_t(0), std::size_t(1), std::size_t(4096), std::size_t(65535), std::size_t(65536),
             (std::size_t(2) << 20) - 1, std::size_t(2) << 20, (std::size_t(5) << 20) + 3 }) {
        std::string const bytes = randomBytes(size, unsigned(size));
        writeFile(dir / "f", bytes);
        FileBytes file;
        ASSERT_TRUE(file.read((dir / "f").string()).ok()) << size;
        EXPECT_EQ(file.size(), size);
        EXPECT_TRUE(file.view() == bytes) << size;
        EXPECT_EQ(readWholeFile((dir / "f").string()), bytes) << size;

        // A file that is longer than it said is read to its end, the block growing as it goes.
        SizeHidingCalls hiding;
        ScopedSystemCalls installed(hiding);
        FileBytes grown;
        ASSERT_TRUE(grown.read((dir / "f").string()).ok()) << size;
        EXPECT_TRUE(grown.view() == bytes) << size;
        EXPECT_EQ(readWholeFile((dir / "f").string()), bytes) << size;
        FileBytes moved = std::move(grown);
        EXPECT_TRUE(moved.view() == bytes) << size;
        EXPECT_EQ(grown.size(), 0u);
    }
}

TEST(FileBytes, RefusesWhatIsNoFileAndKeepsNothingAfterAFailedRead)
{
    TempDir dir;
    ASSERT_EQ(mkfifo((dir / "pipe").c_str(), 0600), 0);
    FileBytes file;
    Status refused = file.read((dir / "pipe").string());
    EXPECT_EQ(refused.message(), "read " + (dir / "pipe").string() + ": not a file");
    Status missing = file.read((dir / "none").string());
    EXPECT_EQ(missing.message(), "open " + (dir / "none").string() + ": No such file or directory");

    std::string const bytes = randomBytes(3u << 20, 7);
    writeFile(dir / "f", bytes);
    ASSERT_TRUE(file.read((dir / "f").string()).ok());
    // The file, then its end: two reads.
    for (int n = 1; n <= 2; ++n) {
        FaultySystemCalls faults;
        faults.fail(Call::Read, n, Repeat::Once, EIO);
        ScopedSystemCalls installed(faults);
        Status failed = file.read((dir / "f").string());
        EXPECT_EQ(failed.message(), "read " + (dir / "f").string() + ": Input/output error") << n;
        EXPECT_EQ(file.size(), 0u) << n;
    }
}
