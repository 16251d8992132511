#include "ftp/FtpConnection.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QStringEncoder>

#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <utility>

#include "ftp/FtpDataConnection.h"
#include "ftp/FtpPath.h"
#include "ftp/FtpServer.h"
#include "metadata/CharacterEncoding.h"

namespace {

// Longest command line kept while waiting for its CR LF; a path may be up to 4096 bytes.
constexpr qsizetype kMaxLineLength = 8192;
// Random passive ports tried before giving up.
constexpr int kPassiveAttempts = 16;

const char kTransferComplete[] = "226 Transfer complete.";
const char kTransferAborted[] = "426 Connection closed; transfer aborted.";
const char kCannotOpenData[] = "425 Can't open data connection.";
const char kLocalError[] = "451 Requested action aborted: local error in processing.";
const char kSyntaxError[] = "501 Syntax error in parameters or arguments.";
const char kInvalidRestart[] = "554 Requested action not taken: invalid REST parameter.";

QString noSuchFile(const QString &name) { return QStringLiteral("550 %1 No such file or directory.").arg(name); }

bool isNewline(QChar c)
{
    ushort u = c.unicode();
    return (u >= 0x0A && u <= 0x0D) || u == 0x85 || u == 0x2028 || u == 0x2029;
}

bool lexists(const QString &path)
{
    struct stat st;
    return lstat(QFile::encodeName(path).constData(), &st) == 0;
}

// Removes a file, a link or a directory with everything in it, never following links.
bool removeItem(const QString &path)
{
    QByteArray encoded = QFile::encodeName(path);
    struct stat st;
    if (lstat(encoded.constData(), &st) != 0)
        return false;
    if (!S_ISDIR(st.st_mode))
        return unlink(encoded.constData()) == 0;
    QDir dir(path);
    const QStringList names = dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    bool ok = true;
    for (const QString &name : names)
        ok = removeItem(path + u'/' + name) && ok;
    return ok && rmdir(encoded.constData()) == 0;
}

quint16 choosePasvDataPort()
{
    timeval now;
    gettimeofday(&now, nullptr);
    unsigned short seed[3] = {static_cast<unsigned short>((now.tv_sec >> 16) & 0xFFFF),
                              static_cast<unsigned short>(now.tv_sec & 0xFFFF),
                              static_cast<unsigned short>(now.tv_usec & 0xFFFF)};
    seed48(seed);
    return static_cast<quint16>(lrand48() % 64512 + 1024);
}

// A decimal field of PORT, LPRT or EPRT within [low, high].
bool parseField(const QString &text, int low, int high, int *value)
{
    bool ok = false;
    int v = text.trimmed().toInt(&ok);
    if (!ok || v < low || v > high)
        return false;
    *value = v;
    return true;
}

}  // namespace

FtpConnection::Outgoing::Outgoing(Outgoing &&other) noexcept
    : bytes(std::move(other.bytes)),
      fd(std::exchange(other.fd, -1)),
      offset(other.offset),
      size(other.size),
      inFlight(other.inFlight),
      atEnd(other.atEnd),
      readFailed(other.readFailed)
{
}

FtpConnection::Outgoing::~Outgoing()
{
    if (fd >= 0)
        ::close(fd);
}

std::shared_ptr<FtpConnection> FtpConnection::create(std::shared_ptr<AsyncSocket> socket, FtpServer *server)
{
    return std::make_shared<FtpConnection>(Token{}, std::move(socket), server);
}

FtpConnection::FtpConnection(Token, std::shared_ptr<AsyncSocket> socket, FtpServer *server)
    : connectionSocket_(std::move(socket)),
      server_(server),
      currentDir_(server->baseDir()),
      mlstFacts_(FtpServer::AllFacts)
{
    connectionSocket_->setDelegate(this);
    connectionSocket_->setNoDelay();  // replies go out as they are written
    connectionSocket_->writeData(QStringLiteral("220 %1 Ftp Server ready.\r\n").arg(server_->name()).toUtf8(), -1, 0);
    // The first read stays current for the life of the socket: one request serves every line.
    connectionSocket_->readDataToData(AsyncSocket::CRLFData(), -1, 0);
}

FtpConnection::~FtpConnection()
{
    connectionSocket_->setDelegate(nullptr);
    connectionSocket_->disconnect();
    dataConnection_.reset();
    if (dataSocket_) {
        if (dataSocket_->delegate() == this)
            dataSocket_->setDelegate(nullptr);
        dataSocket_->disconnect();
    }
    if (currentFileHandle_ >= 0)
        ::close(currentFileHandle_);
}

void FtpConnection::sendMessage(const QString &message)
{
    connectionSocket_->writeData((message + QStringLiteral("\r\n")).toUtf8(), -1, 0);
}

void FtpConnection::sendDataString(const QString &text)
{
    QStringEncoder encoder(server_->clientEncoding());
    sendData(encoder.encode(text.normalized(QString::NormalizationForm_C)));
}

void FtpConnection::sendData(const QByteArray &bytes)
{
    Outgoing out;
    out.bytes = bytes;
    queuedData_.push_back(std::move(out));
    pump();
}

void FtpConnection::onSocketDidReadData(AsyncSocket *socket, QByteArrayView data, long)
{
    if (socket != connectionSocket_.get())
        return;
    auto keep = shared_from_this();
    lineBuffer_.append(data.data(), data.size());
    // Each CR LF ends one command, also when a client sends several at once.
    qsizetype start = 0;
    while (!quitting_) {
        qsizetype end = lineBuffer_.indexOf("\r\n", start);
        if (end < 0)
            break;
        QByteArray line = lineBuffer_.mid(start, end - start);
        start = end + 2;
        if (std::exchange(discardingLine_, false))
            continue;  // the tail of a line that was too long
        processLine(line);
    }
    lineBuffer_.remove(0, start);
    if (lineBuffer_.size() > kMaxLineLength) {
        if (!discardingLine_)
            sendMessage(QStringLiteral("500 Command line too long."));
        discardingLine_ = true;
        lineBuffer_ = lineBuffer_.right(1);  // may be the CR of the ending CR LF
    }
}

void FtpConnection::processLine(const QByteArray &line)
{
    // Decoded piece by piece around NUL bytes, which stay in the text so that the path gate
    // refuses them instead of seeing a shorter name.
    QString text;
    const QList<QByteArray> pieces = line.split('\0');
    for (qsizetype i = 0; i < pieces.size(); i++) {
        if (i > 0)
            text += QChar(0);
        text += CharacterEncoding::parseCString(pieces[i].constData());
    }
    qsizetype first = 0, last = text.size();
    while (first < last && isNewline(text[first]))
        first++;
    while (last > first && isNewline(text[last - 1]))
        last--;
    text = text.mid(first, last - first);

    qsizetype space = text.indexOf(u' ');
    msgComponents_ = space < 0 ? QStringList{text} : QStringList{text.left(space), text.mid(space + 1)};
    processCommand();
}

void FtpConnection::processCommand()
{
    const QString &word = msgComponents_.first();
    if (word.isEmpty())
        return;
    FtpCommandHandler handler = server_->commandHandler(word.toLower());
    if (!handler) {
        sendMessage(QStringLiteral("500 '%1': command not understood.").arg(word));
        return;
    }
    (this->*handler)(msgComponents_);
}

QString FtpConnection::fileNameFromArgs(const QStringList &arguments) const
{
    QStringList parts;
    for (qsizetype i = 1; i < arguments.size(); i++) {
        if (!arguments[i].isEmpty() && !arguments[i].startsWith(u'-'))
            parts << arguments[i];
    }
    return parts.join(u' ');
}

QString FtpConnection::listingNameFromArgs(const QStringList &arguments, bool *all) const
{
    // "-la Music": options first, as ls takes them; the rest of the line is the name.
    QString rest = arguments.value(1);
    *all = false;
    while (rest.startsWith(u'-')) {
        qsizetype space = rest.indexOf(u' ');
        QString options = rest.mid(1, space < 0 ? -1 : space - 1);
        if (options.contains(u'a') || options.contains(u'A'))
            *all = true;
        rest = space < 0 ? QString() : rest.mid(space + 1).trimmed();
    }
    return rest;
}

QString FtpConnection::visiblePath(const QString &path) const
{
    QString shown = FtpPath::visible(server_->confinementRoot(), path);
    if (shown.size() > 1 && shown.endsWith(u'/'))
        shown.chop(1);
    return shown;
}

std::optional<QString> FtpConnection::resolve(const QString &name, bool entry) const
{
    return FtpPath::resolve(server_->confinementRoot(), currentDir_, name,
                            entry ? FtpPath::Target::Entry : FtpPath::Target::Followed);
}

bool FtpConnection::changedCurrentDirectoryTo(const QString &name)
{
    std::optional<QString> path = resolve(name, false);
    if (!path)
        return false;
    QByteArray encoded = QFile::encodeName(*path);
    struct stat st;
    if (stat(encoded.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || access(encoded.constData(), X_OK) != 0)
        return false;
    currentDir_ = *path;
    return true;
}

void FtpConnection::replyMissingArgument() { sendMessage(QLatin1String(kSyntaxError)); }

// --- Data connections ---

bool FtpConnection::dataChannelReady() const
{
    if (dataConnection_)
        return dataConnection_->isAlive();
    return dataSocket_ && !dataSocket_->isDisconnected();
}

void FtpConnection::discardDataConnection()
{
    if (currentFileHandle_ >= 0)
        finishUpload(kTransferAborted);
    abortTransfers();
    dataConnection_.reset();
    if (dataSocket_) {
        if (dataSocket_->delegate() == this)
            dataSocket_->setDelegate(nullptr);
        dataSocket_->disconnect();
        dataSocket_.reset();
    }
}

void FtpConnection::abortTransfers()
{
    while (!queuedData_.empty()) {
        bool started = queuedData_.front().started();
        queuedData_.pop_front();
        sendMessage(QLatin1String(started ? kTransferAborted : kCannotOpenData));
    }
}

void FtpConnection::openDataSocket(quint16 port)
{
    discardDataConnection();
    dataSocket_ = AsyncSocket::create(this);
    if (transferMode_ == Passive || transferMode_ == ExtendedPassive) {
        // A port chosen at random may be taken: only a port that listens is named to the client.
        AsyncSocketError error;
        dataPort_ = choosePasvDataPort();
        bool listening = dataSocket_->acceptOnPort(dataPort_, &error);
        for (int attempt = 1; attempt < kPassiveAttempts && !listening; attempt++) {
            dataPort_ = static_cast<quint16>(lrand48() % 64512 + 1024);
            listening = dataSocket_->acceptOnPort(dataPort_, &error);
        }
        if (!listening) {
            dataSocket_.reset();
            sendMessage(QLatin1String(kCannotOpenData));
        } else if (transferMode_ == Passive) {
            QString address = connectionSocket_->localHost().replace(u'.', u',');
            sendMessage(QStringLiteral("227 Entering Passive Mode (%1,%2,%3)")
                            .arg(address, QString::number(dataPort_ / 256), QString::number(dataPort_ % 256)));
        } else {
            sendMessage(QStringLiteral("229 Entering Extended Passive Mode (|||%1|)").arg(dataPort_));
        }
        return;
    }

    // Active modes always connect to the client's own address, whatever address it named:
    // nobody can make the server connect elsewhere.
    dataPort_ = port;
    AsyncSocketError error;
    if (!dataSocket_->connectToHost(connectionSocket_->connectedHost(), port, &error)) {
        dataSocket_.reset();
        sendMessage(QLatin1String(kCannotOpenData));
        return;
    }
    dataConnection_ = FtpDataConnection::create(dataSocket_, this);
    switch (transferMode_) {
    case Active: sendMessage(QStringLiteral("200 PORT command successful.")); break;
    case LongActive:
        sendMessage(QStringLiteral("228 Entering Long Passive Mode \t(af, hal, h1, h2, h3,..., pal, p1, p2...)"));
        break;
    default: sendMessage(QStringLiteral("200 EPRT command successful.")); break;
    }
}

void FtpConnection::onSocketDidAcceptNewSocket(AsyncSocket *socket, std::shared_ptr<AsyncSocket> newSocket)
{
    if (socket != dataSocket_.get())
        return;
    auto keep = shared_from_this();
    // Only the client on this control connection gets the data; anyone else racing to the
    // port is turned away. One connection per passive command.
    if (newSocket->connectedHost() != connectionSocket_->connectedHost())
        return;
    dataSocket_->disconnect();
    dataConnection_ = FtpDataConnection::create(std::move(newSocket), this);
    if (currentFileHandle_ >= 0)
        dataConnection_->expectUpload();
    pump();
}

void FtpConnection::onSocketDidDisconnect(AsyncSocket *socket)
{
    if (socket != connectionSocket_.get())
        return;
    auto keep = shared_from_this();
    server_->closeConnection(this);
}

void FtpConnection::pump()
{
    if (!dataConnection_ || !dataConnection_->isAlive() || queuedData_.empty())
        return;
    Outgoing &out = queuedData_.front();
    if (!out.atEnd) {
        out.atEnd = true;
        if (out.fd >= 0 && out.size > out.offset) {
            dataConnection_->writeFile(out.fd, out.offset, out.size - out.offset);
            out.inFlight++;
        } else if (!out.bytes.isEmpty()) {
            dataConnection_->writeData(std::exchange(out.bytes, QByteArray()));
            out.inFlight++;
        }
    }
    // Nothing is left to send: also an empty file, once its connection is open.
    if (out.inFlight == 0 && dataConnection_->isOpen()) {
        bool whole = !out.readFailed;
        queuedData_.pop_front();
        sendMessage(QLatin1String(whole ? kTransferComplete : kLocalError));
        dataConnection_->closeConnection();
    }
}

void FtpConnection::didOpenDataConnection()
{
    auto keep = shared_from_this();
    pump();
}

void FtpConnection::didReceiveDataWritten(qint64 fileBytes)
{
    auto keep = shared_from_this();
    if (!queuedData_.empty() && queuedData_.front().inFlight > 0) {
        Outgoing &out = queuedData_.front();
        out.inFlight--;
        // The file shrank or could not be read while it was being sent.
        if (out.fd >= 0 && fileBytes >= 0 && fileBytes < out.size - out.offset)
            out.readFailed = true;
    }
    pump();
}

void FtpConnection::didReceiveDataRead()
{
    if (currentFileHandle_ < 0 || uploadFailed_ || !dataConnection_)
        return;
    QByteArrayView data = dataConnection_->receivedData();
    qsizetype done = 0;
    while (done < data.size()) {
        ssize_t n = ::write(currentFileHandle_, data.data() + done, size_t(data.size() - done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            uploadFailed_ = true;  // a full disk: the client hears about it at the end
            return;
        }
        done += n;
    }
}

void FtpConnection::didFinishReading(const AsyncSocketError *error)
{
    auto keep = shared_from_this();
    currentFile_.clear();
    if (currentFileHandle_ >= 0)
        finishUpload(error ? kTransferAborted : uploadFailed_ ? kLocalError : kTransferComplete);
    else
        abortTransfers();  // a download cut short, or a connection that never opened
    if (dataConnection_)
        dataConnection_->setConnectionState(FtpDataConnection::Idle);
}

void FtpConnection::finishUpload(const char *reply)
{
    currentFile_.clear();
    sendMessage(QLatin1String(reply));
    ::close(currentFileHandle_);
    currentFileHandle_ = -1;
    server_->didReceiveFileListChanged();
}

// --- Command handlers ---

void FtpConnection::doQuit(const QStringList &)
{
    sendMessage(QStringLiteral("221- Data traffic for this session was 0 bytes in 0 files"));
    sendMessage(QStringLiteral("221 Thank you for using the FTP service on localhost."));
    connectionSocket_->disconnectAfterWriting();
    quitting_ = true;
}

void FtpConnection::doList(const QStringList &arguments)
{
    bool all;
    QString name = listingNameFromArgs(arguments, &all);
    restartOffset_ = 0;  // a restart point is for files only
    std::optional<QString> dir = name.isEmpty() ? std::optional<QString>(currentDir_) : resolve(name, false);
    if (!dir || !lexists(*dir)) {
        sendMessage(noSuchFile(name));
        return;
    }
    if (!dataChannelReady()) {
        sendMessage(QLatin1String(kCannotOpenData));
        return;
    }
    QString text = server_->createList(*dir, all);
    sendMessage(QStringLiteral("150 Opening ASCII mode data connection for '/bin/ls'."));
    sendDataString(text);
}

void FtpConnection::doNlst(const QStringList &arguments)
{
    bool all;
    QString name = listingNameFromArgs(arguments, &all);
    restartOffset_ = 0;
    // A name, a folder's names, or the names that match a pattern in its last part
    // ("*.flac", "CD 1/*"), prefixed with the folder part as the client wrote it.
    QStringList names;
    std::optional<QString> path = name.isEmpty() ? std::optional<QString>(currentDir_) : resolve(name, false);
    struct stat st;
    if (path && stat(QFile::encodeName(*path).constData(), &st) == 0) {
        if (S_ISDIR(st.st_mode))
            names = server_->directoryNames(*path, all);
        else
            names << name;
    } else if (name.contains(u'*') || name.contains(u'?') || name.contains(u'[')) {
        qsizetype slash = name.lastIndexOf(u'/');
        QString prefix = name.left(slash + 1);
        QByteArray pattern = QFile::encodeName(name.mid(slash + 1));
        std::optional<QString> dir = prefix.isEmpty() ? std::optional<QString>(currentDir_) : resolve(prefix, false);
        if (dir && !pattern.contains('/')) {
            for (const QString &entry : server_->directoryNames(*dir, true)) {
                if (fnmatch(pattern.constData(), QFile::encodeName(entry).constData(), all ? 0 : FNM_PERIOD) == 0)
                    names << prefix + entry;
            }
        }
    }
    if (names.isEmpty() && !(path && lexists(*path)))
        return sendMessage(noSuchFile(name));
    if (!dataChannelReady())
        return sendMessage(QLatin1String(kCannotOpenData));
    QString text;
    for (const QString &n : names)
        text += n + QStringLiteral("\r\n");
    sendMessage(QStringLiteral("150 Opening ASCII mode data connection for file list."));
    // Names exactly as stored, so that each one can be sent back in a RETR.
    sendData(QStringEncoder(server_->clientEncoding()).encode(text));
}

void FtpConnection::doMlsd(const QStringList &arguments)
{
    QString name = fileNameFromArgs(arguments);
    restartOffset_ = 0;
    std::optional<QString> dir = name.isEmpty() ? std::optional<QString>(currentDir_) : resolve(name, false);
    struct stat st;
    if (!dir || stat(QFile::encodeName(*dir).constData(), &st) != 0)
        return sendMessage(noSuchFile(name));
    if (!S_ISDIR(st.st_mode))
        return sendMessage(QStringLiteral("550 %1: Not a directory.").arg(name));
    if (!dataChannelReady())
        return sendMessage(QLatin1String(kCannotOpenData));
    sendMessage(QStringLiteral("150 Opening ASCII mode data connection for MLSD."));
    // Always UTF-8, as machine listings are defined; names as stored.
    sendData(server_->createMachineList(*dir, mlstFacts_).toUtf8());
}

void FtpConnection::doStat(const QStringList &)
{
    sendMessage(QStringLiteral("211-localhost FTP server status:"));
    sendMessage(QStringLiteral("211 End of Status"));
}

void FtpConnection::doFeat(const QStringList &)
{
    // Exactly the extensions served here.
    sendMessage(QStringLiteral("211-Features supported"));
    for (const char *feature : {" EPRT", " EPSV", " MDTM", " MFMT", " MLST type*;size*;modify*;", " REST STREAM", " SIZE"})
        sendMessage(QLatin1String(feature));
    if (server_->clientEncoding() == QStringConverter::Utf8)
        sendMessage(QStringLiteral(" UTF8"));
    sendMessage(QStringLiteral("211 End"));
}

void FtpConnection::doUser(const QStringList &arguments)
{
    if (arguments.size() < 2 || arguments[1].isEmpty())
        return replyMissingArgument();
    currentUser_ = arguments[1];
    sendMessage(QStringLiteral("331 Password required for %1").arg(currentUser_));
}

void FtpConnection::doPass(const QStringList &)
{
    sendMessage(QStringLiteral("230 User %1 logged in.").arg(currentUser_));
}

void FtpConnection::doPwd(const QStringList &)
{
    // A quote inside the name is doubled, so that the client finds where the name ends.
    QString shown = FtpPath::visible(server_->confinementRoot(), currentDir_);
    sendMessage(QStringLiteral("257 \"%1\" is the current directory.").arg(shown.replace(u'"', QStringLiteral("\"\""))));
}

void FtpConnection::doCwd(const QStringList &arguments)
{
    QString name = fileNameFromArgs(arguments);
    if (name.isEmpty())
        return replyMissingArgument();
    sendMessage(changedCurrentDirectoryTo(name) ? QStringLiteral("250 CWD command successful.")
                                                : QStringLiteral("550 CWD failed."));
}

void FtpConnection::doCdUp(const QStringList &)
{
    // The parent of the directory the client sees; the root's parent is the root.
    QString shown = FtpPath::visible(server_->confinementRoot(), currentDir_);
    while (shown.size() > 1 && shown.endsWith(u'/'))
        shown.chop(1);
    qsizetype slash = shown.lastIndexOf(u'/');
    QString parent = slash <= 0 ? QStringLiteral("/") : shown.left(slash);
    sendMessage(changedCurrentDirectoryTo(parent) ? QStringLiteral("250 CDUP command successful.")
                                                  : QStringLiteral("550 CDUP command failed."));
}

void FtpConnection::doNoop(const QStringList &) { sendMessage(QStringLiteral("200 NOOP command successful.")); }

void FtpConnection::doSyst(const QStringList &) { sendMessage(QStringLiteral("215 UNIX Type: L8 Version: VavareVir")); }

void FtpConnection::doPasv(const QStringList &)
{
    transferMode_ = Passive;
    openDataSocket(0);
}

void FtpConnection::doEpsv(const QStringList &)
{
    transferMode_ = ExtendedPassive;
    openDataSocket(0);
}

void FtpConnection::doPort(const QStringList &arguments)
{
    // h1,h2,h3,h4,p1,p2: the address is not used, only the port.
    QStringList fields = arguments.value(1).split(u',');
    int high = 0, low = 0;
    if (fields.size() < 6 || !parseField(fields[4], 0, 255, &high) || !parseField(fields[5], 0, 255, &low) ||
        high * 256 + low == 0)
        return replyMissingArgument();
    transferMode_ = Active;
    openDataSocket(static_cast<quint16>(high * 256 + low));
}

void FtpConnection::doLprt(const QStringList &arguments)
{
    // af,hal,h1..h<hal>,pal,p1..p<pal>: the port bytes follow the address.
    QStringList fields = arguments.value(1).split(u',');
    int hal = 0, pal = 0, high = 0, low = 0;
    if (fields.size() < 2 || !parseField(fields[1], 0, 16, &hal) || fields.size() < 2 + hal + 3 ||
        !parseField(fields[2 + hal], 2, 2, &pal) || !parseField(fields[3 + hal], 0, 255, &high) ||
        !parseField(fields[4 + hal], 0, 255, &low) || high * 256 + low == 0)
        return replyMissingArgument();
    transferMode_ = LongActive;
    openDataSocket(static_cast<quint16>(high * 256 + low));
}

void FtpConnection::doEprt(const QStringList &arguments)
{
    // |af|address|port|
    QStringList fields = arguments.value(1).split(u'|');
    int port = 0;
    if (fields.size() < 4 || !parseField(fields[3], 1, 65535, &port))
        return replyMissingArgument();
    transferMode_ = ExtendedActive;
    openDataSocket(static_cast<quint16>(port));
}

void FtpConnection::doOpts(const QStringList &arguments)
{
    QString option = arguments.value(1).trimmed();
    if (option.isEmpty())
        return replyMissingArgument();
    QString upper = option.toUpper();
    if (upper == QLatin1String("UTF8 ON") || upper == QLatin1String("UTF-8 ON")) {
        if (server_->clientEncoding() != QStringConverter::Utf8)
            return sendMessage(QStringLiteral("504 UTF8 is not offered."));
        return sendMessage(QStringLiteral("200 UTF8 set to on."));
    }
    if (upper == QLatin1String("UTF8 OFF") || upper == QLatin1String("UTF-8 OFF"))
        return sendMessage(QStringLiteral("200 UTF8 set to off."));
    if (upper == QLatin1String("MLST") || upper.startsWith(QLatin1String("MLST "))) {
        // The facts named that are known, in their usual order; unknown ones are left out.
        struct Fact {
            const char *name;
            FtpServer::MachineFact bit;
        };
        static const Fact kFacts[] = {{"type", FtpServer::FactType}, {"size", FtpServer::FactSize},
                                      {"modify", FtpServer::FactModify}};
        const QStringList asked = option.mid(4).trimmed().toLower().split(u';', Qt::SkipEmptyParts);
        mlstFacts_ = 0;
        QString shown;
        for (const Fact &fact : kFacts) {
            if (asked.contains(QLatin1String(fact.name))) {
                mlstFacts_ |= fact.bit;
                shown += QLatin1String(fact.name) + u';';
            }
        }
        return sendMessage(QStringLiteral("200 MLST OPTS %1").arg(shown));
    }
    sendMessage(QStringLiteral("502 Unknown command '%1'").arg(arguments[1]));
}

void FtpConnection::doType(const QStringList &arguments)
{
    if (arguments.value(1).isEmpty())
        return replyMissingArgument();
    sendMessage(QStringLiteral("200 Type set to  %1.").arg(arguments[1]));
}

void FtpConnection::doStor(const QStringList &arguments)
{
    store(arguments, restartOffset_ > 0 ? UploadMode::Restart : UploadMode::Replace);
}

void FtpConnection::doAppe(const QStringList &arguments) { store(arguments, UploadMode::Append); }

void FtpConnection::store(const QStringList &arguments, UploadMode mode)
{
    QString name = fileNameFromArgs(arguments);
    if (name.isEmpty())
        return replyMissingArgument();
    qint64 offset = std::exchange(restartOffset_, 0);
    QString denied = QStringLiteral("553 %1: Permission denied.").arg(name);
    std::optional<QString> path = resolve(name, false);
    if (!path)
        return sendMessage(denied);
    if (!dataChannelReady())
        return sendMessage(QLatin1String(kCannotOpenData));
    if (currentFileHandle_ >= 0)
        finishUpload(kTransferAborted);
    // O_NONBLOCK: a named pipe in the folder must not stall the server.
    // A restart continues a file that is there; it never creates one.
    int flags = O_WRONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK;
    flags |= mode == UploadMode::Replace ? O_CREAT | O_TRUNC : mode == UploadMode::Append ? O_CREAT | O_APPEND : 0;
    int fd = ::open(QFile::encodeName(*path).constData(), flags, 0666);
    if (fd < 0 && mode == UploadMode::Restart && errno == ENOENT)
        return sendMessage(QLatin1String(kInvalidRestart));
    struct stat st;
    if (fd >= 0 && (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))) {
        ::close(fd);
        fd = -1;
    }
    if (fd < 0)
        return sendMessage(denied);
    if (mode == UploadMode::Restart) {
        // The file continues at the restart point; a point past its end would leave a hole.
        if (offset > st.st_size || ftruncate(fd, offset) != 0 || lseek(fd, offset, SEEK_SET) != offset) {
            ::close(fd);
            return sendMessage(QLatin1String(kInvalidRestart));
        }
    }
    currentFile_ = *path;
    currentFileHandle_ = fd;
    uploadFailed_ = false;
    sendMessage(QStringLiteral("150 Opening BINARY mode data connection for '%1'.").arg(name));
    if (dataConnection_)
        dataConnection_->expectUpload();
}

void FtpConnection::doRetr(const QStringList &arguments)
{
    QString name = fileNameFromArgs(arguments);
    if (name.isEmpty())
        return replyMissingArgument();
    qint64 offset = std::exchange(restartOffset_, 0);
    std::optional<QString> path = resolve(name, false);
    if (!path)
        return sendMessage(noSuchFile(name));
    int fd = ::open(QFile::encodeName(*path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return sendMessage(noSuchFile(name));
        return sendMessage(QStringLiteral("550 %1: Permission denied.").arg(name));
    }
    Outgoing out;
    out.fd = fd;  // closed with `out`
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        return sendMessage(QStringLiteral("550 %1: Not a plain file.").arg(name));
    if (offset > st.st_size)
        return sendMessage(QLatin1String(kInvalidRestart));
    if (!dataChannelReady())
        return sendMessage(QLatin1String(kCannotOpenData));
    out.size = st.st_size;
    out.offset = offset;
    sendMessage(QStringLiteral("150 Opening BINARY mode data connection for '%1'.").arg(name));
    queuedData_.push_back(std::move(out));
    pump();
}

void FtpConnection::doDele(const QStringList &arguments)
{
    QString name = fileNameFromArgs(arguments);
    if (name.isEmpty())
        return replyMissingArgument();
    std::optional<QString> path = resolve(name, true);
    if (!path)
        return sendMessage(QStringLiteral("550 DELE command unsuccessful."));
    if (!lexists(*path))
        return sendMessage(noSuchFile(name));
    if (!removeItem(*path))
        return sendMessage(QStringLiteral("550 DELE command unsuccessful."));
    sendMessage(QStringLiteral("250 DELE command successful."));
    server_->didReceiveFileListChanged();
}

void FtpConnection::doMlst(const QStringList &arguments)
{
    QString name = fileNameFromArgs(arguments);
    // The entry itself (a link is described by where it leads); the root is no entry.
    std::optional<QString> path = name.isEmpty() ? std::optional<QString>(currentDir_) : resolve(name, true);
    if (!path && !name.isEmpty())
        path = resolve(name, false);
    QString facts = path ? server_->machineFacts(*path, mlstFacts_) : QString();
    if (facts.isEmpty())
        return sendMessage(noSuchFile(name));
    QString shown = visiblePath(*path);
    sendMessage(QStringLiteral("250-Listing %1").arg(shown));
    sendMessage(u' ' + facts + u' ' + shown);
    sendMessage(QStringLiteral("250 End"));
}

bool FtpConnection::statNamedFile(const QStringList &arguments, QString *name, struct stat *st)
{
    *name = fileNameFromArgs(arguments);
    if (name->isEmpty()) {
        replyMissingArgument();
        return false;
    }
    std::optional<QString> path = resolve(*name, false);
    if (!path || stat(QFile::encodeName(*path).constData(), st) != 0) {
        sendMessage(noSuchFile(*name));
        return false;
    }
    return true;
}

void FtpConnection::doSize(const QStringList &arguments)
{
    QString name;
    struct stat st;
    if (!statNamedFile(arguments, &name, &st))
        return;
    if (!S_ISREG(st.st_mode))
        return sendMessage(QStringLiteral("550 %1: Not a plain file.").arg(name));
    sendMessage(QStringLiteral("213 %1").arg(quint64(st.st_size)));
}

void FtpConnection::doMdtm(const QStringList &arguments)
{
    QString name;
    struct stat st;
    if (!statNamedFile(arguments, &name, &st))
        return;
    sendMessage(QStringLiteral("213 ") + QDateTime::fromSecsSinceEpoch(st.st_mtime, Qt::UTC)
                                             .toString(QStringLiteral("yyyyMMddHHmmss")));
}

void FtpConnection::doMfmt(const QStringList &arguments)
{
    // MFMT YYYYMMDDHHMMSS[.sss] name, in UTC.
    QString rest = arguments.value(1);
    qsizetype space = rest.indexOf(u' ');
    QString stamp = rest.left(space), name = space < 0 ? QString() : rest.mid(space + 1);
    QString whole = stamp.section(u'.', 0, 0), fraction = stamp.section(u'.', 1);
    QDateTime time(QDate::fromString(whole.left(8), QStringLiteral("yyyyMMdd")),
                   QTime::fromString(whole.mid(8), QStringLiteral("HHmmss")), Qt::UTC);
    bool digits = !stamp.endsWith(u'.');
    for (QChar c : fraction)
        digits = digits && c.isDigit() && c.unicode() < 128;
    if (name.isEmpty() || whole.size() != 14 || !time.isValid() || !digits)
        return replyMissingArgument();
    std::optional<QString> path = resolve(name, false);
    if (!path || !lexists(*path))
        return sendMessage(noSuchFile(name));
    timespec times[2];
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_sec = time_t(time.toSecsSinceEpoch());
    times[1].tv_nsec = long(fraction.left(3).leftJustified(3, u'0').toUInt()) * 1000000;
    if (utimensat(AT_FDCWD, QFile::encodeName(*path).constData(), times, 0) != 0)
        return sendMessage(QStringLiteral("550 %1: Permission denied.").arg(name));
    sendMessage(QStringLiteral("213 Modify=%1; %2").arg(stamp, name));
}

void FtpConnection::doRest(const QStringList &arguments)
{
    bool ok = false;
    qint64 offset = arguments.value(1).trimmed().toLongLong(&ok);
    if (!ok || offset < 0)
        return replyMissingArgument();
    restartOffset_ = offset;
    sendMessage(QStringLiteral("350 Restarting at %1. Send STORE or RETRIEVE to initiate transfer.").arg(offset));
}

void FtpConnection::doMkdir(const QStringList &arguments)
{
    QString name = fileNameFromArgs(arguments);
    if (name.isEmpty())
        return replyMissingArgument();
    std::optional<QString> path = resolve(name, false);
    if (!path)
        return sendMessage(QStringLiteral("550 MKD command failed."));
    // Clients wait for a reply code: the existing-folder text gets one.
    if (lexists(*path))
        return sendMessage(QStringLiteral("550 Error %1 exists").arg(name));
    // The gate made sure that no missing component is a link, so this stays inside the root.
    if (!QDir().mkpath(*path))
        return sendMessage(QStringLiteral("550 MKD command failed."));
    sendMessage(QStringLiteral("257 \"%1\" created.").arg(visiblePath(*path).replace(u'"', QStringLiteral("\"\""))));
}

void FtpConnection::doRnfr(const QStringList &arguments)
{
    QString name = fileNameFromArgs(arguments);
    if (name.isEmpty())
        return replyMissingArgument();
    std::optional<QString> path = resolve(name, true);
    rnfrFilename_ = path.value_or(QString());
    sendMessage(path && lexists(*path) ? QStringLiteral("350 RNFR command successful.")
                                       : QStringLiteral("550 RNFR command failed."));
}

void FtpConnection::doRnto(const QStringList &arguments)
{
    QString name = fileNameFromArgs(arguments);
    if (name.isEmpty())
        return replyMissingArgument();
    std::optional<QString> path = resolve(name, true);
    // Like a move, a rename never replaces what is already there.
    if (rnfrFilename_.isEmpty() || !path || lexists(*path) ||
        ::rename(QFile::encodeName(rnfrFilename_).constData(), QFile::encodeName(*path).constData()) != 0)
        return sendMessage(QStringLiteral("550 RNTO command failed."));
    sendMessage(QStringLiteral("250 RNTO command successful."));
    server_->didReceiveFileListChanged();
}
