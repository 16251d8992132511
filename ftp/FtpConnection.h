// One FTP client on one control connection: splits what arrives into command lines, runs
// them through the server's command table, answers, keeps the client's directory inside the
// root, opens data connections (passive and active) and moves files over them.
// There is no authentication: any user and password are accepted.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <deque>
#include <optional>
#include <memory>

#include "ftp/AsyncSocket.h"

class FtpDataConnection;
class FtpServer;
struct stat;

// Main thread only; every callback and handler runs on the main run loop.
class FtpConnection : public AsyncSocketDelegate, public std::enable_shared_from_this<FtpConnection> {
public:
    enum TransferMode { Passive = 0, ExtendedPassive = 1, Active = 2, LongActive = 3, ExtendedActive = 4 };

    // Greets the client on `socket` and starts reading commands.
    static std::shared_ptr<FtpConnection> create(std::shared_ptr<AsyncSocket> socket, FtpServer *server);
    ~FtpConnection();

    // One reply line; CR LF is added.
    void sendMessage(const QString &message);
    // A listing, normalised to composed form and encoded for the client.
    void sendDataString(const QString &text);
    // Bytes for the data connection as they are.
    void sendData(const QByteArray &bytes);

    // From the data connection.
    void didOpenDataConnection();
    void didReceiveDataRead();
    // A write went out; for a file, `fileBytes` is how much of it was sent (else -1).
    void didReceiveDataWritten(qint64 fileBytes);
    // The data connection closed at the end of its stream (`error` null) or on an error.
    void didFinishReading(const AsyncSocketError *error);

    TransferMode transferMode() const { return transferMode_; }
    const QString &currentDir() const { return currentDir_; }
    const QString &currentFile() const { return currentFile_; }
    const QString &rnfrFilename() const { return rnfrFilename_; }
    const AsyncSocket *connectionSocket() const { return connectionSocket_.get(); }

    // Command handlers, one per row of the server's table; `arguments` holds the command word
    // and, when the line had one, the rest of the line.
    void doQuit(const QStringList &arguments);
    void doList(const QStringList &arguments);
    void doStat(const QStringList &arguments);
    void doFeat(const QStringList &arguments);
    void doUser(const QStringList &arguments);
    void doPass(const QStringList &arguments);
    void doPwd(const QStringList &arguments);
    void doCwd(const QStringList &arguments);
    void doNoop(const QStringList &arguments);
    void doSyst(const QStringList &arguments);
    void doPasv(const QStringList &arguments);
    void doEpsv(const QStringList &arguments);
    void doPort(const QStringList &arguments);
    void doLprt(const QStringList &arguments);
    void doEprt(const QStringList &arguments);
    void doOpts(const QStringList &arguments);
    void doType(const QStringList &arguments);
    void doStor(const QStringList &arguments);
    void doRetr(const QStringList &arguments);
    void doDele(const QStringList &arguments);
    void doMlst(const QStringList &arguments);
    void doSize(const QStringList &arguments);
    void doMkdir(const QStringList &arguments);
    void doCdUp(const QStringList &arguments);
    void doRnfr(const QStringList &arguments);
    void doRnto(const QStringList &arguments);
    void doNlst(const QStringList &arguments);
    void doMlsd(const QStringList &arguments);
    void doRest(const QStringList &arguments);
    void doAppe(const QStringList &arguments);
    void doMdtm(const QStringList &arguments);
    void doMfmt(const QStringList &arguments);

    void onSocketDidReadData(AsyncSocket *, QByteArrayView data, long tag) override;
    void onSocketDidAcceptNewSocket(AsyncSocket *, std::shared_ptr<AsyncSocket> newSocket) override;
    void onSocketDidDisconnect(AsyncSocket *) override;

    struct Token {};
    FtpConnection(Token, std::shared_ptr<AsyncSocket> socket, FtpServer *server);

private:
    // Bytes produced for the data connection: a listing, or a file sent by the socket straight
    // from the page cache (never mapped: a file that shrinks meanwhile would fault the program).
    struct Outgoing {
        QByteArray bytes;
        int fd = -1;
        qint64 offset = 0;  // where the file is sent from (REST)
        qint64 size = 0;    // the file's size when the transfer began
        int inFlight = 0;
        bool atEnd = false;  // everything is handed to the data connection
        bool readFailed = false;
        Outgoing() = default;
        Outgoing(Outgoing &&other) noexcept;
        Outgoing &operator=(Outgoing &&) = delete;
        ~Outgoing();
        bool started() const { return inFlight > 0 || atEnd; }
    };
    enum class UploadMode { Replace, Restart, Append };

    void processLine(const QByteArray &line);
    void processCommand();
    QString fileNameFromArgs(const QStringList &arguments) const;
    // The name after any "-la"-style options of LIST and NLST; `all` is set by "a" or "A".
    QString listingNameFromArgs(const QStringList &arguments, bool *all) const;
    // The item's path as the client sees it (below the root, no final "/" but for the root).
    QString visiblePath(const QString &path) const;
    void store(const QStringList &arguments, UploadMode mode);
    std::optional<QString> resolve(const QString &name, bool entry) const;
    // The name SIZE or MDTM gives and the status of that file, links followed; false, with the
    // reply sent, when no name was given or nothing is there.
    bool statNamedFile(const QStringList &arguments, QString *name, struct stat *st);
    bool changedCurrentDirectoryTo(const QString &name);
    bool dataChannelReady() const;
    void openDataSocket(quint16 port);
    void discardDataConnection();
    void pump();
    void finishUpload(const char *reply);
    void abortTransfers();
    void replyMissingArgument();

    std::shared_ptr<AsyncSocket> connectionSocket_;
    FtpServer *server_;  // not owned; it owns this object
    std::shared_ptr<AsyncSocket> dataSocket_;
    std::shared_ptr<FtpDataConnection> dataConnection_;
    QStringList msgComponents_;
    quint16 dataPort_ = 2001;
    TransferMode transferMode_ = Passive;
    std::deque<Outgoing> queuedData_;
    QString currentUser_;
    QString currentDir_;
    QString currentFile_;
    int currentFileHandle_ = -1;
    bool uploadFailed_ = false;
    QString rnfrFilename_;
    qint64 restartOffset_ = 0;  // from REST, for the next transfer
    unsigned mlstFacts_;        // the facts MLST and MLSD show (OPTS MLST)
    QByteArray lineBuffer_;
    bool discardingLine_ = false;
    bool quitting_ = false;
};
