#include "FtpTestClient.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "TestSupport.h"

namespace {

void setTimeout(int fd, int seconds)
{
    timeval tv{seconds, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
}

bool isIPv6(const std::string &host) { return host.find(':') != std::string::npos; }

}  // namespace

int connectTcp(const std::string &host, int port, int receiveBuffer)
{
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV;
    addrinfo *result = nullptr;
    if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &result) != 0)
        return -1;
    int fd = socket(result->ai_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd >= 0) {
        setTimeout(fd, 10);
        if (receiveBuffer > 0)
            setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
        if (::connect(fd, result->ai_addr, result->ai_addrlen) != 0) {
            ::close(fd);
            fd = -1;
        }
    }
    freeaddrinfo(result);
    return fd;
}

int listenLoopback(int *port)
{
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t n = sizeof a;
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0 || listen(fd, 8) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr *>(&a), &n) != 0) {
        if (fd >= 0)
            ::close(fd);
        return -1;
    }
    *port = ntohs(a.sin_port);
    return fd;
}

int freePort()
{
    int port = 0;
    int fd = listenLoopback(&port);
    if (fd >= 0)
        ::close(fd);
    return port;
}

std::string readAll(int fd)
{
    std::string out;
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0)
            break;
        out.append(buffer, size_t(n));
    }
    return out;
}

bool writeAll(int fd, const std::string &bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        done += size_t(n);
    }
    return true;
}

int openDescriptorCount()
{
    int count = 0;
    if (DIR *dir = opendir("/proc/self/fd")) {
        while (dirent *e = readdir(dir))
            count += e->d_name[0] != '.';
        closedir(dir);
    }
    return count - 1;  // the one opendir holds
}

bool whileServing(const std::function<void()> &body, int timeoutMs)
{
    std::atomic<bool> done{false};
    std::thread worker([&] {
        body();
        done = true;
    });
    bool finished = runLoopUntil([&] { return done.load(); }, timeoutMs);
    // The client's own time-outs end it; the loop keeps serving until then.
    runLoopUntil([&] { return done.load(); }, 600000);
    worker.join();
    return finished;
}

FtpTestClient::~FtpTestClient() { close(); }

std::string FtpTestClient::connect(const std::string &host, int port)
{
    host_ = host;
    fd_ = connectTcp(host, port);
    return fd_ < 0 ? std::string() : readLine();
}

void FtpTestClient::sendRaw(const std::string &bytes) { writeAll(fd_, bytes); }

std::string FtpTestClient::readLine()
{
    for (;;) {
        size_t end = buffer_.find("\r\n");
        if (end != std::string::npos) {
            std::string line = buffer_.substr(0, end);
            buffer_.erase(0, end + 2);
            return line;
        }
        char chunk[4096];
        ssize_t n = fd_ < 0 ? -1 : ::read(fd_, chunk, sizeof chunk);
        if (n <= 0)
            return std::string();
        buffer_.append(chunk, size_t(n));
    }
}

std::string FtpTestClient::command(const std::string &line)
{
    sendRaw(line + "\r\n");
    return readLine();
}

void FtpTestClient::close()
{
    if (fd_ >= 0)
        ::close(fd_);
    if (activeListener_ >= 0)
        ::close(activeListener_);
    fd_ = activeListener_ = -1;
}

std::string FtpTestClient::prepareData(Mode mode)
{
    passivePort_ = -1;
    if (activeListener_ >= 0)
        ::close(activeListener_);
    activeListener_ = -1;
    if (mode == Mode::Pasv || mode == Mode::Epsv) {
        std::string reply = command(mode == Mode::Pasv ? "PASV" : "EPSV");
        size_t open = reply.find('(');
        if (mode == Mode::Pasv && reply.rfind("227 ", 0) == 0 && open != std::string::npos) {
            int h1, h2, h3, h4, p1, p2;
            if (sscanf(reply.c_str() + open, "(%d,%d,%d,%d,%d,%d)", &h1, &h2, &h3, &h4, &p1, &p2) == 6)
                passivePort_ = p1 * 256 + p2;
        } else if (mode == Mode::Epsv && reply.rfind("229 ", 0) == 0 && open != std::string::npos) {
            sscanf(reply.c_str() + open, "(|||%d|)", &passivePort_);
        }
        return reply;
    }
    bool v6 = isIPv6(host_);
    activeListener_ = socket(v6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_storage address{};
    socklen_t length;
    if (v6) {
        auto *a = reinterpret_cast<sockaddr_in6 *>(&address);
        a->sin6_family = AF_INET6;
        a->sin6_addr = in6addr_loopback;
        length = sizeof *a;
    } else {
        auto *a = reinterpret_cast<sockaddr_in *>(&address);
        a->sin_family = AF_INET;
        a->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        length = sizeof *a;
    }
    bind(activeListener_, reinterpret_cast<sockaddr *>(&address), length);
    listen(activeListener_, 4);
    getsockname(activeListener_, reinterpret_cast<sockaddr *>(&address), &length);
    int port = activePort_ = ntohs(v6 ? reinterpret_cast<sockaddr_in6 *>(&address)->sin6_port
                        : reinterpret_cast<sockaddr_in *>(&address)->sin_port);
    // The address named is deliberately wrong: the server must use the control peer's.
    if (mode == Mode::Port)
        return command("PORT 10,9,8,7," + std::to_string(port / 256) + "," + std::to_string(port % 256));
    return command(std::string("EPRT |") + (v6 ? "2|::1|" : "1|127.0.0.1|") + std::to_string(port) + "|");
}

int FtpTestClient::openData(int receiveBuffer)
{
    if (passivePort_ > 0)
        return connectTcp(host_, passivePort_, receiveBuffer);
    if (activeListener_ < 0)
        return -1;
    pollfd p{activeListener_, POLLIN, 0};
    if (poll(&p, 1, 10000) != 1)
        return -1;
    int fd = accept4(activeListener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd >= 0)
        setTimeout(fd, 10);
    return fd;
}

std::string FtpTestClient::download(Mode mode, const std::string &verb, std::string *reply, std::string *done)
{
    prepareData(mode);
    std::string first = command(verb);
    if (reply)
        *reply = first;
    if (first.rfind("150 ", 0) != 0)
        return std::string();
    int data = openData();
    std::string bytes = data >= 0 ? readAll(data) : std::string();
    if (data >= 0)
        ::close(data);
    std::string last = readLine();
    if (done)
        *done = last;
    return bytes;
}

std::string FtpTestClient::upload(Mode mode, const std::string &name, const std::string &bytes, std::string *reply,
                                  const std::string &verb)
{
    prepareData(mode);
    std::string first = command(verb + " " + name);
    if (reply)
        *reply = first;
    if (first.rfind("150 ", 0) != 0)
        return std::string();
    int data = openData();
    if (data < 0)
        return std::string();
    writeAll(data, bytes);
    ::close(data);
    return readLine();
}
