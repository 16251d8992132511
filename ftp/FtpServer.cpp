#include "ftp/FtpServer.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLocale>

#include <dirent.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <optional>

#include "ftp/FtpConnection.h"
#include "ftp/FtpPath.h"

namespace {

struct CommandRow {
    const char *word;
    FtpCommandHandler handler;  // null: the word is known but nothing serves it
};

// The command table: one row per command word the server understands.
const CommandRow kCommands[] = {
    {"quit", &FtpConnection::doQuit},
    {"list", &FtpConnection::doList},
    {"stat", &FtpConnection::doStat},
    {"feat", &FtpConnection::doFeat},
    {"user", &FtpConnection::doUser},
    {"pass", &FtpConnection::doPass},
    {"ack", nullptr},
    {"pwd", &FtpConnection::doPwd},
    {"cwd", &FtpConnection::doCwd},
    {"noop", &FtpConnection::doNoop},
    {"syst", &FtpConnection::doSyst},
    {"pasv", &FtpConnection::doPasv},
    {"epsv", &FtpConnection::doEpsv},
    {"port", &FtpConnection::doPort},
    {"lprt", &FtpConnection::doLprt},
    {"eprt", &FtpConnection::doEprt},
    {"opts", &FtpConnection::doOpts},
    {"type", &FtpConnection::doType},
    {"stor", &FtpConnection::doStor},
    {"retr", &FtpConnection::doRetr},
    {"dele", &FtpConnection::doDele},
    {"mlst", &FtpConnection::doMlst},
    {"size", &FtpConnection::doSize},
    {"mkd", &FtpConnection::doMkdir},
    {"cdup", &FtpConnection::doCdUp},
    {"rmd", &FtpConnection::doDele},  // removing a folder is a delete
    {"rnfr", &FtpConnection::doRnfr},
    {"rnto", &FtpConnection::doRnto},
    {"nlst", &FtpConnection::doNlst},
    {"mlsd", &FtpConnection::doMlsd},
    {"rest", &FtpConnection::doRest},
    {"appe", &FtpConnection::doAppe},
    {"mdtm", &FtpConnection::doMdtm},
    {"mfmt", &FtpConnection::doMfmt},
};

QString permissionText(mode_t mode)
{
    static const char kLetters[] = "rwxrwxrwx";
    QString text(9, u'-');
    for (int bit = 8; bit >= 0; bit--) {
        if (mode & (1u << bit))
            text[8 - bit] = QLatin1Char(kLetters[8 - bit]);
    }
    return text;
}

QString ownerName(uid_t uid)
{
    passwd entry, *found = nullptr;
    char buffer[4096];
    if (getpwuid_r(uid, &entry, buffer, sizeof buffer, &found) == 0 && found)
        return QString::fromLocal8Bit(found->pw_name);
    return QString::number(uid);
}

QString groupName(gid_t gid)
{
    group entry, *found = nullptr;
    char buffer[4096];
    if (getgrgid_r(gid, &entry, buffer, sizeof buffer, &found) == 0 && found)
        return QString::fromLocal8Bit(found->gr_name);
    return QString::number(gid);
}

int countEntries(const QByteArray &path)
{
    DIR *dir = opendir(path.constData());
    if (!dir)
        return 0;
    int count = 0;
    while (dirent *entry = readdir(dir)) {
        if (strcmp(entry->d_name, ".") != 0 && strcmp(entry->d_name, "..") != 0)
            count++;
    }
    closedir(dir);
    return count;
}

// One "ls -l" line for the entry at `path`, links not followed; empty when it cannot be read.
QString listLine(const QByteArray &path, const QString &name)
{
    struct stat st;
    if (lstat(path.constData(), &st) != 0)
        return QString();
    bool isDir = S_ISDIR(st.st_mode);
    int links = std::max(isDir ? countEntries(path) : 0, 1);
    QString date = QLocale(QLocale::English).toString(QDateTime::fromSecsSinceEpoch(st.st_mtime),
                                                      QStringLiteral("MMM dd HH:mm"));
    return (isDir ? u'd' : u'-') + permissionText(st.st_mode) + u' ' + QString::number(links).rightJustified(5) +
           u' ' + ownerName(st.st_uid).rightJustified(12) + u' ' + groupName(st.st_gid).rightJustified(12) + u' ' +
           QString::number(quint64(st.st_size)).rightJustified(10) + u' ' + date + u' ' + name + u'\n';
}

bool isDotOrDotDot(const char *name) { return strcmp(name, ".") == 0 || strcmp(name, "..") == 0; }

}  // namespace

FtpServer::FtpServer(quint16 port, const QString &dir, FtpServerNotification *notifyObject)
    : notificationObject_(notifyObject), portNumber_(port)
{
    for (const CommandRow &row : kCommands)
        commands_.insert(QLatin1String(row.word), row.handler);
    listenSocket_ = AsyncSocket::create(this);
    AsyncSocketError error;
    listenSocket_->acceptOnPort(port, &error);
    QString real = FtpPath::realPath(QDir::cleanPath(dir));
    baseDir_ = real.isEmpty() ? dir : real;
}

FtpServer::~FtpServer()
{
    stopFtpServer();
    listenSocket_->setDelegate(nullptr);
}

QString FtpServer::confinementRoot() const { return changeRoot_ ? baseDir_ : QStringLiteral("/"); }

FtpCommandHandler FtpServer::commandHandler(const QString &word) const { return commands_.value(word, nullptr); }

void FtpServer::acceptConnectedSocket(int fd)
{
    connections_.push_back(FtpConnection::create(AsyncSocket::createWithConnectedSocket(fd, this), this));
}

void FtpServer::onSocketDidAcceptNewSocket(AsyncSocket *, std::shared_ptr<AsyncSocket> newSocket)
{
    connections_.push_back(FtpConnection::create(std::move(newSocket), this));
}

void FtpServer::closeConnection(FtpConnection *connection)
{
    auto it = std::find_if(connections_.begin(), connections_.end(),
                           [connection](const auto &c) { return c.get() == connection; });
    if (it != connections_.end())
        connections_.erase(it);
}

void FtpServer::didReceiveFileListChanged()
{
    if (notificationObject_)
        notificationObject_->didReceiveFileListChanged();
}

QString FtpServer::createList(const QString &dir, bool all) const
{
    QString lines;
    int count = 0;
    QByteArray encodedDir = QFile::encodeName(dir);
    struct stat st;
    if (stat(encodedDir.constData(), &st) == 0 && !S_ISDIR(st.st_mode)) {
        lines = listLine(encodedDir, dir.mid(dir.lastIndexOf(u'/') + 1));
        count = lines.isEmpty() ? 0 : 1;
    } else if (DIR *handle = opendir(encodedDir.constData())) {
        while (dirent *entry = readdir(handle)) {
            if (entry->d_name[0] == '.' && (!all || isDotOrDotDot(entry->d_name)))
                continue;
            QString line = listLine(encodedDir + '/' + entry->d_name, QFile::decodeName(entry->d_name));
            if (line.isEmpty())
                continue;
            lines += line;
            count++;
        }
        closedir(handle);
    }
    return QStringLiteral("total %1\r\n").arg(count) + lines;
}

QStringList FtpServer::directoryNames(const QString &dir, bool all) const
{
    QStringList names;
    if (DIR *handle = opendir(QFile::encodeName(dir).constData())) {
        while (dirent *entry = readdir(handle)) {
            if (entry->d_name[0] != '.' || (all && !isDotOrDotDot(entry->d_name)))
                names << QFile::decodeName(entry->d_name);
        }
        closedir(handle);
    }
    names.sort();
    return names;
}

QString FtpServer::machineFacts(const QString &path, unsigned facts) const
{
    QByteArray encoded = QFile::encodeName(path);
    struct stat st;
    if (lstat(encoded.constData(), &st) != 0)
        return QString();
    QString type;
    if (S_ISLNK(st.st_mode)) {
        // Described by what it leads to, as long as that lies inside the root.
        const QString root = confinementRoot();
        std::optional<QString> target;
        if (FtpPath::isInside(root, path))
            target = FtpPath::resolve(root, root, u'/' + path.mid(root.size()), FtpPath::Target::Followed);
        if (!target || stat(QFile::encodeName(*target).constData(), &st) != 0)
            type = QStringLiteral("OS.unix=slink");
    }
    if (type.isEmpty())
        type = S_ISDIR(st.st_mode) ? QStringLiteral("dir") : S_ISREG(st.st_mode) ? QStringLiteral("file")
                                                                               : QStringLiteral("OS.unix=special");
    QString text;
    if (facts & FactType)
        text += QStringLiteral("type=") + type + u';';
    if (facts & FactSize)
        text += QStringLiteral("size=%1;").arg(quint64(st.st_size));
    if (facts & FactModify)
        text += QStringLiteral("modify=") +
                QDateTime::fromSecsSinceEpoch(st.st_mtime, Qt::UTC).toString(QStringLiteral("yyyyMMddHHmmss")) +
                u';';
    return text;
}

QString FtpServer::createMachineList(const QString &dir, unsigned facts) const
{
    QString lines;
    for (const QString &name : directoryNames(dir, true)) {
        QString text = machineFacts(dir + u'/' + name, facts);
        if (!text.isEmpty())
            lines += text + u' ' + name + QStringLiteral("\r\n");
    }
    return lines;
}

void FtpServer::stopFtpServer()
{
    listenSocket_->disconnect();
    // Each connection closes its control and data sockets as it goes.
    connections_.clear();
}
