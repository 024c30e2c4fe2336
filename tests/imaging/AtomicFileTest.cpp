#include "imaging/AtomicFile.h"

#include <gtest/gtest.h>

#include "tests/collections/CollectionsTestSupport.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quill {
namespace {

namespace fs = std::filesystem;

class AtomicFileTest : public ::testing::Test {
  protected:
    void TearDown() override {
        setImmutable(folder, false);
        ::chmod(folder.c_str(), 0755);
    }

    // The names in the folder: what a failed write must not add to.
    std::set<std::string> entries() const { return temp.names(); }

    static std::string contents(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    static void put(const std::string& path, const std::string& text) {
        std::ofstream(path, std::ios::binary) << text;
    }

    // Makes a folder refuse new entries even to root; false where that cannot be done.
    static bool setImmutable(const std::string& path, bool on) {
        int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY);
        if (fd < 0)
            return false;
        int flags = 0;
        bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        if (done) {
            flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
            done = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        }
        ::close(fd);
        return done;
    }

    const quill::testing::TempFolder temp;
    const std::string folder = temp.path();
};

TEST_F(AtomicFileTest, WritesExactBytesAndLeavesOnlyTheFile) {
    struct Case {
        const char* name;
        std::string bytes;
    };
    const Case cases[] = {
        {"new.bin", std::string("\0\1\2\xff", 4)},
        {"empty.bin", ""},
        {"large.bin", std::string(3 << 20, 'q')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string path = folder + "/" + c.name;
        WriteResult result = writeFileAtomically(path, c.bytes.data(), c.bytes.size());
        ASSERT_TRUE(result) << result.message;
        EXPECT_TRUE(result.message.empty());
        EXPECT_EQ(contents(path), c.bytes);
    }
    EXPECT_EQ(entries(), (std::set<std::string>{"empty.bin", "large.bin", "new.bin"}));
}

TEST_F(AtomicFileTest, LongNamesAndLinksAreWrittenWhereTheUserMeans) {
    // A name at the file system's limit still leaves room for the temporary name.
    std::string longName = folder + "/" + std::string(250, 'n') + ".jpg";
    ASSERT_TRUE(writeFileAtomically(longName, "long", 4));
    EXPECT_EQ(contents(longName), "long");

    // A link is followed: the file it points to gets the data, the link stays a link.
    fs::create_directory(folder + "/real");
    std::string real = folder + "/real/picture.png";
    put(real, "old");
    std::string link = folder + "/link.png";
    fs::create_symlink(real, link);
    WriteResult result = writeFileAtomically(link, "new", 3);
    ASSERT_TRUE(result) << result.message;
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(contents(real), "new");
    EXPECT_EQ(fs::directory_iterator(folder + "/real")->path().filename(), "picture.png");
    EXPECT_EQ(entries().size(), 3u);
}

TEST_F(AtomicFileTest, ReplacingAFileKeepsItsPermissionsAndNewFilesFollowTheMode) {
    std::string path = folder + "/old.txt";
    put(path, "old contents that are longer");
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    ASSERT_TRUE(writeFileAtomically(path, "new", 3));
    EXPECT_EQ(contents(path), "new");
    struct stat status;
    ASSERT_EQ(::stat(path.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0640u);

    mode_t mask = ::umask(022);
    std::string program = folder + "/program";
    ASSERT_TRUE(writeFileAtomically(program, "#!", 2, 0777));
    std::string plain = folder + "/plain";
    ASSERT_TRUE(writeFileAtomically(plain, "x", 1));
    ::umask(mask);
    ASSERT_EQ(::stat(program.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0755u);
    ASSERT_EQ(::stat(plain.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0644u);
}

TEST_F(AtomicFileTest, FailingWriterLeavesNothingAndKeepsTheOldFile) {
    const std::string original = "the file as it was\n";
    struct Case {
        const char* name;
        std::function<bool(std::FILE*)> writer;
        const char* reason; // the end of the message
    };
    const Case cases[] = {
        {"refuses at once", [](std::FILE*) { return false; }, ": the data could not be written"},
        {"refuses after half its data",
         [](std::FILE* f) {
             std::fputs("half", f);
             return false;
         },
         ": the data could not be written"},
        {"fails with a system error",
         [](std::FILE* f) {
             std::fputs("x", f);
             errno = ENOSPC;
             return false;
         },
         ": No space left on device"},
        {"throws",
         [](std::FILE* f) -> bool {
             std::fputs("x", f);
             throw std::runtime_error("broken");
         },
         ": the data could not be written"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string existing = folder + "/existing.jpg";
        put(existing, original);
        std::string fresh = folder + "/fresh.jpg";
        WriteResult a = writeFileAtomically(existing, c.writer);
        WriteResult b = writeFileAtomically(fresh, c.writer);
        EXPECT_FALSE(a);
        EXPECT_FALSE(b);
        EXPECT_EQ(a.message, existing + c.reason);
        EXPECT_EQ(b.message, fresh + c.reason);
        EXPECT_EQ(contents(existing), original);
        EXPECT_EQ(entries(), std::set<std::string>{"existing.jpg"});
    }
}

TEST_F(AtomicFileTest, SystemFailuresNameTheFileAndTheReason) {
    // A folder in place of the file: the rename is refused after the data was written.
    std::string taken = folder + "/taken";
    fs::create_directory(taken);
    put(taken + "/inside", "kept");
    struct Case {
        std::string path;
        std::string message;
    };
    const Case cases[] = {
        {folder + "/missing/a.jpg", folder + "/missing/a.jpg: No such file or directory"},
        {taken, taken + ": Is a directory"},
        {"", ": No such file or directory"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        WriteResult result = writeFileAtomically(c.path, "data", 4);
        EXPECT_FALSE(result);
        EXPECT_EQ(result.message, c.message);
    }
    EXPECT_EQ(entries(), std::set<std::string>{"taken"});
    EXPECT_EQ(contents(taken + "/inside"), "kept");
}

TEST_F(AtomicFileTest, ReadOnlyFolderKeepsTheExistingFileByteForByte) {
    std::string path = folder + "/scene.jpg";
    const std::string original("\xff\xd8 old scene \0 bytes", 19);
    put(path, original);
    // A plain user is stopped by the permission bits; root only by an immutable folder.
    if (::geteuid() == 0) {
        if (!setImmutable(folder, true))
            GTEST_SKIP() << "this file system cannot make a folder read-only for root";
    } else {
        ASSERT_EQ(::chmod(folder.c_str(), 0555), 0);
    }
    WriteResult result = writeFileAtomically(path, "new", 3);
    std::set<std::string> after = entries();
    setImmutable(folder, false);
    ::chmod(folder.c_str(), 0755);

    EXPECT_FALSE(result);
    EXPECT_EQ(result.message.rfind(path + ": ", 0), 0u) << result.message;
    EXPECT_GT(result.message.size(), path.size() + 2);
    EXPECT_EQ(after, std::set<std::string>{"scene.jpg"});
    EXPECT_EQ(contents(path), original);
}

} // namespace
} // namespace quill
