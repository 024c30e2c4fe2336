#pragma once

#include "imaging/Bitmap32.h"
#include "imaging/Geometry.h"
#include "imaging/Thumbnail.h"

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace quill {

// Places a W x H picture inside a BW x BH box. The picture's ratio W / H is compared
// with the threshold thresholdNum / thresholdDen: at or below it the picture fills the
// box's height, above it the box's width; the other side is MulDiv (halves away from
// zero) and the free space is halved by integer division. W or H of zero gives an
// empty rectangle.
Rect FitThumbnail(int pictureWidth, int pictureHeight, int boxWidth, int boxHeight,
                  int thresholdNum, int thresholdDen);

enum class StripKind { Background, Foreground };

// The fixed geometry of one thumbnail strip.
struct StripGeometry {
    int frameWidth, frameHeight; // cell frame panel
    int step;                    // vertical distance between cell tops
    int boxWidth, boxHeight;     // picture box inside the frame
    int thresholdNum, thresholdDen;
    int captionLeft, captionTop, captionWidth, captionHeight;
    int nameWidth;
    const char* hint; // the picture's hint
};
const StripGeometry& stripGeometry(StripKind kind);

// Top of the frame of cell index (1-based): 2, then the previous top plus the step.
int cellTop(StripKind kind, int index);

// The size of the picture a cell shows for a file's picture of width x height: a
// tenth of each side, a side that would reduce to nothing keeping one pixel, so a tiny
// picture still shows.
PictureSize thumbnailSize(int width, int height);

// The picture a cell shows: the file's picture reduced to thumbnailSize by the
// program's nearest-neighbour resampler.
TBitmap32 reduceForThumbnail(const TBitmap32& picture);

// The size caption: the reduced width x 10, "x", the reduced height x 10 (the file's
// size rounded down to tens). A side under 10 pixels shows its own size.
std::string sizeCaption(int pictureWidth, int pictureHeight);

// One built cell of a strip.
struct ThumbCell {
    std::string fileName; // the hidden name label: the file name without folder
    TBitmap32 picture;    // the reduced picture; empty when the file could not be read
    Rect pictureRect;     // the picture control inside the frame (already shifted by 2, 2)
    Rect frameRect;       // the frame inside the strip
    std::string caption;  // the size caption; empty when the file could not be read
    std::string message;  // the reader's message when the file could not be read
};

// Reads a picture file; returns an empty picture and sets message on failure.
using ThumbLoader = std::function<TBitmap32(const std::string& path, std::string& message)>;

// The program's own reader (LoadPictureFile).
ThumbLoader defaultThumbLoader();

// Reads a picture file for its cell: the picture already reduced to thumbnailSize,
// with the file's full size; on failure an empty picture and the message.
using ThumbReader = std::function<ThumbnailRead(const std::string& path)>;

// The program's own thumbnail reader (LoadThumbnail with thumbnailSize): a folder of
// camera photographs fills in a fraction of the time that reading them whole takes.
ThumbReader defaultThumbReader();

// Builds cell index (1-based) of a strip from its already-read file picture.
ThumbCell makeThumbCell(StripKind kind, int index, const std::string& fileName,
                        const TBitmap32& filePicture, const std::string& message = {});
// The same from a picture read for a thumbnail: already reduced, the caption from the
// file's full size.
ThumbCell makeThumbCell(StripKind kind, int index, const std::string& fileName,
                        const ThumbnailRead& read);

// Called once per finished cell with the number of finished cells and the 0-based
// index of the cell just finished. Calls come from the worker threads, one at a time.
using StripProgress = std::function<void(std::size_t done, std::size_t index)>;

// Builds one cell per file name of folder, reading and reducing the pictures on up to
// threads worker threads (0: one per core). cells is resized to the number of names
// first and each cell is filled as it is finished, so a caller may show finished
// cells while the rest are read. The result equals a serial build, cell for cell.
void buildStripCells(StripKind kind, const std::string& folder,
                     const std::vector<std::string>& names, std::vector<ThumbCell>& cells,
                     const ThumbReader& reader, const StripProgress& progress = {},
                     unsigned threads = 0);
// The same with a reader of whole pictures, each then reduced by reduceForThumbnail.
void buildStripCells(StripKind kind, const std::string& folder,
                     const std::vector<std::string>& names, std::vector<ThumbCell>& cells,
                     const ThumbLoader& loader, const StripProgress& progress = {},
                     unsigned threads = 0);

// The file patterns a chosen folder is listed with, in order.
const std::vector<std::string>& browserFolderPatterns();
// The patterns the library folders are listed with at start-up, in order.
const std::vector<std::string>& startupFolderPatterns();

// Lists the file names of folder matching each pattern in turn (a group per pattern,
// each group in the order ScanFolderList gives), without repeating a name.
std::vector<std::string> listFolderForStrip(const std::string& folder,
                                            const std::vector<std::string>& patterns);

} // namespace quill
