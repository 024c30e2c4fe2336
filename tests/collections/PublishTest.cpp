#include "collections/Publish.h"

#include "CollectionsTestSupport.h"
#include "imaging/JpegCodec.h"

#include <gtest/gtest.h>

#include <array>
#include <map>

namespace quill {
namespace {

using quill::testing::TempFolder;

TEST(PublishPreview, FitsTheSceneIntoTheScrollBox) {
    // 321/297 < 600/450: w = 317, h = MulDiv(317, 450, 600) = 237.75 -> 238, top 29. A tall
    // scene: h = 293, w = MulDiv(293, 300, 600) = 146.5 -> 147, left 87. Exactly the box's
    // shape takes the first branch.
    const std::pair<std::pair<int, int>, Rect> cases[] = {{{600, 450}, {0, 29, 316, 237}},
                                                          {{300, 600}, {87, 0, 146, 292}},
                                                          {{321, 297}, {2, 0, 316, 292}},
                                                          {{297, 297}, {14, 0, 292, 292}},
                                                          {{0, 10}, {}}};
    for (const auto& [size, rect] : cases)
        EXPECT_EQ(publishPreviewRect(321, 297, size.first, size.second), rect) << size.first;
}

TEST(PublishSave, EachFormReadsBackUnderItsExtension) {
    EXPECT_EQ(savePictureFilterText(), "*.jpg|*.jpg|*.bmp|*.bmp|*.wmf|*.wmf|*.png|*.png");
    TempFolder dir;
    const TBitmap32 picture = quill::testing::photo(7, 5);
    const std::pair<int, std::string> cases[] = {{1, "picture.jpg"},
                                                 {2, "picture.bmp"},
                                                 {3, "picture.wmf"},
                                                 {4, "picture.png"},
                                                 {0, ""},
                                                 {5, ""}}; // none written
    for (const auto& [filter, written] : cases) {
        SCOPED_TRACE(filter);
        dir.clear();
        const SaveAsResult r = savePictureAs(picture, dir.path("picture.jpg"), filter);
        EXPECT_EQ(r.written, !written.empty());
        EXPECT_EQ(dir.names(), written.empty() ? std::set<std::string>{} : std::set{written});
        // JPEG at quality 90; the lossless forms keep every byte.
        EXPECT_TRUE(written.empty() ||
                    (filter == 1 ? TempFolder::read(r.path) == encodeJpeg(picture, 90)
                                 : LoadPictureFile(r.path).picture == picture));
    }
    // The 24-bit BMP: 54-byte header, rows padded to 4 bytes (7 * 3 = 21 -> 24).
    savePictureAs(picture, dir.path("p.jpg"), 2);
    const auto bmp = TempFolder::read(dir.path("p.bmp"));
    ASSERT_GE(bmp.size(), 30u);
    EXPECT_EQ(bmp[28], 24);
    EXPECT_EQ(bmp.size(), 54u + 24 * 5);
    const SaveAsResult failed = savePictureAs(picture, dir.path("none/p.jpg"), 1);
    EXPECT_FALSE(failed.written);
    EXPECT_NE(failed.message.find(dir.path("none/p.jpg")), std::string::npos) << failed.message;
}

TEST(PublishPrint, DoublesWhileBothSidesAreBelowHalfThePage) {
    // Picture, page, then the placement: half of 4801 is 2400 by integer halving; 2400 is
    // below 2401, so once more; 600 is not below 600, no doubling; larger than the page, its
    // own size centred; 2048 < 2400 doubles to 4096.
    for (auto [w, h, pageW, pageH, left, top, width, height] :
         {std::array{600, 450, 4800, 6600, 1200, 2400, 2400, 1800},
          {600, 450, 4801, 6600, 1200, 2400, 2400, 1800},
          {600, 450, 4802, 6600, 1, 1500, 4800, 3600},
          {600, 450, 1200, 900, 300, 225, 600, 450},
          {5000, 100, 4800, 6600, -100, 3250, 5000, 100},
          {1, 1, 4800, 6600, 352, 1252, 4096, 4096}})
        EXPECT_EQ(printPlacement(w, h, pageW, pageH), (PrintPlacement{left, top, width, height}))
            << w << "x" << h << " on " << pageW;
    EXPECT_EQ(printPlacement(0, 450, 4800, 6600), std::nullopt);
    EXPECT_EQ(printPlacement(600, 0, 4800, 6600), std::nullopt);
}

// Records every request. Its programs keep what they set in `settings`, which the
// matching read prints; with keeps false a set ends with 0 and is forgotten, as
// gsettings without a desktop session does.
class FakeDesktop : public DesktopServices {
  public:
    DesktopEnvironment session;
    bool portalWallpaperWorks = false;
    bool portalMailWorks = false;
    bool keeps = true;
    std::map<std::string, int> exitCodes; // program -> exit code of a set; absent: not installed
    std::map<std::string, std::string> settings;
    std::string xfceProperties;
    std::vector<std::string> calls;
    MailMessage portalMail;
    std::vector<std::string> lastArgv;

    DesktopEnvironment environment() override { return session; }
    ServiceOutcome portalSetWallpaper(const std::string& path) override {
        calls.push_back("portal-wallpaper " + path);
        return {portalWallpaperWorks, portalWallpaperWorks ? "" : "no such interface"};
    }
    ServiceOutcome portalComposeEmail(const MailMessage& m) override {
        calls.push_back("portal-mail");
        portalMail = m;
        return {portalMailWorks, portalMailWorks ? "" : "no such interface"};
    }
    ProgramRun runProgram(const std::vector<std::string>& argv) override {
        std::string line;
        for (const auto& a : argv)
            line += (line.empty() ? "" : " ") + a;
        calls.push_back(line);
        lastArgv = argv;
        auto it = exitCodes.find(argv[0]);
        if (it == exitCodes.end())
            return {false, -1, "", "not installed"};
        const std::string& p = argv[0];
        auto read = [&](const std::string& key, const std::string& quote) {
            return ProgramRun{true, 0, quote + settings[key] + quote + "\n", ""};
        };
        if (p == "gsettings" && argv[1] == "get")
            return read(argv[3], "'");
        if (p == "dbus-send")
            return read("plasma", "");
        if (p == "xfconf-query" && argv[3] == "-l")
            return {true, 0, xfceProperties, ""};
        if (p == "xfconf-query" && argv.size() == 5)
            return read(argv[4], "");
        const std::string key = p == "gsettings" ? argv[3] : p == "xfconf-query" ? argv[4] : p;
        if (keeps && it->second == 0)
            settings[key == p ? "plasma" : key] =
                p == "plasma-apply-wallpaperimage" ? "file://" + argv[1] : argv.back();
        return {true, it->second, "", ""};
    }
};

TEST(PublishWallpaper, ADesktopWayCountsOnlyWhenItRunsAndReadsBackThePicture) {
    TempFolder dir;
    const TBitmap32 scene(6, 4, makePixel(10, 20, 30));
    // A space: the setting holds "my%20pictures" or "my pictures", both this file.
    const std::string folder = dir.path("my pictures");
    std::filesystem::create_directory(folder);
    const std::string bmp = folder + "/wallpaper.bmp";
    const std::map<std::string, int> all = {{"gsettings", 0},
                                            {"plasma-apply-wallpaperimage", 0},
                                            {"dbus-send", 0},
                                            {"xfconf-query", 0}};
    auto env = [](const char* desktop, const char* session = "",
                  const char* bus = "org.freedesktop.Notifications") {
        return DesktopEnvironment{desktop, session, {bus}};
    };
    const std::string others = "KDE Plasma: not running; Xfce: not running";
    const std::string notKept =
        "GNOME: gsettings reads back "
        "'file:///usr/share/backgrounds/default.jpg' instead of the picture";
    const std::string noXfconf = "GNOME: not running; KDE Plasma: not running; "
                                 "Xfce: xfconf-query not installed";
    struct Case {
        DesktopEnvironment session;
        bool portal;
        std::map<std::string, int> programs;
        bool keeps;
        std::size_t calls;   // a desktop's way ends with its read-back
        std::string failure; // after the portal's reason; empty: set
    };
    const std::map<std::string, int> refuses = {{"gsettings", 1}};
    const std::vector<Case> cases = {
        {env("GNOME"), true, all, true, 1, ""},
        {env(""), false, all, true, 1, "GNOME: not running; " + others}, // no program is asked
        {env("ubuntu:GNOME"), false, all, true, 5, ""},
        {env("", "", "org.gnome.Shell"), false, all, false, 5, notKept + "; " + others},
        {env("gnome"), false, refuses, true, 2, "GNOME: gsettings ended with code 1; " + others},
        {env("", "plasma"), false, all, true, 3, ""},
        {env("XFCE"), false, all, true, 6, ""},
        {env("", "xfce"), false, {}, true, 2, noXfconf}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.session.currentDesktop + c.session.session + " " + c.failure);
        std::filesystem::remove(bmp);
        FakeDesktop desktop;
        desktop.session = c.session;
        desktop.portalWallpaperWorks = c.portal;
        desktop.exitCodes = c.programs;
        desktop.keeps = c.keeps;
        desktop.settings["picture-uri"] = "file:///usr/share/backgrounds/default.jpg";
        desktop.xfceProperties = "/backdrop/screen0/monitor0/workspace0/color-style\n"
                                 "/backdrop/screen0/monitor0/workspace0/last-image\n"
                                 "/backdrop/screen0/monitorHDMI-1/workspace0/last-image\n";
        PublishMessage m = setAsWallpaper(scene, folder, desktop);
        EXPECT_EQ(desktop.calls.size(), c.calls);
        EXPECT_EQ(m.ok, c.failure.empty());
        if (c.failure.empty()) {
            EXPECT_EQ(m.text, "Set as wallpaper successful!");
            EXPECT_EQ(m.title, "ok!");
        } else {
            EXPECT_EQ(m.text, "The wallpaper could not be set (" + bmp +
                                  "): the desktop portal: no such interface; " + c.failure + ".");
        }
        // The file is a 32-bit BMP of the scene in every case.
        const auto bytes = TempFolder::read(bmp);
        ASSERT_GE(bytes.size(), 30u);
        EXPECT_EQ(bytes[28], 32);
        EXPECT_EQ(LoadPictureFile(bmp).picture, scene);
    }
}

TEST(PublishWallpaper, UnwritableFolderSetsNothing) {
    TempFolder dir;
    FakeDesktop desktop;
    desktop.portalWallpaperWorks = true;
    PublishMessage m = setAsWallpaper(TBitmap32(3, 3), dir.path("missing"), desktop);
    EXPECT_FALSE(m.ok);
    EXPECT_NE(m.text.find(dir.path("missing/wallpaper.bmp")), std::string::npos) << m.text;
    EXPECT_TRUE(desktop.calls.empty());
}

TEST(PublishMail, ComposesTheMessageWithOneAttachment) {
    EXPECT_EQ(mailBody(),
              std::string("Hello!\r\n\r\nIt is a good software. The download link is folows:\r\n") +
                  kManualPage +
                  "\r\n\r\nPlease try it. It would give you happiness!\r\nGood luck!");
    TempFolder dir;
    const TBitmap32 scene(8, 6, makePixel(200, 100, 50));
    const std::string jpg = dir.path("mywork.jpg");

    FakeDesktop portal;
    portal.portalMailWorks = true;
    PublishMessage m = mailToFriend(scene, dir.path(), portal);
    EXPECT_TRUE(m.ok);
    EXPECT_EQ(m.text, "");
    EXPECT_EQ(portal.calls, std::vector<std::string>{"portal-mail"});
    EXPECT_EQ(portal.portalMail.subject, "Tell you a great software--Quillmark.");
    EXPECT_EQ(portal.portalMail.body, mailBody());
    EXPECT_EQ(portal.portalMail.attachments, std::vector<std::string>{jpg});
    EXPECT_EQ(portal.portalMail.to, "");
    EXPECT_EQ(TempFolder::read(jpg), encodeJpeg(scene, 90));

    FakeDesktop fallback;
    fallback.exitCodes["xdg-email"] = 0;
    m = mailToFriend(scene, dir.path(), fallback);
    EXPECT_TRUE(m.ok);
    EXPECT_EQ(fallback.lastArgv,
              (std::vector<std::string>{"xdg-email", "--utf8", "--subject", kMailSubject, "--body",
                                        mailBody(), "--attach", jpg}));

    FakeDesktop nothing;
    nothing.exitCodes["xdg-email"] = 3;
    m = mailToFriend(scene, dir.path(), nothing);
    EXPECT_FALSE(m.ok);
    EXPECT_EQ(m.text,
              "The mail program could not be started: the desktop portal: no such interface; "
              "xdg-email ended with code 3.");

    FakeDesktop unwritable;
    m = mailToFriend(scene, dir.path("gone"), unwritable);
    EXPECT_FALSE(m.ok);
    EXPECT_NE(m.text.find(dir.path("gone/mywork.jpg")), std::string::npos);
    EXPECT_TRUE(unwritable.calls.empty());
}

TEST(PublishMail, FileUriEncodesUnsafeBytes) {
    EXPECT_EQ(fileUri("/home/a b/c%d/é.bmp"), "file:///home/a%20b/c%25d/%C3%A9.bmp");
    EXPECT_EQ(fileUri("/x/y-z_1.~bmp"), "file:///x/y-z_1.~bmp");
}

} // namespace
} // namespace quill
