// sonavel-tool ftpd: the FTP server as the application runs it, until SIGINT or SIGTERM.
#include <QDir>
#include <QStandardPaths>

#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "ftp/FtpServer.h"
#include "ftp/MyNetworkController.h"
#include "platform/RunLoop.h"
#include "tools/ToolCommands.h"

namespace {

const char kUsage[] = "ftpd [--port N] [--root DIR]";

int gSignalPipe[2] = {-1, -1};

void onSignal(int)
{
    char byte = 1;
    ssize_t ignored = write(gSignalPipe[1], &byte, 1);
    (void)ignored;
}

// The documents folder: $SONAVEL_DOCUMENTS, else the music folder + /Sonavel; created when missing.
QString documentsFolder()
{
    QString path = QString::fromLocal8Bit(qgetenv("SONAVEL_DOCUMENTS"));
    if (path.isEmpty())
        path = QStandardPaths::writableLocation(QStandardPaths::MusicLocation) + QStringLiteral("/Sonavel");
    QDir().mkpath(path);
    return path;
}

class Reporter : public FtpServerNotification {
public:
    // Main run loop.
    void didReceiveFileListChanged() override { printf("file list changed\n"); }
};

}  // namespace

int toolFtpd(int argc, char **argv)
{
    long port = 40021;
    QString root;
    for (int i = 0; i < argc; i++) {
        if (strcmp(argv[i], "--port") == 0 && i + 1 < argc) {
            char *end = nullptr;
            port = strtol(argv[++i], &end, 10);
            if (*end || port < 0 || port > 65535)
                return toolUsage(kUsage);
        } else if (strcmp(argv[i], "--root") == 0 && i + 1 < argc) {
            root = QString::fromLocal8Bit(argv[++i]);
        } else {
            return toolUsage(kUsage);
        }
    }
    if (root.isEmpty())
        root = documentsFolder();
    else
        QDir().mkpath(root);
    setvbuf(stdout, nullptr, _IOLBF, 0);

    Reporter reporter;
    FtpServer server(static_cast<quint16>(port), root, &reporter);
    server.setName(QStringLiteral("Sonavel"));
    server.setChangeRoot(true);
    if (!server.isListening()) {
        fprintf(stderr, "Failed to start ftpd server\n");
        return 1;
    }

    // Signals only write a byte; the run loop sees it and stops.
    if (pipe2(gSignalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        perror("pipe");
        return 1;
    }
    FdWatcher stopRequest(gSignalPipe[0], FdWatcher::Read, [] { RunLoop::quit(0); });
    struct sigaction action{};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    printf("ftp://%s:%u\n", qPrintable(MyNetworkController::localWifiIPAddress()),
           unsigned(server.listenSocket()->localPort()));
    int code = RunLoop::run();
    server.stopFtpServer();
    return code;
}
