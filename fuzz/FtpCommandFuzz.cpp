// Arbitrary bytes as a client's control-connection input: decoding, line splitting, the command
// table, every handler and the path gate, over a real socket pair on the run loop. A folder next
// to the root must never change, and every connection must go away once its client has.
#include <QCoreApplication>
#include <QDir>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "ftp/FtpServer.h"

namespace {

QCoreApplication *gApp;
FtpServer *gServer;
std::string gBase, gRoot, gOutside;
struct stat gOutsideBefore, gSecretBefore;
long gRuns;

void put(const std::string &path, const char *bytes)
{
    FILE *f = fopen(path.c_str(), "wb");
    if (f) {
        fputs(bytes, f);
        fclose(f);
    }
}

// A small library to work on, with links that lead out of it.
void populateRoot()
{
    QDir(QString::fromStdString(gRoot)).removeRecursively();
    mkdir(gRoot.c_str(), 0755);
    mkdir((gRoot + "/Music").c_str(), 0755);
    put(gRoot + "/Music/song.flac", "fLaC not really");
    put(gRoot + "/a.txt", "hello");
    symlink("../outside", (gRoot + "/out").c_str());
    symlink("../outside/secret", (gRoot + "/outfile").c_str());
    symlink("Music", (gRoot + "/in").c_str());
}

bool same(const struct stat &a, const struct stat &b)
{
    return a.st_ino == b.st_ino && a.st_size == b.st_size && a.st_mtim.tv_sec == b.st_mtim.tv_sec &&
           a.st_mtim.tv_nsec == b.st_mtim.tv_nsec && a.st_nlink == b.st_nlink;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    gApp = new QCoreApplication(*argc, *argv);
    char pattern[] = "/tmp/sonavel-ftpfuzz-XXXXXX";
    if (!mkdtemp(pattern))
        abort();
    gBase = pattern;
    gRoot = gBase + "/root";
    gOutside = gBase + "/outside";
    mkdir(gOutside.c_str(), 0755);
    put(gOutside + "/secret", "secret");
    stat(gOutside.c_str(), &gOutsideBefore);
    stat((gOutside + "/secret").c_str(), &gSecretBefore);
    populateRoot();
    gServer = new FtpServer(0, QString::fromStdString(gRoot), nullptr);
    gServer->setName(QStringLiteral("Sonavel"));
    gServer->setChangeRoot(true);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > 65536)
        return 0;
    if (++gRuns % 500 == 0)
        populateRoot();
    int pair[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0)
        abort();
    gServer->acceptConnectedSocket(pair[0]);
    fcntl(pair[1], F_SETFL, O_NONBLOCK);

    size_t sent = 0;
    bool shut = false;
    char sink[65536];
    // Feeds the input, drains the replies, then waits for the server to drop the connection.
    for (int pass = 0; pass < 100000; pass++) {
        if (sent < size) {
            ssize_t n = send(pair[1], data + sent, size - sent, MSG_NOSIGNAL);
            if (n > 0)
                sent += size_t(n);
            else if (n < 0 && errno != EAGAIN)
                sent = size;
        }
        if (sent == size && !shut) {
            shutdown(pair[1], SHUT_WR);
            shut = true;
        }
        while (recv(pair[1], sink, sizeof sink, 0) > 0) {
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        if (shut && gServer->connections().empty())
            break;
    }
    if (!gServer->connections().empty()) {
        fprintf(stderr, "a connection outlived its client\n");
        abort();
    }
    close(pair[1]);
    QCoreApplication::processEvents(QEventLoop::AllEvents);

    struct stat outside, secret;
    if (stat(gOutside.c_str(), &outside) != 0 || stat((gOutside + "/secret").c_str(), &secret) != 0 ||
        !same(outside, gOutsideBefore) || !same(secret, gSecretBefore)) {
        fprintf(stderr, "something outside the root changed\n");
        abort();
    }
    return 0;
}
