#include "platform/SingleInstance.h"

#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QUrl>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

namespace {

const QString kService = QStringLiteral("org.sonavel.Sonavel");
const QString kObjectPath = QStringLiteral("/org/sonavel/Sonavel");
const QString kInterface = QStringLiteral("org.freedesktop.Application");

// A hand-over over the socket: NUL-terminated items, the verb ("open" or "activate") then the
// paths, ended by an empty item. The primary answers "ok" before it acts.
constexpr qsizetype kMaxMessage = 1 << 20;

// $XDG_RUNTIME_DIR, else a folder of our own in /tmp. Empty when neither can be trusted.
QString runtimeFolder()
{
    QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir())
        return runtime;
    QByteArray folder = "/tmp/sonavel-" + QByteArray::number(getuid());
    mkdir(folder.constData(), 0700);
    // Another user's folder there (or a link to one) must not receive our socket.
    struct stat st;
    if (lstat(folder.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != getuid() || (st.st_mode & 077))
        return {};
    return QString::fromLocal8Bit(folder);
}

QByteArray handOverMessage(const QStringList &paths)
{
    QByteArray message = paths.isEmpty() ? "activate" : "open";
    message += '\0';
    for (const QString &path : paths) {
        message += QFile::encodeName(path);
        message += '\0';
    }
    message += '\0';
    return message;
}

void startAnother()
{
    fputs("Single instance: the running Sonavel did not answer in time; starting another\n", stderr);
}

}  // namespace

// org.freedesktop.Application, which desktop launchers also speak: Open takes file URIs.
class ApplicationAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Application")

public:
    explicit ApplicationAdaptor(SingleInstance *owner) : QDBusAbstractAdaptor(owner), owner_(owner) {}

public slots:
    void Activate(const QVariantMap &) { owner_->deliver({}); }
    void Open(const QStringList &uris, const QVariantMap &)
    {
        QStringList paths;
        for (const QString &uri : uris) {
            QUrl url(uri);
            if (url.isLocalFile())
                paths << url.toLocalFile();
        }
        if (!paths.isEmpty())
            owner_->deliver(paths);
    }
    void ActivateAction(const QString &, const QVariantList &, const QVariantMap &) {}  // no actions

private:
    SingleInstance *owner_;
};

SingleInstance::SingleInstance(QObject *parent) : QObject(parent) {}

SingleInstance::~SingleInstance()
{
    if (onBus_) {
        QDBusConnection bus = QDBusConnection::sessionBus();
        bus.unregisterService(kService);
        bus.unregisterObject(kObjectPath);
    }
    server_.reset();  // removes the socket file
    if (lockFd_ >= 0)
        ::close(lockFd_);
}

SingleInstance::Role SingleInstance::start(const QStringList &files)
{
    QStringList paths;
    for (const QString &file : files)
        paths << QDir::cleanPath(QFileInfo(file).absoluteFilePath());
    if (QDBusConnection::sessionBus().isConnected())
        return startOnBus(paths);
    return startOnSocket(paths);
}

// Answered first, acted on at the next pass of the run loop.
void SingleInstance::deliver(const QStringList &paths)
{
    QMetaObject::invokeMethod(this, [this, paths] {
        if (paths.isEmpty())
            emit activateRequested();
        else
            emit filesReceived(paths);
    }, Qt::QueuedConnection);
}

SingleInstance::Role SingleInstance::startOnBus(const QStringList &paths)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    new ApplicationAdaptor(this);
    bool published = bus.registerObject(kObjectPath, this, QDBusConnection::ExportAdaptors);
    if (published && bus.registerService(kService)) {
        onBus_ = true;
        return Primary;
    }
    QDBusMessage call;
    if (paths.isEmpty()) {
        call = QDBusMessage::createMethodCall(kService, kObjectPath, kInterface, QStringLiteral("Activate"));
        call << QVariantMap();
    } else {
        QStringList uris;
        for (const QString &path : paths)
            uris << QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded);
        call = QDBusMessage::createMethodCall(kService, kObjectPath, kInterface, QStringLiteral("Open"));
        call << uris << QVariantMap();
    }
    QDBusMessage reply = bus.call(call, QDBus::Block, kHandOverTimeout);
    if (reply.type() == QDBusMessage::ReplyMessage)
        return HandedOver;
    // The primary may have quit meanwhile, leaving the name to us.
    if (published && bus.registerService(kService)) {
        onBus_ = true;
        return Primary;
    }
    if (published)
        bus.unregisterObject(kObjectPath);
    startAnother();
    return Primary;
}

SingleInstance::Role SingleInstance::startOnSocket(const QStringList &paths)
{
    QString folder = runtimeFolder();
    if (folder.isEmpty()) {
        fputs("Single instance: no private runtime folder; not looking for a running Sonavel\n", stderr);
        return Primary;
    }
    socketPath_ = folder + QStringLiteral("/org.sonavel.Sonavel.socket");
    QByteArray lockPath = QFile::encodeName(folder + QStringLiteral("/org.sonavel.Sonavel.lock"));
    // The primary holds this lock for its whole life and the kernel drops it when the process
    // dies, so a socket file left behind by a crash is known to be stale.
    lockFd_ = ::open(lockPath.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lockFd_ >= 0 && flock(lockFd_, LOCK_EX | LOCK_NB) == 0) {
        listen();
        return Primary;
    }
    if (lockFd_ >= 0)
        ::close(lockFd_);
    lockFd_ = -1;

    QByteArray message = handOverMessage(paths);
    QDeadlineTimer deadline(kHandOverTimeout);
    while (!deadline.hasExpired()) {
        QLocalSocket socket;
        socket.connectToServer(socketPath_);
        if (!socket.waitForConnected(int(deadline.remainingTime()))) {
            usleep(50 * 1000);  // the primary may hold the lock but not listen yet
            continue;
        }
        socket.write(message);
        while (socket.bytesToWrite() > 0 && socket.waitForBytesWritten(int(deadline.remainingTime()))) {
        }
        QByteArray answer;
        while (answer.size() < 2 && socket.waitForReadyRead(int(deadline.remainingTime())))
            answer += socket.readAll();
        if (answer == "ok")
            return HandedOver;
        break;  // it took the connection but did not answer: hung
    }
    startAnother();
    return Primary;
}

bool SingleInstance::listen()
{
    server_ = std::make_unique<QLocalServer>();
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    QLocalServer::removeServer(socketPath_);  // left by a crash: the lock says nobody serves it
    if (!server_->listen(socketPath_)) {
        fprintf(stderr, "Single instance: cannot listen on %s\n", qPrintable(socketPath_));
        server_.reset();
        return false;
    }
    connect(server_.get(), &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *socket = server_->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            auto message = std::make_shared<QByteArray>();
            connect(socket, &QLocalSocket::readyRead, this, [this, socket, message] {
                *message += socket->readAll();
                if (message->size() > kMaxMessage) {
                    socket->abort();
                    socket->deleteLater();
                    return;
                }
                if (!message->endsWith(QByteArray("\0\0", 2)))
                    return;
                QList<QByteArray> items = message->split('\0');
                items.resize(items.size() - 2);  // the empty item and what follows the last NUL
                socket->write("ok");
                socket->flush();
                socket->disconnectFromServer();
                QStringList paths;
                for (qsizetype i = 1; i < items.size(); i++)
                    paths << QFile::decodeName(items[i]);
                if (items.value(0) == "open" && !paths.isEmpty())
                    deliver(paths);
                else if (items.value(0) == "activate")
                    deliver({});
            });
        }
    });
    return true;
}

#include "SingleInstance.moc"
