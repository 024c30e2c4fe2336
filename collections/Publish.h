#pragma once

#include "collections/Browser.h"
#include "imaging/Bitmap32.h"
#include "imaging/PictureFile.h"

#include <optional>
#include <string>
#include <vector>

namespace quill {

// The program's manual page on the web: the download location in the mail text and
// the page the album player's first button opens.
inline constexpr const char* kManualPage = "https://quillmark.example/manual.html";

// The preview: the picture fitted into the box (the dialog's 321 x 297 scroll box).
// If BW / BH >= W / H: h = BH - 4, w = MulDiv(h, W, H), left = (BW - w) / 2, top 0;
// otherwise w = BW - 4, h = MulDiv(w, H, W), top = (BH - h) / 2, left 0; the control is
// then w - 1 by h - 1. An empty picture gives an empty rectangle.
Rect publishPreviewRect(int boxWidth, int boxHeight, int pictureWidth, int pictureHeight);

// One entry of the "Save as" form list (1-based in the dialog).
struct SaveFilter {
    const char* pattern;   // "*.jpg"
    const char* extension; // ".jpg": the saved name's extension is changed to it
    PictureFormat format;
};
// 1 JPEG quality 90, 2 24-bit BMP, 3 enhanced metafile (".wmf"), 4 PNG with alpha.
const std::vector<SaveFilter>& savePictureFilters();
// The filter text for a file dialog: "*.jpg|*.jpg|*.bmp|*.bmp|*.wmf|*.wmf|*.png|*.png".
std::string savePictureFilterText();

struct SaveAsResult {
    bool written = false; // false also for an entry outside the list (nothing written)
    std::string path;     // the file written (the chosen name, extension changed)
    std::string message;  // on failure: names the file and the reason
};
// "Save as" (savepic1) after the user chose a name and the filter entry (1-based).
SaveAsResult savePictureAs(const TBitmap32& picture, const std::string& chosenName,
                           int filterIndex);

// Print: the picture doubled while both sides are below half the page's (integer
// halves), centred. nullopt for a picture or page with a side of zero.
struct PrintPlacement {
    int left = 0, top = 0, width = 0, height = 0;
    bool operator==(const PrintPlacement&) const = default;
};
std::optional<PrintPlacement> printPlacement(int pictureWidth, int pictureHeight, int pageWidth,
                                             int pageHeight);
inline constexpr const char* kNothingToPrint = "The scene has no picture to print.";

// How one way of reaching the desktop turned out.
struct ServiceOutcome {
    bool ok = false;
    std::string detail; // why it failed (empty when ok)
};

// A program run to its end: started, its exit code and its standard output.
struct ProgramRun {
    bool started = false;
    int exitCode = -1;
    std::string output;
    std::string error; // why it did not start, or its standard error
};

// A mail to compose in the user's mail program.
struct MailMessage {
    std::string to; // empty: the compose window opens without a recipient
    std::string subject;
    std::string body;
    std::vector<std::string> attachments; // full paths
};

// The desktop session the program runs in, as its environment tells it.
struct DesktopEnvironment {
    std::string currentDesktop;        // XDG_CURRENT_DESKTOP: names joined by ':' ("ubuntu:GNOME")
    std::string session;               // DESKTOP_SESSION ("plasma", "xfce")
    std::vector<std::string> busNames; // the well-known names on the session bus now
};

// What the program asks of the desktop for publishing. The application implements it
// with D-Bus and processes; tests use a fake.
class DesktopServices {
  public:
    virtual ~DesktopServices() = default;
    virtual DesktopEnvironment environment() = 0;
    // org.freedesktop.portal.Wallpaper.SetWallpaperFile with the file (set on
    // background and lock screen, no preview dialog); ok only when the portal service
    // answers and its response says the wallpaper was set.
    virtual ServiceOutcome portalSetWallpaper(const std::string& path) = 0;
    // org.freedesktop.portal.Email.ComposeEmail with subject, body and the attachments
    // passed as file descriptors; addresses when message.to is not empty.
    virtual ServiceOutcome portalComposeEmail(const MailMessage& message) = 0;
    // Runs a program found on PATH with these arguments (argv[0] is its name), waits
    // for it to end (a few seconds at most) and gives its exit code and output.
    virtual ProgramRun runProgram(const std::vector<std::string>& argv) = 0;
};

inline constexpr const char* kWallpaperSet = "Set as wallpaper successful!";
inline constexpr const char* kWallpaperSetTitle = "ok!";

// A message box: text and title (empty title: the program's name).
struct PublishMessage {
    bool ok = false;
    std::string text;
    std::string title;
};

// "file://" URI of an absolute path, with bytes other than unreserved characters and
// '/' percent-encoded.
std::string fileUri(const std::string& path);

// "Set as wallpaper": writes the picture as folder/wallpaper.bmp (32-bit), then tries
// the desktop portal, GNOME (gsettings picture-uri, picture-uri-dark, picture-options
// "wallpaper"), KDE Plasma (plasma-apply-wallpaperimage), Xfce (xfconf-query, every
// last-image property) in that order and stops at the first that succeeds. A desktop's
// own way is used only while that desktop runs, and counts as done only when its
// setting, read back by a program started afresh, names the file: gsettings without a
// session keeps a setting in its own memory and still ends with 0. ok with
// kWallpaperSet / kWallpaperSetTitle only then; otherwise a message that the wallpaper
// could not be set with each way's reason, or the file's write failure.
PublishMessage setAsWallpaper(const TBitmap32& picture, const std::string& folder,
                              DesktopServices& desktop);

inline constexpr const char* kMailSubject = "Tell you a great software--Quillmark.";
// The mail text: lines separated by CR LF, none after the last.
std::string mailBody();
// The message "Mail to friend" composes with the attachment: no recipient.
MailMessage publishMail(const std::string& attachmentPath);

// "Mail to friend": writes folder/mywork.jpg (JPEG quality 90) and opens the mail
// program's compose window through the portal, else xdg-email. ok with an empty text
// when one of them started; else a message saying the mail program could not be
// started and why (or the file's write failure).
PublishMessage mailToFriend(const TBitmap32& picture, const std::string& folder,
                            DesktopServices& desktop);

} // namespace quill
