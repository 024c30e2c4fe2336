#include "app/platform/DesktopServices.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDBusUnixFileDescriptor>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTimer>
#include <QVariantMap>

#include <memory>

#include <fcntl.h>
#include <unistd.h>

namespace quill::app {

namespace {

const QString kPortalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPortalPath = QStringLiteral("/org/freedesktop/portal/desktop");

// A read-only descriptor of a file, closed when it goes out of scope; the D-Bus
// message holds its own duplicate.
class ReadDescriptor {
  public:
    explicit ReadDescriptor(const std::string& path)
        : m_fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
    ~ReadDescriptor() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    ReadDescriptor(const ReadDescriptor&) = delete;
    ReadDescriptor& operator=(const ReadDescriptor&) = delete;
    bool ok() const { return m_fd >= 0; }
    int fd() const { return m_fd; }

  private:
    int m_fd;
};

// Sends a portal call and waits for its reply (the request handle). The portal answers
// the user's choice later on the request object; a handle means the desktop took the
// request.
ServiceOutcome callPortal(const QString& interface, const QString& method,
                          const QVariantList& arguments) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return {false, "no session D-Bus"};
    QDBusMessage call =
        QDBusMessage::createMethodCall(kPortalService, kPortalPath, interface, method);
    call.setArguments(arguments);
    const QDBusMessage reply = bus.call(call, QDBus::Block, 15000);
    if (reply.type() == QDBusMessage::ErrorMessage)
        return {false,
                (reply.errorName() + QStringLiteral(": ") + reply.errorMessage()).toStdString()};
    if (reply.type() != QDBusMessage::ReplyMessage)
        return {false, "no reply from the desktop portal"};
    return {true, {}};
}

// Whether the portal service runs now or the bus can start it.
bool portalAvailable(QDBusConnection& bus) {
    QDBusConnectionInterface* names = bus.interface();
    if (!names)
        return false;
    const QDBusReply<bool> running = names->isServiceRegistered(kPortalService);
    if (running.isValid() && running.value())
        return true;
    const QDBusReply<QStringList> startable = names->activatableServiceNames();
    return startable.isValid() && startable.value().contains(kPortalService);
}

// How long the desktop may take to answer a wallpaper request (no dialog is asked for).
constexpr int kPortalAnswerMs = 30000;

} // namespace

// The portal's answer to one request: 0 done, 1 cancelled by the user, 2 otherwise.
class PortalResponse : public QObject {
    Q_OBJECT
  public:
    bool answered = false;
    uint code = 2;
  public slots:
    void onResponse(uint response, const QVariantMap&) {
        answered = true;
        code = response;
        emit done();
    }
  signals:
    void done();
};

DesktopEnvironment LinuxDesktopServices::environment() {
    DesktopEnvironment env;
    env.currentDesktop = qEnvironmentVariable("XDG_CURRENT_DESKTOP").toStdString();
    env.session = qEnvironmentVariable("DESKTOP_SESSION").toStdString();
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected() && bus.interface()) {
        const QDBusReply<QStringList> names = bus.interface()->registeredServiceNames();
        if (names.isValid())
            for (const QString& name : names.value())
                if (!name.startsWith(QLatin1Char(':')))
                    env.busNames.push_back(name.toStdString());
    }
    return env;
}

ServiceOutcome LinuxDesktopServices::portalSetWallpaper(const std::string& path) {
    ReadDescriptor file(path);
    if (!file.ok())
        return {false, "cannot open " + path};
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return {false, "no session D-Bus"};
    if (!portalAvailable(bus))
        return {false, "not running"};
    // The answer comes later as a signal of a request object whose path follows from
    // the program's bus name and a token: listen before asking so it cannot be missed.
    static int requests = 0;
    const QString token =
        QStringLiteral("quillmark%1_%2").arg(QCoreApplication::applicationPid()).arg(++requests);
    const QString request = QStringLiteral("/org/freedesktop/portal/desktop/request/") +
                            bus.baseService().mid(1).replace(QLatin1Char('.'), QLatin1Char('_')) +
                            QLatin1Char('/') + token;
    const QString requestInterface = QStringLiteral("org.freedesktop.portal.Request");
    PortalResponse response;
    bus.connect(kPortalService, request, requestInterface, QStringLiteral("Response"), &response,
                SLOT(onResponse(uint, QVariantMap)));
    QVariantMap options;
    options.insert(QStringLiteral("handle_token"), token);
    options.insert(QStringLiteral("show-preview"), false);
    options.insert(QStringLiteral("set-on"), QStringLiteral("both"));
    const ServiceOutcome asked = callPortal(
        QStringLiteral("org.freedesktop.portal.Wallpaper"), QStringLiteral("SetWallpaperFile"),
        {QString(), QVariant::fromValue(QDBusUnixFileDescriptor(file.fd())), options});
    if (asked.ok && !response.answered) {
        QEventLoop wait;
        QObject::connect(&response, &PortalResponse::done, &wait, &QEventLoop::quit);
        QTimer::singleShot(kPortalAnswerMs, &wait, &QEventLoop::quit);
        wait.exec(QEventLoop::ExcludeUserInputEvents);
    }
    bus.disconnect(kPortalService, request, requestInterface, QStringLiteral("Response"), &response,
                   SLOT(onResponse(uint, QVariantMap)));
    if (!asked.ok)
        return asked;
    if (!response.answered)
        return {false, "no answer from the desktop"};
    if (response.code == 0)
        return {true, {}};
    return {false, response.code == 1 ? "cancelled" : "the desktop did not set it"};
}

ServiceOutcome LinuxDesktopServices::portalComposeEmail(const MailMessage& message) {
    qDBusRegisterMetaType<QList<QDBusUnixFileDescriptor>>();
    std::vector<std::unique_ptr<ReadDescriptor>> files;
    QList<QDBusUnixFileDescriptor> descriptors;
    for (const std::string& path : message.attachments) {
        files.push_back(std::make_unique<ReadDescriptor>(path));
        if (!files.back()->ok())
            return {false, "cannot open " + path};
        descriptors << QDBusUnixFileDescriptor(files.back()->fd());
    }
    QVariantMap options;
    if (!message.to.empty())
        options.insert(QStringLiteral("addresses"),
                       QStringList{QString::fromStdString(message.to)});
    if (!message.subject.empty())
        options.insert(QStringLiteral("subject"), QString::fromStdString(message.subject));
    if (!message.body.empty())
        options.insert(QStringLiteral("body"), QString::fromStdString(message.body));
    if (!descriptors.isEmpty())
        options.insert(QStringLiteral("attachment_fds"), QVariant::fromValue(descriptors));
    return callPortal(QStringLiteral("org.freedesktop.portal.Email"),
                      QStringLiteral("ComposeEmail"), {QString(), options});
}

ProgramRun LinuxDesktopServices::runProgram(const std::vector<std::string>& argv) {
    ProgramRun run;
    if (argv.empty()) {
        run.error = "no program named";
        return run;
    }
    QStringList arguments;
    for (std::size_t i = 1; i < argv.size(); ++i)
        arguments << QString::fromStdString(argv[i]);
    QProcess process;
    process.start(QString::fromStdString(argv[0]), arguments);
    if (!process.waitForStarted(3000)) {
        run.error = argv[0] + ": " + process.errorString().toStdString();
        return run;
    }
    run.started = true;
    if (!process.waitForFinished(m_timeoutMs)) {
        process.kill();
        process.waitForFinished(1000);
        run.error = argv[0] + " did not end in time";
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.output = process.readAllStandardOutput().toStdString();
    run.error = process.readAllStandardError().trimmed().toStdString();
    return run;
}

} // namespace quill::app

#include "DesktopServices.moc"
