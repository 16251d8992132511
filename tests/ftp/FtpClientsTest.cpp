// curl in every data-connection mode, over IPv4 and IPv6 loopback.
#include <sys/stat.h>
#include <unistd.h>

#include "FtpServerFixture.h"

namespace {

bool haveProgram(const char *name)
{
    return system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

// Runs a shell command; its exit status.
int shell(const std::string &command)
{
    int status = system((command + " >/dev/null 2>&1").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

TEST_F(FtpServerTest, CurlInEveryMode)
{
    if (!haveProgram("curl"))
        GTEST_SKIP() << "curl is not installed";
    std::string source = tmp.file("source.bin"), empty = tmp.file("empty");
    std::string bytes(1 << 20, '\0');
    for (size_t i = 0; i < bytes.size(); i++)
        bytes[i] = char(i * 7 + i / 251);
    writeFile(source, bytes);
    writeFile(empty, "");
    struct Case {
        const char *name;
        const char *options;
        const char *host;
    };
    const Case cases[] = {
        {"epsv", "", "127.0.0.1"},
        {"pasv", "--disable-epsv", "127.0.0.1"},
        {"eprt", "-P -", "127.0.0.1"},
        {"port", "-P - --disable-eprt", "127.0.0.1"},
        {"epsv6", "", "[::1]"},
        {"eprt6", "-P -", "[::1]"},
    };
    whileServing([&] {
        for (const Case &k : cases) {
            if (std::string(k.host) == "[::1]" && shell("curl -s -o /dev/null ftp://[::1]:" + std::to_string(port) + "/") != 0)
                continue;  // no IPv6 loopback here
            std::string url = std::string("ftp://") + k.host + ":" + std::to_string(port) + "/";
            std::string curl = std::string("curl -sS --max-time 20 ") + k.options + " ";
            EXPECT_EQ(shell(curl + "-T " + source + " " + url + k.name + ".bin"), 0) << k.name;
            EXPECT_EQ(shell(curl + "-o " + tmp.file(std::string(k.name) + ".back") + " " + url + k.name + ".bin"), 0);
            EXPECT_TRUE(readFile(tmp.file(std::string(k.name) + ".back")) == bytes) << k.name;
            EXPECT_EQ(shell(curl + "-T " + empty + " " + url + k.name + ".empty"), 0) << k.name;
            EXPECT_EQ(shell(curl + "-o " + tmp.file(std::string(k.name) + ".eback") + " " + url + k.name + ".empty"), 0);
            EXPECT_EQ(readFile(tmp.file(std::string(k.name) + ".eback")), "");
            EXPECT_EQ(readFile(root + "/" + k.name + ".empty"), "");
        }
    });
    EXPECT_TRUE(readFile(root + "/epsv.bin") == bytes);
    EXPECT_TRUE(readFile(root + "/port.bin") == bytes);
}
