#include "collections/AlbumList.h"

#include "collections/AlbumFile.h"
#include "imaging/AtomicFile.h"
#include "imaging/Folders.h"
#include "imaging/PictureFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace quill {

namespace {
const PictureListStyle kAlbumStyle{70,
                                   60,
                                   7,
                                   "scene",
                                   kAlbumListEmpty,
                                   kScenesSaved,
                                   "Select a directory to save all scenes as..."};
} // namespace

AlbumList::AlbumList() : PictureList(kAlbumStyle) {}

std::string AlbumList::makeAlbumPrecheck() const {
    return empty() ? kAlbumNoPicture : std::string();
}

AlbumMakeResult AlbumList::makeAlbum(const std::string& recorderFolder,
                                     std::span<const std::uint8_t> player) const {
    AlbumMakeResult result;
    if (empty()) {
        result.message = kAlbumNoPicture;
        return result;
    }
    if (player.empty()) {
        result.message = kNoPlayerMessage;
        return result;
    }
    std::vector<std::string> sceneFiles;
    for (int n = 1; n <= count(); ++n) {
        sceneFiles.push_back(joinPath(recorderFolder, std::to_string(n) + ".jpg"));
        const WriteResult w = SavePicture(picture(n), sceneFiles.back(), PictureFormat::Jpeg);
        if (!w.ok) {
            result.message = w.message;
            return result;
        }
    }
    const std::string albumPath = joinPath(recorderFolder, std::to_string(count()) + ".exe");
    const AlbumWriteResult a = writeAlbumFile(albumPath, player, sceneFiles);
    if (!a.ok) {
        result.message = a.message;
        return result;
    }
    result.ok = true;
    result.albumPath = albumPath;
    return result;
}

std::string copyAlbumTo(const std::string& albumPath, const std::string& chosenName) {
    const std::string target = changeExtension(chosenName, ".exe");
    std::string failure;
    auto copy = [&](std::FILE* out) {
        std::unique_ptr<std::FILE, int (*)(std::FILE*)> in(std::fopen(albumPath.c_str(), "rb"),
                                                           &std::fclose);
        if (!in) {
            failure = albumPath + ": " + std::strerror(errno);
            return false;
        }
        std::vector<char> buffer(1 << 16);
        for (;;) {
            const std::size_t n = std::fread(buffer.data(), 1, buffer.size(), in.get());
            if (n > 0 && std::fwrite(buffer.data(), 1, n, out) != n)
                return false;
            if (n < buffer.size())
                break;
        }
        if (std::ferror(in.get())) {
            failure = albumPath + ": " + std::strerror(errno);
            return false;
        }
        return true;
    };
    const WriteResult w = writeFileAtomically(target, copy, 0755);
    if (w.ok)
        return {};
    return failure.empty() ? w.message : failure;
}

} // namespace quill
