#include "app/platform/DesktopServices.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using quill::app::LinuxDesktopServices;

TEST(LinuxDesktop, ProgramsReportTheirExitCodeOutputAndFailureToStart) {
    LinuxDesktopServices desktop(5000);
    struct Case {
        std::vector<std::string> argv;
        bool started;
        int exitCode;
        std::string output;
    };
    const Case cases[] = {
        {{"sh", "-c", "printf 'set\\n'; exit 0"}, true, 0, "set\n"},
        {{"sh", "-c", "echo refused >&2; exit 3"}, true, 3, ""},
        {{"quillmark-no-such-program-here"}, false, -1, ""},
    };
    for (const Case& c : cases) {
        const quill::ProgramRun run = desktop.runProgram(c.argv);
        EXPECT_EQ(run.started, c.started) << c.argv[0];
        EXPECT_EQ(run.exitCode, c.exitCode) << c.argv.back();
        EXPECT_EQ(run.output, c.output) << c.argv.back();
        if (!c.started) {
            EXPECT_FALSE(run.error.empty());
        }
    }
    EXPECT_EQ(desktop.runProgram({"sh", "-c", "echo refused >&2; exit 3"}).error, "refused");
    EXPECT_FALSE(desktop.runProgram({}).started);
}

TEST(LinuxDesktop, AProgramThatDoesNotEndInTimeIsStopped) {
    LinuxDesktopServices desktop(300);
    const quill::ProgramRun run = desktop.runProgram({"sleep", "30"});
    EXPECT_TRUE(run.started);
    EXPECT_NE(run.exitCode, 0);
    EXPECT_NE(run.error.find("did not end"), std::string::npos) << run.error;
}

TEST(LinuxDesktop, AMissingFileIsNotHandedToThePortal) {
    LinuxDesktopServices desktop;
    const quill::ServiceOutcome wallpaper =
        desktop.portalSetWallpaper("/nonexistent/quillmark/wallpaper.bmp");
    EXPECT_FALSE(wallpaper.ok);
    EXPECT_NE(wallpaper.detail.find("/nonexistent/quillmark/wallpaper.bmp"), std::string::npos);
    quill::MailMessage mail;
    mail.attachments = {"/nonexistent/quillmark/mywork.jpg"};
    EXPECT_FALSE(desktop.portalComposeEmail(mail).ok);
}

// The Linux desktop with the portal left out, so that no test sets the wallpaper of the
// session it runs in.
class NoPortalDesktop : public LinuxDesktopServices {
  public:
    quill::ServiceOutcome portalSetWallpaper(const std::string&) override {
        return {false, "left out"};
    }
};

// A gsettings of the test's own, first on PATH: with KEEP it keeps picture-uri in a file,
// without it forgets and still ends with 0, as gsettings without a session does.
TEST(LinuxDesktop, GnomeWallpaperCountsOnlyWhenAFreshGsettingsReadsItBack) {
    QTemporaryDir bin;
    QFile script(bin.filePath("gsettings"));
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write(R"(#!/bin/sh
case "$1" in
set) [ "$3" = picture-uri ] && [ -n "$KEEP" ] && echo "'$4'" >"$0.kept"; exit 0 ;;
get) cat "$0.kept" 2>/dev/null || echo "'file:///usr/share/backgrounds/default.jpg'" ;;
esac
)");
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::ExeOwner);
    const QByteArray path = qgetenv("PATH"), desktop = qgetenv("XDG_CURRENT_DESKTOP");
    qputenv("PATH", bin.path().toLocal8Bit() + ":" + path);
    qputenv("XDG_CURRENT_DESKTOP", "ubuntu:GNOME");
    for (const bool keeps : {false, true}) {
        keeps ? qputenv("KEEP", "1") : qunsetenv("KEEP");
        QTemporaryDir folder;
        NoPortalDesktop services;
        EXPECT_EQ(services.environment().currentDesktop, "ubuntu:GNOME");
        const quill::PublishMessage m =
            quill::setAsWallpaper(quill::TBitmap32(4, 3), folder.path().toStdString(), services);
        EXPECT_EQ(m.ok, keeps) << m.text;
        EXPECT_EQ(m.text.find("reads back 'file:///usr/share/backgrounds/default.jpg'") !=
                      std::string::npos,
                  !keeps)
            << m.text;
    }
    qunsetenv("KEEP");
    qputenv("PATH", path);
    desktop.isEmpty() ? qunsetenv("XDG_CURRENT_DESKTOP") : qputenv("XDG_CURRENT_DESKTOP", desktop);
}
