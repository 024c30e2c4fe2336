#pragma once
// The start of the window program and of the album player, before a QApplication
// exists: --help and --version answer without a display, and a mistyped option or a
// missing display is one line on stderr instead of Qt's abort. The options Qt reads
// itself (-platform, -style, -session ...) pass through to the QApplication.

#include <QGuiApplication>
#include <QString>

#include <cstdio>
#include <initializer_list>
#include <string>

namespace quill::app {

// The program's id in the desktop's menus: the name of its desktop entry and icon.
inline constexpr const char* kDesktopId = "io.github.quillmark.Quillmark";

struct ProgramUsage {
    const char* name;     // "quillmark"
    const char* synopsis; // after the name: "[OPTION]... [FILE]..."
    const char* summary;  // one line saying what the program does
    bool takesFiles;      // positional arguments allowed
};

namespace detail {

inline bool isOneOf(const std::string& name, std::initializer_list<const char*> names) {
    for (const char* n : names)
        if (name == n)
            return true;
    return false;
}

// An option of Qt's own (QGuiApplication, QApplication, the xcb platform), given with
// one dash or two: its name without dashes and value, and how many arguments it takes
// (2: the value is the next argument); 0 arguments for an option Qt does not know.
struct QtOption {
    std::string name;
    int arguments = 0;
};

inline QtOption qtOption(const std::string& arg) {
    const std::size_t start = arg.compare(0, 2, "--") == 0 ? 2 : 1;
    const std::size_t equals = arg.find('=');
    QtOption o{arg.substr(start, equals == std::string::npos ? std::string::npos : equals - start)};
    if (isOneOf(o.name, {"platform", "platformpluginpath", "platformtheme", "plugin",
                         "qwindowgeometry", "qwindowtitle", "qwindowicon", "geometry", "title",
                         "icon", "session", "display", "name", "visual", "style", "stylesheet"}))
        o.arguments = equals == std::string::npos ? 2 : 1;
    else if (isOneOf(o.name, {"reverse", "widgetcount", "sync", "nograb", "dograb", "cmap",
                              "testability", "qmljsdebugger"}))
        o.arguments = 1;
    return o;
}

} // namespace detail

// Reads the command line before the QApplication is made. Returns -1 to go on, else
// the status to exit with at once (0 after --help or --version, 1 after an error).
inline int readCommandLine(int argc, char** argv, const ProgramUsage& usage) {
    bool platformChosen = !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
    bool options = true;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (!options || arg.size() < 2 || arg[0] != '-') {
            if (!usage.takesFiles) {
                std::fprintf(stderr, "%s: unexpected argument '%s'\n", usage.name, argv[i]);
                return 1;
            }
            continue; // files: read by the program once it runs
        }
        if (arg == "--") {
            options = false;
        } else if (arg == "--help" || arg == "-h") {
            std::printf("Usage: %s %s\n%s\n\n"
                        "  -h, --help   show this help and exit\n"
                        "  --version    show the version and exit\n\n"
                        "Qt's own options (-platform, -style, -session ...) are passed on to "
                        "Qt.\n",
                        usage.name, usage.synopsis, usage.summary);
            return 0;
        } else if (arg == "--version") {
            std::printf("%s %s\n", usage.name, QUILL_VERSION_TEXT);
            return 0;
        } else if (const detail::QtOption qt = detail::qtOption(arg); qt.arguments == 0) {
            std::fprintf(stderr, "%s: unknown option '%s' (see %s --help)\n", usage.name, argv[i],
                         usage.name);
            return 1;
        } else if (qt.arguments == 2 && i + 1 == argc) {
            std::fprintf(stderr, "%s: option '%s' needs a value\n", usage.name, argv[i]);
            return 1;
        } else {
            platformChosen |= qt.name == "platform";
            i += qt.arguments - 1;
        }
    }
    if (!platformChosen && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        std::fprintf(stderr,
                     "%s: no display to show the window on (DISPLAY and WAYLAND_DISPLAY are "
                     "not set)\n",
                     usage.name);
        return 1;
    }
    return -1;
}

// The names the desktop knows the window program by. No display name: Qt would append
// it to every window title ("Pencil_Sketch — Quillmark").
inline void nameApplication() {
    QGuiApplication::setApplicationName(QStringLiteral("Quillmark"));
    QGuiApplication::setApplicationVersion(QStringLiteral(QUILL_VERSION_TEXT));
    QGuiApplication::setDesktopFileName(QString::fromLatin1(kDesktopId));
}

} // namespace quill::app
