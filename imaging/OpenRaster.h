#pragma once
// OpenRaster (.ora): the layered picture file that GIMP, Krita, MyPaint and Pinta read
// and write. A zip holding `mimetype` (first, stored: "image/openraster"), `stack.xml`
// (the layer pile, top first), one PNG per layer, `Thumbnails/thumbnail.png` and
// `mergedimage.png` (the composed picture). A program may keep entries of its own in a
// folder of its own; other readers ignore them.
//
// This module knows pictures and files only. Reading is bounded throughout: entry names,
// declared sizes (checked before anything is inflated, inflation stopped at the declared
// size), the picture limits of imaging/Limits.h for the picture and every PNG, the layer
// count, the nesting of stacks, and the pixels and inflated bytes of the whole file.
#include "imaging/AtomicFile.h"
#include "imaging/Bitmap32.h"
#include "imaging/Limits.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quill {

// A picture's PNG bytes, shared by the files that hold it.
using OraPng = std::shared_ptr<const std::vector<std::uint8_t>>;

struct OraLayer {
    std::string name;
    TBitmap32 picture;    // straight (not premultiplied) alpha, as every TBitmap32
    int x = 0, y = 0;     // the layer's top-left on the picture; may reach outside
    double opacity = 1.0; // 0..1
    bool visible = true;
    // Writing: the picture encoded already (an earlier file's PNG of the same picture); then
    // `picture` may be left empty.
    OraPng png{};
};

struct OraImage {
    int width = 0, height = 0;    // stack.xml <image w h>
    std::vector<OraLayer> layers; // bottom first (stack.xml lists the top first)
    TBitmap32 merged;             // mergedimage.png: the composed picture, full size
};

// An entry of the program's own, stored as it is (JSON text and the like).
struct OraExtraEntry {
    std::string name; // the full entry name, e.g. "quillmark/scene.json"
    std::vector<std::uint8_t> bytes;
};
// A picture of the program's own, stored as PNG keeping all four bytes of every pixel
// (colour under alpha 0 too).
struct OraExtraPicture {
    std::string name; // the full entry name, ending in ".png"
    const TBitmap32* picture = nullptr;
    OraPng png{}; // encoded already, as for a layer; then `picture` may be null
};

// The bounds of reading and writing.
inline constexpr int kOraMaxLayers = 1000;
inline constexpr int kOraMaxNesting = 64; // stacks inside the root stack
inline constexpr std::uint64_t kOraMaxEntries = 100000;
inline constexpr std::uint64_t kOraMaxStackBytes = 4u << 20;         // stack.xml
inline constexpr std::uint64_t kOraMaxPrivateEntryBytes = 16u << 20; // each non-PNG entry
// A PNG entry: four bytes a pixel at the picture limit, plus the rows' filter bytes and
// the format's own framing, which stay far below a sixteenth.
inline constexpr std::uint64_t kOraMaxPngBytes =
    4 * std::uint64_t(kMaxPicturePixels) + std::uint64_t(kMaxPicturePixels) / 16 + (1u << 20);
inline constexpr std::uint64_t kOraMaxInflatedBytes = std::uint64_t(4) << 30; // whole file
inline constexpr std::int64_t kOraMaxTotalPixels = 1'000'000'000; // every picture decoded

// Writes the file atomically (a temporary name in the same folder, then a rename: nothing
// is left behind on failure and an older file keeps every byte). Entries in this order:
// `mimetype` (stored, no extra field), `stack.xml`, `data/<n>.png` for layer n (0 the
// bottom), `Thumbnails/thumbnail.png` (merged scaled to fit 256 x 256, its shape kept),
// `mergedimage.png`, then the extra entries (compressed) and the extra pictures. The
// PNGs are encoded in parallel on all cores at a fast setting and stored without a
// second compression. merged must be width x height; every layer needs a picture and an
// offset within 2^24 either way (opacity is clamped to 0..1; a name's bytes that are not
// UTF-8 are written as U+FFFD); the extra names must be relative, without "..", unique,
// not the file's own entries, and end in ".png" exactly for the extra pictures.
// With `written`, each layer's and extra picture's PNG as written, by entry name.
WriteResult writeOpenRaster(const std::string& path, const OraImage& image,
                            const std::vector<OraExtraEntry>& extra = {},
                            const std::vector<OraExtraPicture>& extraPictures = {},
                            std::map<std::string, OraPng>* written = nullptr);

struct OraReadOptions {
    bool decodeLayers = true;  // otherwise the layers come without pictures
    bool decodeMerged = false; // mergedimage.png, when present and of the picture's size
    // The program's own folder, e.g. "quillmark/" (a missing final '/' is added). Empty:
    // no entry of a private folder is read.
    std::string privateFolder;
    bool decodePrivatePictures = false; // every PNG under privateFolder
    bool keepPng = false;               // the bytes of every PNG decoded, in OraReadResult::png
    std::int64_t maxTotalPixels = kOraMaxTotalPixels;
    std::uint64_t maxInflatedBytes = kOraMaxInflatedBytes;
};

struct OraReadResult {
    // The picture size, the layers flattened bottom first (nested stacks in drawing order,
    // their offsets added to their layers', their opacity multiplied in, a hidden stack
    // hiding what it holds) and, if asked for, the merged picture.
    std::optional<OraImage> image;
    bool hasPrivateFolder = false; // an entry under privateFolder: a file of this program
    std::map<std::string, std::vector<std::uint8_t>> privateEntries; // non-PNG, full names
    std::vector<std::string> privatePictureNames;                    // PNG, archive order
    std::map<std::string, TBitmap32> privatePictures;                // with decodePrivatePictures
    std::map<std::string, OraPng> png;                               // with keepPng, by entry name
    std::string message; // one line naming the file and what is wrong; empty when read
};

// Reads an OpenRaster file. A damaged, truncated or hostile file gives one message and
// no image. Composite operations are not kept: every layer reads as "over". Never throws.
OraReadResult readOpenRaster(const std::string& path, const OraReadOptions& options = {});
// The same for a file's bytes already in memory; displayName stands for the file in the
// message.
OraReadResult readOpenRasterBytes(const std::uint8_t* data, std::size_t size,
                                  const std::string& displayName,
                                  const OraReadOptions& options = {});

} // namespace quill
