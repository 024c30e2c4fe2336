#pragma once

// Scene files: the document kept as an OpenRaster file (.ora). Other painting programs open
// it as layers (the background at the bottom, each layer with its mask and transparency
// already in its alpha, the frame on top) and viewers show its merged picture; a folder of
// this program's own inside it holds everything needed to take the work up again exactly.

#include "imaging/AtomicFile.h"
#include "imaging/OpenRaster.h"
#include "imaging/SharedPicture.h"
#include "workspace/DocumentState.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace quill {

class Document;
class MaskLibrary;

// The folder of this program's own inside a scene file.
inline constexpr const char* kSceneFileFolder = "quillmark/";

// True for a name ending in ".ora", in any case.
bool isSceneFileName(const std::string& path);

// The pictures of the last scene file saved or opened, encoded, so that a later save does
// not encode again the pictures it holds unchanged. A picture is known by the picture held
// (which cannot change while the cache holds it too); the cache keeps the pictures of the
// last file only.
class SceneFileCache {
  public:
    OraPng find(const SharedPicture& picture) const;
    void keep(std::map<const void*, std::pair<SharedPicture, OraPng>> pictures) {
        m_pictures = std::move(pictures);
    }
    std::size_t size() const { return m_pictures.size(); }

  private:
    std::map<const void*, std::pair<SharedPicture, OraPng>> m_pictures;
};

// What saving needs of the document, taken on the thread that owns it (its scene picture
// wholly composed); the file can then be written on another thread.
struct SceneToSave {
    DocumentState state;
    SharedPicture composed;
    std::vector<Point> places; // each slot's place in scene pixels, [0] unused
};
SceneToSave sceneToSave(const Document& document);

// Writes the scene file, atomically.
WriteResult saveSceneFile(const std::string& path, const SceneToSave& scene,
                          SceneFileCache* cache = nullptr);
WriteResult saveSceneFile(const std::string& path, const Document& document,
                          SceneFileCache* cache = nullptr);

// Reads a scene file into a document state (on any thread). A file this program wrote gives
// the work back exactly; another program's file opens as a background and layers (the
// masks and generator are those its commands use). On failure, one message naming the file.
struct OpenedScene {
    std::optional<DocumentState> state;
    std::string message;
};
OpenedScene readSceneFile(const std::string& path, const MaskLibrary& masks,
                          SceneFileCache* cache = nullptr);

// Opens a scene file into the document, which it replaces (its history starts anew).
// Returns "" or the one message naming the file; on failure the document is unchanged.
std::string openSceneFile(const std::string& path, Document& document,
                          SceneFileCache* cache = nullptr);
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
