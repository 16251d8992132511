// Upload and download through the FTP server over loopback, against a plain TCP copy of the
// same bytes between the same file and a socket, measured in the same run.
// SONAVEL_BENCH_FTP_MIB sets the size (64 MiB by default).
#include <QCoreApplication>
#include <QDir>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <thread>

#include "ftp/FtpServer.h"

namespace {

size_t gSize;
std::string gDir, gSource;
std::map<std::string, double> gRates;  // MB/s of each benchmark's last run

int connectTo(int port)
{
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(uint16_t(port));
    if (connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0)
        abort();
    return fd;
}

std::string readLine(int fd)
{
    std::string line;
    char c;
    while (read(fd, &c, 1) == 1 && c != '\n')
        line += c;
    return line;
}

std::string command(int fd, const std::string &line)
{
    std::string full = line + "\r\n";
    if (write(fd, full.data(), full.size()) != ssize_t(full.size()))
        abort();
    return readLine(fd);
}

// Copies `fd` to `out` (or discards) until the end; returns the count.
size_t drain(int fd, int out)
{
    static thread_local std::string buffer(1 << 20, '\0');
    size_t total = 0;
    for (;;) {
        ssize_t n = read(fd, buffer.data(), buffer.size());
        if (n <= 0)
            return total;
        if (out >= 0 && write(out, buffer.data(), size_t(n)) != n)
            abort();
        total += size_t(n);
    }
}

void sendFile(int fd, const std::string &path)
{
    static thread_local std::string buffer(1 << 20, '\0');
    int in = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    for (;;) {
        ssize_t n = read(in, buffer.data(), buffer.size());
        if (n <= 0)
            break;
        for (ssize_t done = 0; done < n;) {
            ssize_t w = write(fd, buffer.data() + done, size_t(n - done));
            if (w <= 0)
                abort();
            done += w;
        }
    }
    close(in);
}

int passivePort(int control)
{
    std::string reply = command(control, "EPSV");
    int port = 0;
    if (sscanf(reply.c_str() + reply.find('('), "(|||%d|)", &port) != 1)
        abort();
    return port;
}

// Runs `client` on its own thread while the main run loop serves.
void serveWhile(const std::function<void()> &client)
{
    std::atomic<bool> done{false};
    std::thread t([&] {
        client();
        done = true;
    });
    while (!done)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    t.join();
}

struct Server {
    Server() : server(0, QString::fromStdString(gDir + "/root"), nullptr)
    {
        server.setName(QStringLiteral("Sonavel"));
        server.setChangeRoot(true);
    }
    FtpServer server;
};

void record(benchmark::State &state, const char *name, double seconds)
{
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(gSize));
    gRates[name] = double(state.iterations()) * double(gSize) / 1e6 / seconds;
}

void BM_FtpUpload(benchmark::State &state)
{
    Server s;
    int port = s.server.listenSocket()->localPort();
    auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        serveWhile([&] {
            int control = connectTo(port);
            readLine(control);
            int data = connectTo(passivePort(control));
            if (command(control, "STOR upload.bin").rfind("150", 0) != 0)
                abort();
            sendFile(data, gSource);
            close(data);
            if (readLine(control).rfind("226", 0) != 0)
                abort();
            close(control);
        });
    }
    record(state, "ftp upload", std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
}

void BM_FtpDownload(benchmark::State &state)
{
    Server s;
    int port = s.server.listenSocket()->localPort();
    auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        serveWhile([&] {
            int control = connectTo(port);
            readLine(control);
            int data = connectTo(passivePort(control));
            if (command(control, "RETR source.bin").rfind("150", 0) != 0)
                abort();
            if (drain(data, -1) != gSize)
                abort();
            close(data);
            readLine(control);
            close(control);
        });
    }
    record(state, "ftp download", std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
}

// The baseline: the same file and the same socket work without the server in between.
int listenLoopback(int *port)
{
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t n = sizeof a;
    bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a);
    listen(fd, 1);
    getsockname(fd, reinterpret_cast<sockaddr *>(&a), &n);
    *port = ntohs(a.sin_port);
    return fd;
}

void BM_PlainUpload(benchmark::State &state)
{
    int port;
    int listener = listenLoopback(&port);
    std::string target = gDir + "/plain-upload.bin";
    auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        std::thread sender([&] {
            int fd = connectTo(port);
            sendFile(fd, gSource);
            close(fd);
        });
        int fd = accept(listener, nullptr, nullptr);
        int out = open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (drain(fd, out) != gSize)
            abort();
        close(out);
        close(fd);
        sender.join();
    }
    record(state, "plain upload", std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    close(listener);
}

void BM_PlainDownload(benchmark::State &state)
{
    int port;
    int listener = listenLoopback(&port);
    auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        std::thread receiver([&] {
            int fd = connectTo(port);
            if (drain(fd, -1) != gSize)
                abort();
            close(fd);
        });
        int fd = accept(listener, nullptr, nullptr);
        sendFile(fd, gSource);
        close(fd);
        receiver.join();
    }
    record(state, "plain download", std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    close(listener);
}

BENCHMARK(BM_PlainUpload)->UseRealTime()->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_FtpUpload)->UseRealTime()->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_PlainDownload)->UseRealTime()->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_FtpDownload)->UseRealTime()->Unit(benchmark::kMillisecond)->MinTime(1.0);

}  // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const char *mib = getenv("SONAVEL_BENCH_FTP_MIB");
    gSize = size_t(mib ? atol(mib) : 64) << 20;
    char pattern[] = "/tmp/sonavel-ftpbench-XXXXXX";
    if (!mkdtemp(pattern))
        return 1;
    gDir = pattern;
    mkdir((gDir + "/root").c_str(), 0755);
    gSource = gDir + "/root/source.bin";
    {
        int out = open(gSource.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        std::string block(1 << 20, '\0');
        uint32_t x = 12345;
        for (char &c : block)
            c = char((x = x * 1664525u + 1013904223u) >> 24);
        for (size_t done = 0; done < gSize; done += block.size())
            if (write(out, block.data(), std::min(block.size(), gSize - done)) < 0)
                return 1;
        close(out);
    }

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    for (const char *way : {"upload", "download"}) {
        double ftp = gRates[std::string("ftp ") + way], plain = gRates[std::string("plain ") + way];
        if (ftp > 0 && plain > 0)
            printf("%s of %zu MiB: server %.0f MB/s, plain TCP copy %.0f MB/s, ratio %.2f\n", way, gSize >> 20, ftp,
                   plain, ftp / plain);
    }
    QDir(QString::fromStdString(gDir)).removeRecursively();
    return 0;
}
