#include "collections/AlbumFile.h"

#include "CollectionsTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

namespace quill {
namespace {

using quill::testing::TempFolder;

void putLe32(std::vector<std::uint8_t>& v, std::uint32_t x) {
    for (int i = 0; i < 4; ++i)
        v.push_back(std::uint8_t(x >> (8 * i)));
}

std::uint32_t le32At(const std::vector<std::uint8_t>& v, std::size_t at) {
    return std::uint32_t(v[at]) | (std::uint32_t(v[at + 1]) << 8) |
           (std::uint32_t(v[at + 2]) << 16) | (std::uint32_t(v[at + 3]) << 24);
}

// JPEG-looking bytes of the given length: FF D8, a fill depending on seed, FF D9.
std::vector<std::uint8_t> fakeJpeg(std::size_t length, int seed) {
    std::vector<std::uint8_t> j(length, std::uint8_t(seed));
    j[0] = 0xFF;
    j[1] = 0xD8;
    j[length - 2] = 0xFF;
    j[length - 1] = 0xD9;
    return j;
}

std::vector<std::uint8_t> album(std::size_t playerSize,
                                const std::vector<std::vector<std::uint8_t>>& jpegs) {
    std::vector<std::uint8_t> a(playerSize, 0x7F);
    for (const auto& j : jpegs) {
        a.insert(a.end(), j.begin(), j.end());
        putLe32(a, std::uint32_t(j.size() + 4));
    }
    putLe32(a, std::uint32_t(jpegs.size()));
    return a;
}

TEST(AlbumReader, WalksBackFromTheCount) {
    struct Case {
        std::size_t player;
        std::vector<std::size_t> lengths;
        std::vector<AlbumScene> scenes;
    };
    const Case cases[] = {
        // Two scenes of 10,000 and 20,000 bytes after a 491,008-byte player.
        {491008, {10000, 20000}, {{491008, 10000}, {501012, 20000}}},
        {0, {10, 8, 4}, {{0, 10}, {14, 8}, {26, 4}}},
        {5, {}, {}},
        {1, {6}, {{1, 6}}},
    };
    for (const Case& c : cases) {
        std::vector<std::vector<std::uint8_t>> jpegs;
        for (std::size_t i = 0; i < c.lengths.size(); ++i)
            jpegs.push_back(fakeJpeg(c.lengths[i], int(i) + 1));
        const auto bytes = album(c.player, jpegs);
        AlbumIndex index = readAlbumIndex(bytes, "a.exe");
        EXPECT_TRUE(index.ok()) << index.error;
        EXPECT_EQ(index.scenes, c.scenes);
    }
}

TEST(AlbumReader, RefusesDamagedAlbums) {
    // 222 bytes: the count word at 218, scene 2's length word at 214, scene 1 at 100.
    const auto good = album(100, {fakeJpeg(50, 1), fakeJpeg(60, 2)});
    auto patched = [&good](std::initializer_list<std::pair<std::size_t, std::uint8_t>> changes) {
        auto b = good;
        for (auto [at, value] : changes)
            b[at] = value;
        return b;
    };
    const std::string bad = "x.exe is not a valid album: ";
    struct Case {
        const char* what;
        std::vector<std::uint8_t> bytes;
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
         bad + "the length word of scene 1 (151587081) points before the start of the file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        AlbumIndex index = readAlbumIndex(c.bytes, "x.exe");
        EXPECT_FALSE(index.ok());
        EXPECT_EQ(index.error, c.message);
        EXPECT_TRUE(index.scenes.empty());
    }
}

TEST(AlbumFiles, FileReaderMatchesByteReader) {
    TempFolder dir;
    const auto bytes = album(333, {fakeJpeg(40, 1), fakeJpeg(9, 2), fakeJpeg(70, 3)});
    dir.write("a.exe", bytes);
    AlbumIndex fromFile = readAlbumIndex(dir.path("a.exe"));
    AlbumIndex fromBytes = readAlbumIndex(bytes, dir.path("a.exe"));
    ASSERT_TRUE(fromFile.ok()) << fromFile.error;
    EXPECT_EQ(fromFile.scenes, fromBytes.scenes);
    std::vector<std::uint8_t> scene;
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
    AlbumIndex bad = readAlbumIndex(dir.path("b.exe"));
    EXPECT_EQ(bad.error,
              dir.path("b.exe") +
                  " is not a valid album: the scene count 255 does not fit in a file of 468 bytes");

    AlbumIndex missing = readAlbumIndex(dir.path("none.exe"));
    EXPECT_EQ(missing.error, dir.path("none.exe") + " cannot be opened: No such file or directory");
}

TEST(AlbumFiles, ElfImageEndOfTheTestProgramIsItsSize) {
    TempFolder dir;
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    EXPECT_EQ(elfImageEnd(self), std::filesystem::file_size(self));
    dir.write("not-elf", std::vector<std::uint8_t>(100, 'x'));
    EXPECT_EQ(elfImageEnd(dir.path("not-elf")), 0u);
    // An album made from the program is longer than the image its headers describe.
    auto bytes = TempFolder::read(self);
    const auto withAlbum = album(0, {fakeJpeg(30, 1)});
    bytes.insert(bytes.end(), withAlbum.begin(), withAlbum.end());
    dir.write("album.exe", bytes);
    EXPECT_EQ(elfImageEnd(dir.path("album.exe")), std::filesystem::file_size(self));
}

TEST(AlbumFiles, WriterStreamsScenesAfterThePlayer) {
    TempFolder dir;
    const std::vector<std::uint8_t> player(491008, 0x5A);
    dir.write("1.jpg", fakeJpeg(10000, 1));
    dir.write("2.jpg", fakeJpeg(20000, 2));
    AlbumWriteResult r =
        writeAlbumFile(dir.path("2.exe"), player, {dir.path("1.jpg"), dir.path("2.jpg")});
    ASSERT_TRUE(r.ok) << r.message;
    EXPECT_TRUE(r.message.empty());
    const auto bytes = TempFolder::read(dir.path("2.exe"));
    auto expected = album(491008, {fakeJpeg(10000, 1), fakeJpeg(20000, 2)});
    std::fill(expected.begin(), expected.begin() + 491008, 0x5A);
    EXPECT_EQ(bytes, expected);
    ASSERT_EQ(bytes.size(), 521020u);
    EXPECT_EQ(le32At(bytes, 501008), 10004u);
    EXPECT_EQ(le32At(bytes, 521012), 20004u);
    EXPECT_EQ(le32At(bytes, 521016), 2u);
    AlbumIndex index = readAlbumIndex(dir.path("2.exe"));
    EXPECT_EQ(index.scenes, (std::vector<AlbumScene>{{491008, 10000}, {501012, 20000}}));
    const auto perms = std::filesystem::status(dir.path("2.exe")).permissions();
    EXPECT_NE(perms & std::filesystem::perms::owner_exec, std::filesystem::perms::none);

    // Making it again replaces the file instead of appending to it.
    r = writeAlbumFile(dir.path("2.exe"), player, {dir.path("2.jpg"), dir.path("1.jpg")});
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(std::filesystem::file_size(dir.path("2.exe")), 521020u);
    EXPECT_EQ(le32At(TempFolder::read(dir.path("2.exe")), 491008 + 20000), 20004u);
}

TEST(AlbumFiles, SingleSceneEndsWithLengthThenOne) {
    TempFolder dir;
    const std::vector<std::uint8_t> player{1, 2, 3};
    AlbumWriteResult r = writeAlbumFromJpegs(dir.path("1.exe"), player, {fakeJpeg(12, 4)});
    ASSERT_TRUE(r.ok);
    const auto bytes = TempFolder::read(dir.path("1.exe"));
    ASSERT_EQ(bytes.size(), 3u + 12 + 8);
    EXPECT_EQ(le32At(bytes, 15), 16u);
    EXPECT_EQ(le32At(bytes, 19), 1u);
    EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 3), player);
}

TEST(AlbumFiles, FailureLeavesNoAlbumAndNamesTheFile) {
    TempFolder dir;
    const std::vector<std::uint8_t> player(64, 0x11);
    dir.write("1.jpg", fakeJpeg(100, 1));
    dir.write("3.exe", {'o', 'l', 'd'});
    struct Case {
        const char* what;
        std::string album;
        std::vector<std::uint8_t> player;
        std::vector<std::string> scenes;
        std::string message;
    };
    const Case cases[] = {
        {"missing scene",
         dir.path("3.exe"),
         player,
         {dir.path("1.jpg"), dir.path("2.jpg")},
         dir.path("2.jpg") + ": No such file or directory"},
        {"no player", dir.path("3.exe"), {}, {dir.path("1.jpg")}, kNoPlayerMessage},
        {"missing folder", dir.path("nowhere/3.exe"), player, {dir.path("1.jpg")}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        AlbumWriteResult r = writeAlbumFile(c.album, c.player, c.scenes);
        EXPECT_FALSE(r.ok);
        if (!c.message.empty()) {
            EXPECT_EQ(r.message, c.message);
        } else {
            EXPECT_NE(r.message.find(c.album), std::string::npos) << r.message;
        }
        // The older album keeps its bytes and nothing else is left in the folder.
        EXPECT_EQ(TempFolder::read(dir.path("3.exe")), (std::vector<std::uint8_t>{'o', 'l', 'd'}));
        EXPECT_EQ(dir.names(), (std::set<std::string>{"1.jpg", "3.exe"}));
    }
}

TEST(AlbumExtract, WritesEachSceneUnchanged) {
    TempFolder dir;
    const std::vector<std::vector<std::uint8_t>> jpegs = {fakeJpeg(30, 1), fakeJpeg(45, 2),
                                                          fakeJpeg(8, 3)};
    ASSERT_TRUE(writeAlbumFromJpegs(dir.path("a.exe"), std::vector<std::uint8_t>(77, 9), jpegs).ok);
    std::filesystem::create_directory(dir.path("out"));
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
    std::filesystem::create_directory(dir.path("out2"));
    r = extractAlbum(dir.path("bad.exe"), dir.path("out2"));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message, dir.path("bad.exe") +
                             " is not a valid album: scene 1 at offset 77 is not a JPEG picture");
    EXPECT_TRUE(std::filesystem::is_empty(dir.path("out2")));
}

// The album made with the player this build carries, when the Qt programs were built.
TEST(AlbumWithBuiltPlayer, LayoutFollowsThePlayerSize) {
    const std::string playerPath = std::string(QUILL_BUILD_DIR) + "/quillmark-player";
    if (!std::filesystem::exists(playerPath))
        GTEST_SKIP() << "built without the album player";
    TempFolder dir;
    const std::vector<std::uint8_t> player = TempFolder::read(playerPath);
    const std::uint64_t p = player.size();
    ASSERT_GT(p, 0u);
    ASSERT_TRUE(
        writeAlbumFromJpegs(dir.path("2.exe"), player, {fakeJpeg(10000, 1), fakeJpeg(20000, 2)})
            .ok);
    const auto bytes = TempFolder::read(dir.path("2.exe"));
    ASSERT_EQ(bytes.size(), p + 10000 + 4 + 20000 + 4 + 4);
    EXPECT_EQ(le32At(bytes, p + 10000), 10004u);
    EXPECT_EQ(le32At(bytes, p + 30004), 20004u);
    EXPECT_EQ(le32At(bytes, p + 30008), 2u);
    EXPECT_TRUE(std::equal(player.begin(), player.end(), bytes.begin()));
    AlbumIndex index = readAlbumIndex(dir.path("2.exe"));
    EXPECT_EQ(index.scenes, (std::vector<AlbumScene>{{p, 10000}, {p + 10004, 20000}}));
    // The player's own file describes exactly itself, so it can tell that it holds no album.
    EXPECT_EQ(elfImageEnd(playerPath), p);
    EXPECT_EQ(elfImageEnd(dir.path("2.exe")), p);
}

// Mutated albums: whatever the reader accepts lies inside the file, in order, each
// scene starting with FF D8 and followed by its length word.
TEST(AlbumReader, MutatedAlbumsAreAcceptedOnlyWhenConsistent) {
    const auto good = album(40, {fakeJpeg(20, 1), fakeJpeg(9, 2), fakeJpeg(33, 3)});
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
        std::uint64_t end = 0;
        for (const AlbumScene& s : index.scenes) {
            if (&s != &index.scenes.front()) {
                ASSERT_EQ(s.offset, end); // records follow each other without a gap
            }
            ASSERT_GE(s.length, 4u);
            ASSERT_LE(s.offset + s.length + 4, bytes.size() - 4);
            EXPECT_EQ(bytes[s.offset], 0xFF);
            EXPECT_EQ(bytes[s.offset + 1], 0xD8);
            EXPECT_EQ(le32At(bytes, std::size_t(s.offset + s.length)), s.length + 4);
            end = s.offset + s.length + 4;
        }
        EXPECT_EQ(end + 4, index.scenes.empty() ? end + 4 : bytes.size());
    }
    EXPECT_GT(accepted, 0);
    EXPECT_GT(refused, 0);
}

} // namespace
} // namespace quill
