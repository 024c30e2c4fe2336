#include "collections/Publish.h"

#include "imaging/Folders.h"
#include "imaging/Rounding.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace quill {

std::string publishFolder(std::string* error) {
    // Data, not cache: the desktop keeps showing wallpaper.bmp after the program ends.
    const std::string folder = workingFolder(programFolder(), false);
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) {
        if (error)
            *error = folder + ": " + ec.message();
        return {};
    }
    return folder;
}

std::string changeExtension(const std::string& path, const std::string& extension) {
    const std::size_t slash = path.find_last_of('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const std::size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || dot < nameStart)
        return path + extension;
    return path.substr(0, dot) + extension;
}

ThumbRect publishPreviewRect(int boxWidth, int boxHeight, int pictureWidth, int pictureHeight) {
    if (pictureWidth <= 0 || pictureHeight <= 0 || boxWidth <= 0 || boxHeight <= 0)
        return {};
    int w, h, left, top;
    // BW / BH >= W / H, compared exactly in whole numbers.
    if (std::int64_t(boxWidth) * pictureHeight >= std::int64_t(pictureWidth) * boxHeight) {
        h = boxHeight - 4;
        w = int(mulDiv(h, pictureWidth, pictureHeight));
        left = (boxWidth - w) / 2;
        top = 0;
    } else {
        w = boxWidth - 4;
        h = int(mulDiv(w, pictureHeight, pictureWidth));
        top = (boxHeight - h) / 2;
        left = 0;
    }
    return {left, top, w - 1, h - 1};
}

const std::vector<SaveFilter>& savePictureFilters() {
    static const std::vector<SaveFilter> filters{
        {"*.jpg", ".jpg", PictureFormat::Jpeg},
        {"*.bmp", ".bmp", PictureFormat::Bmp24},
        {"*.wmf", ".wmf", PictureFormat::Emf},
        {"*.png", ".png", PictureFormat::Png},
    };
    return filters;
}

std::string savePictureFilterText() {
    std::string text;
    for (const SaveFilter& f : savePictureFilters()) {
        if (!text.empty())
            text += '|';
        text += std::string(f.pattern) + "|" + f.pattern;
    }
    return text;
}

SaveAsResult savePictureAs(const TBitmap32& picture, const std::string& chosenName,
                           int filterIndex) {
    SaveAsResult result;
    const auto& filters = savePictureFilters();
    if (filterIndex < 1 || filterIndex > int(filters.size()))
        return result;
    const SaveFilter& f = filters[std::size_t(filterIndex - 1)];
    result.path = changeExtension(chosenName, f.extension);
    const WriteResult w = SavePicture(picture, result.path, f.format);
    result.written = w.ok;
    if (!w.ok)
        result.message = w.message;
    return result;
}

std::optional<PrintPlacement> printPlacement(int pictureWidth, int pictureHeight, int pageWidth,
                                             int pageHeight) {
    if (pictureWidth <= 0 || pictureHeight <= 0 || pageWidth <= 0 || pageHeight <= 0)
        return std::nullopt;
    std::int64_t w = pictureWidth, h = pictureHeight;
    // Doubles while both sides are below half the page: stops as soon as either side
    // reaches its half, so the picture is never reduced.
    while (h < pageHeight / 2 && w < pageWidth / 2) {
        w *= 2;
        h *= 2;
    }
    PrintPlacement p;
    p.width = int(w);
    p.height = int(h);
    p.left = int((pageWidth - w) / 2);
    p.top = int((pageHeight - h) / 2);
    return p;
}

std::string fileUri(const std::string& path) {
    static const char* hex = "0123456789ABCDEF";
    std::string uri = "file://";
    for (unsigned char c : path) {
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                           (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' || c == '~' ||
                           c == '/';
        if (plain) {
            uri += char(c);
        } else {
            uri += '%';
            uri += hex[c >> 4];
            uri += hex[c & 15];
        }
    }
    return uri;
}

namespace {

std::string runFailure(const ProgramRun& run) {
    if (!run.started)
        return run.error.empty() ? std::string("could not be started") : run.error;
    std::string why = "ended with code " + std::to_string(run.exitCode);
    if (!run.error.empty())
        why += " (" + run.error + ")";
    return why;
}

// Removes a trailing line break and surrounding spaces of a program's output line.
std::string trimmed(std::string s) {
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == ' '))
        s.pop_back();
    std::size_t start = 0;
    while (start < s.size() && s[start] == ' ')
        ++start;
    return s.substr(start);
}

ServiceOutcome gnomeWallpaper(DesktopServices& desktop, const std::string& path) {
    const std::string uri = fileUri(path);
    const ProgramRun light = desktop.runProgram(
        {"gsettings", "set", "org.gnome.desktop.background", "picture-uri", uri});
    if (!light.started || light.exitCode != 0)
        return {false, "gsettings " + runFailure(light)};
    // Older GNOME has no dark-style key: its failure does not undo the light one.
    desktop.runProgram(
        {"gsettings", "set", "org.gnome.desktop.background", "picture-uri-dark", uri});
    const ProgramRun options = desktop.runProgram(
        {"gsettings", "set", "org.gnome.desktop.background", "picture-options", "wallpaper"});
    if (!options.started || options.exitCode != 0)
        return {false, "gsettings " + runFailure(options)};
    return {true, {}};
}

ServiceOutcome kdeWallpaper(DesktopServices& desktop, const std::string& path) {
    const ProgramRun run = desktop.runProgram({"plasma-apply-wallpaperimage", path});
    if (!run.started || run.exitCode != 0)
        return {false, "plasma-apply-wallpaperimage " + runFailure(run)};
    return {true, {}};
}

ServiceOutcome xfceWallpaper(DesktopServices& desktop, const std::string& path) {
    const ProgramRun list = desktop.runProgram({"xfconf-query", "-c", "xfce4-desktop", "-l"});
    if (!list.started || list.exitCode != 0)
        return {false, "xfconf-query " + runFailure(list)};
    std::vector<std::string> properties;
    std::size_t start = 0;
    while (start < list.output.size()) {
        std::size_t end = list.output.find('\n', start);
        if (end == std::string::npos)
            end = list.output.size();
        const std::string line = trimmed(list.output.substr(start, end - start));
        const std::string suffix = "/last-image";
        if (line.size() > suffix.size() &&
            line.compare(line.size() - suffix.size(), suffix.size(), suffix) == 0)
            properties.push_back(line);
        start = end + 1;
    }
    if (properties.empty())
        return {false, "xfconf-query found no desktop picture setting"};
    for (const std::string& p : properties) {
        const ProgramRun set =
            desktop.runProgram({"xfconf-query", "-c", "xfce4-desktop", "-p", p, "-s", path});
        if (!set.started || set.exitCode != 0)
            return {false, "xfconf-query " + runFailure(set)};
    }
    return {true, {}};
}

} // namespace

PublishMessage setAsWallpaper(const TBitmap32& picture, const std::string& folder,
                              DesktopServices& desktop) {
    PublishMessage m;
    const std::string path = joinPath(folder, "wallpaper.bmp");
    const WriteResult w = SavePicture(picture, path, PictureFormat::Bmp32);
    if (!w.ok) {
        m.text = w.message;
        return m;
    }
    std::vector<std::string> reasons;
    ServiceOutcome portal = desktop.portalSetWallpaper(path);
    if (!portal.ok)
        reasons.push_back("the desktop portal: " + portal.detail);
    for (auto way : {gnomeWallpaper, kdeWallpaper, xfceWallpaper}) {
        if (portal.ok)
            break;
        portal = way(desktop, path);
        if (!portal.ok)
            reasons.push_back(portal.detail);
    }
    if (portal.ok) {
        m.ok = true;
        m.text = kWallpaperSet;
        m.title = kWallpaperSetTitle;
        return m;
    }
    m.text = "The wallpaper could not be set (" + path + "): ";
    for (std::size_t i = 0; i < reasons.size(); ++i)
        m.text += (i ? "; " : "") + reasons[i];
    m.text += ".";
    return m;
}

std::string mailBody() {
    return std::string("Hello!\r\n\r\n") +
           "It is a good software. The download link is folows:" + "\r\n" + kManualPage + "\r\n" +
           "\r\n" + "Please try it. It would give you happiness!" + "\r\n" + "Good luck!";
}

MailMessage publishMail(const std::string& attachmentPath) {
    MailMessage m;
    m.subject = kMailSubject;
    m.body = mailBody();
    m.attachments.push_back(attachmentPath);
    return m;
}

PublishMessage mailToFriend(const TBitmap32& picture, const std::string& folder,
                            DesktopServices& desktop) {
    PublishMessage result;
    const std::string path = joinPath(folder, "mywork.jpg");
    const WriteResult w = SavePicture(picture, path, PictureFormat::Jpeg);
    if (!w.ok) {
        result.text = w.message;
        return result;
    }
    const MailMessage message = publishMail(path);
    const ServiceOutcome portal = desktop.portalComposeEmail(message);
    if (portal.ok) {
        result.ok = true;
        return result;
    }
    std::vector<std::string> argv{"xdg-email",     "--utf8", "--subject",
                                  message.subject, "--body", message.body};
    for (const std::string& a : message.attachments) {
        argv.push_back("--attach");
        argv.push_back(a);
    }
    if (!message.to.empty())
        argv.push_back(message.to);
    const ProgramRun run = desktop.runProgram(argv);
    if (run.started && run.exitCode == 0) {
        result.ok = true;
        return result;
    }
    result.text = "The mail program could not be started: the desktop portal: " + portal.detail +
                  "; xdg-email " + runFailure(run) + ".";
    return result;
}

} // namespace quill
