#include "collections/Browser.h"

#include "imaging/Folders.h"
#include "imaging/PictureFile.h"
#include "imaging/Rounding.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <set>
#include <thread>

namespace quill {

Rect FitThumbnail(int pictureWidth, int pictureHeight, int boxWidth, int boxHeight,
                  int thresholdNum, int thresholdDen) {
    Rect r;
    if (pictureWidth <= 0 || pictureHeight <= 0)
        return r;
    // W / H <= num / den, compared exactly: for sides up to the picture limit no
    // ratio of whole numbers lies close enough to the threshold for a floating-point
    // comparison to decide otherwise.
    const std::int64_t lhs = std::int64_t(pictureWidth) * thresholdDen;
    const std::int64_t rhs = std::int64_t(pictureHeight) * thresholdNum;
    if (lhs <= rhs) {
        r.height = boxHeight;
        r.width = int(mulDiv(boxHeight, pictureWidth, pictureHeight));
        r.left = (boxWidth - r.width) / 2;
        r.top = 0;
    } else {
        r.width = boxWidth;
        r.height = int(mulDiv(boxWidth, pictureHeight, pictureWidth));
        r.top = (boxHeight - r.height) / 2;
        r.left = 0;
    }
    return r;
}

const StripGeometry& stripGeometry(StripKind kind) {
    static const StripGeometry background{
        130, 113, 125, 124, 94, 64, 49, 2, 98, 126, 12, 126, "Double-click to set as background"};
    static const StripGeometry foreground{
        105, 80, 88, 101, 61, 21, 13, 2, 65, 101, 12, 101, "Double-click to set as foreground"};
    return kind == StripKind::Background ? background : foreground;
}

int cellTop(StripKind kind, int index) {
    return 2 + (index - 1) * stripGeometry(kind).step;
}

PictureSize thumbnailSize(int width, int height) {
    auto side = [](int size) {
        const int tenth = zoomedSize(size, 0.1L);
        return tenth > 0 ? tenth : 1;
    };
    return {side(width), side(height)};
}

TBitmap32 reduceForThumbnail(const TBitmap32& picture) {
    const PictureSize size = thumbnailSize(picture.width(), picture.height());
    return resampleNearest(picture, picture.width(), picture.height(), size.width, size.height);
}

std::string sizeCaption(int pictureWidth, int pictureHeight) {
    auto side = [](int size) {
        const int tenth = zoomedSize(size, 0.1L);
        return tenth > 0 ? tenth * 10 : size;
    };
    return std::to_string(side(pictureWidth)) + "x" + std::to_string(side(pictureHeight));
}

ThumbCell makeThumbCell(StripKind kind, int index, const std::string& fileName,
                        const TBitmap32& filePicture, const std::string& message) {
    ThumbnailRead read;
    read.picture = reduceForThumbnail(filePicture);
    read.fullWidth = filePicture.width();
    read.fullHeight = filePicture.height();
    read.message = message;
    return makeThumbCell(kind, index, fileName, read);
}

ThumbCell makeThumbCell(StripKind kind, int index, const std::string& fileName,
                        const ThumbnailRead& read) {
    const StripGeometry& g = stripGeometry(kind);
    ThumbCell cell;
    cell.fileName = fileName;
    cell.frameRect = {2, cellTop(kind, index), g.frameWidth, g.frameHeight};
    if (read.picture.empty()) {
        cell.message = read.message;
        return cell;
    }
    cell.picture = read.picture;
    cell.pictureRect = FitThumbnail(cell.picture.width(), cell.picture.height(), g.boxWidth,
                                    g.boxHeight, g.thresholdNum, g.thresholdDen);
    cell.pictureRect.left += 2;
    cell.pictureRect.top += 2;
    cell.caption = sizeCaption(read.fullWidth, read.fullHeight);
    return cell;
}

void buildStripCells(StripKind kind, const std::string& folder,
                     const std::vector<std::string>& names, std::vector<ThumbCell>& cells,
                     const ThumbLoader& loader, const StripProgress& progress, unsigned threads) {
    const ThumbReader reader = [&loader](const std::string& path) {
        ThumbnailRead read;
        const TBitmap32 picture = loader(path, read.message);
        read.picture = reduceForThumbnail(picture);
        read.fullWidth = picture.width();
        read.fullHeight = picture.height();
        return read;
    };
    buildStripCells(kind, folder, names, cells, reader, progress, threads);
}

void buildStripCells(StripKind kind, const std::string& folder,
                     const std::vector<std::string>& names, std::vector<ThumbCell>& cells,
                     const ThumbReader& reader, const StripProgress& progress, unsigned threads) {
    cells.clear();
    cells.resize(names.size());
    if (names.empty())
        return;
    if (threads == 0)
        threads = std::max(1u, std::thread::hardware_concurrency());
    threads = unsigned(std::min<std::size_t>(threads, names.size()));

    std::atomic<std::size_t> next{0};
    std::mutex reportMutex;
    std::size_t done = 0;
    auto work = [&] {
        for (;;) {
            const std::size_t i = next.fetch_add(1);
            if (i >= names.size())
                return;
            ThumbCell cell;
            // A file that cannot be read still gets its cell, with its name and no picture.
            try {
                cell =
                    makeThumbCell(kind, int(i) + 1, names[i], reader(joinPath(folder, names[i])));
            } catch (const std::exception& e) {
                cell = makeThumbCell(kind, int(i) + 1, names[i], TBitmap32(), e.what());
            }
            std::lock_guard lock(reportMutex);
            cells[i] = std::move(cell);
            ++done;
            if (progress)
                progress(done, i);
        }
    };
    if (threads == 1) {
        work();
        return;
    }
    std::vector<std::thread> pool;
    pool.reserve(threads);
    for (unsigned t = 0; t < threads; ++t)
        pool.emplace_back(work);
    for (std::thread& t : pool)
        t.join();
}

const std::vector<std::string>& browserFolderPatterns() {
    // The program's own forms, then PNG and the forms of cameras and phones, which this
    // program also reads.
    static const std::vector<std::string> patterns{"*.jpg",  "*.jpeg", "*.bmp",  "*.wmf",
                                                   "*.png",  "*.heic", "*.heif", "*.avif",
                                                   "*.webp", "*.tif",  "*.tiff"};
    return patterns;
}

const std::vector<std::string>& startupFolderPatterns() {
    // The library folders beside the program hold its own pictures: the start-up lists
    // keep their two patterns, in this order.
    static const std::vector<std::string> patterns{"*.jpg", "*.bmp"};
    return patterns;
}

std::vector<std::string> listFolderForStrip(const std::string& folder,
                                            const std::vector<std::string>& patterns) {
    std::vector<std::string> names;
    std::set<std::string> seen;
    for (const std::string& pattern : patterns)
        for (std::string& name : ScanFolderList(folder, pattern))
            if (seen.insert(name).second)
                names.push_back(std::move(name));
    return names;
}

namespace {

// A reader's own message (a size refusal) above the " is not a valid format" line.
std::string unreadableMessage(const std::string& path, const std::string& readerMessage) {
    return readerMessage.empty() ? notValidFormatMessage(path)
                                 : readerMessage + "\n" + notValidFormatMessage(path);
}

} // namespace

ThumbLoader defaultThumbLoader() {
    return [](const std::string& path, std::string& message) {
        LoadResult r = LoadPictureFile(path);
        if (r.picture.empty())
            message = unreadableMessage(path, r.message);
        return std::move(r.picture);
    };
}

ThumbReader defaultThumbReader() {
    return [](const std::string& path) {
        ThumbnailRead r = LoadThumbnail(path, thumbnailSize);
        if (r.picture.empty())
            r.message = unreadableMessage(path, r.message);
        return r;
    };
}

} // namespace quill
