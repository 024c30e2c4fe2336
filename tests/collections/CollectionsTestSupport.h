#pragma once
// Shared by the tests of every folder: a scratch folder for each test, a test photograph,
// work run in a child process under limits, and album files made byte by byte.
#include "imaging/Bitmap32.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace quill::testing {

using Bytes = std::vector<std::uint8_t>;

// A folder of its own for one test, removed afterwards (read-only folders a test left
// inside it included).
class TempFolder {
  public:
    TempFolder() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_dir =
            std::filesystem::temp_directory_path() / ("quill_" + std::to_string(::getpid()) + "_" +
                                                      info->test_suite_name() + "_" + info->name());
        clear();
    }
    ~TempFolder() { remove(); }
    // Empties the folder for the next case of a table.
    void clear() const {
        remove();
        std::filesystem::create_directories(m_dir);
    }
    std::string path(const std::string& name = {}) const {
        return name.empty() ? m_dir.string() : (m_dir / name).string();
    }
    std::set<std::string> names() const {
        std::set<std::string> out;
        for (const auto& e : std::filesystem::directory_iterator(m_dir))
            out.insert(e.path().filename().string());
        return out;
    }
    static Bytes read(const std::string& p) {
        std::ifstream in(p, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    // Writes name (folders made as needed) and gives its path.
    std::string write(const std::string& name, const Bytes& bytes) const {
        std::filesystem::create_directories(std::filesystem::path(path(name)).parent_path());
        std::ofstream(path(name), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        return path(name);
    }
    // Every file below the folder (or its folder sub) with its bytes, by relative path.
    std::map<std::string, Bytes> snapshot(const std::string& sub = {}) const {
        std::map<std::string, Bytes> files;
        for (const auto& e : std::filesystem::recursive_directory_iterator(path(sub)))
            if (e.is_regular_file())
                files[std::filesystem::relative(e.path(), path(sub)).string()] =
                    read(e.path().string());
        return files;
    }

  private:
    void remove() const {
        std::error_code ec;
        for (auto it = std::filesystem::recursive_directory_iterator(m_dir, ec);
             it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
            if (it->is_directory() && !it->is_symlink())
                std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                             std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(m_dir, ec);
    }
    std::filesystem::path m_dir;
};

// A photograph-like picture whose every channel varies from pixel to pixel.
inline TBitmap32 photo(int w, int h) {
    TBitmap32 p(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            p.setPixel(
                x, y,
                makePixel((x * 53 + y * 7) & 255, (x * 11 + y * 31) & 255, (x ^ y) * 9 & 255));
    return p;
}

// Runs work in a child process and gives its exit code (work's result; 2 when it threw,
// 100 + the signal when it was killed). With a file size limit, SIGXFSZ is ignored, so a
// write past the limit fails as it would on a full disk; with an address space margin,
// the child may reserve only that much more memory than it holds when work starts.
inline int inChild(const std::function<int()>& work, rlim_t fileSizeLimit = 0,
                   rlim_t addressSpaceMargin = 0) {
    const pid_t pid = fork();
    if (pid == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit size{fileSizeLimit, fileSizeLimit};
        if (fileSizeLimit != 0 && setrlimit(RLIMIT_FSIZE, &size) != 0)
            _exit(3);
        long pages = 0;
        if (std::FILE* f = std::fopen("/proc/self/statm", "r")) {
            if (std::fscanf(f, "%ld", &pages) != 1)
                pages = 0;
            std::fclose(f);
        }
        const rlim_t now = rlim_t(pages) * rlim_t(sysconf(_SC_PAGESIZE));
        const rlimit space{now + addressSpaceMargin, now + addressSpaceMargin};
        if (addressSpaceMargin != 0 && (pages == 0 || setrlimit(RLIMIT_AS, &space) != 0))
            _exit(4);
        int code = 2;
        try {
            code = work();
        } catch (...) {
        }
        std::_Exit(code);
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 100 + WTERMSIG(status);
}

// Bytes of the given length that start and end as a JPEG does, filled with seed.
inline Bytes fakeJpeg(std::size_t length, int seed) {
    Bytes j(length, std::uint8_t(seed));
    j[0] = 0xFF;
    j[1] = 0xD8;
    j[length - 2] = 0xFF;
    j[length - 1] = 0xD9;
    return j;
}

// An album: the player's bytes, each scene followed by its length + 4 (32-bit, little
// endian), then the number of scenes.
inline Bytes albumBytes(Bytes player, const std::vector<Bytes>& scenes) {
    auto add32 = [&player](std::size_t v) {
        for (int i = 0; i < 4; ++i)
            player.push_back(std::uint8_t(v >> (8 * i)));
    };
    for (const Bytes& s : scenes) {
        player.insert(player.end(), s.begin(), s.end());
        add32(s.size() + 4);
    }
    add32(scenes.size());
    return player;
}

} // namespace quill::testing
