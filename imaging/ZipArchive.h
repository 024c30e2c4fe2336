#pragma once
// Zip archives through libzip: written in one pass to an open file, read from a file or
// from memory with every entry's declared size checked by the caller before it is
// inflated, and inflation stopped at that size.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

struct zip;

namespace quill {

// Where an archive's bytes are: an open file, read with pread so that several readers
// may read one file at once, each at its own place; or bytes in memory (fd < 0).
struct ZipBytes {
    int fd = -1;
    const std::uint8_t* data = nullptr;
    std::uint64_t size = 0;
};

struct ZipEntry {
    std::uint64_t index = 0;
    std::string name;
    std::uint64_t size = 0; // uncompressed, as the archive declares it
    std::uint64_t compressedSize = 0;
    bool stored = false;   // kept as it is
    bool deflated = false; // compressed with deflate
    bool encrypted = false;
};

class ZipReader {
  public:
    // Opens the archive; nullptr with error set when the bytes are not one.
    static std::unique_ptr<ZipReader> open(const ZipBytes& bytes, std::string& error);
    ~ZipReader();
    ZipReader(const ZipReader&) = delete;
    ZipReader& operator=(const ZipReader&) = delete;

    // Every entry in the archive's order; false (with error) when there are more than
    // maxEntries or one cannot be described.
    bool entries(std::vector<ZipEntry>& out, std::uint64_t maxEntries, std::string& error);

    // Reads an entry whole into out, which must hold its declared size. Fails when the data
    // ends before that size or goes on past it (inflation stops one byte beyond), or its
    // checksum is wrong.
    bool read(const ZipEntry& entry, std::uint8_t* out, std::string& error);

  private:
    explicit ZipReader(::zip* archive) : m_zip(archive) {}
    ::zip* m_zip;
};

class ZipWriter {
  public:
    enum class Method { Store, Deflate };

    // Writes to file, which must be open for writing, empty and seekable.
    explicit ZipWriter(std::FILE* file);
    ~ZipWriter();
    ZipWriter(const ZipWriter&) = delete;
    ZipWriter& operator=(const ZipWriter&) = delete;

    // Adds an entry after the ones added before. The bytes are not copied: they must stay
    // until finish() returns. False when the name is refused (a repeated one).
    bool add(const std::string& name, const std::uint8_t* data, std::size_t size, Method method);

    // Writes the archive. False when it could not be written; errno is then the system's
    // reason where there was one, 0 otherwise.
    bool finish();

    struct Output; // what the archive's output callback writes to

  private:
    std::unique_ptr<Output> m_output;
    ::zip* m_zip = nullptr;
};

} // namespace quill
