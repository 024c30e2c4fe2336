#pragma once

#include "collections/PictureList.h"

#include <cstdint>
#include <span>
#include <string>

namespace quill {

inline constexpr const char* kAlbumListEmpty = "There is no picture in the album-list!";
inline constexpr const char* kScenesSaved = "Save all scenes successful!";
inline constexpr const char* kAlbumNoPicture = "Have no picture in the album-list!";
inline constexpr const char* kAlbumMade = "Make album successful!";

// What making an album left in the working folder.
struct AlbumMakeResult {
    bool ok = false;
    std::string albumPath; // recorder/N.exe when ok
    std::string message;   // on failure: names the file and the reason
};

// The album-list: finished scenes at full resolution, shown as 70 x 60 thumbnails,
// the selected one indented by 7, and the making of an album file.
class AlbumList : public PictureList {
  public:
    AlbumList();

    // "Make album", before anything is written: kAlbumNoPicture for an empty list,
    // else "".
    std::string makeAlbumPrecheck() const;

    // Writes scene n as JPEG (quality 90) to recorderFolder/n.jpg (replacing), then the
    // album recorderFolder/N.exe (N = count()) from the player bytes and those files,
    // streamed, atomically, executable. Stops at the first failure with a message
    // naming the file and the reason; an album that could not be completed is not left
    // behind. Without player bytes: kNoPlayerMessage and nothing is written.
    AlbumMakeResult makeAlbum(const std::string& recorderFolder,
                              std::span<const std::uint8_t> player) const;
};

// The user's copy of a made album: albumPath copied to chosenName with its extension
// changed to ".exe", atomically and executable. Returns "" on success, else a
// message naming the file and the reason.
std::string copyAlbumTo(const std::string& albumPath, const std::string& chosenName);

} // namespace quill
