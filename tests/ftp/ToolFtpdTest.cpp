// sonavel-tool ftpd as a separate process: its address line, its change reports, its stop.
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QDeadlineTimer>
#include <QProcess>

#include <gtest/gtest.h>

#include "FtpTestClient.h"
#include "TestSupport.h"
#include "ftp/MyNetworkController.h"

namespace {

std::string readLine(QProcess &p, int timeoutMs = 10000)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!p.canReadLine() && !deadline.hasExpired() && p.state() == QProcess::Running)
        p.waitForReadyRead(50);
    return p.readLine().trimmed().toStdString();
}

}  // namespace

TEST(ToolFtpd, PrintsItsAddressReportsChangesAndStopsOnSignals)
{
    if (system("command -v curl >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "curl is not installed";
    TempDir tmp;
    std::string root = tmp.file("root");
    for (int signal : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(signal);
        int port = freePort();
        QProcess p;
        p.start(QStringLiteral(SONAVEL_TOOL),
                {QStringLiteral("ftpd"), QStringLiteral("--port"), QString::number(port), QStringLiteral("--root"),
                 QString::fromStdString(root)});
        ASSERT_TRUE(p.waitForStarted());
        std::string expected = "ftp://" + MyNetworkController::localWifiIPAddress().toStdString() + ":" + std::to_string(port);
        EXPECT_EQ(readLine(p), expected);

        std::string file = tmp.file("upload.flac");
        writeFile(file, std::string(70000, 'f'));
        std::string url = "ftp://127.0.0.1:" + std::to_string(port) + "/";
        EXPECT_EQ(system(("curl -sS --max-time 10 -T " + file + " " + url + " >/dev/null").c_str()), 0);
        EXPECT_EQ(readLine(p), "file list changed");
        EXPECT_EQ(readFile(root + "/upload.flac"), std::string(70000, 'f'));
        EXPECT_EQ(system(("curl -sS --max-time 10 " + url + " -Q 'DELE upload.flac' >/dev/null").c_str()), 0);
        EXPECT_EQ(readLine(p), "file list changed");

        kill(pid_t(p.processId()), signal);
        ASSERT_TRUE(p.waitForFinished(10000));
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(p.exitCode(), 0);
    }
}

TEST(ToolFtpd, ServesTheDocumentsFolderByDefault)
{
    if (system("command -v curl >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "curl is not installed";
    TempDir tmp;
    std::string documents = tmp.file("docs");  // created by the tool
    int port = freePort();
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("SONAVEL_DOCUMENTS"), QString::fromStdString(documents));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(SONAVEL_TOOL), {QStringLiteral("ftpd"), QStringLiteral("--port"), QString::number(port)});
    ASSERT_TRUE(p.waitForStarted());
    EXPECT_NE(readLine(p).find(":" + std::to_string(port)), std::string::npos);
    std::string file = tmp.file("x.flac");
    writeFile(file, "default root");
    EXPECT_EQ(system(("curl -sS --max-time 10 -T " + file + " ftp://127.0.0.1:" + std::to_string(port) + "/").c_str()), 0);
    EXPECT_EQ(readLine(p), "file list changed");
    EXPECT_EQ(readFile(documents + "/x.flac"), "default root");
    p.terminate();  // SIGTERM
    EXPECT_TRUE(p.waitForFinished(10000));
    EXPECT_EQ(p.exitCode(), 0);
}

TEST(ToolFtpd, RejectsBadArgumentsAndTakenPorts)
{
    EXPECT_NE(runTool({"ftpd", "--port", "70000"}).exitCode, 0);
    EXPECT_NE(runTool({"ftpd", "--bogus"}).exitCode, 0);
    // A port somebody else listens on.
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_ANY);
    socklen_t n = sizeof a;
    bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a);
    listen(fd, 1);
    getsockname(fd, reinterpret_cast<sockaddr *>(&a), &n);
    TempDir tmp;
    ToolResult r = runTool({"ftpd", "--port", std::to_string(ntohs(a.sin_port)), "--root", tmp.path()});
    close(fd);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "");
}
