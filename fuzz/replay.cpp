// Runs every file of the fuzz corpus through the same checks as the fuzz targets,
// without libFuzzer, so that the ordinary test run keeps the found inputs fixed.
// Usage: fuzz_replay CORPUS_FOLDER   (the folder holding one folder per target)
#include "fuzz/FuzzTargets.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_replay CORPUS_FOLDER\n");
        return 2;
    }
    namespace fs = std::filesystem;
    const fs::path root = argv[1];
    int passed = 0, failed = 0;
    for (const quill::fuzz::Target& t : quill::fuzz::targets()) {
        const fs::path folder = root / t.name;
        std::error_code ec;
        std::vector<fs::path> files;
        for (const auto& e : fs::directory_iterator(folder, ec))
            if (e.is_regular_file())
                files.push_back(e.path());
        std::sort(files.begin(), files.end());
        if (files.empty()) {
            std::printf("%s: no corpus files in %s\n", t.name, folder.c_str());
            ++failed;
            continue;
        }
        int targetFailed = 0;
        for (const fs::path& file : files) {
            std::ifstream in(file, std::ios::binary);
            const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
            const std::string broken = quill::fuzz::checkTarget(t, bytes.data(), bytes.size());
            if (broken.empty()) {
                ++passed;
            } else {
                ++failed;
                ++targetFailed;
                std::printf("FAILED %s: %s\n", file.c_str(), broken.c_str());
            }
        }
        std::printf("%s: %zu files, %d failed\n", t.name, files.size(), targetFailed);
    }
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
