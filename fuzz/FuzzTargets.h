#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quill::fuzz {

// One fuzz target per picture reader: its name (the corpus folder fuzz/corpus/<name>/)
// and the file name that makes the program's picture reader choose it.
struct Target {
    const char* name;
    const char* fileName;
};

const std::vector<Target>& targets();
const Target* findTarget(const std::string& name);

// Runs the program's picture reader on data as if it were a file called fileName and
// checks what every reader promises: no exception; a picture either empty or within
// the size limits with every pixel readable. Returns the broken promise, or "".
std::string checkPictureReader(const char* fileName, const std::uint8_t* data, std::size_t size);

} // namespace quill::fuzz
