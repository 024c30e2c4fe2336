#pragma once
// Shared by the command-line tests: a scratch folder for each test, a noisy test picture,
// and a runner of quillmark-cli that can hold the program to a file size limit.
#include "imaging/PictureFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace quill::clitest {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

inline Bytes readBytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

inline std::string readText(const fs::path& p) {
    const Bytes b = readBytes(p);
    return {b.begin(), b.end()};
}

// A picture whose every byte varies from pixel to pixel, with the given alpha.
inline TBitmap32 sample(int w, int h, int alpha = 255) {
    TBitmap32 pic(w, h);
    std::uint32_t v = 777;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            v = v * 1103515245u + 12345u;
            pic.setPixel(x, y, ((v >> 8) & 0xFFFFFFu) | (std::uint32_t(alpha) << 24));
        }
    return pic;
}

struct CliRun {
    int code = -1;
    std::string out, err;
};

// Runs quillmark-cli with args in folder, its output and errors caught in files beside
// the folder. With a file size limit (0 = none) SIGXFSZ is ignored, so a write past the
// limit fails as it would on a full disk.
inline CliRun runCli(const std::vector<std::string>& args, const fs::path& folder,
                     rlim_t fileSizeLimit = 0) {
    const std::string capture = (folder.parent_path() / folder.filename()).string();
    const std::string outFile = capture + ".stdout", errFile = capture + ".stderr";
    const pid_t pid = fork();
    if (pid == 0) {
        if (chdir(folder.c_str()) != 0)
            _exit(120);
        const int out = ::open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = ::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out < 0 || err < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0)
            _exit(121);
        std::signal(SIGXFSZ, SIG_IGN);
        if (fileSizeLimit != 0) {
            const rlimit r{fileSizeLimit, fileSizeLimit};
            if (setrlimit(RLIMIT_FSIZE, &r) != 0)
                _exit(122);
        }
        std::string program = QUILL_CLI_PATH;
        std::vector<std::string> copy = args;
        std::vector<char*> argv{program.data()};
        for (std::string& a : copy)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(123);
    }
    CliRun run;
    int status = 0;
    if (pid > 0 && waitpid(pid, &status, 0) == pid)
        run.code = WIFEXITED(status) ? WEXITSTATUS(status) : 200 + WTERMSIG(status);
    run.out = readText(outFile);
    run.err = readText(errFile);
    fs::remove(outFile);
    fs::remove(errFile);
    return run;
}

// A fresh folder for each test, removed afterwards.
class ScratchFolder : public ::testing::Test {
  protected:
    void SetUp() override {
        char tmpl[] = "/tmp/quill-cli-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        m_dir = tmpl;
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(m_dir, ec);
    }

    std::string path(const std::string& name) const { return (m_dir / name).string(); }

    // Writes picture in the form its name asks for and returns its path.
    std::string save(const std::string& name, const TBitmap32& picture) const {
        const std::string p = path(name);
        EXPECT_TRUE(SavePicture(picture, p, *formatForOutputName(p)).ok) << p;
        return p;
    }

    CliRun run(const std::vector<std::string>& args) const { return runCli(args, m_dir); }

    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(m_dir))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    fs::path m_dir;
};

} // namespace quill::clitest
