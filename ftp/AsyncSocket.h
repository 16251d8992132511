// A TCP socket driven by the main run loop: listens (IPv4 and IPv6 at once), accepts, connects,
// and moves bytes through queued read and write requests, reporting every event to a delegate.
// Nothing here knows about FTP.
//
// Received bytes are not framed: the first read request that becomes current stays current
// until the socket closes, and every chunk that arrives is handed over as it is, with that
// request's tag. Writes go out in pieces of at most 4096 bytes while the socket has room; a
// file is sent straight from the page cache with sendfile(2). Each wake-up sends a bounded
// amount, so one fast peer cannot hold up the run loop.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <stdexcept>

class AsyncSocket;
class FdWatcher;
class OneShotTimer;

// Error domains: the socket's own, POSIX (errno codes) and name lookup.
extern const char kAsyncSocketErrorDomain[];  // "AsyncSocketErrorDomain"
extern const char kPosixErrorDomain[];
extern const char kNetDBErrorDomain[];  // "kCFStreamErrorDomainNetDB"

enum AsyncSocketErrorCode {
    AsyncSocketCFSocketError = -1,
    AsyncSocketCanceledError = 1,
    AsyncSocketReadMaxedOutError = 2,
    AsyncSocketReadTimeoutError = 3,
    AsyncSocketWriteTimeoutError = 4,
};

struct AsyncSocketError {
    QString domain;
    int code = 0;
    QString description;
};

// Thrown for programming errors: accepting or connecting without a delegate or twice.
class AsyncSocketException : public std::logic_error {
public:
    using std::logic_error::logic_error;
};

// Every callback is called on the main run loop. The defaults are what an object that does
// not care about the event wants.
class AsyncSocketDelegate {
public:
    // A listening socket accepted `newSocket`, which already has this delegate; keep it, or it
    // closes when the call returns.
    virtual void onSocketDidAcceptNewSocket(AsyncSocket *, std::shared_ptr<AsyncSocket> /*newSocket*/) {}
    // Before a new or connecting socket opens; false cancels it.
    virtual bool onSocketWillConnect(AsyncSocket *) { return true; }
    virtual void onSocketDidConnectToHost(AsyncSocket *, const QString & /*host*/, quint16 /*port*/) {}
    // `data` is valid only during the call.
    virtual void onSocketDidReadData(AsyncSocket *, QByteArrayView /*data*/, long /*tag*/) {}
    virtual void onSocketDidWriteData(AsyncSocket *, long /*tag*/) {}
    // A file write ended: all of it went out, or its file ended early (`bytesSent` is less
    // than asked) or could not be read. By default the same as a finished data write.
    virtual void onSocketDidWriteFile(AsyncSocket *socket, long tag, qint64 /*bytesSent*/)
    {
        onSocketDidWriteData(socket, tag);
    }
    // The peer closed its side; false keeps the socket open.
    virtual bool onReadStreamEnded(AsyncSocket *) { return true; }
    // A started socket closes because of an error or the end of the stream (`error` may be null).
    virtual void onSocketWillDisconnectWithError(AsyncSocket *, const AsyncSocketError * /*error*/) {}
    // After a started socket closed, on the next pass of the run loop.
    virtual void onSocketDidDisconnect(AsyncSocket *) {}

protected:
    ~AsyncSocketDelegate() = default;
};

// Main thread only. Always owned through std::shared_ptr (see create()): every event holds a
// reference while it runs, so a delegate may drop the socket from inside a callback.
class AsyncSocket : public std::enable_shared_from_this<AsyncSocket> {
public:
    static std::shared_ptr<AsyncSocket> create(AsyncSocketDelegate *delegate = nullptr, long userData = 0);
    // Wraps an already connected descriptor (any family) as if it had just been accepted.
    static std::shared_ptr<AsyncSocket> createWithConnectedSocket(int fd, AsyncSocketDelegate *delegate);
    ~AsyncSocket();
    AsyncSocket(const AsyncSocket &) = delete;
    AsyncSocket &operator=(const AsyncSocket &) = delete;

    AsyncSocketDelegate *delegate() const { return theDelegate; }
    void setDelegate(AsyncSocketDelegate *delegate) { theDelegate = delegate; }
    long userData() const { return theUserData; }
    void setUserData(long value) { theUserData = value; }

    // Empty address: both wildcard addresses; "localhost" or "loopback": both loopbacks.
    bool acceptOnPort(quint16 port, AsyncSocketError *error);
    bool acceptOnAddress(const QString &address, quint16 port, AsyncSocketError *error);
    // Starts connecting; the outcome comes through the callbacks.
    bool connectToHost(const QString &host, quint16 port, AsyncSocketError *error);

    void readDataToData(const QByteArray &term, double timeout, long maxLength, long tag);
    void readDataToData(const QByteArray &term, double timeout, long tag) { readDataToData(term, timeout, -1, tag); }
    void readDataWithTimeout(double timeout, long tag);
    // Shares `data` (no copy). Empty data is ignored.
    void writeData(const QByteArray &data, double timeout, long tag);
    // Queues `length` bytes of the file `fd` from `offset` (the socket keeps a duplicate of
    // `fd`; the caller may close its own). A length of 0 is ignored.
    void writeFile(int fd, qint64 offset, qint64 length, double timeout, long tag);

    // Sends small writes at once instead of waiting to fill a packet (TCP_NODELAY): for a
    // dialogue of short lines, where the peer's delayed acknowledgement would otherwise hold
    // every second line back by tens of milliseconds.
    void setNoDelay();

    void disconnect();
    // Accepts no more requests and closes once every queued write has gone out.
    void disconnectAfterWriting();

    bool isConnected() const;
    // True before the first listen or connect and after closing.
    bool isDisconnected() const { return !(theFlags & kStarted); }
    QString connectedHost() const;
    quint16 connectedPort() const;
    QString localHost() const;
    quint16 localPort() const;

    static QByteArray CRLFData() { return QByteArray("\r\n", 2); }
    static QByteArray CRData() { return QByteArray("\r", 1); }
    static QByteArray LFData() { return QByteArray("\n", 1); }
    static QByteArray ZeroData() { return QByteArray(1, '\0'); }

private:
    struct Token {};

public:
    AsyncSocket(Token, AsyncSocketDelegate *delegate, long userData);

private:
    struct AsyncReadPacket {
        QByteArray buffer;
        qsizetype bytesDone = 0;
        double timeout = -1;
        long maxLength = -1;
        long tag = 0;
        QByteArray term;
        bool readAllAvailableData = false;
    };
    struct AsyncWritePacket {
        QByteArray buffer;
        qsizetype bytesDone = 0;
        long tag = 0;
        double timeout = -1;
        // A file write: `file` is the socket's own duplicate, closed with the packet.
        int file = -1;
        qint64 fileOffset = 0;
        qint64 fileLength = 0;
        bool copyFile = false;  // sendfile refused: read and send instead
        AsyncWritePacket() = default;
        AsyncWritePacket(AsyncWritePacket &&other) noexcept;
        AsyncWritePacket &operator=(AsyncWritePacket &&) = delete;
        ~AsyncWritePacket();
    };

    enum Flags : uint8_t {
        kPreBuffering = 0x01,
        kConnected = 0x02,
        kStarted = 0x04,
        kForbidReadsWrites = 0x08,
        kDisconnectAfterWrites = 0x10,
        kClosingWithError = 0x20,
    };

    void acceptReady(int listenFd);
    bool attachStream(int fd, bool isConnecting);
    void streamDidOpen();
    void writeReady();
    void scheduleReadService();
    void scheduleWriteService();
    void maybeDequeueRead();
    void maybeDequeueWrite();
    void doBytesAvailable();
    void doSendBytes();
    // Sends up to `budget` bytes of a file packet; sets `*failure` on a socket error and
    // `*fileEnded` when its file gave out early.
    void sendFile(AsyncWritePacket &packet, qsizetype budget, int *failure, bool *fileEnded);
    void readStreamEnded();
    void endCurrentRead();
    void endCurrentWrite();
    void emptyQueues();
    void maybeScheduleDisconnect();
    void closeWithError(const AsyncSocketError *error);
    void close();
    void updateWatchers();
    bool streamOpen() const { return theStream >= 0 && (theFlags & kConnected); }
    int addressSocket() const;

    int theSocket = -1;   // IPv4 listening socket
    int theSocket6 = -1;  // IPv6 listening socket
    int theStream = -1;   // connected socket, read and written
    bool connecting = false;
    bool readEnded = false;
    std::unique_ptr<FdWatcher> theSource, theSource6, readWatcher, writeWatcher;
    std::deque<AsyncReadPacket> theReadQueue;
    std::unique_ptr<AsyncReadPacket> theCurrentRead;
    std::unique_ptr<OneShotTimer> theReadTimer;
    std::deque<AsyncWritePacket> theWriteQueue;
    std::unique_ptr<AsyncWritePacket> theCurrentWrite;
    std::unique_ptr<OneShotTimer> theWriteTimer;
    AsyncSocketDelegate *theDelegate;
    uint8_t theFlags = 0;
    long theUserData;
};
