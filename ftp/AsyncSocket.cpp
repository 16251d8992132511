#include "ftp/AsyncSocket.h"

#include <QCoreApplication>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <pthread.h>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <utility>

#include "platform/RunLoop.h"

const char kAsyncSocketErrorDomain[] = "AsyncSocketErrorDomain";
const char kPosixErrorDomain[] = "PosixErrorDomain";
const char kNetDBErrorDomain[] = "kCFStreamErrorDomainNetDB";

namespace {

constexpr qsizetype kReceiveSize = 1048576;
constexpr qsizetype kSendPiece = 4096;
// Bytes sent per readiness event, so that one fast peer cannot starve the others.
constexpr qsizetype kSendPerEvent = 2 << 20;
// Read and sent at a time where sendfile is refused.
constexpr qsizetype kCopyPiece = 256 << 10;
// Receives per readiness event, so that one fast peer cannot starve the others.
constexpr int kReceivesPerEvent = 4;
// Accepts per readiness event, for the same reason.
constexpr int kAcceptsPerEvent = 16;

std::mutex gLookupLock;

// sendfile(2) has no MSG_NOSIGNAL: SIGPIPE is held back on this thread while it runs, and the
// one a closed peer raised is taken away, so a client that goes away cannot end the program.
class SigpipeHold {
public:
    SigpipeHold()
    {
        sigemptyset(&pipe_);
        sigaddset(&pipe_, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipe_, &old_);
        held_ = !sigismember(&old_, SIGPIPE);
    }
    ~SigpipeHold() { pthread_sigmask(SIG_SETMASK, &old_, nullptr); }
    void discardPending()
    {
        timespec zero{};
        if (held_)
            sigtimedwait(&pipe_, nullptr, &zero);
    }

private:
    sigset_t pipe_, old_;
    bool held_;
};

QString localizedDescription(const char *key, const char *fallback)
{
    QString text = QCoreApplication::translate("AsyncSocket", key);
    return text == QLatin1String(key) ? QString::fromUtf8(fallback) : text;
}

AsyncSocketError socketError(AsyncSocketErrorCode code)
{
    struct Row {
        AsyncSocketErrorCode code;
        const char *key;
        const char *text;
    };
    static const Row kRows[] = {
        {AsyncSocketCFSocketError, "AsyncSocketCFSocketError", "General CFSocket error"},
        {AsyncSocketCanceledError, "AsyncSocketCanceledError", "Connection canceled"},
        {AsyncSocketReadMaxedOutError, "AsyncSocketReadMaxedOutError", "Read operation reached set maximum length"},
        {AsyncSocketReadTimeoutError, "AsyncSocketReadTimeoutError", "Read operation timed out"},
        {AsyncSocketWriteTimeoutError, "AsyncSocketWriteTimeoutError", "Write operation timed out"},
    };
    for (const Row &row : kRows) {
        if (row.code == code)
            return {kAsyncSocketErrorDomain, code, localizedDescription(row.key, row.text)};
    }
    return {kAsyncSocketErrorDomain, code, QString()};
}

AsyncSocketError posixError(int code)
{
    return {kPosixErrorDomain, code, QString::fromLocal8Bit(strerror(code))};
}

// Drops a watcher without destroying it under its own callback: it is disabled now and
// deleted on the next pass of the run loop.
void retire(std::unique_ptr<FdWatcher> &watcher)
{
    if (!watcher)
        return;
    watcher->setEnabled(false);
    if (QCoreApplication::instance()) {
        std::shared_ptr<FdWatcher> last(watcher.release());
        RunLoop::postToMain([last] {});
    } else {
        watcher.reset();
    }
}

void closeHandle(int &fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

QString addressText(const sockaddr_storage &address)
{
    char text[INET6_ADDRSTRLEN] = {};
    const void *raw = nullptr;
    if (address.ss_family == AF_INET)
        raw = &reinterpret_cast<const sockaddr_in &>(address).sin_addr;
    else if (address.ss_family == AF_INET6)
        raw = &reinterpret_cast<const sockaddr_in6 &>(address).sin6_addr;
    else
        return QString();  // a local socket pair has no numeric address
    if (!inet_ntop(address.ss_family, raw, text, sizeof text))
        throw std::logic_error("Cannot convert address to string.");
    return QString::fromLatin1(text);
}

quint16 addressPort(const sockaddr_storage &address)
{
    if (address.ss_family == AF_INET)
        return ntohs(reinterpret_cast<const sockaddr_in &>(address).sin_port);
    if (address.ss_family == AF_INET6)
        return ntohs(reinterpret_cast<const sockaddr_in6 &>(address).sin6_port);
    return 0;
}

bool peerAddress(int fd, sockaddr_storage *address)
{
    socklen_t length = sizeof *address;
    memset(address, 0, sizeof *address);
    return fd >= 0 && getpeername(fd, reinterpret_cast<sockaddr *>(address), &length) == 0;
}

bool localAddress(int fd, sockaddr_storage *address)
{
    socklen_t length = sizeof *address;
    memset(address, 0, sizeof *address);
    return fd >= 0 && getsockname(fd, reinterpret_cast<sockaddr *>(address), &length) == 0;
}

int listenOn(int fd, const sockaddr *address, socklen_t length)
{
    if (bind(fd, address, length) != 0 || listen(fd, SOMAXCONN) != 0)
        return -1;
    return 0;
}

}  // namespace

std::shared_ptr<AsyncSocket> AsyncSocket::create(AsyncSocketDelegate *delegate, long userData)
{
    return std::make_shared<AsyncSocket>(Token{}, delegate, userData);
}

std::shared_ptr<AsyncSocket> AsyncSocket::createWithConnectedSocket(int fd, AsyncSocketDelegate *delegate)
{
    auto socket = create(delegate);
    int flags = fcntl(fd, F_GETFL);
    fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    fcntl(fd, F_SETFD, FD_CLOEXEC);
    socket->attachStream(fd, false);
    return socket;
}

AsyncSocket::AsyncSocket(Token, AsyncSocketDelegate *delegate, long userData)
    : theReadTimer(std::make_unique<OneShotTimer>()),
      theWriteTimer(std::make_unique<OneShotTimer>()),
      theDelegate(delegate),
      theUserData(userData)
{
}

AsyncSocket::~AsyncSocket()
{
    close();
    RunLoop::cancelAllPerforms(this);
}

bool AsyncSocket::acceptOnPort(quint16 port, AsyncSocketError *error)
{
    return acceptOnAddress(QString(), port, error);
}

bool AsyncSocket::acceptOnAddress(const QString &address, quint16 port, AsyncSocketError *error)
{
    if (!theDelegate)
        throw AsyncSocketException("Attempting to accept without a delegate. Set a delegate first.");
    if (theSocket >= 0 || theSocket6 >= 0 || theStream >= 0)
        throw AsyncSocketException(
            "Attempting to accept while connected or accepting connections. Disconnect first.");

    sockaddr_in address4{};
    sockaddr_in6 address6{};
    address4.sin_family = AF_INET;
    address6.sin6_family = AF_INET6;
    bool have4 = true, have6 = true;
    if (address.isEmpty()) {
        address4.sin_addr.s_addr = htonl(INADDR_ANY);
        address6.sin6_addr = in6addr_any;
    } else if (address == QLatin1String("localhost") || address == QLatin1String("loopback")) {
        address4.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address6.sin6_addr = in6addr_loopback;
    } else {
        std::lock_guard<std::mutex> lock(gLookupLock);
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        hints.ai_protocol = IPPROTO_TCP;
        hints.ai_flags = AI_PASSIVE;
        addrinfo *results = nullptr;
        QByteArray portText = QByteArray::number(port);
        int status = getaddrinfo(address.toUtf8().constData(), portText.constData(), &hints, &results);
        if (status != 0) {
            if (error)
                *error = {kNetDBErrorDomain, status, QString::fromLocal8Bit(gai_strerror(status))};
            return false;
        }
        have4 = have6 = false;
        for (addrinfo *r = results; r; r = r->ai_next) {
            if (r->ai_family == AF_INET && !have4) {
                memcpy(&address4, r->ai_addr, sizeof address4);
                have4 = true;
            } else if (r->ai_family == AF_INET6 && !have6) {
                memcpy(&address6, r->ai_addr, sizeof address6);
                have6 = true;
            }
        }
        freeaddrinfo(results);
    }
    address4.sin_port = htons(port);
    address6.sin6_port = htons(port);

    auto fail = [&] {
        closeHandle(theSocket);
        closeHandle(theSocket6);
        if (error)
            *error = socketError(AsyncSocketCFSocketError);
        return false;
    };
    if (have4 && (theSocket = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP)) < 0)
        return fail();
    if (have6 && (theSocket6 = socket(AF_INET6, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP)) < 0) {
        // A host without IPv6 still serves IPv4 clients.
        if (errno != EAFNOSUPPORT || theSocket < 0)
            return fail();
        have6 = false;
    }
    if (theSocket < 0 && theSocket6 < 0)
        return fail();
    int one = 1;
    for (int fd : {theSocket, theSocket6}) {
        if (fd >= 0)
            setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    }
    // Both families share the port; without this the IPv6 wildcard would also take IPv4.
    if (theSocket6 >= 0)
        setsockopt(theSocket6, IPPROTO_IPV6, IPV6_V6ONLY, &one, sizeof one);
    if (theSocket >= 0 && listenOn(theSocket, reinterpret_cast<sockaddr *>(&address4), sizeof address4) != 0)
        return fail();
    if (port == 0 && theSocket >= 0 && theSocket6 >= 0) {
        sockaddr_storage bound;
        if (!localAddress(theSocket, &bound))
            return fail();
        address6.sin6_port = htons(addressPort(bound));
    }
    if (theSocket6 >= 0 && listenOn(theSocket6, reinterpret_cast<sockaddr *>(&address6), sizeof address6) != 0)
        return fail();

    if (theSocket >= 0) {
        int fd = theSocket;
        theSource = std::make_unique<FdWatcher>(fd, FdWatcher::Read, [this, fd] { acceptReady(fd); });
    }
    if (theSocket6 >= 0) {
        int fd = theSocket6;
        theSource6 = std::make_unique<FdWatcher>(fd, FdWatcher::Read, [this, fd] { acceptReady(fd); });
    }
    theFlags |= kStarted;
    return true;
}

void AsyncSocket::acceptReady(int listenFd)
{
    auto self = shared_from_this();
    for (int i = 0; i < kAcceptsPerEvent; i++) {
        if (listenFd != theSocket && listenFd != theSocket6)
            return;  // closed by a delegate meanwhile
        int fd = accept4(listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
                // The pending connection keeps the socket readable: pause instead of spinning.
                for (auto *source : {theSource.get(), theSource6.get()}) {
                    if (source)
                        source->setEnabled(false);
                }
                RunLoop::performAfterDelay(this, "resumeAccepting", QVariant(), 0.1, [this] {
                    for (auto *source : {theSource.get(), theSource6.get()}) {
                        if (source)
                            source->setEnabled(true);
                    }
                });
            }
            return;
        }
        auto newSocket = create(theDelegate);
        newSocket->theStream = fd;  // so that the delegate can ask for its addresses
        if (theDelegate)
            theDelegate->onSocketDidAcceptNewSocket(this, newSocket);
        newSocket->attachStream(fd, false);
    }
}

bool AsyncSocket::connectToHost(const QString &host, quint16 port, AsyncSocketError *error)
{
    if (!theDelegate)
        throw AsyncSocketException("Attempting to connect without a delegate. Set a delegate first.");
    if (theSocket >= 0 || theSocket6 >= 0 || theStream >= 0)
        throw AsyncSocketException(
            "Attempting to connect while connected or accepting connections. Disconnect first.");

    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo *results = nullptr;
    QByteArray portText = QByteArray::number(port);
    int status = getaddrinfo(host.toUtf8().constData(), portText.constData(), &hints, &results);
    if (status != 0) {
        if (error)
            *error = {kNetDBErrorDomain, status, QString::fromLocal8Bit(gai_strerror(status))};
        return false;
    }
    sockaddr_storage address{};
    socklen_t length = std::min<socklen_t>(results->ai_addrlen, sizeof address);
    memcpy(&address, results->ai_addr, length);
    freeaddrinfo(results);

    int fd = socket(address.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP);
    if (fd < 0) {
        if (error)
            *error = posixError(errno);
        return false;
    }
    if (!attachStream(fd, true)) {
        if (error)
            *error = socketError(AsyncSocketCanceledError);
        return false;
    }
    if (::connect(fd, reinterpret_cast<sockaddr *>(&address), length) == 0) {
        RunLoop::performAfterDelay(this, "streamDidOpen", QVariant(), 0, [this] {
            auto self = shared_from_this();
            streamDidOpen();
        });
    } else if (errno == EINPROGRESS) {
        connecting = true;
    } else {
        // Like a stream that fails while opening: reported through the callbacks.
        int code = errno;
        RunLoop::performAfterDelay(this, "connectFailed", QVariant(), 0, [this, code] {
            auto self = shared_from_this();
            AsyncSocketError e = posixError(code);
            closeWithError(&e);
        });
    }
    updateWatchers();
    return true;
}

bool AsyncSocket::attachStream(int fd, bool isConnecting)
{
    theStream = fd;
    readWatcher = std::make_unique<FdWatcher>(fd, FdWatcher::Read, [this] { doBytesAvailable(); });
    readWatcher->setEnabled(false);
    writeWatcher = std::make_unique<FdWatcher>(fd, FdWatcher::Write, [this] { writeReady(); });
    writeWatcher->setEnabled(false);
    if (theDelegate && !theDelegate->onSocketWillConnect(this)) {
        AsyncSocketError e = socketError(AsyncSocketCanceledError);
        closeWithError(&e);
        return false;
    }
    theFlags |= kStarted;
    if (!isConnecting) {
        // An accepted socket is open already; the event comes on the next pass, as a stream's would.
        RunLoop::performAfterDelay(this, "streamDidOpen", QVariant(), 0, [this] {
            auto self = shared_from_this();
            streamDidOpen();
        });
    }
    return true;
}

void AsyncSocket::writeReady()
{
    auto self = shared_from_this();
    if (connecting) {
        connecting = false;
        int code = 0;
        socklen_t length = sizeof code;
        if (getsockopt(theStream, SOL_SOCKET, SO_ERROR, &code, &length) != 0)
            code = errno;
        if (code != 0) {
            AsyncSocketError e = posixError(code);
            closeWithError(&e);
            return;
        }
        streamDidOpen();
        return;
    }
    doSendBytes();
}

void AsyncSocket::streamDidOpen()
{
    if (theStream < 0 || (theFlags & kConnected))
        return;
    sockaddr_storage peer;
    if (!peerAddress(theStream, &peer)) {
        AsyncSocketError e = posixError(errno);
        fprintf(stderr, "AsyncSocket %p couldn't get socket from streams, %s. Disconnecting.\n",
                static_cast<void *>(this), qPrintable(e.description));
        closeWithError(&e);
        return;
    }
    theFlags |= kConnected;
    if (theDelegate)
        theDelegate->onSocketDidConnectToHost(this, addressText(peer), addressPort(peer));
    maybeDequeueRead();
    maybeDequeueWrite();
    updateWatchers();
}

void AsyncSocket::readDataToData(const QByteArray &term, double timeout, long maxLength, long tag)
{
    if ((theFlags & kForbidReadsWrites) || term.isEmpty())
        return;
    if (maxLength >= 0 && maxLength < term.size())
        return;
    AsyncReadPacket packet;
    packet.timeout = timeout;
    packet.maxLength = maxLength;
    packet.tag = tag;
    packet.term = term;
    theReadQueue.push_back(std::move(packet));
    scheduleReadService();
}

void AsyncSocket::readDataWithTimeout(double timeout, long tag)
{
    if (theFlags & kForbidReadsWrites)
        return;
    AsyncReadPacket packet;
    packet.timeout = timeout;
    packet.tag = tag;
    packet.readAllAvailableData = true;
    theReadQueue.push_back(std::move(packet));
    scheduleReadService();
}

AsyncSocket::AsyncWritePacket::AsyncWritePacket(AsyncWritePacket &&other) noexcept
    : buffer(std::move(other.buffer)),
      bytesDone(other.bytesDone),
      tag(other.tag),
      timeout(other.timeout),
      file(std::exchange(other.file, -1)),
      fileOffset(other.fileOffset),
      fileLength(other.fileLength),
      copyFile(other.copyFile)
{
}

AsyncSocket::AsyncWritePacket::~AsyncWritePacket()
{
    if (file >= 0)
        ::close(file);
}

void AsyncSocket::writeData(const QByteArray &data, double timeout, long tag)
{
    if (data.isEmpty() || (theFlags & kForbidReadsWrites))
        return;
    AsyncWritePacket packet;
    packet.buffer = data;
    packet.tag = tag;
    packet.timeout = timeout;
    theWriteQueue.push_back(std::move(packet));
    scheduleWriteService();
}

void AsyncSocket::writeFile(int fd, qint64 offset, qint64 length, double timeout, long tag)
{
    if (length <= 0 || offset < 0 || (theFlags & kForbidReadsWrites))
        return;
    AsyncWritePacket packet;
    packet.file = fcntl(fd, F_DUPFD_CLOEXEC, 0);
    packet.fileOffset = offset;
    packet.fileLength = length;
    packet.tag = tag;
    packet.timeout = timeout;
    theWriteQueue.push_back(std::move(packet));
    scheduleWriteService();
}

void AsyncSocket::scheduleReadService()
{
    RunLoop::performAfterDelay(this, "maybeDequeueRead", QVariant(), 0, [this] {
        auto self = shared_from_this();
        maybeDequeueRead();
    });
}

void AsyncSocket::scheduleWriteService()
{
    RunLoop::performAfterDelay(this, "maybeDequeueWrite", QVariant(), 0, [this] {
        auto self = shared_from_this();
        maybeDequeueWrite();
    });
}

void AsyncSocket::maybeDequeueRead()
{
    if (theCurrentRead || theReadQueue.empty() || !streamOpen())
        return;
    theCurrentRead = std::make_unique<AsyncReadPacket>(std::move(theReadQueue.front()));
    theReadQueue.pop_front();
    if (theCurrentRead->timeout >= 0) {
        theReadTimer->start(theCurrentRead->timeout, [this] {
            auto self = shared_from_this();
            endCurrentRead();
            AsyncSocketError e = socketError(AsyncSocketReadTimeoutError);
            closeWithError(&e);
        });
    }
    doBytesAvailable();
}

void AsyncSocket::maybeDequeueWrite()
{
    if (theCurrentWrite || theWriteQueue.empty() || !streamOpen())
        return;
    theCurrentWrite = std::make_unique<AsyncWritePacket>(std::move(theWriteQueue.front()));
    theWriteQueue.pop_front();
    if (theCurrentWrite->timeout >= 0) {
        theWriteTimer->start(theCurrentWrite->timeout, [this] {
            auto self = shared_from_this();
            endCurrentWrite();
            AsyncSocketError e = socketError(AsyncSocketWriteTimeoutError);
            closeWithError(&e);
        });
    }
    doSendBytes();
}

void AsyncSocket::doBytesAvailable()
{
    auto self = shared_from_this();
    if (!theCurrentRead || !streamOpen() || readEnded) {
        updateWatchers();
        return;
    }
    QByteArray buffer(kReceiveSize, Qt::Uninitialized);
    for (int round = 0; round < kReceivesPerEvent; round++) {
        if (!theCurrentRead || !streamOpen() || readEnded)
            break;
        ssize_t n = ::recv(theStream, buffer.data(), size_t(kReceiveSize), 0);
        if (n > 0) {
            long tag = theCurrentRead->tag;
            if (theDelegate)
                theDelegate->onSocketDidReadData(this, QByteArrayView(buffer.constData(), n), tag);
            if (n < kReceiveSize)
                break;  // drained; the watcher reports the next bytes or the end
            continue;
        }
        if (n == 0) {
            readStreamEnded();
            return;
        }
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            break;
        AsyncSocketError e = posixError(errno);
        closeWithError(&e);
        return;
    }
    updateWatchers();
}

void AsyncSocket::readStreamEnded()
{
    readEnded = true;
    if (theDelegate && !theDelegate->onReadStreamEnded(this)) {
        updateWatchers();
        return;
    }
    closeWithError(nullptr);
}

void AsyncSocket::doSendBytes()
{
    auto self = shared_from_this();
    if (!theCurrentWrite || !streamOpen()) {
        updateWatchers();
        return;
    }
    AsyncWritePacket &packet = *theCurrentWrite;
    int failure = 0;
    bool fileEnded = false;
    bool finished;
    if (packet.fileLength > 0) {
        sendFile(packet, kSendPerEvent, &failure, &fileEnded);
        finished = fileEnded || packet.bytesDone == packet.fileLength;
    } else {
        qsizetype budget = kSendPerEvent;
        while (packet.bytesDone < packet.buffer.size() && budget > 0) {
            size_t piece = size_t(std::min(packet.buffer.size() - packet.bytesDone, kSendPiece));
            ssize_t n = ::send(theStream, packet.buffer.constData() + packet.bytesDone, piece, MSG_NOSIGNAL);
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                if (errno != EAGAIN && errno != EWOULDBLOCK)
                    failure = errno;
                break;
            }
            packet.bytesDone += n;
            budget -= n;
        }
        finished = packet.bytesDone == packet.buffer.size();
    }
    if (failure) {
        AsyncSocketError e = posixError(failure);
        closeWithError(&e);
        return;
    }
    if (finished) {
        long tag = packet.tag;
        if (theDelegate) {
            if (packet.fileLength > 0)
                theDelegate->onSocketDidWriteFile(this, tag, packet.bytesDone);
            else
                theDelegate->onSocketDidWriteData(this, tag);
        }
        endCurrentWrite();
        maybeScheduleDisconnect();
        if (streamOpen())
            scheduleWriteService();
    }
    // Still writable with more to send: the watcher calls again on the next pass.
    updateWatchers();
}

void AsyncSocket::sendFile(AsyncWritePacket &packet, qsizetype budget, int *failure, bool *fileEnded)
{
    qsizetype sent = 0;
    SigpipeHold hold;
    while (packet.bytesDone < packet.fileLength && sent < budget) {
        qint64 want = std::min<qint64>(packet.fileLength - packet.bytesDone, budget - sent);
        ssize_t n;
        if (!packet.copyFile) {
            off_t offset = off_t(packet.fileOffset + packet.bytesDone);
            n = ::sendfile(theStream, packet.file, &offset, size_t(want));
            if (n < 0 && (errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP)) {
                packet.copyFile = true;  // this file or socket cannot be spliced
                continue;
            }
        } else {
            // The piece is read again after a short send: simpler than keeping it, and rare.
            if (packet.buffer.size() < kCopyPiece)
                packet.buffer.resize(kCopyPiece);
            want = std::min<qint64>(want, kCopyPiece);
            ssize_t got = ::pread(packet.file, packet.buffer.data(), size_t(want),
                                  off_t(packet.fileOffset + packet.bytesDone));
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0) {
                *fileEnded = true;
                break;
            }
            n = ::send(theStream, packet.buffer.constData(), size_t(got), MSG_NOSIGNAL);
        }
        if (n < 0) {
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK)
                break;
            if (errno == EIO || errno == EBADF) {
                *fileEnded = true;  // the file failed, not the peer
                break;
            }
            *failure = errno;
            if (errno == EPIPE)
                hold.discardPending();
            break;
        }
        if (n == 0) {
            *fileEnded = true;  // the file is shorter than when the write was queued
            break;
        }
        packet.bytesDone += n;
        sent += n;
    }
}

void AsyncSocket::endCurrentRead()
{
    theReadTimer->invalidate();
    theCurrentRead.reset();
}

void AsyncSocket::endCurrentWrite()
{
    theWriteTimer->invalidate();
    theCurrentWrite.reset();
}

void AsyncSocket::emptyQueues()
{
    endCurrentRead();
    endCurrentWrite();
    theReadQueue.clear();
    theWriteQueue.clear();
    RunLoop::cancelPerform(this, "maybeDequeueRead", QVariant());
    RunLoop::cancelPerform(this, "maybeDequeueWrite", QVariant());
}

void AsyncSocket::maybeScheduleDisconnect()
{
    if ((theFlags & kDisconnectAfterWrites) && theWriteQueue.empty() && !theCurrentWrite) {
        RunLoop::performAfterDelay(this, "disconnect", QVariant(), 0, [this] {
            auto self = shared_from_this();
            disconnect();
        });
    }
}

void AsyncSocket::setNoDelay()
{
    int one = 1;
    if (theStream >= 0)
        setsockopt(theStream, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

void AsyncSocket::disconnect() { close(); }

void AsyncSocket::disconnectAfterWriting()
{
    theFlags |= kForbidReadsWrites | kDisconnectAfterWrites;
    maybeScheduleDisconnect();
}

void AsyncSocket::closeWithError(const AsyncSocketError *error)
{
    theFlags |= kClosingWithError;
    if (theFlags & kStarted) {
        emptyQueues();
        if (theDelegate)
            theDelegate->onSocketWillDisconnectWithError(this, error);
    }
    close();
}

void AsyncSocket::close()
{
    emptyQueues();
    for (const char *action : {"disconnect", "streamDidOpen", "connectFailed", "resumeAccepting"})
        RunLoop::cancelPerform(this, action, QVariant());
    retire(readWatcher);
    retire(writeWatcher);
    retire(theSource);
    retire(theSource6);
    closeHandle(theStream);
    closeHandle(theSocket);
    closeHandle(theSocket6);
    connecting = false;
    readEnded = false;
    bool started = theFlags & kStarted;
    theFlags = 0;
    if (started) {
        RunLoop::performAfterDelay(this, "onSocketDidDisconnect", QVariant(), 0, [this] {
            auto self = shared_from_this();
            if (theDelegate)
                theDelegate->onSocketDidDisconnect(this);
        });
    }
}

void AsyncSocket::updateWatchers()
{
    auto set = [](FdWatcher *watcher, bool on) {
        if (watcher && watcher->isEnabled() != on)
            watcher->setEnabled(on);
    };
    set(readWatcher.get(), streamOpen() && theCurrentRead && !readEnded);
    set(writeWatcher.get(), theStream >= 0 && (connecting || (streamOpen() && theCurrentWrite)));
}

bool AsyncSocket::isConnected() const { return streamOpen(); }

int AsyncSocket::addressSocket() const
{
    return theStream >= 0 ? theStream : theSocket >= 0 ? theSocket : theSocket6;
}

QString AsyncSocket::connectedHost() const
{
    sockaddr_storage address;
    return peerAddress(addressSocket(), &address) ? addressText(address) : QString();
}

quint16 AsyncSocket::connectedPort() const
{
    sockaddr_storage address;
    return peerAddress(addressSocket(), &address) ? addressPort(address) : 0;
}

QString AsyncSocket::localHost() const
{
    sockaddr_storage address;
    return localAddress(addressSocket(), &address) ? addressText(address) : QString();
}

quint16 AsyncSocket::localPort() const
{
    sockaddr_storage address;
    return localAddress(addressSocket(), &address) ? addressPort(address) : 0;
}
