#include "imaging/AtomicFile.h"

#include <gtest/gtest.h>

#include "tests/collections/CollectionsTestSupport.h"

#include <filesystem>
#include <set>
#include <stdexcept>
#include <string>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quill {
namespace {

namespace fs = std::filesystem;
using quill::testing::Bytes;

class AtomicFileTest : public ::testing::Test {
  protected:
    void TearDown() override { setImmutable(folder, false); }

    static std::string contents(const std::string& path) {
        const Bytes b = quill::testing::TempFolder::read(path);
        return {b.begin(), b.end()};
    }
    void put(const std::string& name, const std::string& text) const {
        temp.write(name, Bytes(text.begin(), text.end()));
    }
    static mode_t mode(const std::string& path) {
        struct stat status {};
        return ::stat(path.c_str(), &status) == 0 ? status.st_mode & 07777 : 0;
    }

    // Makes a folder refuse new entries even to root; false where that cannot be done.
    static bool setImmutable(const std::string& path, bool on) {
        const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY);
        int flags = 0;
        bool done = fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        done = done && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        if (fd >= 0)
            ::close(fd);
        return done;
    }

    const quill::testing::TempFolder temp;
    const std::string folder = temp.path();
};

TEST_F(AtomicFileTest, WritesExactBytesAndLeavesOnlyTheFile) {
    const std::pair<const char*, std::string> cases[] = {{"new.bin", std::string("\0\1\2\xff", 4)},
                                                         {"empty.bin", ""},
                                                         {"large.bin", std::string(3 << 20, 'q')}};
    for (const auto& [name, bytes] : cases) {
        const WriteResult result = writeFileAtomically(temp.path(name), bytes.data(), bytes.size());
        ASSERT_TRUE(result) << result.message;
        EXPECT_TRUE(result.message.empty());
        EXPECT_EQ(contents(temp.path(name)), bytes);
    }
    EXPECT_EQ(temp.names(), (std::set<std::string>{"empty.bin", "large.bin", "new.bin"}));
}

TEST_F(AtomicFileTest, LongNamesAndLinksAreWrittenWhereTheUserMeans) {
    // A name at the file system's limit still leaves room for the temporary name.
    const std::string longName = temp.path(std::string(250, 'n') + ".jpg");
    ASSERT_TRUE(writeFileAtomically(longName, "long", 4));
    EXPECT_EQ(contents(longName), "long");

    // A link is followed: the file it points to gets the data, the link stays a link.
    put("real/picture.png", "old");
    const std::string link = temp.path("link.png");
    fs::create_symlink(temp.path("real/picture.png"), link);
    const WriteResult result = writeFileAtomically(link, "new", 3);
    ASSERT_TRUE(result) << result.message;
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(contents(temp.path("real/picture.png")), "new");
    EXPECT_EQ(temp.names().size(), 3u);
    EXPECT_EQ(fs::directory_iterator(temp.path("real"))->path().filename(), "picture.png");
}

TEST_F(AtomicFileTest, ReplacingAFileKeepsItsPermissionsAndNewFilesFollowTheMode) {
    put("old.txt", "old contents that are longer");
    ASSERT_EQ(::chmod(temp.path("old.txt").c_str(), 0640), 0);
    ASSERT_TRUE(writeFileAtomically(temp.path("old.txt"), "new", 3));
    EXPECT_EQ(contents(temp.path("old.txt")), "new");
    EXPECT_EQ(mode(temp.path("old.txt")), 0640u);

    const mode_t mask = ::umask(022);
    ASSERT_TRUE(writeFileAtomically(temp.path("program"), "#!", 2, 0777));
    ASSERT_TRUE(writeFileAtomically(temp.path("plain"), "x", 1));
    ::umask(mask);
    EXPECT_EQ(mode(temp.path("program")), 0755u);
    EXPECT_EQ(mode(temp.path("plain")), 0644u);
}

TEST_F(AtomicFileTest, FailingWriterLeavesNothingAndKeepsTheOldFile) {
    const struct {
        const char* name;
        std::function<bool(std::FILE*)> writer;
        const char* reason; // the end of the message
    } cases[] = {
        {"refuses at once", [](std::FILE*) { return false; }, ": the data could not be written"},
        {"refuses after half its data", [](std::FILE* f) { return std::fputs("half", f) < 0; },
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
         ": the data could not be written"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        put("existing.jpg", "the file as it was\n");
        const WriteResult a = writeFileAtomically(temp.path("existing.jpg"), c.writer);
        const WriteResult b = writeFileAtomically(temp.path("fresh.jpg"), c.writer);
        EXPECT_EQ(a.message, temp.path("existing.jpg") + c.reason);
        EXPECT_EQ(b.message, temp.path("fresh.jpg") + c.reason);
        EXPECT_FALSE(a || b);
        EXPECT_EQ(contents(temp.path("existing.jpg")), "the file as it was\n");
        EXPECT_EQ(temp.names(), std::set<std::string>{"existing.jpg"});
    }
}

TEST_F(AtomicFileTest, SystemFailuresNameTheFileAndTheReason) {
    // A folder in place of the file: the rename is refused after the data was written.
    put("taken/inside", "kept");
    const std::string taken = temp.path("taken"), missing = temp.path("missing/a.jpg");
    const std::pair<std::string, std::string> cases[] = {
        {missing, missing + ": No such file or directory"},
        {taken, taken + ": Is a directory"},
        {"", ": No such file or directory"}};
    for (const auto& [path, message] : cases) {
        const WriteResult result = writeFileAtomically(path, "data", 4);
        EXPECT_FALSE(result);
        EXPECT_EQ(result.message, message);
    }
    EXPECT_EQ(temp.names(), std::set<std::string>{"taken"});
    EXPECT_EQ(contents(taken + "/inside"), "kept");
}

TEST_F(AtomicFileTest, ReadOnlyFolderKeepsTheExistingFileByteForByte) {
    const std::string original("\xff\xd8 old scene \0 bytes", 19), path = temp.path("scene.jpg");
    put("scene.jpg", original);
    // A plain user is stopped by the permission bits; root only by an immutable folder.
    if (::geteuid() != 0)
        ASSERT_EQ(::chmod(folder.c_str(), 0555), 0);
    else if (!setImmutable(folder, true))
        GTEST_SKIP() << "this file system cannot make a folder read-only for root";
    const WriteResult result = writeFileAtomically(path, "new", 3);
    const std::set<std::string> after = temp.names();
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
