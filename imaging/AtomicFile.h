#pragma once

#include <cstddef>
#include <cstdio>
#include <functional>
#include <string>

namespace quill {

// The outcome of writing a file. On failure, message names the file and the
// system's reason ("<path>: <reason>").
struct WriteResult {
    bool ok = true;
    std::string message;
    explicit operator bool() const { return ok; }
};

// Writes size bytes to path through a temporary file in the same folder, which is
// flushed to disk and then renamed over path. On failure no temporary file is left
// and a file already at path keeps every byte it had. A new file gets permissions
// `mode` less the process umask (0777 makes it executable).
WriteResult writeFileAtomically(const std::string& path, const void* data, std::size_t size,
                                unsigned mode = 0666);

// The same for a writer that streams its output: writer gets the open temporary file
// and returns false when it could not produce the data; then nothing is left behind.
WriteResult writeFileAtomically(const std::string& path,
                                const std::function<bool(std::FILE*)>& writer,
                                unsigned mode = 0666);

} // namespace quill
