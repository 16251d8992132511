// A loopback relay between real FTP clients and the server, on a thread of its own: it logs
// every command line the clients send and routes passive data connections through itself
// (rewriting the 227 and 229 replies), so that a transfer can be cut after a byte count, as a
// dropped Wi-Fi link would cut it. Active-mode data connections go to the client directly.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class FtpCutProxy {
public:
    explicit FtpCutProxy(int serverPort);
    ~FtpCutProxy();
    FtpCutProxy(const FtpCutProxy &) = delete;
    FtpCutProxy &operator=(const FtpCutProxy &) = delete;

    int port() const { return port_; }
    // The data connection of the next RETR, STOR or APPE is closed once `bytes` bytes have
    // passed: a download's at both ends, an upload's at the server's end (the client's further
    // bytes are taken and dropped).
    void cutNextTransferAt(size_t bytes);
    // Every command line sent by a client since the last call, oldest first.
    std::vector<std::string> takeCommands();

private:
    void run();

    int serverPort_;
    int listener_ = -1;
    int port_ = 0;
    int wake_[2] = {-1, -1};
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::vector<std::string> commands_;
    size_t cutAt_ = 0;  // 0: no cut armed
    std::thread thread_;
};
