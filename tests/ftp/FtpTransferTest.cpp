// Uploads and downloads in every data-connection mode, over IPv4 and IPv6 loopback.
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <netinet/in.h>

#include <cstring>
#include <random>
#include <thread>

#include "FtpServerFixture.h"

namespace {

using Mode = FtpTestClient::Mode;

std::string randomBytes(size_t size, unsigned seed)
{
    std::mt19937_64 random(seed);
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; i += 8) {
        uint64_t word = random();
        memcpy(bytes.data() + i, &word, std::min<size_t>(8, size - i));
    }
    return bytes;
}

bool ipv6Loopback()
{
    int fd = socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in6 a{};
    a.sin6_family = AF_INET6;
    a.sin6_addr = in6addr_loopback;
    bool ok = fd >= 0 && bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0;
    if (fd >= 0)
        close(fd);
    return ok;
}

}  // namespace

TEST_F(FtpServerTest, UploadThenDownloadIsByteExactInEveryMode)
{
    struct Case {
        const char *name;
        Mode mode;
        const char *host;
        size_t size;
    };
    std::vector<Case> cases = {
        {"pasv-empty", Mode::Pasv, "127.0.0.1", 0},      {"epsv-empty", Mode::Epsv, "127.0.0.1", 0},
        {"port-empty", Mode::Port, "127.0.0.1", 0},      {"eprt-empty", Mode::Eprt, "127.0.0.1", 0},
        {"pasv-one", Mode::Pasv, "127.0.0.1", 1},        {"epsv-small", Mode::Epsv, "127.0.0.1", 4097},
        {"port-3MiB", Mode::Port, "127.0.0.1", 3 << 20}, {"eprt-1MiB+1", Mode::Eprt, "127.0.0.1", (1 << 20) + 1},
        {"epsv-3MiB", Mode::Epsv, "127.0.0.1", 3 << 20},
    };
    if (ipv6Loopback()) {
        cases.push_back({"epsv6", Mode::Epsv, "::1", 100000});
        cases.push_back({"eprt6", Mode::Eprt, "::1", 100000});
        cases.push_back({"eprt6-empty", Mode::Eprt, "::1", 0});
    }
    int expectedChanges = 0;
    for (const Case &k : cases) {
        SCOPED_TRACE(k.name);
        std::string bytes = randomBytes(k.size, unsigned(k.size));
        std::string path = root + "/" + k.name;
        whileServing([&] {
            FtpTestClient c;
            ASSERT_EQ(c.connect(k.host, port), "220 Sonavel Ftp Server ready.");
            std::string reply;
            EXPECT_EQ(c.upload(k.mode, k.name, bytes, &reply), "226 Transfer complete.");
            EXPECT_EQ(reply, std::string("150 Opening BINARY mode data connection for '") + k.name + "'.");
            // Every byte is in the file when 226 arrives.
            EXPECT_TRUE(readFile(path) == bytes) << "file on disk differs";
            std::string done;
            EXPECT_TRUE(c.download(k.mode, std::string("RETR ") + k.name, &reply, &done) == bytes);
            EXPECT_EQ(reply, std::string("150 Opening BINARY mode data connection for '") + k.name + "'.");
            EXPECT_EQ(done, "226 Transfer complete.");
            EXPECT_EQ(c.command("NOOP"), "200 NOOP command successful.");
        });
        EXPECT_EQ(counter.changes, ++expectedChanges);
        struct stat st;
        ASSERT_EQ(stat(path.c_str(), &st), 0);
        EXPECT_EQ(size_t(st.st_size), k.size);
    }
}

TEST_F(FtpServerTest, DataWaitsForThePassiveClientAndActiveModeUsesThePeer)
{
    writeFile(root + "/my song.flac", "spaces are kept");
    whileServing([&] {
        FtpTestClient c;
        connect(c);
        // RETR and LIST sent before the client connects to the passive port.
        std::string reply = c.prepareData(Mode::Pasv);
        EXPECT_EQ(reply.rfind("227 Entering Passive Mode (127,0,0,1,", 0), 0u) << reply;
        int high = -1, low = -1;
        sscanf(reply.c_str() + reply.rfind(",", reply.rfind(",") - 1), ",%d,%d)", &high, &low);
        EXPECT_GE(high * 256 + low, 1024);
        EXPECT_EQ(c.command("RETR my song.flac"), "150 Opening BINARY mode data connection for 'my song.flac'.");
        usleep(200000);
        int data = c.openData();
        EXPECT_EQ(readAll(data), "spaces are kept");
        close(data);
        EXPECT_EQ(c.readLine(), "226 Transfer complete.");

        reply = c.prepareData(Mode::Epsv);
        EXPECT_EQ(reply.rfind("229 Entering Extended Passive Mode (|||", 0), 0u) << reply;
        // LIST and NOOP in one chunk: LIST waits for the client, NOOP is answered meanwhile.
        c.sendRaw("LIST\r\nNOOP\r\n");
        EXPECT_EQ(c.readLine(), "150 Opening ASCII mode data connection for '/bin/ls'.");
        EXPECT_EQ(c.readLine(), "200 NOOP command successful.");
        usleep(100000);
        data = c.openData();
        EXPECT_NE(readAll(data).find(" my song.flac\n"), std::string::npos);
        close(data);
        EXPECT_EQ(c.readLine(), "226 Transfer complete.");

        // The address in PORT is ignored (10.9.8.7): the data goes to the control peer.
        EXPECT_EQ(c.prepareData(Mode::Port), "200 PORT command successful.");
        EXPECT_EQ(c.command("RETR my song.flac").substr(0, 4), "150 ");
        data = c.openData();
        EXPECT_EQ(readAll(data), "spaces are kept");
        close(data);
        EXPECT_EQ(c.readLine(), "226 Transfer complete.");
        EXPECT_EQ(c.prepareData(Mode::Eprt), "200 EPRT command successful.");
        EXPECT_EQ(c.command("LPRT 4,4,127,0,0,1,2,0,0"), "501 Syntax error in parameters or arguments.");
        // Every passive reply names a port that listens.
        for (int i = 0; i < 20; i++) {
            SCOPED_TRACE(i);
            EXPECT_EQ(c.prepareData(i % 2 ? Mode::Pasv : Mode::Epsv).substr(0, 4), i % 2 ? "227 " : "229 ");
            int fd = c.openData();
            EXPECT_GE(fd, 0);
            close(fd);
        }
        // A data command without any data connection is refused instead of waiting forever.
        FtpTestClient d;
        connect(d);
        EXPECT_EQ(d.command("LIST"), "425 Can't open data connection.");
        EXPECT_EQ(d.command("RETR my song.flac"), "425 Can't open data connection.");
    });
}

TEST_F(FtpServerTest, LongActiveModeConnectsToThePeer)
{
    writeFile(root + "/f", "lprt");
    whileServing([&] {
        FtpTestClient c;
        connect(c);
        // The listener that PORT set up is named again through LPRT.
        EXPECT_EQ(c.prepareData(Mode::Port), "200 PORT command successful.");
        int listener = c.activePort();
        ASSERT_GT(listener, 0);
        close(c.openData());  // the connection PORT made, replaced below
        std::string lprt = "LPRT 4,4,1,2,3,4,2," + std::to_string(listener / 256) + "," + std::to_string(listener % 256);
        EXPECT_EQ(c.command(lprt), "228 Entering Long Passive Mode \t(af, hal, h1, h2, h3,..., pal, p1, p2...)");
        EXPECT_EQ(c.command("RETR f").substr(0, 4), "150 ");
        int data = c.openData();
        EXPECT_EQ(readAll(data), "lprt");
        close(data);
        EXPECT_EQ(c.readLine(), "226 Transfer complete.");
    });
}

TEST_F(FtpServerTest, FileThatShrinksWhileSendingEndsTheTransfer)
{
    std::string path = root + "/shrinks";
    std::string bytes = randomBytes(24 << 20, 7);
    writeFile(path, bytes);
    whileServing([&] {
        FtpTestClient c;
        connect(c);
        c.prepareData(Mode::Epsv);
        EXPECT_EQ(c.command("RETR shrinks").substr(0, 4), "150 ");
        int data = c.openData(256 << 10);
        std::string first(65536, '\0');
        ASSERT_GT(recv(data, first.data(), first.size(), MSG_WAITALL), 0);
        // Shrink it, then replace it: neither may crash the server.
        truncate(path.c_str(), 100000);
        writeFile(path, "new");
        std::string got = first + readAll(data);
        close(data);
        EXPECT_LT(got.size(), bytes.size());
        // The file's own pages go out, so bytes past its new end may show the change; those
        // before it are the file's.
        size_t kept = std::min<size_t>(got.size(), 100000);
        EXPECT_TRUE(got.compare(0, kept, bytes, 0, kept) == 0) << "what was sent starts as the file did";
        EXPECT_EQ(c.readLine(), "451 Requested action aborted: local error in processing.");
        EXPECT_EQ(c.command("NOOP"), "200 NOOP command successful.");
    });
}

TEST_F(FtpServerTest, RestartAndAppendContinueTransfers)
{
    std::string bytes = randomBytes(3 << 20, 11);
    writeFile(root + "/whole", bytes);
    whileServing([&] {
        FtpTestClient c;
        connect(c);
        std::string reply, done;
        // Downloads from a restart point; the point holds until the transfer that uses it.
        for (size_t offset : {size_t(1), size_t(4096), size_t(2 << 20) + 7, bytes.size()}) {
            SCOPED_TRACE(offset);
            EXPECT_EQ(c.command("REST " + std::to_string(offset)).substr(0, 4), "350 ");
            EXPECT_EQ(c.download(Mode::Epsv, "RETR whole", &reply, &done), bytes.substr(offset));
            EXPECT_EQ(done, "226 Transfer complete.");
        }
        EXPECT_TRUE(c.download(Mode::Pasv, "RETR whole") == bytes) << "a used restart point is gone";
        c.command("REST " + std::to_string(bytes.size() + 1));
        EXPECT_EQ(c.download(Mode::Epsv, "RETR whole", &reply), "");
        EXPECT_EQ(reply, "554 Requested action not taken: invalid REST parameter.");

        // An upload cut short continues from what arrived; what lay beyond the point goes.
        EXPECT_EQ(c.upload(Mode::Epsv, "up", bytes.substr(0, 1000000) + "stale tail"), "226 Transfer complete.");
        c.command("REST 1000000");
        EXPECT_EQ(c.upload(Mode::Port, "up", bytes.substr(1000000)), "226 Transfer complete.");
        EXPECT_TRUE(readFile(root + "/up") == bytes);
        c.command("REST 5");
        EXPECT_EQ(c.upload(Mode::Epsv, "new", "x", &reply), "");
        EXPECT_EQ(reply, "554 Requested action not taken: invalid REST parameter.");
        EXPECT_EQ(c.command("SIZE new"), "550 new No such file or directory.") << "a refused restart creates nothing";
        EXPECT_EQ(c.upload(Mode::Epsv, "new", "fresh"), "226 Transfer complete.") << "the refused point is gone";
        EXPECT_EQ(readFile(root + "/new"), "fresh");

        // APPE adds to the end, and creates a missing file.
        EXPECT_EQ(c.upload(Mode::Epsv, "appended", bytes.substr(0, 5000), &reply, "APPE"), "226 Transfer complete.");
        EXPECT_EQ(reply, "150 Opening BINARY mode data connection for 'appended'.");
        EXPECT_EQ(c.upload(Mode::Eprt, "appended", bytes.substr(5000), &reply, "APPE"), "226 Transfer complete.");
        EXPECT_EQ(c.command("SIZE appended"), "213 " + std::to_string(bytes.size()));
    });
    EXPECT_TRUE(readFile(root + "/appended") == bytes);
}

TEST_F(FtpServerTest, ManyClientsUploadAndDownloadAtOnce)
{
    constexpr int kClients = 32;
    constexpr size_t kSize = 8 << 20;
    std::atomic<int> exact{0};
    whileServing([&] {
        std::vector<std::thread> clients;
        for (int i = 0; i < kClients; i++) {
            clients.emplace_back([&, i] {
                std::string bytes = randomBytes(kSize, 100 + i);
                std::string name = "load" + std::to_string(i);
                FtpTestClient c;
                c.connect("127.0.0.1", port);
                Mode mode = i % 2 ? Mode::Epsv : Mode::Port;
                if (c.upload(mode, name, bytes) == "226 Transfer complete." &&
                    c.download(mode, "RETR " + name) == bytes)
                    exact++;
            });
        }
        for (std::thread &t : clients)
            t.join();
    });
    EXPECT_EQ(exact, kClients);
    EXPECT_EQ(counter.changes, kClients);
}

TEST_F(FtpServerTest, VanishedClientsLeaveNothingBehind)
{
    writeFile(root + "/big", randomBytes(4 << 20, 3));
    // One warm-up session, so that lazily opened descriptors are counted before.
    whileServing([&] {
        FtpTestClient c;
        connect(c);
        c.download(Mode::Epsv, "RETR big");
    });
    runLoopUntil([&] { return server->connections().empty(); });
    int before = openDescriptorCount();

    constexpr int kClients = 200;
    whileServing([&] {
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; t++) {
            threads.emplace_back([&, t] {
                for (int i = t; i < kClients; i += 4) {
                    FtpTestClient c;
                    c.connect("127.0.0.1", port);
                    switch (i % 5) {
                    case 0: break;  // gone right after the greeting
                    case 1: c.sendRaw("PWD\r\nCWD /"); break;  // mid-line
                    case 2: {  // passive port open, never used
                        c.prepareData(i % 2 ? Mode::Epsv : Mode::Pasv);
                        break;
                    }
                    case 3: {  // mid-download
                        c.prepareData(Mode::Epsv);
                        c.command("RETR big");
                        int data = c.openData();
                        char buffer[1000];
                        recv(data, buffer, sizeof buffer, 0);
                        close(data);
                        break;
                    }
                    case 4: {  // mid-upload: control and data dropped together
                        c.prepareData(i % 3 ? Mode::Epsv : Mode::Eprt);
                        c.command("STOR part" + std::to_string(i));
                        int data = c.openData();
                        writeAll(data, std::string(300000, 'u'));
                        c.close();
                        close(data);
                        break;
                    }
                    }
                }
            });
        }
        for (std::thread &t : threads)
            t.join();
    });
    EXPECT_TRUE(runLoopUntil([&] { return server->connections().empty(); }, 10000))
        << server->connections().size() << " connections left";
    runLoopUntil([] { return false; }, 50);
    EXPECT_EQ(openDescriptorCount(), before);
    // Still serving.
    whileServing([&] {
        FtpTestClient c;
        EXPECT_EQ(connect(c), "220 Sonavel Ftp Server ready.");
        EXPECT_EQ(c.command("NOOP"), "200 NOOP command successful.");
    });
}

TEST_F(FtpServerTest, StoppingTheServerClosesTransfersInProgress)
{
    // Large enough that the kernel's socket buffers cannot take it all; sparse, so quick.
    ASSERT_EQ(truncate((root + "/big").c_str(), 0), -1);
    writeFile(root + "/big", "");
    ASSERT_EQ(truncate((root + "/big").c_str(), 256 << 20), 0);
    int listening = ipv6Loopback() ? 2 : 1;
    int before = openDescriptorCount();
    std::atomic<bool> reading{false};
    std::string got;
    std::thread client([&] {
        FtpTestClient c;
        connect(c);
        c.prepareData(Mode::Epsv);
        c.command("RETR big");
        int data = c.openData();
        char buffer[1000];
        recv(data, buffer, sizeof buffer, 0);
        reading = true;
        got = readAll(data);  // ends when the server closes the socket
        close(data);
        EXPECT_EQ(c.readLine(), "");
    });
    runLoopUntil([&] { return reading.load(); }, 10000);
    server->stopFtpServer();
    EXPECT_TRUE(server->connections().empty());
    runLoopUntil([] { return false; }, 50);
    client.join();
    EXPECT_LT(got.size(), size_t(256 << 20));
    EXPECT_EQ(openDescriptorCount(), before - listening);
}
