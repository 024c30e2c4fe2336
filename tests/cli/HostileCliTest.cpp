// Every command of quillmark-cli that writes a file, run with a disk that fills up (a
// file size limit on the process, SIGXFSZ ignored): exit status 3, a message naming the
// output, no partial or temporary file, and an existing output kept byte for byte.
#include "imaging/PictureFile.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace quill {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

Bytes readBytes(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::map<std::string, Bytes> snapshot(const fs::path& folder)
{
    std::map<std::string, Bytes> files;
    for (const auto& e : fs::recursive_directory_iterator(folder))
        if (e.is_regular_file())
            files[fs::relative(e.path(), folder).string()] = readBytes(e.path());
    return files;
}

struct CliRun {
    int exitCode = -1;
    std::string err;
};

// Runs quillmark-cli with args in folder; limit 0 = no file size limit.
CliRun runCli(const std::vector<std::string>& args, const fs::path& folder, rlim_t limit)
{
    const fs::path errFile = folder.parent_path() / (folder.filename().string() + ".stderr");
    const pid_t pid = fork();
    if (pid == 0) {
        if (chdir(folder.c_str()) != 0)
            _exit(120);
        const int fd = ::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0 || dup2(fd, 2) < 0)
            _exit(121);
        const int devnull = ::open("/dev/null", O_WRONLY);
        dup2(devnull, 1);
        std::signal(SIGXFSZ, SIG_IGN);
        if (limit != 0) {
            const rlimit r{limit, limit};
            if (setrlimit(RLIMIT_FSIZE, &r) != 0)
                _exit(122);
        }
        std::vector<char*> argv;
        std::string program = QUILL_CLI_PATH;
        argv.push_back(program.data());
        std::vector<std::string> copy = args;
        for (std::string& a : copy)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(123);
    }
    CliRun run;
    int status = 0;
    if (pid > 0 && waitpid(pid, &status, 0) == pid)
        run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 200 + WTERMSIG(status);
    const Bytes err = readBytes(errFile);
    run.err.assign(err.begin(), err.end());
    fs::remove(errFile);
    return run;
}

TBitmap32 noisy(int w, int h)
{
    TBitmap32 pic(w, h);
    std::uint32_t v = 777;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            v = v * 1103515245u + 12345u;
            pic.setPixel(x, y, (v >> 8) | 0xFF000000u);
        }
    return pic;
}

class HostileCli : public ::testing::Test {
  protected:
    void SetUp() override
    {
        m_dir = fs::temp_directory_path() / ("quill_hostile_cli_" + std::to_string(getpid()));
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
    }
    void TearDown() override { fs::remove_all(m_dir); }

    // The inputs every command reads, and the old output it must not spoil.
    fs::path prepare(const std::string& sub, const std::string& output)
    {
        const fs::path d = m_dir / sub;
        fs::create_directories(d);
        EXPECT_TRUE(SavePicture(noisy(60, 40), (d / "in.png").string(), PictureFormat::Png).ok);
        EXPECT_TRUE(SavePicture(noisy(30, 20), (d / "frame.png").string(), PictureFormat::Png).ok);
        std::ofstream(d / "scene.json") << R"({"background": "in.png", "layers": [{"file": "in.png", "x": 5}]})";
        if (!output.empty()) {
            fs::create_directories((d / output).parent_path());
            std::ofstream(d / output) << "old output\n";
        }
        return d;
    }

    fs::path m_dir;
};

TEST_F(HostileCli, AFullDiskGivesExitThreeAndLeavesTheOldOutput)
{
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
        if (std::string(c.name) == "album make" && ok.exitCode != 0)
            continue;
        ASSERT_EQ(ok.exitCode, 0) << ok.err;
        ASSERT_TRUE(fs::exists(control / c.output));

        const fs::path d = prepare(std::string("full_") + std::to_string(checked), c.output);
        const auto before = snapshot(d);
        const CliRun full = runCli(c.args, d, 1024);
        EXPECT_EQ(full.exitCode, 3) << full.err;
        EXPECT_NE(full.err.find(c.output), std::string::npos) << full.err;
        EXPECT_EQ(snapshot(d), before) << "a file was left behind or changed";
        ++checked;
    }
    EXPECT_GE(checked, 10);
}

TEST_F(HostileCli, AnAlbumExtractThatRunsOutOfRoomKeepsTheOldScene)
{
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
    std::ofstream(d / "a.exe", std::ios::binary).write(reinterpret_cast<const char*>(album.data()), std::streamsize(album.size()));
    const auto before = snapshot(d);
    const CliRun full = runCli({"album", "extract", "a.exe", "out"}, d, 1024);
    EXPECT_EQ(full.exitCode, 3) << full.err;
    EXPECT_NE(full.err.find("scene1.jpg"), std::string::npos) << full.err;
    EXPECT_EQ(snapshot(d), before);
    // With room, the scene's bytes come out unchanged.
    const CliRun ok = runCli({"album", "extract", "a.exe", "out"}, d, 0);
    ASSERT_EQ(ok.exitCode, 0) << ok.err;
    EXPECT_EQ(readBytes(d / "out/scene1.jpg"), scene);
}

} // namespace
} // namespace quill
