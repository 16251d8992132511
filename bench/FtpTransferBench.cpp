// Upload and download through the FTP server over loopback with the real curl program, against
// a plain TCP copy of the same bytes between the same files and a socket, measured in the same run.
// SONAVEL_BENCH_FTP_MIB sets the size (1024 MiB by default). Files go to $TMPDIR, else /dev/shm:
// on a disk, writeback of the earlier gigabytes stalls later runs and swings the ratio by 3x.
#include <QCoreApplication>
#include <QEventLoop>
#include <QProcess>
#include <QStandardPaths>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "BenchSupport.h"
#include "ftp/FtpServer.h"

namespace {

using Clock = std::chrono::steady_clock;

size_t gSize;
std::string gDir, gRoot, gSource;

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

off_t fileSize(const std::string &path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? st.st_size : -1;
}

// Whole-file comparison, so a fast but wrong transfer cannot pass as a result.
bool sameBytes(const std::string &a, const std::string &b)
{
    FILE *fa = fopen(a.c_str(), "rb"), *fb = fopen(b.c_str(), "rb");
    bool same = fa && fb;
    std::string ba(1 << 20, '\0'), bb(1 << 20, '\0');
    while (same) {
        size_t na = fread(ba.data(), 1, ba.size(), fa), nb = fread(bb.data(), 1, bb.size(), fb);
        same = na == nb && memcmp(ba.data(), bb.data(), na) == 0;
        if (na == 0)
            break;
    }
    if (fa)
        fclose(fa);
    if (fb)
        fclose(fb);
    return same;
}

// Runs curl while the main run loop keeps serving; true when it exits with 0.
bool runCurl(const QStringList &arguments, std::string *error)
{
    QProcess curl;
    curl.setProcessChannelMode(QProcess::ForwardedOutputChannel);
    QEventLoop loop;
    QObject::connect(&curl, &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(&curl, &QProcess::errorOccurred, &loop, [&](QProcess::ProcessError e) {
        if (e == QProcess::FailedToStart)
            loop.quit();
    });
    curl.start(QStringLiteral("curl"), arguments);
    if (curl.state() != QProcess::NotRunning || curl.error() != QProcess::FailedToStart)
        loop.exec();
    if (curl.state() != QProcess::NotRunning)
        curl.waitForFinished(-1);
    if (curl.exitStatus() == QProcess::NormalExit && curl.exitCode() == 0 && curl.error() != QProcess::FailedToStart)
        return true;
    *error = "curl failed: " + curl.readAllStandardError().toStdString() + " (exit " +
             std::to_string(curl.exitCode()) + ")";
    return false;
}

struct Server {
    Server() : server(0, QString::fromStdString(gRoot), nullptr)
    {
        server.setName(QStringLiteral("Sonavel"));
        server.setChangeRoot(true);
    }
    QString url(const char *name) const
    {
        return QStringLiteral("ftp://127.0.0.1:%1/%2").arg(server.listenSocket()->localPort()).arg(QLatin1String(name));
    }
    FtpServer server;
};

// One timed transfer per iteration; the check afterwards is not timed.
template <typename Transfer>
void measure(benchmark::State &state, const std::string &produced, Transfer transfer)
{
    for (auto _ : state) {
        unlink(produced.c_str());
        std::string error;
        auto start = Clock::now();
        bool ok = transfer(&error);
        state.SetIterationTime(secondsSince(start));
        if (ok && fileSize(produced) != off_t(gSize))
            ok = false, error = produced + " has " + std::to_string(fileSize(produced)) + " bytes";
        if (ok && !sameBytes(produced, gSource))
            ok = false, error = produced + " differs from the source";
        if (!ok) {
            state.SkipWithError(error.c_str());
            break;
        }
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(gSize));
    unlink(produced.c_str());
}

void BM_FtpUpload(benchmark::State &state)
{
    Server s;
    const QStringList arguments{QStringLiteral("-sS"), QStringLiteral("-T"), QString::fromStdString(gSource),
                                s.url("upload.bin")};
    measure(state, gRoot + "/upload.bin", [&](std::string *error) { return runCurl(arguments, error); });
}

void BM_FtpDownload(benchmark::State &state)
{
    Server s;
    const std::string target = gDir + "/ftp-download.bin";
    // The server refuses SIZE from 10,240 bytes on, so curl must not insist on a length.
    const QStringList arguments{QStringLiteral("-sS"), QStringLiteral("-o"), QString::fromStdString(target),
                                QStringLiteral("--ignore-content-length"), s.url("source.bin")};
    measure(state, target, [&](std::string *error) { return runCurl(arguments, error); });
}

// The baseline: the same files and the same socket work without the server in between.

int listenLoopback(int *port)
{
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t n = sizeof a;
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0 || listen(fd, 1) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr *>(&a), &n) != 0)
        abort();
    *port = ntohs(a.sin_port);
    return fd;
}

int connectTo(int port)
{
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(uint16_t(port));
    if (fd < 0 || connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0)
        abort();
    return fd;
}

// Copies `in` to `out` until the end of `in`; returns the count.
size_t copyAll(int in, int out)
{
    std::string buffer(1 << 20, '\0');
    size_t total = 0;
    for (;;) {
        ssize_t n = read(in, buffer.data(), buffer.size());
        if (n <= 0)
            return total;
        for (ssize_t done = 0; done < n;) {
            ssize_t w = write(out, buffer.data() + done, size_t(n - done));
            if (w <= 0)
                abort();
            done += w;
        }
        total += size_t(n);
    }
}

// Sends the source file from a second thread and writes what arrives to `target`.
bool plainCopy(int listener, int port, const std::string &target)
{
    std::thread sender([&] {
        int fd = connectTo(port);
        int in = open(gSource.c_str(), O_RDONLY | O_CLOEXEC);
        if (in < 0)
            abort();
        copyAll(in, fd);
        close(in);
        close(fd);
    });
    int fd = accept(listener, nullptr, nullptr);
    int out = open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    size_t n = fd >= 0 && out >= 0 ? copyAll(fd, out) : 0;
    if (out >= 0)
        close(out);
    if (fd >= 0)
        close(fd);
    sender.join();
    return n == gSize;
}

// Both directions are the same plain copy; each is measured where its FTP counterpart is.
void plain(benchmark::State &state, const std::string &target)
{
    int port;
    int listener = listenLoopback(&port);
    measure(state, target, [&](std::string *error) {
        *error = "plain copy came up short";
        return plainCopy(listener, port, target);
    });
    close(listener);
}

void BM_PlainUpload(benchmark::State &state) { plain(state, gRoot + "/plain-upload.bin"); }
void BM_PlainDownload(benchmark::State &state) { plain(state, gDir + "/plain-download.bin"); }

// Alternating repetitions, so a burst of load on the machine falls on both sides.
const int kRepetitions = 3;

bool writeSource()
{
    int out = open(gSource.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (out < 0)
        return false;
    std::string block(1 << 20, '\0');
    uint32_t x = 12345;
    bool ok = true;
    for (size_t done = 0; ok && done < gSize; done += block.size()) {
        for (char &c : block)
            c = char((x = x * 1664525u + 1013904223u) >> 24);
        size_t n = std::min(block.size(), gSize - done);
        ok = write(out, block.data(), n) == ssize_t(n);
    }
    return close(out) == 0 && ok;
}

}  // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (QStandardPaths::findExecutable(QStringLiteral("curl")).isEmpty()) {
        fprintf(stderr, "curl is not installed\n");
        return 1;
    }
    const char *mib = getenv("SONAVEL_BENCH_FTP_MIB");
    gSize = size_t(mib && atol(mib) > 0 ? atol(mib) : 1024) << 20;
    const char *tmp = getenv("TMPDIR");
    if ((!tmp || !*tmp) && access("/dev/shm", W_OK) == 0)
        setenv("TMPDIR", "/dev/shm", 1);
    gDir = makeBenchDir("ftpbench");
    if (gDir.empty())
        return 1;
    gRoot = gDir + "/root";
    gSource = gRoot + "/source.bin";
    if (mkdir(gRoot.c_str(), 0755) != 0 || !writeSource()) {
        fprintf(stderr, "cannot write %s\n", gSource.c_str());
        removeBenchDir(gDir);
        return 1;
    }

    for (int i = 0; i < kRepetitions; i++) {
        using Fn = void (*)(benchmark::State &);
        for (auto [name, fn] : {std::pair<const char *, Fn>{"plain upload", BM_PlainUpload},
                                {"ftp upload", BM_FtpUpload},
                                {"plain download", BM_PlainDownload},
                                {"ftp download", BM_FtpDownload}})
            benchmark::RegisterBenchmark(name, fn)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
    }
    BestTimeReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    removeBenchDir(gDir);

    // Wall time: curl's work is in another process, so this process's CPU time says nothing.
    int status = 0;
    for (const char *way : {"upload", "download"}) {
        auto ftp = reporter.bestReal.find(std::string("ftp ") + way);
        auto base = reporter.bestReal.find(std::string("plain ") + way);
        if (ftp == reporter.bestReal.end() || base == reporter.bestReal.end() || ftp->second <= 0 ||
            base->second <= 0) {
            fprintf(stderr, "%s: a benchmark did not run\n", way);
            status = 1;
            continue;
        }
        double server = double(gSize) / 1e6 / ftp->second, copy = double(gSize) / 1e6 / base->second;
        printf("%s of %zu MiB with curl: server %.0f MB/s, plain TCP copy %.0f MB/s, ratio %.2f (fastest of %d)\n",
               way, gSize >> 20, server, copy, server / copy, kRepetitions);
    }
    return status;
}
