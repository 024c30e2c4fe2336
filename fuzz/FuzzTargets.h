#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quill::fuzz {

// What a fuzz target feeds its input to.
enum class Reader {
    Picture,    // the program's picture reader, decodePictureBytes, under fileName
    Album,      // the checked album reader, readAlbumIndex
    Scene,      // the scene file reader, parseSceneText
    OpenRaster, // the layered picture file reader, readOpenRasterBytes
    SceneFile,  // the program's scene files, openSceneFileBytes into a document
};

// One fuzz target per reader: its name (the corpus folder fuzz/corpus/<name>/), the
// reader and, for pictures, the file name that makes the picture reader choose it.
struct Target {
    const char* name;
    const char* fileName;
    Reader reader = Reader::Picture;
};

const std::vector<Target>& targets();
const Target* findTarget(const std::string& name);

// Runs the program's picture reader on data as if it were a file called fileName and
// checks what every reader promises: no exception; a picture either empty or within
// the size limits with every pixel readable. Returns the broken promise, or "".
std::string checkPictureReader(const char* fileName, const std::uint8_t* data, std::size_t size);

// Runs the album reader on data and checks: no exception; either an error and no
// scenes, or no error and scenes in order, each inside the file before its length
// word, starting with the JPEG marker FF D8. Returns the broken promise, or "".
std::string checkAlbumReader(const std::uint8_t* data, std::size_t size);

// Runs the scene file reader on data and checks: no exception; either a scene and no
// error or an error and no scene. Returns the broken promise, or "".
std::string checkSceneReader(const std::uint8_t* data, std::size_t size);

// Runs the OpenRaster reader on data (layers, merged picture, a private folder and its
// pictures) and checks: no exception; either an image and no message, or a message that
// names the file on one line and no image; the picture size, every picture and the layer
// count within the limits, every pixel readable. Returns the broken promise, or "".
std::string checkOpenRasterReader(const std::uint8_t* data, std::size_t size);

// The check of the target's reader.
std::string checkTarget(const Target& target, const std::uint8_t* data, std::size_t size);

} // namespace quill::fuzz
