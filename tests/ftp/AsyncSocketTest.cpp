// The run-loop socket layer on its own: listening, delivery of chunks, writes, closing.
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "FtpTestClient.h"
#include "TestSupport.h"
#include "ftp/AsyncSocket.h"
#include "ftp/MyNetworkController.h"

namespace {

// Records what the sockets report.
struct Recorder : AsyncSocketDelegate {
    std::vector<std::shared_ptr<AsyncSocket>> accepted;
    std::vector<std::string> events;
    std::string received;
    bool keepOpenAtEnd = false;

    void onSocketDidAcceptNewSocket(AsyncSocket *, std::shared_ptr<AsyncSocket> s) override
    {
        events.push_back("accept");
        accepted.push_back(std::move(s));
        accepted.back()->readDataToData(AsyncSocket::CRLFData(), -1, 7);
        accepted.back()->readDataWithTimeout(-1, 8);  // stays queued: the first read serves everything
    }
    void onSocketDidConnectToHost(AsyncSocket *, const QString &host, quint16) override
    {
        events.push_back("connect " + host.toStdString());
    }
    void onSocketDidReadData(AsyncSocket *, QByteArrayView data, long tag) override
    {
        events.push_back("read " + std::to_string(tag));
        received.append(data.data(), size_t(data.size()));
    }
    void onSocketDidWriteData(AsyncSocket *, long tag) override { events.push_back("write " + std::to_string(tag)); }
    void onSocketDidWriteFile(AsyncSocket *, long tag, qint64 bytes) override
    {
        events.push_back("file " + std::to_string(tag) + " " + std::to_string(bytes));
    }
    bool onReadStreamEnded(AsyncSocket *) override
    {
        events.push_back("end");
        return !keepOpenAtEnd;
    }
    void onSocketWillDisconnectWithError(AsyncSocket *, const AsyncSocketError *error) override
    {
        events.push_back(error ? "error " + error->domain.toStdString() : "will disconnect");
    }
    void onSocketDidDisconnect(AsyncSocket *) override { events.push_back("did disconnect"); }
    bool has(const std::string &event) const { return std::find(events.begin(), events.end(), event) != events.end(); }
};

}  // namespace

TEST(AsyncSocket, ListensOnBothFamiliesAndDeliversChunksUnderTheFirstTag)
{
    Recorder recorder;
    auto listener = AsyncSocket::create(&recorder);
    AsyncSocketError error;
    ASSERT_TRUE(listener->acceptOnAddress(QStringLiteral("localhost"), 0, &error));
    int port = listener->localPort();
    ASSERT_GT(port, 0);
    EXPECT_THROW(listener->acceptOnPort(0, &error), AsyncSocketException);

    int client = connectTcp("127.0.0.1", port);
    ASSERT_GE(client, 0);
    ASSERT_TRUE(runLoopUntil([&] { return recorder.has("connect 127.0.0.1"); }));
    auto &server = recorder.accepted.at(0);
    EXPECT_TRUE(server->isConnected());
    EXPECT_EQ(server->localPort(), port);
    EXPECT_EQ(server->connectedHost(), QStringLiteral("127.0.0.1"));

    writeAll(client, "no line end yet");
    ASSERT_TRUE(runLoopUntil([&] { return recorder.received.size() == 15; }));
    writeAll(client, "\r\nmore");
    ASSERT_TRUE(runLoopUntil([&] { return recorder.received.size() == 21; }));
    EXPECT_EQ(recorder.received, "no line end yet\r\nmore");
    EXPECT_FALSE(recorder.has("read 8"));

    // Empty writes do nothing; others report their tag once sent.
    server->writeData(QByteArray(), -1, 1);
    server->writeData(QByteArray(100000, 'w'), -1, 2);
    server->disconnectAfterWriting();
    server->writeData(QByteArray("dropped"), -1, 3);
    std::string got;
    whileServing([&] { got = readAll(client); });  // ends when the server closes after the write
    EXPECT_TRUE(got == std::string(100000, 'w')) << got.size();
    ASSERT_TRUE(runLoopUntil([&] { return recorder.has("did disconnect"); }));
    EXPECT_FALSE(recorder.has("write 1"));
    EXPECT_TRUE(recorder.has("write 2"));
    EXPECT_FALSE(recorder.has("write 3"));
    close(client);

    // IPv6 loopback shares the port, when the host has it.
    int client6 = connectTcp("::1", port);
    if (client6 >= 0) {
        EXPECT_TRUE(runLoopUntil([&] { return recorder.has("connect ::1"); }));
        close(client6);
    }
    listener->disconnect();
    EXPECT_LT(connectTcp("127.0.0.1", port), 0);
}

TEST(AsyncSocket, EndOfStreamCanBeIgnoredAndErrorsCarryTheirDomain)
{
    Recorder recorder;
    recorder.keepOpenAtEnd = true;
    auto listener = AsyncSocket::create(&recorder);
    AsyncSocketError error;
    ASSERT_TRUE(listener->acceptOnPort(0, &error));
    int client = connectTcp("127.0.0.1", listener->localPort());
    ASSERT_TRUE(runLoopUntil([&] { return recorder.accepted.size() == 1 && recorder.accepted[0]->isConnected(); }));
    shutdown(client, SHUT_WR);
    ASSERT_TRUE(runLoopUntil([&] { return recorder.has("end"); }));
    runLoopUntil([] { return false; }, 50);
    EXPECT_FALSE(recorder.has("will disconnect"));
    EXPECT_TRUE(recorder.accepted[0]->isConnected());
    // Writing still works after the peer's end.
    recorder.accepted[0]->writeData(QByteArray("still here"), -1, 4);
    char buffer[16] = {};
    whileServing([&] { EXPECT_EQ(recv(client, buffer, sizeof buffer, 0), 10); });
    close(client);

    // A refused connect reports the POSIX error, then the disconnect.
    Recorder outgoing;
    auto connecting = AsyncSocket::create(&outgoing);
    int closedPort = listener->localPort();
    listener->disconnect();
    ASSERT_TRUE(connecting->connectToHost(QStringLiteral("127.0.0.1"), closedPort, &error));
    ASSERT_TRUE(runLoopUntil([&] { return outgoing.has("did disconnect"); }));
    EXPECT_TRUE(outgoing.has("error PosixErrorDomain"));

    // A socket that never started reports nothing when disconnected.
    Recorder idle;
    auto never = AsyncSocket::create(&idle);
    never->disconnect();
    runLoopUntil([] { return false; }, 20);
    EXPECT_TRUE(idle.events.empty());

    // Accepting without a delegate is a programming error.
    EXPECT_THROW(AsyncSocket::create()->acceptOnPort(0, &error), AsyncSocketException);
}

TEST(AsyncSocket, FilesGoOutFromTheirDescriptorAndReportWhatWasSent)
{
    Recorder recorder;
    auto listener = AsyncSocket::create(&recorder);
    AsyncSocketError error;
    ASSERT_TRUE(listener->acceptOnPort(0, &error));
    int client = connectTcp("127.0.0.1", listener->localPort());
    ASSERT_TRUE(runLoopUntil([&] { return recorder.accepted.size() == 1 && recorder.accepted[0]->isConnected(); }));
    auto &server = recorder.accepted[0];

    TempDir tmp;
    std::string big(5 << 20, '\0'), small = "only this much";
    for (size_t i = 0; i < big.size(); i++)
        big[i] = char(i * 31 + i / 4099);
    writeFile(tmp.file("big"), big);
    writeFile(tmp.file("small"), small);
    // A file sendfile refuses (procfs), so it is read and sent instead.
    int refused = open("/proc/self/cmdline", O_RDONLY | O_CLOEXEC);
    char cmdline[4096];
    ssize_t cmdlineSize = pread(refused, cmdline, sizeof cmdline, 0);
    ASSERT_GT(cmdlineSize, 0);

    int fd = open(tmp.file("big").c_str(), O_RDONLY | O_CLOEXEC);
    server->writeFile(fd, 1000, qint64(big.size()) - 1000, -1, 5);
    close(fd);  // the socket keeps its own descriptor
    fd = open(tmp.file("small").c_str(), O_RDONLY | O_CLOEXEC);
    server->writeFile(fd, 0, 1000, -1, 6);  // asks for more than the file holds
    server->writeFile(fd, 0, 0, -1, 8);     // nothing: ignored
    close(fd);
    server->writeFile(refused, 0, cmdlineSize, -1, 7);
    close(refused);
    server->disconnectAfterWriting();
    std::string got;
    whileServing([&] { got = readAll(client); });
    close(client);
    EXPECT_TRUE(got == big.substr(1000) + small + std::string(cmdline, size_t(cmdlineSize))) << got.size();
    ASSERT_TRUE(runLoopUntil([&] { return recorder.has("did disconnect"); }));
    EXPECT_TRUE(recorder.has("file 5 " + std::to_string(big.size() - 1000)));
    EXPECT_TRUE(recorder.has("file 6 " + std::to_string(small.size())));
    EXPECT_TRUE(recorder.has("file 7 " + std::to_string(cmdlineSize)));
    EXPECT_FALSE(recorder.has("file 8 0"));
}

TEST(MyNetworkController, AddressesAndReachability)
{
    sockaddr_in address;
    EXPECT_TRUE(MyNetworkController::addressFromString(QStringLiteral("192.168.1.5"), &address));
    EXPECT_EQ(ntohl(address.sin_addr.s_addr), 0xC0A80105u);
    EXPECT_EQ(address.sin_family, AF_INET);
    EXPECT_FALSE(MyNetworkController::addressFromString(QStringLiteral("192.168.1.256"), &address));
    EXPECT_FALSE(MyNetworkController::addressFromString(QString(), &address));
    EXPECT_FALSE(MyNetworkController::addressFromString(QStringLiteral("host.example"), &address));
    EXPECT_EQ(MyNetworkController::getIPAddressForHost(QStringLiteral("127.0.0.1")), QStringLiteral("127.0.0.1"));
    EXPECT_TRUE(MyNetworkController::hostAvailable(QStringLiteral("127.0.0.1")));
    // The Wi-Fi address is "error" or a dotted quad of an interface that is not loopback.
    QString wifi = MyNetworkController::localWifiIPAddress();
    if (wifi != QStringLiteral("error")) {
        EXPECT_TRUE(MyNetworkController::addressFromString(wifi, &address)) << wifi.toStdString();
        EXPECT_NE(ntohl(address.sin_addr.s_addr) >> 24, 127u);
    }
}
