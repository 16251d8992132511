// The FTP server through which music is copied into the documents folder: the listening
// socket, the live control connections, the command table, the settings the connections
// consult, directory listings, and the report that the folder's contents changed.
#pragma once

#include <QHash>
#include <QString>
#include <QStringConverter>

#include <memory>
#include <vector>

#include "ftp/AsyncSocket.h"

class FtpConnection;

// Receives the server's reports. Main run loop.
class FtpServerNotification {
public:
    // After an upload ended, or a delete or rename succeeded.
    virtual void didReceiveFileListChanged() = 0;

protected:
    ~FtpServerNotification() = default;
};

// A command's handler: a member of the control connection, given the command word and the
// rest of the line.
using FtpCommandHandler = void (FtpConnection::*)(const QStringList &arguments);

// Main thread only; every method and callback runs on the main run loop.
class FtpServer : public AsyncSocketDelegate {
public:
    // Listens on `port` (both address families) at once; see isListening().
    FtpServer(quint16 port, const QString &dir, FtpServerNotification *notifyObject);
    ~FtpServer();
    FtpServer(const FtpServer &) = delete;
    FtpServer &operator=(const FtpServer &) = delete;

    // False when the port could not be listened on (for example it is in use).
    bool isListening() const { return listenSocket_ && !listenSocket_->isDisconnected(); }

    const QString &name() const { return name_; }
    void setName(const QString &name) { name_ = name; }
    bool changeRoot() const { return changeRoot_; }
    void setChangeRoot(bool on) { changeRoot_ = on; }
    QStringConverter::Encoding clientEncoding() const { return clientEncoding_; }
    void setClientEncoding(QStringConverter::Encoding e) { clientEncoding_ = e; }
    quint16 portNumber() const { return portNumber_; }
    const QString &baseDir() const { return baseDir_; }
    void setBaseDir(const QString &dir) { baseDir_ = dir; }
    AsyncSocket *listenSocket() const { return listenSocket_.get(); }
    const std::vector<std::shared_ptr<FtpConnection>> &connections() const { return connections_; }
    FtpServerNotification *notificationObject() const { return notificationObject_; }
    void setNotificationObject(FtpServerNotification *object) { notificationObject_ = object; }

    // The directory that confines the clients: baseDir() with changeRoot() on, else "/".
    QString confinementRoot() const;
    // The handler for a lower-case command word, or null when there is none.
    FtpCommandHandler commandHandler(const QString &word) const;

    // Serves an already connected descriptor as a client (used for local socket pairs).
    void acceptConnectedSocket(int fd);
    void closeConnection(FtpConnection *connection);
    void didReceiveFileListChanged();
    // The listing of a directory in the format of "ls -l", as sent for LIST; names beginning
    // with "." only with `all`. A path that is not a directory lists itself alone.
    QString createList(const QString &dir, bool all = false) const;
    // The names in a directory, sorted; names beginning with "." only with `all`.
    QStringList directoryNames(const QString &dir, bool all) const;
    // The machine listing of a directory, one "facts; name" line each with CR LF (MLSD);
    // every entry but "." and "..". `facts` is a set of MachineFact bits.
    QString createMachineList(const QString &dir, unsigned facts) const;
    // "type=...;size=...;modify=...;" of the item at `path`, or empty when it cannot be read.
    QString machineFacts(const QString &path, unsigned facts) const;

    enum MachineFact : unsigned { FactType = 1, FactSize = 2, FactModify = 4, AllFacts = 7 };
    void stopFtpServer();

    void onSocketDidAcceptNewSocket(AsyncSocket *, std::shared_ptr<AsyncSocket> newSocket) override;

private:
    std::shared_ptr<AsyncSocket> listenSocket_;
    FtpServerNotification *notificationObject_;
    quint16 portNumber_;
    std::vector<std::shared_ptr<FtpConnection>> connections_;
    QString name_;
    QHash<QString, FtpCommandHandler> commands_;
    QString baseDir_;
    bool changeRoot_ = false;
    QStringConverter::Encoding clientEncoding_ = QStringConverter::Utf8;
};
