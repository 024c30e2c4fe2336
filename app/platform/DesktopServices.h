#pragma once

#include "collections/Publish.h"

namespace quill::app {

// The Linux desktop behind publishing: the XDG desktop portal over the session D-Bus
// (wallpaper and mail, files handed over as descriptors so sandboxed desktops can
// read them) and plain programs started with QProcess (gsettings,
// plasma-apply-wallpaperimage, xfconf-query, dbus-send, xdg-email).
class LinuxDesktopServices : public quill::DesktopServices {
  public:
    // Programs are given at most this long to end.
    explicit LinuxDesktopServices(int programTimeoutMs = 10000) : m_timeoutMs(programTimeoutMs) {}

    // XDG_CURRENT_DESKTOP, DESKTOP_SESSION and the names now on the session bus.
    DesktopEnvironment environment() override;
    ServiceOutcome portalSetWallpaper(const std::string& path) override;
    ServiceOutcome portalComposeEmail(const MailMessage& message) override;
    ProgramRun runProgram(const std::vector<std::string>& argv) override;

  private:
    int m_timeoutMs;
};

} // namespace quill::app
