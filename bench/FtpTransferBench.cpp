// Upload and download through the FTP server over loopback with the real curl program (its
// default options), against a plain TCP copy of the same bytes between the same files and a
// socket, measured in the same run; then 32 curl clients at once, each uploading and downloading
// 32 MiB, against 32 plain copies at once; and the server's CPU seconds per GiB downloaded.
// SONAVEL_BENCH_FTP_MIB sets the single-client size (1024 MiB by default). Files go to $TMPDIR,
// else /dev/shm: on a disk, writeback of the earlier gigabytes stalls later runs and swings the
// ratio by 3x.
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

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "BenchSupport.h"
#include "ftp/FtpServer.h"

namespace {

using Clock = std::chrono::steady_clock;

size_t gSize;
std::string gDir, gRoot, gSource;
// The concurrent run: this many clients, each moving kClientSize bytes each way.
constexpr int kClients = 32;
constexpr size_t kClientSize = size_t(32) << 20;
std::string gClientSource;  // in the root, so that every client downloads it
// The server's CPU seconds per GiB sent, fastest repetition.
double gCpuPerGiB = -1;

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

// Runs curl once per argument list, all at once, while the main run loop keeps serving; true
// when every one exits with 0.
bool runCurls(const std::vector<QStringList> &argumentLists, std::string *error)
{
    std::vector<std::unique_ptr<QProcess>> curls;
    QEventLoop loop;
    size_t running = 0;
    for (const QStringList &arguments : argumentLists) {
        auto curl = std::make_unique<QProcess>();
        curl->setProcessChannelMode(QProcess::ForwardedOutputChannel);
        QObject::connect(curl.get(), &QProcess::finished, &loop, [&] {
            if (--running == 0)
                loop.quit();
        });
        curl->start(QStringLiteral("curl"), arguments);
        if (!curl->waitForStarted(10000)) {
            *error = "curl did not start";
            return false;
        }
        running++;
        curls.push_back(std::move(curl));
    }
    if (running > 0)
        loop.exec();
    for (auto &curl : curls) {
        if (curl->exitStatus() != QProcess::NormalExit || curl->exitCode() != 0) {
            *error = "curl failed: " + curl->readAllStandardError().toStdString() + " (exit " +
                     std::to_string(curl->exitCode()) + ")";
            return false;
        }
    }
    return true;
}

bool runCurl(const QStringList &arguments, std::string *error) { return runCurls({arguments}, error); }

struct Server {
    Server() : server(0, QString::fromStdString(gRoot), nullptr)
    {
        server.setName(QStringLiteral("Sonavel"));
        server.setChangeRoot(true);
    }
    QString url(const QString &name) const
    {
        return QStringLiteral("ftp://127.0.0.1:%1/%2").arg(server.listenSocket()->localPort()).arg(name);
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
                                s.url(QStringLiteral("upload.bin"))};
    measure(state, gRoot + "/upload.bin", [&](std::string *error) { return runCurl(arguments, error); });
}

void BM_FtpDownload(benchmark::State &state)
{
    Server s;
    const std::string target = gDir + "/ftp-download.bin";
    const QStringList arguments{QStringLiteral("-sS"), QStringLiteral("-o"), QString::fromStdString(target),
                                s.url(QStringLiteral("source.bin"))};
    measure(state, target, [&](std::string *error) {
        // curl runs in processes of its own: this process's CPU time is the server's.
        double cpu = processCpuSeconds();
        bool ok = runCurl(arguments, error);
        double perGiB = (processCpuSeconds() - cpu) / (double(gSize) / double(1 << 30));
        if (ok && (gCpuPerGiB < 0 || perGiB < gCpuPerGiB))
            gCpuPerGiB = perGiB;
        return ok;
    });
}

// Every client's upload and its download arrived whole.
bool concurrentResults(const std::string &uploaded, const std::string &downloaded, std::string *error)
{
    for (int i = 0; i < kClients; i++) {
        for (const std::string &path : {uploaded + std::to_string(i), downloaded + std::to_string(i)}) {
            if (fileSize(path) != off_t(kClientSize) || !sameBytes(path, gClientSource)) {
                *error = path + " is not the source";
                return false;
            }
        }
    }
    return true;
}

void removeResults(const std::string &uploaded, const std::string &downloaded)
{
    for (int i = 0; i < kClients; i++) {
        unlink((uploaded + std::to_string(i)).c_str());
        unlink((downloaded + std::to_string(i)).c_str());
    }
}

// Many clients at once, each one curl that uploads and then downloads over one control connection.
template <typename Transfer>
void measureConcurrent(benchmark::State &state, const std::string &uploaded, const std::string &downloaded,
                       Transfer transfer)
{
    for (auto _ : state) {
        removeResults(uploaded, downloaded);
        std::string error;
        auto start = Clock::now();
        bool ok = transfer(&error);
        state.SetIterationTime(secondsSince(start));
        if (!ok || !concurrentResults(uploaded, downloaded, &error)) {
            state.SkipWithError(error.c_str());
            break;
        }
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kClientSize) * 2 * kClients);
    removeResults(uploaded, downloaded);
}

void BM_FtpConcurrent(benchmark::State &state)
{
    Server s;
    std::vector<QStringList> clients;
    for (int i = 0; i < kClients; i++) {
        clients.push_back({QStringLiteral("-sS"), QStringLiteral("-T"), QString::fromStdString(gClientSource),
                           s.url(QStringLiteral("up%1").arg(i)), QStringLiteral("--next"), QStringLiteral("-sS"),
                           QStringLiteral("-o"), QString::fromStdString(gDir + "/down" + std::to_string(i)),
                           s.url(QStringLiteral("client.bin"))});
    }
    measureConcurrent(state, gRoot + "/up", gDir + "/down", [&](std::string *error) { return runCurls(clients, error); });
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

// Sends `source` from a second thread and writes what arrives to `target`.
bool plainCopy(int listener, int port, const std::string &source, const std::string &target, size_t size)
{
    std::thread sender([&] {
        int fd = connectTo(port);
        int in = open(source.c_str(), O_RDONLY | O_CLOEXEC);
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
    return n == size;
}

// Both directions are the same plain copy; each is measured where its FTP counterpart is.
void plain(benchmark::State &state, const std::string &target)
{
    int port;
    int listener = listenLoopback(&port);
    measure(state, target, [&](std::string *error) {
        *error = "plain copy came up short";
        return plainCopy(listener, port, gSource, target, gSize);
    });
    close(listener);
}

void BM_PlainUpload(benchmark::State &state) { plain(state, gRoot + "/plain-upload.bin"); }
void BM_PlainDownload(benchmark::State &state) { plain(state, gDir + "/plain-download.bin"); }

// The same bytes as the concurrent FTP run: per client, one copy into the root and one out of it.
void BM_PlainConcurrent(benchmark::State &state)
{
    const std::string uploaded = gRoot + "/plain-up", downloaded = gDir + "/plain-down";
    measureConcurrent(state, uploaded, downloaded, [&](std::string *error) {
        std::vector<std::thread> clients;
        std::atomic<int> whole{0};
        for (int i = 0; i < kClients; i++) {
            clients.emplace_back([&, i] {
                int port;
                int listener = listenLoopback(&port);
                if (plainCopy(listener, port, gClientSource, uploaded + std::to_string(i), kClientSize) &&
                    plainCopy(listener, port, gClientSource, downloaded + std::to_string(i), kClientSize))
                    whole++;
                close(listener);
            });
        }
        for (std::thread &t : clients)
            t.join();
        *error = "a plain copy came up short";
        return whole == kClients;
    });
}

// Alternating repetitions, so a burst of load on the machine falls on both sides.
const int kRepetitions = 3;

bool writeSource(const std::string &path, size_t size, uint32_t x)
{
    int out = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (out < 0)
        return false;
    std::string block(1 << 20, '\0');
    bool ok = true;
    for (size_t done = 0; ok && done < size; done += block.size()) {
        for (char &c : block)
            c = char((x = x * 1664525u + 1013904223u) >> 24);
        size_t n = std::min(block.size(), size - done);
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
    gClientSource = gRoot + "/client.bin";
    if (mkdir(gRoot.c_str(), 0755) != 0 || !writeSource(gSource, gSize, 12345) ||
        !writeSource(gClientSource, kClientSize, 54321)) {
        fprintf(stderr, "cannot write %s\n", gSource.c_str());
        removeBenchDir(gDir);
        return 1;
    }

    for (int i = 0; i < kRepetitions; i++) {
        using Fn = void (*)(benchmark::State &);
        for (auto [name, fn] : {std::pair<const char *, Fn>{"plain upload", BM_PlainUpload},
                                {"ftp upload", BM_FtpUpload},
                                {"plain download", BM_PlainDownload},
                                {"ftp download", BM_FtpDownload},
                                {"plain concurrent", BM_PlainConcurrent},
                                {"ftp concurrent", BM_FtpConcurrent}})
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
    auto ftp = reporter.bestReal.find("ftp concurrent"), base = reporter.bestReal.find("plain concurrent");
    if (ftp == reporter.bestReal.end() || base == reporter.bestReal.end() || ftp->second <= 0 || base->second <= 0) {
        fprintf(stderr, "concurrent: a benchmark did not run\n");
        status = 1;
    } else {
        double bytes = double(kClientSize) * 2 * kClients / 1e6;
        printf("%d curl clients at once, each %zu MiB up and down: server %.0f MB/s, %d plain TCP copies %.0f MB/s, "
               "ratio %.2f (fastest of %d)\n",
               kClients, kClientSize >> 20, bytes / ftp->second, kClients, bytes / base->second,
               base->second / ftp->second, kRepetitions);
    }
    if (gCpuPerGiB < 0) {
        fprintf(stderr, "download: no CPU time measured\n");
        status = 1;
    } else {
        printf("server CPU per GiB downloaded: %.3f s (goal 0.25 or less; fastest of %d)\n", gCpuPerGiB, kRepetitions);
    }
    return status;
}
