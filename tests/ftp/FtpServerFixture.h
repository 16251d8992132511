// A server in the test process on a free loopback port, rooted in a fresh folder, set up as
// the application sets it up (name "Sonavel", clients confined to the root, UTF-8).
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>

#include "FtpTestClient.h"
#include "TestSupport.h"
#include "ftp/FtpServer.h"

class ChangeCounter : public FtpServerNotification {
public:
    void didReceiveFileListChanged() override { changes++; }
    std::atomic<int> changes{0};
};

class FtpServerTest : public testing::Test {
protected:
    void SetUp() override
    {
        root = tmp.file("root");
        mkdir(root.c_str(), 0755);
        server = std::make_unique<FtpServer>(0, QString::fromStdString(root), &counter);
        server->setName(QStringLiteral("Sonavel"));
        server->setChangeRoot(true);
        ASSERT_TRUE(server->isListening());
        port = server->listenSocket()->localPort();
    }
    void TearDown() override
    {
        server.reset();
        runLoopUntil([] { return false; }, 20);  // lets retired watchers go
    }

    std::string connect(FtpTestClient &client, const std::string &host = "127.0.0.1")
    {
        return client.connect(host, port);
    }

    TempDir tmp;
    std::string root;
    ChangeCounter counter;
    std::unique_ptr<FtpServer> server;
    int port = 0;
};
