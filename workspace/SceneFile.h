#pragma once

// Scene files: the document kept as an OpenRaster file (.ora). Other painting programs open
// it as layers (the background at the bottom, each layer with its mask and transparency
// already in its alpha, the frame on top) and viewers show its merged picture; a folder of
// this program's own inside it holds everything needed to take the work up again exactly.

#include "imaging/AtomicFile.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace quill {

class Document;

// The folder of this program's own inside a scene file.
inline constexpr const char* kSceneFileFolder = "quillmark/";

// True for a name ending in ".ora", in any case.
bool isSceneFileName(const std::string& path);

// Writes the document (its scene picture wholly composed) as a scene file, atomically.
WriteResult saveSceneFile(const std::string& path, const Document& document);

// Opens a scene file into the document, which it replaces (its history starts anew). A file
// this program wrote gives the work back exactly; another program's file opens as a
// background and layers. Returns "" or the one message naming the file; on failure the
// document is unchanged.
std::string openSceneFile(const std::string& path, Document& document);
// The same for a file's bytes already in memory; name stands for the file in messages.
std::string openSceneFileBytes(const std::uint8_t* data, std::size_t size, const std::string& name,
                               Document& document);

// The picture's size and the number of its layers (the background and frame included),
// as the file holds them, or a message naming the file.
struct SceneFileInfo {
    int width = 0, height = 0, layers = 0;
    std::string message;
};
SceneFileInfo readSceneFileInfo(const std::string& path);

} // namespace quill
