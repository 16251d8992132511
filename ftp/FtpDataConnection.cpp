#include "ftp/FtpDataConnection.h"

#include "ftp/FtpConnection.h"

std::shared_ptr<FtpDataConnection> FtpDataConnection::create(std::shared_ptr<AsyncSocket> socket,
                                                             FtpConnection *connection)
{
    return std::make_shared<FtpDataConnection>(Token{}, std::move(socket), connection);
}

FtpDataConnection::FtpDataConnection(Token, std::shared_ptr<AsyncSocket> socket, FtpConnection *connection)
    : dataSocket_(std::move(socket)), ftpConnection_(connection)
{
    dataSocket_->setDelegate(this);
}

FtpDataConnection::~FtpDataConnection()
{
    dataSocket_->setDelegate(nullptr);
    dataSocket_->disconnect();
}

void FtpDataConnection::startReading()
{
    // The first read stays current for the life of the socket: one request is enough.
    if (!reading_) {
        reading_ = true;
        dataSocket_->readDataWithTimeout(-1, 0);
    }
}

void FtpDataConnection::writeData(const QByteArray &data)
{
    connectionState_ = Sending;
    dataSocket_->writeData(data, -1, 0);
    startReading();
}

void FtpDataConnection::writeFile(int fd, qint64 offset, qint64 length)
{
    connectionState_ = Sending;
    dataSocket_->writeFile(fd, offset, length, -1, 0);
    startReading();
}

void FtpDataConnection::expectUpload()
{
    connectionState_ = UploadAnnounced;
    startReading();
}

void FtpDataConnection::closeConnection() { dataSocket_->disconnect(); }

bool FtpDataConnection::onSocketWillConnect(AsyncSocket *) { return true; }

void FtpDataConnection::onSocketDidConnectToHost(AsyncSocket *, const QString &, quint16)
{
    auto keep = shared_from_this();
    ftpConnection_->didOpenDataConnection();
}

void FtpDataConnection::onSocketDidReadData(AsyncSocket *, QByteArrayView data, long)
{
    auto keep = shared_from_this();
    receivedData_ = data;
    ftpConnection_->didReceiveDataRead();
    receivedData_ = QByteArrayView();
    connectionState_ = Receiving;
}

void FtpDataConnection::onSocketDidWriteData(AsyncSocket *, long)
{
    auto keep = shared_from_this();
    ftpConnection_->didReceiveDataWritten(-1);
}

void FtpDataConnection::onSocketDidWriteFile(AsyncSocket *, long, qint64 bytesSent)
{
    auto keep = shared_from_this();
    ftpConnection_->didReceiveDataWritten(bytesSent);
}

bool FtpDataConnection::onReadStreamEnded(AsyncSocket *)
{
    // During a download the client may close its sending side early; that is no reason to stop.
    return connectionState_ == UploadAnnounced || connectionState_ == Receiving;
}

void FtpDataConnection::onSocketWillDisconnectWithError(AsyncSocket *, const AsyncSocketError *error)
{
    auto keep = shared_from_this();
    ftpConnection_->didFinishReading(error);
}
