// A small blocking FTP client for the tests: one control connection, data connections in any
// of the four modes. Runs on a thread of its own while the main run loop serves; every socket
// has a receive time-out so that a silent server fails the test instead of hanging it.
#pragma once

#include <functional>
#include <string>

class FtpServer;

class FtpTestClient {
public:
    enum class Mode { Pasv, Epsv, Port, Eprt };

    FtpTestClient() = default;
    ~FtpTestClient();
    FtpTestClient(const FtpTestClient &) = delete;
    FtpTestClient &operator=(const FtpTestClient &) = delete;

    // Connects and returns the greeting line ("" on failure).
    std::string connect(const std::string &host, int port);
    // Sends raw bytes on the control connection.
    void sendRaw(const std::string &bytes);
    // One reply line without its CR LF ("" on time-out or end).
    std::string readLine();
    // Sends `line` + CR LF and returns the first reply line.
    std::string command(const std::string &line);
    void close();
    int controlFd() const { return fd_; }
    // The port of the listener that PORT or EPRT set up.
    int activePort() const { return activePort_; }

    // Prepares a data connection in `mode` (sends PASV, EPSV, PORT or EPRT) and returns the
    // reply; the connection is made by openData().
    std::string prepareData(Mode mode);
    // After the transfer command: the connected data socket (-1 on failure). A passive
    // connection can be given a small receive buffer, to keep the server from running ahead.
    int openData(int receiveBuffer = 0);

    // `verb` (LIST, RETR) over a fresh data connection; `reply` gets the 150 line, the bytes
    // received are returned, and `done` gets the line that follows the transfer.
    std::string download(Mode mode, const std::string &verb, std::string *reply = nullptr,
                         std::string *done = nullptr);
    // STOR (or `verb`) `name` with `bytes`; returns the reply after the transfer ("" when the
    // command failed, `reply` then holds its answer).
    std::string upload(Mode mode, const std::string &name, const std::string &bytes, std::string *reply = nullptr,
                       const std::string &verb = "STOR");

private:
    int fd_ = -1;
    std::string host_;
    std::string buffer_;
    int passivePort_ = -1;
    int activeListener_ = -1;
    int activePort_ = -1;
};

int connectTcp(const std::string &host, int port, int receiveBuffer = 0);
// A socket listening on a free loopback port, which goes to `port`; -1 on failure.
int listenLoopback(int *port);
// A loopback port that nobody listens on just now.
int freePort();
std::string readAll(int fd);
bool writeAll(int fd, const std::string &bytes);
// Number of open file descriptors of this process.
int openDescriptorCount();
// Runs `body` on a thread of its own while the main run loop serves; false on time-out.
bool whileServing(const std::function<void()> &body, int timeoutMs = 60000);
