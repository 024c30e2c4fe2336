#include "collections/Publish.h"

#include "imaging/Folders.h"
#include "imaging/Rounding.h"

#include <algorithm>
#include <cstdio>

namespace quill {

Rect publishPreviewRect(int boxWidth, int boxHeight, int pictureWidth, int pictureHeight) {
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

bool ran(const ProgramRun& run) {
    return run.started && run.exitCode == 0;
}

std::string runFailure(const ProgramRun& run) {
    if (!run.started)
        return run.error.empty() ? std::string("could not be started") : run.error;
    std::string why = "ended with code " + std::to_string(run.exitCode);
    if (!run.error.empty())
        why += " (" + run.error + ")";
    return why;
}

// The lines of a program's output without surrounding blanks; empty lines dropped.
std::vector<std::string> outputLines(const std::string& output) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < output.size()) {
        std::size_t end = output.find('\n', start);
        if (end == std::string::npos)
            end = output.size();
        const std::size_t first = output.find_first_not_of(" \t\r", start);
        if (first != std::string::npos && first < end) {
            const std::size_t last = output.find_last_not_of(" \t\r", end - 1);
            lines.push_back(output.substr(first, last + 1 - first));
        }
        start = end + 1;
    }
    return lines;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// A wallpaper setting as a path: gsettings' quotes dropped, a file URI decoded.
std::string settingPath(std::string value) {
    if (value.size() >= 2 && value.front() == '\'' && value.back() == '\'')
        value = value.substr(1, value.size() - 2);
    const std::string scheme = "file://";
    if (value.compare(0, scheme.size(), scheme) != 0)
        return value;
    std::string path;
    for (std::size_t i = scheme.size(); i < value.size(); ++i) {
        if (value[i] == '%' && i + 2 < value.size() && hexDigit(value[i + 1]) >= 0 &&
            hexDigit(value[i + 2]) >= 0) {
            path += char(hexDigit(value[i + 1]) * 16 + hexDigit(value[i + 2]));
            i += 2;
        } else {
            path += value[i];
        }
    }
    return path;
}

// Asks a program started afresh for the setting: done when a line of its answer names
// the file (a setter's exit code alone proves nothing).
ServiceOutcome readBack(DesktopServices& desktop, const std::vector<std::string>& argv,
                        const std::string& path) {
    const ProgramRun run = desktop.runProgram(argv);
    if (!ran(run))
        return {false, argv[0] + " " + runFailure(run)};
    const std::vector<std::string> lines = outputLines(run.output);
    for (const std::string& line : lines)
        if (settingPath(line) == path)
            return {true, {}};
    return {false, argv[0] + " reads back " + (lines.empty() ? "nothing" : lines.front()) +
                       " instead of the picture"};
}

ServiceOutcome gnomeWallpaper(DesktopServices& desktop, const std::string& path) {
    const std::string schema = "org.gnome.desktop.background", uri = fileUri(path);
    const ProgramRun light = desktop.runProgram({"gsettings", "set", schema, "picture-uri", uri});
    if (!ran(light))
        return {false, "gsettings " + runFailure(light)};
    // Older GNOME has no dark-style key: its failure does not undo the light one.
    desktop.runProgram({"gsettings", "set", schema, "picture-uri-dark", uri});
    const ProgramRun options =
        desktop.runProgram({"gsettings", "set", schema, "picture-options", "wallpaper"});
    if (!ran(options))
        return {false, "gsettings " + runFailure(options)};
    return readBack(desktop, {"gsettings", "get", schema, "picture-uri"}, path);
}

// Prints the picture of every Plasma desktop, one a line.
constexpr const char* kPlasmaImages =
    "print(desktops().map(function (d) {"
    " d.currentConfigGroup = [\"Wallpaper\", \"org.kde.image\", \"General\"];"
    " return d.readConfig(\"Image\"); }).join(\"\\n\"))";

ServiceOutcome kdeWallpaper(DesktopServices& desktop, const std::string& path) {
    const ProgramRun run = desktop.runProgram({"plasma-apply-wallpaperimage", path});
    if (!ran(run))
        return {false, "plasma-apply-wallpaperimage " + runFailure(run)};
    return readBack(desktop,
                    {"dbus-send", "--session", "--print-reply=literal",
                     "--dest=org.kde.plasmashell", "/PlasmaShell",
                     "org.kde.PlasmaShell.evaluateScript", std::string("string:") + kPlasmaImages},
                    path);
}

ServiceOutcome xfceWallpaper(DesktopServices& desktop, const std::string& path) {
    const ProgramRun list = desktop.runProgram({"xfconf-query", "-c", "xfce4-desktop", "-l"});
    if (!ran(list))
        return {false, "xfconf-query " + runFailure(list)};
    std::vector<std::string> properties;
    const std::string suffix = "/last-image";
    for (const std::string& line : outputLines(list.output))
        if (line.size() > suffix.size() &&
            line.compare(line.size() - suffix.size(), suffix.size(), suffix) == 0)
            properties.push_back(line);
    if (properties.empty())
        return {false, "xfconf-query found no desktop picture setting"};
    for (const std::string& p : properties) {
        const ProgramRun set =
            desktop.runProgram({"xfconf-query", "-c", "xfce4-desktop", "-p", p, "-s", path});
        if (!ran(set))
            return {false, "xfconf-query " + runFailure(set)};
    }
    for (const std::string& p : properties) {
        const ServiceOutcome back =
            readBack(desktop, {"xfconf-query", "-c", "xfce4-desktop", "-p", p}, path);
        if (!back.ok)
            return back;
    }
    return {true, {}};
}

// A desktop with a way of its own, and the signs that it is the one running: a name in
// XDG_CURRENT_DESKTOP or DESKTOP_SESSION (any case), or its shell's name on the bus.
struct DesktopWay {
    const char* label;
    std::vector<std::string> desktopNames;
    std::vector<std::string> sessions;
    std::vector<std::string> busNames;
    ServiceOutcome (*set)(DesktopServices&, const std::string&);
};

const std::vector<DesktopWay>& desktopWays() {
    static const std::vector<DesktopWay> ways{
        {"GNOME",
         {"gnome", "unity", "budgie"},
         {"gnome", "gnome-xorg", "gnome-wayland", "ubuntu", "ubuntu-xorg", "ubuntu-wayland",
          "budgie-desktop"},
         {"org.gnome.Shell"},
         gnomeWallpaper},
        {"KDE Plasma",
         {"kde"},
         {"plasma", "plasmawayland", "plasmax11", "kde-plasma"},
         {"org.kde.plasmashell"},
         kdeWallpaper},
        {"Xfce",
         {"xfce"},
         {"xfce", "xfce4", "xubuntu"},
         {"org.xfce.xfdesktop", "org.xfce.SessionManager"},
         xfceWallpaper},
    };
    return ways;
}

std::string lowerCase(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return s;
}

bool contains(const std::vector<std::string>& list, const std::string& item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

bool running(const DesktopWay& way, const DesktopEnvironment& env) {
    const std::string desktops = lowerCase(env.currentDesktop);
    std::size_t start = 0;
    while (start <= desktops.size()) {
        std::size_t end = desktops.find(':', start);
        if (end == std::string::npos)
            end = desktops.size();
        if (contains(way.desktopNames, desktops.substr(start, end - start)))
            return true;
        start = end + 1;
    }
    if (contains(way.sessions, lowerCase(env.session)))
        return true;
    for (const std::string& name : way.busNames)
        if (contains(env.busNames, name))
            return true;
    return false;
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
    const ServiceOutcome portal = desktop.portalSetWallpaper(path);
    bool done = portal.ok;
    if (!done) {
        reasons.push_back("the desktop portal: " + portal.detail);
        const DesktopEnvironment env = desktop.environment();
        for (const DesktopWay& way : desktopWays()) {
            const ServiceOutcome outcome =
                running(way, env) ? way.set(desktop, path) : ServiceOutcome{false, "not running"};
            done = outcome.ok;
            if (done)
                break;
            reasons.push_back(std::string(way.label) + ": " + outcome.detail);
        }
    }
    if (done) {
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
