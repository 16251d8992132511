#include "FtpCutProxy.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <utility>

#include "FtpTestClient.h"

namespace {

// Nobody in a test waits forever on a peer that stopped reading.
int withTimeout(int fd)
{
    timeval tv{10, 0};
    if (fd >= 0)
        setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
    return fd;
}

// The server port named in a 227 or 229 reply, or 0.
int passivePort(const std::string &line)
{
    size_t open = line.find('(');
    if (open == std::string::npos)
        return 0;
    int h1, h2, h3, h4, p1, p2, port;
    if (line.rfind("227 ", 0) == 0 &&
        sscanf(line.c_str() + open, "(%d,%d,%d,%d,%d,%d)", &h1, &h2, &h3, &h4, &p1, &p2) == 6)
        return p1 * 256 + p2;
    if (line.rfind("229 ", 0) == 0 && sscanf(line.c_str() + open, "(|||%d|)", &port) == 1)
        return port;
    return 0;
}

bool isTransfer(const std::string &line)
{
    std::string verb = line.substr(0, 4);
    for (char &c : verb)
        c = char(toupper(static_cast<unsigned char>(c)));
    return verb == "RETR" || verb == "STOR" || verb == "APPE";
}

struct Link {
    int client = -1, server = -1;
    bool control = false;
    int session = 0;
    long remaining = -1;  // bytes before the cut; -1: none
    bool draining = false;  // an upload was cut: the client's further bytes go nowhere
    std::string fromClient, fromServer;  // partial control lines
};

struct Pending {
    int serverPort;
    int session;
};

struct Session {
    long cut = -1;      // for the session's next data connection
    int lastData = -1;  // client fd of its newest open data link
};

}  // namespace

FtpCutProxy::FtpCutProxy(int serverPort) : serverPort_(serverPort)
{
    listener_ = listenLoopback(&port_);
    if (pipe2(wake_, O_CLOEXEC) != 0)
        wake_[0] = wake_[1] = -1;
    thread_ = std::thread([this] { run(); });
}

FtpCutProxy::~FtpCutProxy()
{
    stop_ = true;
    if (wake_[1] >= 0 && write(wake_[1], "x", 1) < 0)
        perror("proxy wake");
    thread_.join();
    for (int fd : {listener_, wake_[0], wake_[1]}) {
        if (fd >= 0)
            close(fd);
    }
}

void FtpCutProxy::cutNextTransferAt(size_t bytes)
{
    std::lock_guard<std::mutex> lock(mutex_);
    cutAt_ = bytes;
}

std::vector<std::string> FtpCutProxy::takeCommands()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return std::exchange(commands_, {});
}

void FtpCutProxy::run()
{
    std::map<int, Link> links;           // by client fd
    std::map<int, Pending> passive;      // our data listeners
    std::map<int, Session> sessions;     // by control client fd
    auto closeLink = [&](int clientFd) {
        Link &l = links[clientFd];
        close(l.client);
        if (l.server >= 0)
            close(l.server);
        if (l.control)
            sessions.erase(l.session);
        else if (sessions.count(l.session) && sessions[l.session].lastData == clientFd)
            sessions[l.session].lastData = -1;
        links.erase(clientFd);
    };
    auto connectServer = [](int port) { return connectTcp("127.0.0.1", port); };

    while (!stop_) {
        std::vector<pollfd> fds{{listener_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
        for (auto &[fd, p] : passive)
            fds.push_back({fd, POLLIN, 0});
        for (auto &[fd, l] : links) {
            fds.push_back({l.client, POLLIN, 0});
            if (l.server >= 0)
                fds.push_back({l.server, POLLIN, 0});
        }
        if (poll(fds.data(), fds.size(), 200) <= 0)
            continue;
        for (const pollfd &p : fds) {
            if (!p.revents)
                continue;
            if (p.fd == wake_[0])
                continue;
            if (p.fd == listener_) {
                int c = withTimeout(accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC));
                int s = c >= 0 ? connectServer(serverPort_) : -1;
                if (s < 0) {
                    if (c >= 0)
                        close(c);
                    continue;
                }
                links[c] = Link{.client = c, .server = s, .control = true, .session = c, .fromClient = {}, .fromServer = {}};
                sessions[c] = Session{};
                continue;
            }
            if (auto it = passive.find(p.fd); it != passive.end()) {
                Pending pending = it->second;
                int c = withTimeout(accept4(p.fd, nullptr, nullptr, SOCK_CLOEXEC));
                close(p.fd);
                passive.erase(it);
                int s = c >= 0 ? connectServer(pending.serverPort) : -1;
                if (s < 0) {
                    if (c >= 0)
                        close(c);
                    continue;
                }
                Link l{.client = c, .server = s, .session = pending.session, .fromClient = {}, .fromServer = {}};
                if (sessions.count(pending.session)) {
                    Session &session = sessions[pending.session];
                    l.remaining = std::exchange(session.cut, -1);
                    session.lastData = c;
                }
                links[c] = l;
                continue;
            }
            // A relayed socket: find its link.
            auto it = std::find_if(links.begin(), links.end(),
                                   [&](const auto &e) { return e.second.client == p.fd || e.second.server == p.fd; });
            if (it == links.end())
                continue;  // closed earlier in this round
            Link &l = it->second;
            bool fromClient = p.fd == l.client;
            char buffer[65536];
            size_t want = sizeof buffer;
            if (l.remaining >= 0 && !l.draining)
                want = std::min(want, size_t(l.remaining));
            ssize_t n = want ? read(p.fd, buffer, want) : 0;
            if (n <= 0) {
                closeLink(it->first);
                break;  // a closed number may come back at once: poll afresh
            }
            if (l.draining)
                continue;
            std::string chunk(buffer, size_t(n));
            if (l.control && fromClient) {
                l.fromClient += chunk;
                size_t end;
                while ((end = l.fromClient.find("\r\n")) != std::string::npos) {
                    std::string line = l.fromClient.substr(0, end);
                    l.fromClient.erase(0, end + 2);
                    std::lock_guard<std::mutex> lock(mutex_);
                    commands_.push_back(line);
                    if (isTransfer(line) && cutAt_ > 0) {
                        // Armed before the command reaches the server, so no byte can slip by.
                        long cut = long(std::exchange(cutAt_, 0));
                        Session &session = sessions[l.session];
                        if (session.lastData >= 0 && links.count(session.lastData))
                            links[session.lastData].remaining = cut;
                        else
                            session.cut = cut;
                    }
                }
            } else if (l.control) {
                l.fromServer += chunk;
                chunk.clear();
                size_t end;
                while ((end = l.fromServer.find("\r\n")) != std::string::npos) {
                    std::string line = l.fromServer.substr(0, end);
                    l.fromServer.erase(0, end + 2);
                    if (int serverData = passivePort(line)) {
                        int ours = 0;
                        int fd = listenLoopback(&ours);
                        if (fd >= 0) {
                            passive[fd] = Pending{serverData, l.session};
                            std::string text = line.substr(0, line.find('('));
                            line = line[0] == '2' && line[2] == '7'
                                       ? text + "(127,0,0,1," + std::to_string(ours / 256) + "," +
                                             std::to_string(ours % 256) + ")"
                                       : text + "(|||" + std::to_string(ours) + "|)";
                        }
                    }
                    chunk += line + "\r\n";
                }
            }
            if (!writeAll(fromClient ? l.server : l.client, chunk)) {
                closeLink(it->first);
                break;
            }
            if (l.remaining >= 0) {
                l.remaining -= n;
                if (l.remaining == 0 && fromClient) {
                    // An upload: the server's side closes here and the file ends. The client
                    // finishes writing into nothing, as it would into a link that drops
                    // packets, rather than being reset halfway through a write.
                    close(l.server);
                    l.server = -1;
                    l.draining = true;
                    break;
                }
                if (l.remaining == 0) {
                    closeLink(it->first);  // a download: the client's side ends here
                    break;
                }
            }
        }
    }
    for (auto &[fd, p] : passive)
        close(fd);
    while (!links.empty())
        closeLink(links.begin()->first);
}
