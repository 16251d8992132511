// One FTP data connection: carries a listing or a file to the client, or a file from it, and
// tells the control connection when bytes arrived, when a write went out and when it ended.
// What the bytes mean is the control connection's business.
#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <memory>

#include "ftp/AsyncSocket.h"

class FtpConnection;

// Main thread only; all callbacks on the main run loop.
class FtpDataConnection : public AsyncSocketDelegate, public std::enable_shared_from_this<FtpDataConnection> {
public:
    enum State {
        UploadAnnounced = 0,  // the client's end of the connection ends the upload
        Sending = 1,
        Idle = 2,
        Receiving = 3,  // at least one chunk of an upload arrived
    };

    // Takes `socket` (accepted, or still connecting) and becomes its delegate.
    static std::shared_ptr<FtpDataConnection> create(std::shared_ptr<AsyncSocket> socket, FtpConnection *connection);
    ~FtpDataConnection();

    // Sends `data` (shared, not copied).
    void writeData(const QByteArray &data);
    // Sends `length` bytes of the file `fd` from `offset`, without copying them.
    void writeFile(int fd, qint64 offset, qint64 length);
    // An upload starts: the end of the client's side ends it. Bytes are read from now on;
    // until then they wait in the kernel rather than arriving with nowhere to go.
    void expectUpload();
    void closeConnection();

    State connectionState() const { return connectionState_; }
    void setConnectionState(State state) { connectionState_ = state; }
    // The chunk being handed over; valid only during FtpConnection::didReceiveDataRead().
    QByteArrayView receivedData() const { return receivedData_; }
    // Both directions are open.
    bool isOpen() const { return dataSocket_->isConnected(); }
    // Connected or still connecting, not yet closed.
    bool isAlive() const { return !dataSocket_->isDisconnected(); }
    const AsyncSocket *socket() const { return dataSocket_.get(); }

    bool onSocketWillConnect(AsyncSocket *) override;
    void onSocketDidConnectToHost(AsyncSocket *, const QString &host, quint16 port) override;
    void onSocketDidReadData(AsyncSocket *, QByteArrayView data, long tag) override;
    void onSocketDidWriteData(AsyncSocket *, long tag) override;
    void onSocketDidWriteFile(AsyncSocket *, long tag, qint64 bytesSent) override;
    bool onReadStreamEnded(AsyncSocket *) override;
    void onSocketWillDisconnectWithError(AsyncSocket *, const AsyncSocketError *error) override;

    struct Token {};
    FtpDataConnection(Token, std::shared_ptr<AsyncSocket> socket, FtpConnection *connection);

private:
    void startReading();

    std::shared_ptr<AsyncSocket> dataSocket_;
    FtpConnection *ftpConnection_;  // not owned; it owns this object
    QByteArrayView receivedData_;
    State connectionState_ = Idle;
    bool reading_ = false;
};
