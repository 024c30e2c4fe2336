// Every command of quillmark-cli that writes a file, run with a disk that fills up (a
// file size limit on the process, SIGXFSZ ignored): exit status 3, a message naming the
// output, no partial or temporary file, and an existing output kept byte for byte.
#include "CliTestSupport.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace quill {
namespace {

using namespace clitest;

std::map<std::string, Bytes> snapshot(const fs::path& folder) {
    std::map<std::string, Bytes> files;
    for (const auto& e : fs::recursive_directory_iterator(folder))
        if (e.is_regular_file())
            files[fs::relative(e.path(), folder).string()] = readBytes(e.path());
    return files;
}

class HostileCli : public ScratchFolder {
  protected:
    // The inputs every command reads, and the old output it must not spoil.
    fs::path prepare(const std::string& sub, const std::string& output) {
        const fs::path d = m_dir / sub;
        fs::create_directories(d);
        EXPECT_TRUE(SavePicture(sample(60, 40), (d / "in.png").string(), PictureFormat::Png).ok);
        EXPECT_TRUE(SavePicture(sample(30, 20), (d / "frame.png").string(), PictureFormat::Png).ok);
        std::ofstream(d / "scene.json")
            << R"({"background": "in.png", "layers": [{"file": "in.png", "x": 5}]})";
        if (!output.empty()) {
            fs::create_directories((d / output).parent_path());
            std::ofstream(d / output) << "old output\n";
        }
        return d;
    }
};

TEST_F(HostileCli, AFullDiskGivesExitThreeAndLeavesTheOldOutput) {
    const struct {
        const char* name;
        std::vector<std::string> args;
        const char* output; // the file named in the message and kept as it was
    } cases[] = {
        {"convert png", {"convert", "in.png", "out.png"}, "out.png"},
        {"convert bmp", {"convert", "in.png", "out.bmp"}, "out.bmp"},
        {"convert jpeg", {"convert", "in.png", "out.jpg"}, "out.jpg"},
        {"convert emf", {"convert", "in.png", "out.emf"}, "out.emf"},
        {"effect", {"effect", "sharpen", "in.png", "out.png"}, "out.png"},
        {"background effect", {"background-effect", "emboss", "in.png", "out.bmp"}, "out.bmp"},
        {"rotate", {"rotate", "--angle", "30", "in.png", "out.png"}, "out.png"},
        {"resize", {"resize", "--width", "120", "--height", "80", "in.png", "out.png"}, "out.png"},
        {"frame", {"frame", "frame.png", "120", "80", "out.png"}, "out.png"},
        {"compose", {"compose", "scene.json", "out.png"}, "out.png"},
        {"album make", {"album", "make", "-o", "a.exe", "in.png", "frame.png"}, "a.exe"},
    };
    int checked = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // The control: with room to write the command works (album make needs a build
        // that carries the player, and is left out without one).
        const fs::path control = prepare(std::string("control_") + std::to_string(checked), "");
        const CliRun ok = runCli(c.args, control, 0);
        if (std::string(c.name) == "album make" && ok.code != 0)
            continue;
        ASSERT_EQ(ok.code, 0) << ok.err;
        ASSERT_TRUE(fs::exists(control / c.output));

        const fs::path d = prepare(std::string("full_") + std::to_string(checked), c.output);
        const auto before = snapshot(d);
        const CliRun full = runCli(c.args, d, 1024);
        EXPECT_EQ(full.code, 3) << full.err;
        EXPECT_NE(full.err.find(c.output), std::string::npos) << full.err;
        EXPECT_EQ(snapshot(d), before) << "a file was left behind or changed";
        ++checked;
    }
    EXPECT_GE(checked, 10);
}

TEST_F(HostileCli, AnAlbumExtractThatRunsOutOfRoomKeepsTheOldScene) {
    const fs::path d = prepare("extract", "out/scene1.jpg");
    // An album of one scene bigger than the limit: a player, the scene, its length
    // word and the count.
    Bytes album(64, 0x7F);
    Bytes scene(8000, 0x31);
    scene[0] = 0xFF;
    scene[1] = 0xD8;
    album.insert(album.end(), scene.begin(), scene.end());
    for (std::uint32_t w : {std::uint32_t(scene.size() + 4), 1u})
        for (int k = 0; k < 4; ++k)
            album.push_back(std::uint8_t(w >> (8 * k)));
    std::ofstream(d / "a.exe", std::ios::binary)
        .write(reinterpret_cast<const char*>(album.data()), std::streamsize(album.size()));
    const auto before = snapshot(d);
    const CliRun full = runCli({"album", "extract", "a.exe", "out"}, d, 1024);
    EXPECT_EQ(full.code, 3) << full.err;
    EXPECT_NE(full.err.find("scene1.jpg"), std::string::npos) << full.err;
    EXPECT_EQ(snapshot(d), before);
    // With room, the scene's bytes come out unchanged.
    const CliRun ok = runCli({"album", "extract", "a.exe", "out"}, d, 0);
    ASSERT_EQ(ok.code, 0) << ok.err;
    EXPECT_EQ(readBytes(d / "out/scene1.jpg"), scene);
}

} // namespace
} // namespace quill
