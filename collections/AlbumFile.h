#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace quill {

// An album file is the album player program followed, per scene, by the scene's
// JPEG bytes and a little-endian 32-bit word holding their length plus 4, and at the
// very end a little-endian 32-bit scene count. A reader needs neither the player's
// size nor a magic number: it reads the count from the last 4 bytes and walks back.

// Where one scene's JPEG bytes lie in the album file.
struct AlbumScene {
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
    bool operator==(const AlbumScene&) const = default;
};

// The scenes of an album in album order, or an error naming the file and what is wrong
// (then scenes is empty).
struct AlbumIndex {
    std::vector<AlbumScene> scenes;
    std::string error;
    bool ok() const { return error.empty(); }
};

// The checked reader. Refuses: a file shorter than 4 bytes, a count that cannot fit
// (N > (size - 4) / 4), a length word S with S < 8 or S > p (p: the read position
// before the word's record, starting at size - 4), and a scene that does not start
// with the JPEG start-of-image marker FF D8. name is the file's name in messages.
AlbumIndex readAlbumIndex(const std::string& path);
AlbumIndex readAlbumIndex(std::span<const std::uint8_t> bytes, const std::string& name);

// Reads length bytes at offset of a file; false when they cannot all be read.
bool readFileRange(const std::string& path, std::uint64_t offset, std::uint64_t length,
                   std::vector<std::uint8_t>& out, std::string* error = nullptr);

// The end of the executable image an ELF file describes (the furthest byte its
// headers, segments and section headers reach), or 0 when the bytes are not an ELF
// header. A player whose file is no longer than this carries no album.
std::uint64_t elfImageEnd(const std::string& path);

struct AlbumWriteResult {
    bool ok = false;
    std::string message;     // empty on success; else names the file and the reason
    bool readFailed = false; // the failure was in reading (a damaged album), not writing
};

// The message album making gives when this build carries no player program.
inline constexpr const char* kNoPlayerMessage = "The album player is not part of this build.";

// Writes an album file: player, then each scene's JPEG bytes copied unchanged from
// sceneFiles (streamed, never decoded) each followed by its length + 4, then the count.
// The file is written to a temporary name and renamed over albumPath only when
// complete, and gets the executable bits (0755). On failure nothing is left at
// albumPath (an older file there stays as it was) and the message names the file that
// failed and why. An empty player is refused with kNoPlayerMessage.
AlbumWriteResult writeAlbumFile(const std::string& albumPath, std::span<const std::uint8_t> player,
                                const std::vector<std::string>& sceneFiles);

// The same with the scenes' JPEG bytes in memory.
AlbumWriteResult writeAlbumFromJpegs(const std::string& albumPath,
                                     std::span<const std::uint8_t> player,
                                     const std::vector<std::vector<std::uint8_t>>& sceneJpegs);

// Writes the scenes' JPEG bytes, unchanged, as folder/scene1.jpg .. sceneN.jpg (each
// atomically), making the folder when it is missing. A damaged album writes nothing and
// gives the reader's error (readFailed); a folder or file that cannot be written stops
// with a message naming it and the reason. count gets N.
AlbumWriteResult extractAlbum(const std::string& albumPath, const std::string& folder,
                              std::size_t* count = nullptr);

} // namespace quill
