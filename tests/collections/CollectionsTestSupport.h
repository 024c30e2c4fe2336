#pragma once
// Shared by the collections tests: a scratch folder for each test and a test photograph.
#include "imaging/Bitmap32.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <unistd.h>
#include <vector>

namespace quill::testing {

// A folder of its own for one test, removed afterwards.
class TempFolder {
  public:
    TempFolder() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_dir =
            std::filesystem::temp_directory_path() / ("quill_" + std::to_string(::getpid()) + "_" +
                                                      info->test_suite_name() + "_" + info->name());
        std::filesystem::remove_all(m_dir);
        std::filesystem::create_directories(m_dir);
    }
    ~TempFolder() { std::filesystem::remove_all(m_dir); }
    // Empties the folder for the next case of a table.
    void clear() const {
        std::filesystem::remove_all(m_dir);
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
    static std::vector<std::uint8_t> read(const std::string& p) {
        std::ifstream in(p, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    void write(const std::string& name, const std::vector<std::uint8_t>& bytes) const {
        std::ofstream(path(name), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }

  private:
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

} // namespace quill::testing
