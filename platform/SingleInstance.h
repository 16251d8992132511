// One Sonavel per user. The first process is the primary instance: it owns the session-bus name
// org.sonavel.Sonavel with the org.freedesktop.Application interface at /org/sonavel/Sonavel,
// or, where there is no session bus, a local socket in the runtime folder ($XDG_RUNTIME_DIR,
// else /tmp/sonavel-UID). A later process hands its files to the primary (or, without files,
// asks it to show its window) and exits.
// A primary that does not answer within kHandOverTimeout must not cost the user the files: the
// later process is then told to carry on as the primary and import them itself. A socket left
// by a crashed instance does not block the next start.
#pragma once

#include <QObject>
#include <QStringList>

#include <memory>

class QLocalServer;

class SingleInstance : public QObject {
    Q_OBJECT

public:
    enum Role {
        Primary,     // carry on as the player; import the files given to start() yourself
        HandedOver,  // the running instance took them; exit with status 0
    };
    static constexpr int kHandOverTimeout = 2000;  // milliseconds

    explicit SingleInstance(QObject *parent = nullptr);
    ~SingleInstance() override;

    // Becomes the primary, or hands `files` (made absolute against the current folder) to it.
    // Blocks for at most kHandOverTimeout. Call once, after the application object exists.
    Role start(const QStringList &files);

signals:
    // A later process handed these absolute paths over. Emitted on the main run loop after the
    // sender has been answered, so a slow import never makes it give up and import them twice.
    void filesReceived(const QStringList &paths);
    // A later process was started without files: show the window.
    void activateRequested();

private:
    friend class ApplicationAdaptor;

    Role startOnBus(const QStringList &paths);
    Role startOnSocket(const QStringList &paths);
    bool listen();
    void deliver(const QStringList &paths);

    bool onBus_ = false;
    int lockFd_ = -1;
    QString socketPath_;
    std::unique_ptr<QLocalServer> server_;
};
