// Folders: listing, removing, the libraries' and working folders; files written atomically.
#include "imaging/Folders.h"
#include "imaging/AtomicFile.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <linux/fs.h>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

#include "tests/collections/CollectionsTestSupport.h"

namespace quill {
namespace {

using quill::testing::TempFolder;

bool exists(const std::string& p) {
    struct stat st {};
    return lstat(p.c_str(), &st) == 0;
}

// A fresh folder for one test, removed afterwards even when the test fails.
class TempTree : public ::testing::Test {
  protected:
    const TempFolder folder;
    const std::string root = folder.path();
    void writeFile(const std::string& p, const std::string& text = "x") const {
        folder.write(p.substr(root.size() + 1), quill::testing::Bytes(text.begin(), text.end()));
    }
};

using FolderList = TempTree;

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

TEST_F(FolderList, MatchesExtensionIgnoringCaseAndSortsIgnoringCase) {
    for (const char* name :
         {"b.JPG", "a.jpg", "C.Jpg", "d.jpeg", "e.bmp", "f.jpg.txt", "A.bmp", "jpg"})
        writeFile(root + "/" + name);
    ASSERT_EQ(mkdir((root + "/folder.jpg").c_str(), 0755), 0);
    ASSERT_EQ(symlink((root + "/a.jpg").c_str(), (root + "/link.jpg").c_str()), 0);
    ASSERT_EQ(symlink((root + "/nowhere").c_str(), (root + "/broken.jpg").c_str()), 0);
    ASSERT_EQ(symlink(root.c_str(), (root + "/tofolder.jpg").c_str()), 0);

    const struct {
        const char* pattern;
        std::vector<std::string> expected;
    } cases[] = {
        {"*.jpg", {"a.jpg", "b.JPG", "C.Jpg", "link.jpg"}},
        {"*.JPG", {"a.jpg", "b.JPG", "C.Jpg", "link.jpg"}},
        {"*.bmp", {"A.bmp", "e.bmp"}},
        {"*.gif", {}},
        {"*",
         {"A.bmp", "a.jpg", "b.JPG", "C.Jpg", "d.jpeg", "e.bmp", "f.jpg.txt", "jpg", "link.jpg"}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pattern);
        EXPECT_EQ(ScanFolderList(root, c.pattern), c.expected);
    }
    EXPECT_TRUE(ScanFolderList(root + "/missing", "*.jpg").empty());
    EXPECT_TRUE(ScanFolderList(root + "/a.jpg", "*").empty()); // a file, not a folder
}

TEST(FolderPattern, Wildcards) {
    const struct {
        const char* name;
        const char* pattern;
        bool match;
    } cases[] = {{"photo.jpg", "*.jpg", true},
                 {"PHOTO.JPG", "*.jpg", true},
                 {".jpg", "*.jpg", true},
                 {"photo.jpeg", "*.jpg", false},
                 {"photo.jpg.bak", "*.jpg", false},
                 {"photojpg", "*.jpg", false},
                 {"a.b.jpg", "*.jpg", true},
                 {"m1.gif", "m?.gif", true},
                 {"m12.gif", "m?.gif", false},
                 {"", "*", true},
                 {"", "?", false},
                 {"abc", "a*c", true},
                 {"abcbc", "a*bc", true},
                 {"abcb", "a*bc", false},
                 {"x", "**x", true}};
    for (const auto& c : cases)
        EXPECT_EQ(nameMatchesPattern(c.name, c.pattern), c.match) << c.name << " / " << c.pattern;
}

TEST(FolderPaths, JoinAndChangeExtension) {
    const std::pair<const char*, const char*> extensions[] = {
        {"picture.jpg", "picture.bmp"},
        {"/a/b/picture.jpeg", "/a/b/picture.bmp"},
        {"/a.b/picture", "/a.b/picture.bmp"},
        {"noext", "noext.bmp"},
        {"/x/archive.tar.gz", "/x/archive.tar.bmp"},
        {"/x/.hidden", "/x/.bmp"}};
    for (auto [in, out] : extensions)
        EXPECT_EQ(changeExtension(in, ".bmp"), out);
    EXPECT_EQ(joinPath("/a", "b.jpg"), "/a/b.jpg");
    EXPECT_EQ(joinPath("/a/", "b.jpg"), "/a/b.jpg");
    EXPECT_EQ(joinPath("", "b.jpg"), "b.jpg");
}

using DeleteTree = TempTree;

TEST_F(DeleteTree, RemovesNestedReadOnlyContentButNeverFollowsLinks) {
    const std::string tree = root + "/recorder";
    const std::string outside = root + "/outside";
    ASSERT_EQ(mkdir(tree.c_str(), 0755), 0);
    ASSERT_EQ(mkdir(outside.c_str(), 0755), 0);
    writeFile(outside + "/keep.txt", "pre");
    ASSERT_EQ(mkdir((tree + "/a").c_str(), 0755), 0);
    ASSERT_EQ(mkdir((tree + "/a/b").c_str(), 0755), 0);
    ASSERT_EQ(mkdir((tree + "/a/b/c").c_str(), 0755), 0);
    writeFile(tree + "/top.jpg");
    writeFile(tree + "/a/b/c/deep.jpg");
    writeFile(tree + "/a/readonly.jpg");
    ASSERT_EQ(chmod((tree + "/a/readonly.jpg").c_str(), 0444), 0);
    ASSERT_EQ(chmod((tree + "/a/b").c_str(), 0555), 0); // a folder that refuses new entries
    ASSERT_EQ(symlink(outside.c_str(), (tree + "/a/linkdir").c_str()), 0);
    ASSERT_EQ(symlink((outside + "/keep.txt").c_str(), (tree + "/linkfile").c_str()), 0);

    EXPECT_TRUE(DeleteFolder(tree));
    EXPECT_FALSE(exists(tree));
    EXPECT_TRUE(exists(outside));
    EXPECT_EQ(TempFolder::read(outside + "/keep.txt"), quill::testing::Bytes({'p', 'r', 'e'}));
}

TEST_F(DeleteTree, Results) {
    const std::string file = root + "/plain.txt";
    writeFile(file);
    const std::string empty = root + "/empty";
    ASSERT_EQ(mkdir(empty.c_str(), 0755), 0);
    const std::string target = root + "/target";
    ASSERT_EQ(mkdir(target.c_str(), 0755), 0);
    writeFile(target + "/inside.txt");
    const std::string link = root + "/link";
    ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);

    EXPECT_FALSE(DeleteFolder(root + "/missing"));
    EXPECT_FALSE(DeleteFolder(""));
    EXPECT_FALSE(DeleteFolder(file)); // not a folder: left alone
    EXPECT_TRUE(exists(file));
    EXPECT_TRUE(DeleteFolder(empty));
    EXPECT_FALSE(exists(empty));
    // A link given as the folder: only the link goes.
    EXPECT_TRUE(DeleteFolder(link));
    EXPECT_FALSE(exists(link));
    EXPECT_TRUE(exists(target + "/inside.txt"));
}

TEST(LibraryFolders, PathsBesideTheProgram) {
    for (const char* folder : {"/opt/quillmark/", "/opt/quillmark"}) {
        const LibraryFolders f = libraryFoldersBeside(folder);
        EXPECT_EQ(f.programFolder + "|" + f.BackgroundFolder + "|" + f.ForegroundFolder + "|" +
                      f.FrameFolder + "|" + f.MaskFolder + "|" + f.RecorderFolder,
                  "/opt/quillmark/|/opt/quillmark/background|/opt/quillmark/foreground|"
                  "/opt/quillmark/frame|/opt/quillmark/mask|/opt/quillmark/recorder/");
    }
}

TEST(LibraryFolders, ProgramFolderHoldsTheRunningProgram) {
    const std::string folder = programFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '/');
    EXPECT_TRUE(exists(folder + "test_imaging"));
}

using LibraryFolder = TempTree;

TEST_F(LibraryFolder, BesideTheProgramElseTheInstalledShareFolder) {
    const struct {
        const char* name;
        std::vector<std::string> beside; // folders made in bin/ ("=" prefix: a plain file)
        std::vector<std::string> shared; // folders made in share/quillmark/
        bool expectShared;
    } cases[] = {{"a build: the libraries beside", {"mask", "frame"}, {}, false},
                 {"installed", {}, {"background", "foreground", "frame", "mask"}, true},
                 {"both: beside wins", {"mask"}, {"mask"}, false},
                 {"one library folder is enough", {}, {"frame"}, true},
                 {"a file named mask is no library", {"=mask"}, {"mask"}, true},
                 {"share/quillmark without libraries", {}, {"recorder"}, false},
                 {"no libraries anywhere", {}, {}, false}};
    std::string real(PATH_MAX, '\0');
    ASSERT_NE(realpath(root.c_str(), real.data()), nullptr);
    real.resize(real.find('\0'));
    int k = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string prefix = "/case" + std::to_string(++k);
        for (const char* folder : {"", "/bin", "/share", "/share/quillmark"})
            ASSERT_EQ(mkdir((root + prefix + folder).c_str(), 0755), 0);
        for (const std::string& name : c.beside) {
            if (name[0] == '=')
                writeFile(root + prefix + "/bin/" + name.substr(1));
            else
                ASSERT_EQ(mkdir((root + prefix + "/bin/" + name).c_str(), 0755), 0);
        }
        for (const std::string& name : c.shared)
            ASSERT_EQ(mkdir((root + prefix + "/share/quillmark/" + name).c_str(), 0755), 0);
        EXPECT_EQ(libraryFolder(root + prefix + "/bin"),
                  c.expectShared ? real + prefix + "/share/quillmark/" : root + prefix + "/bin/");
    }
}

// Sets environment variables for one scope and puts the old values back.
class EnvironmentScope {
  public:
    void set(const char* name, const char* value) {
        const char* old = std::getenv(name);
        saved.push_back({name, old ? std::optional<std::string>(old) : std::nullopt});
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~EnvironmentScope() {
        for (auto it = saved.rbegin(); it != saved.rend(); ++it) {
            if (it->second)
                setenv(it->first.c_str(), it->second->c_str(), 1);
            else
                unsetenv(it->first.c_str());
        }
    }

  private:
    std::vector<std::pair<std::string, std::optional<std::string>>> saved;
};

using WorkingFolder = TempTree;

TEST_F(WorkingFolder, ProgramFolderWhenWritableElseTheUsersFolders) {
    const std::string missing = root + "/not/there/";
    const struct {
        const char* name;
        const char* cacheHome;
        const char* dataHome;
        bool forCache;
        std::string expected;
    } cases[] = {
        {"cache from XDG_CACHE_HOME", "/xdg/cache", nullptr, true, "/xdg/cache/quillmark/"},
        {"cache default", nullptr, nullptr, true, "/home/someone/.cache/quillmark/"},
        {"relative XDG_CACHE_HOME is ignored", "rel/cache", nullptr, true,
         "/home/someone/.cache/quillmark/"},
        {"data from XDG_DATA_HOME", nullptr, "/xdg/data/", false, "/xdg/data/quillmark/"},
        {"data default", nullptr, nullptr, false, "/home/someone/.local/share/quillmark/"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EnvironmentScope env;
        env.set("HOME", "/home/someone");
        env.set("XDG_CACHE_HOME", c.cacheHome);
        env.set("XDG_DATA_HOME", c.dataHome);
        EXPECT_EQ(workingFolder(missing, c.forCache), c.expected);
        EXPECT_EQ(workingFolder(root, c.forCache), root + "/");
    }
}

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
