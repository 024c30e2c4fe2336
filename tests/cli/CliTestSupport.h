#pragma once
// Shared by the command-line tests: a scratch folder for each test and a runner of
// quillmark-cli that can hold the program to a file size limit.
#include "imaging/PictureFile.h"
#include "tests/RandomPictures.h"
#include "tests/collections/CollectionsTestSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace quill::clitest {

namespace fs = std::filesystem;
using quill::testing::Bytes;
using quill::testing::TempFolder;

// Opaque random colours.
inline TBitmap32 sample(int w, int h) {
    return testpictures::randomPicture(w, h, 777, testpictures::PictureAlpha::Opaque);
}

inline std::string readText(const std::string& p) {
    const Bytes b = TempFolder::read(p);
    return {b.begin(), b.end()};
}

struct CliRun {
    int code = -1;
    std::string out, err;
};

// Runs quillmark-cli with args in folder, its output and errors caught in files beside
// the folder; with a file size limit (0 = none), a write past it fails as on a full disk.
inline CliRun runCli(const std::vector<std::string>& args, const fs::path& folder,
                     rlim_t fileSizeLimit = 0) {
    const std::string outFile = folder.string() + ".stdout", errFile = folder.string() + ".stderr";
    CliRun run;
    run.code = quill::testing::inChild(
        [&] {
            const int out = ::open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const int err = ::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (chdir(folder.c_str()) != 0 || out < 0 || err < 0 || dup2(out, 1) < 0 ||
                dup2(err, 2) < 0)
                return 120;
            std::vector<std::string> copy = args;
            std::vector<char*> argv{const_cast<char*>(QUILL_CLI_PATH)};
            for (std::string& a : copy)
                argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(QUILL_CLI_PATH, argv.data());
            return 121;
        },
        fileSizeLimit);
    run.out = readText(outFile);
    run.err = readText(errFile);
    fs::remove(outFile);
    fs::remove(errFile);
    return run;
}

// A fresh folder for each test, removed afterwards.
class ScratchFolder : public ::testing::Test {
  protected:
    std::string path(const std::string& name) const { return m_folder.path(name); }

    // Writes picture in the form its name asks for and returns its path.
    std::string save(const std::string& name, const TBitmap32& picture) const {
        const std::string p = path(name);
        EXPECT_TRUE(SavePicture(picture, p, *formatForOutputName(p)).ok) << p;
        return p;
    }

    CliRun run(const std::vector<std::string>& args) const { return runCli(args, m_dir); }

    const TempFolder m_folder;
    const fs::path m_dir = m_folder.path();
};

} // namespace quill::clitest
