#include "collections/AlbumFile.h"

#include "imaging/AtomicFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

namespace quill {

namespace {

std::uint32_t le32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
           (std::uint32_t(p[3]) << 24);
}

// Reads `length` bytes at `offset` of the album into out; false on a short read.
using RangeReader =
    std::function<bool(std::uint64_t offset, std::size_t length, std::uint8_t* out)>;

AlbumIndex walkAlbum(std::uint64_t size, const RangeReader& read, const std::string& name) {
    AlbumIndex index;
    auto fail = [&](const std::string& what) {
        index.scenes.clear();
        index.error = name + " is not a valid album: " + what;
        return index;
    };
    if (size < 4)
        return fail("the file is only " + std::to_string(size) + " bytes long");
    std::uint8_t word[4];
    if (!read(size - 4, 4, word))
        return fail("its last 4 bytes cannot be read");
    const std::uint64_t count = le32(word);
    // Every scene takes at least its 4-byte length word.
    if (count > (size - 4) / 4)
        return fail("the scene count " + std::to_string(count) + " does not fit in a file of " +
                    std::to_string(size) + " bytes");
    index.scenes.resize(count);
    std::uint64_t p = size - 4;
    for (std::uint64_t k = count; k >= 1; --k) {
        const std::string scene = "scene " + std::to_string(k);
        if (p < 4 || !read(p - 4, 4, word))
            return fail("the length word of " + scene + " lies outside the file");
        const std::uint64_t s = le32(word);
        if (s < 8)
            return fail("the length word of " + scene + " is " + std::to_string(s) +
                        ", too small for a picture");
        if (s > p)
            return fail("the length word of " + scene + " (" + std::to_string(s) +
                        ") points before the start of the file");
        const std::uint64_t offset = p - s;
        std::uint8_t marker[2];
        if (!read(offset, 2, marker) || marker[0] != 0xFF || marker[1] != 0xD8)
            return fail(scene + " at offset " + std::to_string(offset) + " is not a JPEG picture");
        index.scenes[k - 1] = AlbumScene{offset, s - 4};
        p = offset;
    }
    return index;
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

bool seekTo(std::FILE* f, std::uint64_t offset) {
    return fseeko(f, off_t(offset), SEEK_SET) == 0;
}

} // namespace

AlbumIndex readAlbumIndex(std::span<const std::uint8_t> bytes, const std::string& name) {
    return walkAlbum(
        bytes.size(),
        [&](std::uint64_t offset, std::size_t length, std::uint8_t* out) {
            if (offset > bytes.size() || length > bytes.size() - offset)
                return false;
            std::memcpy(out, bytes.data() + offset, length);
            return true;
        },
        name);
}

AlbumIndex readAlbumIndex(const std::string& path) {
    FilePtr f(std::fopen(path.c_str(), "rb"));
    if (!f) {
        AlbumIndex index;
        index.error = path + " cannot be opened: " + std::strerror(errno);
        return index;
    }
    if (fseeko(f.get(), 0, SEEK_END) != 0) {
        AlbumIndex index;
        index.error = path + " cannot be read: " + std::strerror(errno);
        return index;
    }
    const off_t end = ftello(f.get());
    if (end < 0) {
        AlbumIndex index;
        index.error = path + " cannot be read: " + std::strerror(errno);
        return index;
    }
    return walkAlbum(
        std::uint64_t(end),
        [&](std::uint64_t offset, std::size_t length, std::uint8_t* out) {
            return seekTo(f.get(), offset) && std::fread(out, 1, length, f.get()) == length;
        },
        path);
}

bool readFileRange(const std::string& path, std::uint64_t offset, std::uint64_t length,
                   std::vector<std::uint8_t>& out, std::string* error) {
    auto fail = [&](const std::string& why) {
        if (error)
            *error = path + ": " + why;
        return false;
    };
    FilePtr f(std::fopen(path.c_str(), "rb"));
    if (!f)
        return fail(std::strerror(errno));
    if (length > (std::uint64_t(1) << 32))
        return fail("a scene of " + std::to_string(length) + " bytes is too large");
    out.resize(std::size_t(length));
    if (!seekTo(f.get(), offset) || std::fread(out.data(), 1, out.size(), f.get()) != out.size()) {
        out.clear();
        return fail("the file ends before byte " + std::to_string(offset + length));
    }
    return true;
}

std::uint64_t elfImageEnd(const std::string& path) {
    FilePtr f(std::fopen(path.c_str(), "rb"));
    if (!f)
        return 0;
    std::uint8_t h[64];
    if (std::fread(h, 1, sizeof h, f.get()) != sizeof h)
        return 0;
    // Only the form this program is built as: 64-bit little-endian ELF.
    if (h[0] != 0x7F || h[1] != 'E' || h[2] != 'L' || h[3] != 'F' || h[4] != 2 || h[5] != 1)
        return 0;
    auto le16 = [](const std::uint8_t* p) {
        return std::uint64_t(p[0]) | (std::uint64_t(p[1]) << 8);
    };
    auto le64 = [](const std::uint8_t* p) {
        std::uint64_t v = 0;
        for (int i = 7; i >= 0; --i)
            v = (v << 8) | p[i];
        return v;
    };
    const std::uint64_t phoff = le64(h + 32), shoff = le64(h + 40);
    const std::uint64_t phentsize = le16(h + 54), phnum = le16(h + 56);
    const std::uint64_t shentsize = le16(h + 58), shnum = le16(h + 60);
    std::uint64_t end = 64;
    end = std::max(end, phoff + phentsize * phnum);
    end = std::max(end, shoff + shentsize * shnum);
    std::uint8_t entry[64];
    for (std::uint64_t i = 0; i < phnum && phentsize >= 56 && phentsize <= sizeof entry; ++i) {
        if (!seekTo(f.get(), phoff + i * phentsize) ||
            std::fread(entry, 1, phentsize, f.get()) != phentsize)
            return 0;
        end = std::max(end, le64(entry + 8) + le64(entry + 32)); // p_offset + p_filesz
    }
    for (std::uint64_t i = 0; i < shnum && shentsize >= 64 && shentsize <= sizeof entry; ++i) {
        if (!seekTo(f.get(), shoff + i * shentsize) ||
            std::fread(entry, 1, shentsize, f.get()) != shentsize)
            return 0;
        const std::uint32_t type =
            std::uint32_t(le16(entry + 4)) | (std::uint32_t(le16(entry + 6)) << 16);
        if (type != 8) // SHT_NOBITS occupies no bytes of the file
            end = std::max(end, le64(entry + 24) + le64(entry + 32)); // sh_offset + sh_size
    }
    return end;
}

} // namespace quill

namespace quill {

namespace {

void appendLe32(std::uint8_t out[4], std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out[i] = std::uint8_t(v >> (8 * i));
}

// One scene's source: either a file streamed from disk or bytes in memory.
struct SceneSource {
    const std::string* file = nullptr;
    const std::vector<std::uint8_t>* bytes = nullptr;
};

AlbumWriteResult writeAlbum(const std::string& albumPath, std::span<const std::uint8_t> player,
                            const std::vector<SceneSource>& scenes) {
    AlbumWriteResult result;
    if (player.empty()) {
        result.message = kNoPlayerMessage;
        return result;
    }
    if (scenes.size() > 0xFFFFFFFFu) {
        result.message = albumPath + ": too many scenes for an album";
        return result;
    }
    std::string failure; // set by the writer when a source, not the album, fails
    auto writeAll = [&](std::FILE* out) {
        std::uint8_t word[4];
        if (std::fwrite(player.data(), 1, player.size(), out) != player.size())
            return false;
        std::vector<std::uint8_t> buffer(1 << 16);
        for (const SceneSource& s : scenes) {
            std::uint64_t length = 0;
            if (s.bytes) {
                length = s.bytes->size();
                if (std::fwrite(s.bytes->data(), 1, s.bytes->size(), out) != s.bytes->size())
                    return false;
            } else {
                FilePtr in(std::fopen(s.file->c_str(), "rb"));
                if (!in) {
                    failure = *s.file + ": " + std::strerror(errno);
                    return false;
                }
                for (;;) {
                    const std::size_t n = std::fread(buffer.data(), 1, buffer.size(), in.get());
                    if (n > 0 && std::fwrite(buffer.data(), 1, n, out) != n)
                        return false;
                    length += n;
                    if (n < buffer.size())
                        break;
                }
                if (std::ferror(in.get())) {
                    failure = *s.file + ": " + std::strerror(errno);
                    return false;
                }
            }
            if (length + 4 > 0xFFFFFFFFu) {
                failure = (s.file ? *s.file : albumPath) + ": a scene of " +
                          std::to_string(length) + " bytes is too large for an album";
                return false;
            }
            appendLe32(word, std::uint32_t(length + 4));
            if (std::fwrite(word, 1, 4, out) != 4)
                return false;
        }
        appendLe32(word, std::uint32_t(scenes.size()));
        return std::fwrite(word, 1, 4, out) == 4;
    };
    WriteResult written = writeFileAtomically(albumPath, writeAll, 0755);
    result.ok = written.ok;
    if (!written.ok)
        result.message = failure.empty() ? written.message : failure;
    return result;
}

} // namespace

AlbumWriteResult writeAlbumFile(const std::string& albumPath, std::span<const std::uint8_t> player,
                                const std::vector<std::string>& sceneFiles) {
    std::vector<SceneSource> sources;
    for (const std::string& f : sceneFiles)
        sources.push_back({&f, nullptr});
    return writeAlbum(albumPath, player, sources);
}

AlbumWriteResult writeAlbumFromJpegs(const std::string& albumPath,
                                     std::span<const std::uint8_t> player,
                                     const std::vector<std::vector<std::uint8_t>>& sceneJpegs) {
    std::vector<SceneSource> sources;
    for (const auto& j : sceneJpegs)
        sources.push_back({nullptr, &j});
    return writeAlbum(albumPath, player, sources);
}

AlbumWriteResult extractAlbum(const std::string& albumPath, const std::string& folder,
                              std::size_t* count) {
    AlbumWriteResult result;
    const AlbumIndex index = readAlbumIndex(albumPath);
    if (!index.ok()) {
        result.message = index.error;
        result.readFailed = true;
        return result;
    }
    if (count)
        *count = index.scenes.size();
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) {
        result.message = folder + ": " + ec.message();
        return result;
    }
    std::vector<std::uint8_t> bytes;
    for (std::size_t k = 1; k <= index.scenes.size(); ++k) {
        const AlbumScene& s = index.scenes[k - 1];
        if (!readFileRange(albumPath, s.offset, s.length, bytes, &result.message)) {
            if (result.message.empty())
                result.message = albumPath + ": cannot be read";
            result.readFailed = true;
            return result;
        }
        std::string target = folder;
        if (!target.empty() && target.back() != '/')
            target += '/';
        target += "scene" + std::to_string(k) + ".jpg";
        const WriteResult w = writeFileAtomically(target, bytes.data(), bytes.size());
        if (!w.ok) {
            result.message = w.message;
            return result;
        }
    }
    result.ok = true;
    return result;
}

} // namespace quill
