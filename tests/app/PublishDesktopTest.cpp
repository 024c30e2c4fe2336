#include "app/platform/DesktopServices.h"

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
