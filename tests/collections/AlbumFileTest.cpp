#include "collections/AlbumFile.h"

#include "CollectionsTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

namespace quill {
namespace {

namespace fs = std::filesystem;
using quill::testing::albumBytes;
using quill::testing::Bytes;
using quill::testing::fakeJpeg;
using quill::testing::TempFolder;

std::uint32_t le32At(const Bytes& v, std::uint64_t at) {
    return std::uint32_t(v[at]) | (std::uint32_t(v[at + 1]) << 8) |
           (std::uint32_t(v[at + 2]) << 16) | (std::uint32_t(v[at + 3]) << 24);
}

TEST(AlbumReader, WalksBackFromTheCount) {
    // The player's size, then the scenes: two of 10,000 and 20,000 bytes after a
    // 491,008-byte player, three right at the start, none.
    const std::pair<std::size_t, std::vector<AlbumScene>> cases[] = {
        {491008, {{491008, 10000}, {501012, 20000}}},
        {0, {{0, 10}, {14, 8}, {26, 4}}},
        {5, {}},
        {1, {{1, 6}}}};
    for (const auto& [player, scenes] : cases) {
        std::vector<Bytes> jpegs;
        for (const AlbumScene& s : scenes)
            jpegs.push_back(fakeJpeg(s.length, int(jpegs.size()) + 1));
        AlbumIndex index = readAlbumIndex(albumBytes(Bytes(player, 0x7F), jpegs), "a.exe");
        EXPECT_TRUE(index.ok()) << index.error;
        EXPECT_EQ(index.scenes, scenes);
    }
}

TEST(AlbumReader, RefusesDamagedAlbums) {
    // 222 bytes: the count word at 218, scene 2's length word at 214, scene 1 at 100.
    const auto good = albumBytes(Bytes(100, 0x7F), {fakeJpeg(50, 1), fakeJpeg(60, 2)});
    auto patched = [&good](std::initializer_list<std::pair<std::size_t, std::uint8_t>> changes) {
        auto b = good;
        for (auto [at, value] : changes)
            b[at] = value;
        return b;
    };
    const std::string bad = "x.exe is not a valid album: ";
    struct Case {
        const char* what;
        Bytes bytes;
        std::string message;
    };
    const Case cases[] = {
        {"shorter than 4 bytes", {1, 0, 0}, bad + "the file is only 3 bytes long"},
        {"empty", {}, bad + "the file is only 0 bytes long"},
        {"count too big", patched({{218, 200}}),
         bad + "the scene count 200 does not fit in a file of 222 bytes"},
        {"length before the file", patched({{214, 0xF0}, {215, 0xFF}}),
         bad + "the length word of scene 2 (65520) points before the start of the file"},
        {"length below 8", patched({{214, 7}}),
         bad + "the length word of scene 2 is 7, too small for a picture"},
        {"not a JPEG", patched({{100, 0x89}}), bad + "scene 1 at offset 100 is not a JPEG picture"},
        // The count says 3 while only two records exist: the third word read is player bytes.
        {"count one too many", patched({{218, 3}}),
         bad + "the length word of scene 1 (2139062143) points before the start of the file"},
        {"count with no record",
         {1, 0, 0, 0},
         bad + "the scene count 1 does not fit in a file of 4 bytes"},
        {"record word at the start",
         {9, 9, 9, 9, 1, 0, 0, 0},
         bad + "the length word of scene 1 (151587081) points before the start of the file"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        AlbumIndex index = readAlbumIndex(c.bytes, "x.exe");
        EXPECT_EQ(index.error, c.message);
        EXPECT_TRUE(index.scenes.empty());
    }
}

TEST(AlbumFiles, FileReaderMatchesByteReader) {
    TempFolder dir;
    const auto bytes =
        albumBytes(Bytes(333, 1), {fakeJpeg(40, 1), fakeJpeg(9, 2), fakeJpeg(70, 3)});
    dir.write("a.exe", bytes);
    AlbumIndex fromFile = readAlbumIndex(dir.path("a.exe"));
    ASSERT_TRUE(fromFile.ok()) << fromFile.error;
    EXPECT_EQ(fromFile.scenes, readAlbumIndex(bytes, dir.path("a.exe")).scenes);
    Bytes scene;
    std::string error;
    ASSERT_TRUE(readFileRange(dir.path("a.exe"), fromFile.scenes[1].offset,
                              fromFile.scenes[1].length, scene));
    EXPECT_EQ(scene, fakeJpeg(9, 2));
    // A range past the end fails and says where the file ends (one byte short here).
    EXPECT_FALSE(readFileRange(dir.path("a.exe"), bytes.size() - 3, 4, scene, &error));
    EXPECT_EQ(error, dir.path("a.exe") + ": the file ends before byte " +
                         std::to_string(bytes.size() + 1));

    auto damaged = bytes;
    damaged[damaged.size() - 4] = 0xFF;
    dir.write("b.exe", damaged);
    EXPECT_EQ(readAlbumIndex(dir.path("b.exe")).error,
              dir.path("b.exe") +
                  " is not a valid album: the scene count 255 does not fit in a file of 468 bytes");
    EXPECT_EQ(readAlbumIndex(dir.path("none.exe")).error,
              dir.path("none.exe") + " cannot be opened: No such file or directory");
}

TEST(AlbumFiles, ElfImageEndOfTheTestProgramIsItsSize) {
    TempFolder dir;
    const std::string self = fs::read_symlink("/proc/self/exe").string();
    EXPECT_EQ(elfImageEnd(self), fs::file_size(self));
    EXPECT_EQ(elfImageEnd(dir.write("not-elf", Bytes(100, 'x'))), 0u);
    // An album made from the program is longer than the image its headers describe.
    const auto withAlbum = albumBytes(TempFolder::read(self), {fakeJpeg(30, 1)});
    EXPECT_EQ(elfImageEnd(dir.write("album.exe", withAlbum)), fs::file_size(self));
}

TEST(AlbumFiles, WritersPutTheScenesAfterThePlayer) {
    TempFolder dir;
    const Bytes player(491008, 0x5A);
    dir.write("1.jpg", fakeJpeg(10000, 1));
    dir.write("2.jpg", fakeJpeg(20000, 2));
    AlbumWriteResult r =
        writeAlbumFile(dir.path("2.exe"), player, {dir.path("1.jpg"), dir.path("2.jpg")});
    ASSERT_TRUE(r.ok) << r.message;
    EXPECT_TRUE(r.message.empty());
    const auto bytes = TempFolder::read(dir.path("2.exe"));
    EXPECT_EQ(bytes, albumBytes(player, {fakeJpeg(10000, 1), fakeJpeg(20000, 2)}));
    ASSERT_EQ(bytes.size(), 521020u);
    EXPECT_EQ((std::vector<std::uint32_t>{le32At(bytes, 501008), le32At(bytes, 521012),
                                          le32At(bytes, 521016)}),
              (std::vector<std::uint32_t>{10004, 20004, 2}));
    const auto perms = fs::status(dir.path("2.exe")).permissions();
    EXPECT_NE(perms & fs::perms::owner_exec, fs::perms::none);

    // Making it again replaces the file instead of appending to it.
    ASSERT_TRUE(writeAlbumFromJpegs(dir.path("2.exe"), Bytes{1, 2, 3}, {fakeJpeg(12, 4)}).ok);
    EXPECT_EQ(TempFolder::read(dir.path("2.exe")), albumBytes({1, 2, 3}, {fakeJpeg(12, 4)}));
}

TEST(AlbumFiles, FailureLeavesNoAlbumAndNamesTheFile) {
    TempFolder dir;
    const Bytes player(64, 0x11);
    dir.write("1.jpg", fakeJpeg(100, 1));
    dir.write("3.exe", {'o', 'l', 'd'});
    struct Case {
        const char* what;
        std::string album;
        Bytes player;
        std::vector<std::string> scenes;
        std::string message; // empty: the message names the album
    };
    const Case cases[] = {
        {"missing scene",
         dir.path("3.exe"),
         player,
         {dir.path("1.jpg"), dir.path("2.jpg")},
         dir.path("2.jpg") + ": No such file or directory"},
        {"no player", dir.path("3.exe"), {}, {dir.path("1.jpg")}, kNoPlayerMessage},
        {"missing folder", dir.path("nowhere/3.exe"), player, {dir.path("1.jpg")}, ""}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        AlbumWriteResult r = writeAlbumFile(c.album, c.player, c.scenes);
        EXPECT_FALSE(r.ok);
        EXPECT_TRUE(c.message.empty() ? r.message.find(c.album) != std::string::npos
                                      : r.message == c.message)
            << r.message;
        // The older album keeps its bytes and nothing else is left in the folder.
        EXPECT_EQ(TempFolder::read(dir.path("3.exe")), (Bytes{'o', 'l', 'd'}));
        EXPECT_EQ(dir.names(), (std::set<std::string>{"1.jpg", "3.exe"}));
    }
}

TEST(AlbumExtract, WritesEachSceneUnchanged) {
    TempFolder dir;
    const std::vector<Bytes> jpegs = {fakeJpeg(30, 1), fakeJpeg(45, 2), fakeJpeg(8, 3)};
    ASSERT_TRUE(writeAlbumFromJpegs(dir.path("a.exe"), Bytes(77, 9), jpegs).ok);
    fs::create_directory(dir.path("out"));
    std::size_t count = 0;
    AlbumWriteResult r = extractAlbum(dir.path("a.exe"), dir.path("out"), &count);
    ASSERT_TRUE(r.ok) << r.message;
    EXPECT_EQ(count, 3u);
    for (std::size_t k = 1; k <= 3; ++k)
        EXPECT_EQ(TempFolder::read(dir.path("out/scene" + std::to_string(k) + ".jpg")),
                  jpegs[k - 1]);

    // A damaged album writes nothing.
    auto bytes = TempFolder::read(dir.path("a.exe"));
    bytes[77] = 0; // scene 1 no longer starts with FF D8
    dir.write("bad.exe", bytes);
    fs::create_directory(dir.path("out2"));
    r = extractAlbum(dir.path("bad.exe"), dir.path("out2"));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message, dir.path("bad.exe") +
                             " is not a valid album: scene 1 at offset 77 is not a JPEG picture");
    EXPECT_TRUE(fs::is_empty(dir.path("out2")));
}

// The album made with the player this build carries, when the Qt programs were built.
TEST(AlbumWithBuiltPlayer, LayoutFollowsThePlayerSize) {
    const std::string playerPath = std::string(QUILL_BUILD_DIR) + "/quillmark-player";
    if (!fs::exists(playerPath))
        GTEST_SKIP() << "built without the album player";
    TempFolder dir;
    const Bytes player = TempFolder::read(playerPath);
    const std::uint64_t p = player.size();
    const std::vector<Bytes> jpegs = {fakeJpeg(10000, 1), fakeJpeg(20000, 2)};
    ASSERT_TRUE(writeAlbumFromJpegs(dir.path("2.exe"), player, jpegs).ok);
    EXPECT_EQ(TempFolder::read(dir.path("2.exe")), albumBytes(player, jpegs));
    AlbumIndex index = readAlbumIndex(dir.path("2.exe"));
    EXPECT_EQ(index.scenes, (std::vector<AlbumScene>{{p, 10000}, {p + 10004, 20000}}));
    // The player's own file describes exactly itself, so it can tell that it holds no album.
    EXPECT_EQ(elfImageEnd(playerPath), p);
    EXPECT_EQ(elfImageEnd(dir.path("2.exe")), p);
}

// Mutated albums: whatever the reader accepts lies inside the file, in order, each
// scene starting with FF D8 and followed by its length word.
TEST(AlbumReader, MutatedAlbumsAreAcceptedOnlyWhenConsistent) {
    const auto good =
        albumBytes(Bytes(40, 0x7F), {fakeJpeg(20, 1), fakeJpeg(9, 2), fakeJpeg(33, 3)});
    std::mt19937 random(12345);
    int accepted = 0, refused = 0;
    for (int round = 0; round < 4000; ++round) {
        auto bytes = good;
        const int changes = 1 + int(random() % 3);
        for (int c = 0; c < changes; ++c) {
            // Mostly the trailer and the length words, where the damage matters.
            const std::size_t at =
                random() % 2 ? bytes.size() - 1 - random() % 12 : random() % bytes.size();
            bytes[at] = std::uint8_t(random());
        }
        if (round % 7 == 0)
            bytes.resize(random() % bytes.size());
        const AlbumIndex index = readAlbumIndex(bytes, "m.exe");
        if (!index.ok()) {
            ++refused;
            EXPECT_TRUE(index.scenes.empty());
            EXPECT_EQ(index.error.rfind("m.exe is not a valid album: ", 0), 0u) << index.error;
            continue;
        }
        ++accepted;
        std::uint64_t end = index.scenes.empty() ? 0 : index.scenes.front().offset;
        for (const AlbumScene& s : index.scenes) {
            ASSERT_EQ(s.offset, end); // records follow each other without a gap
            ASSERT_GE(s.length, 4u);
            ASSERT_LE(s.offset + s.length + 4, bytes.size() - 4);
            EXPECT_EQ(bytes[s.offset], 0xFF);
            EXPECT_EQ(bytes[s.offset + 1], 0xD8);
            EXPECT_EQ(le32At(bytes, s.offset + s.length), s.length + 4);
            end = s.offset + s.length + 4;
        }
        EXPECT_TRUE(index.scenes.empty() || end + 4 == bytes.size());
    }
    EXPECT_GT(accepted, 0);
    EXPECT_GT(refused, 0);
}

} // namespace
} // namespace quill
