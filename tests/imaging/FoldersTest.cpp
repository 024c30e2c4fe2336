#include "imaging/Folders.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <optional>
#include <string>
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
        EXPECT_EQ(f.programFolder, "/opt/quillmark/");
        EXPECT_EQ(f.BackgroundFolder, "/opt/quillmark/background");
        EXPECT_EQ(f.ForegroundFolder, "/opt/quillmark/foreground");
        EXPECT_EQ(f.FrameFolder, "/opt/quillmark/frame");
        EXPECT_EQ(f.MaskFolder, "/opt/quillmark/mask");
        EXPECT_EQ(f.RecorderFolder, "/opt/quillmark/recorder/");
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

} // namespace
} // namespace quill
