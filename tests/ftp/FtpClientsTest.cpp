// Real FTP clients against the server: curl, lftp and Python's ftplib.
#include <sys/stat.h>
#include <unistd.h>

#include <QDirIterator>

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

std::string quoted(const std::string &text) { return "'" + text + "'"; }

// Relative path -> bytes of every file below `dir`, links not followed.
std::map<std::string, std::string> tree(const std::string &dir)
{
    std::map<std::string, std::string> files;
    QDirIterator it(QString::fromStdString(dir), QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QString path = it.next();
        std::string relative = path.mid(int(dir.size())).toStdString();
        files[relative] = it.fileInfo().isDir() ? std::string("<dir>") : readFile(path.toStdString());
    }
    return files;
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

TEST_F(FtpServerTest, LftpMirrorsATreeBothWays)
{
    if (!haveProgram("lftp"))
        GTEST_SKIP() << "lftp is not installed";
    std::string source = tmp.file("album"), back = tmp.file("back");
    mkdir(source.c_str(), 0755);
    std::string disc = source + "/Ålbum – Ünïcode";
    mkdir(disc.c_str(), 0755);
    mkdir((disc + "/CD 1").c_str(), 0755);
    mkdir((disc + "/CD 2").c_str(), 0755);
    std::string bytes(300001, '\0');
    for (size_t i = 0; i < bytes.size(); i++)
        bytes[i] = char(i % 253);
    writeFile(disc + "/CD 1/01 – Ça va.flac", bytes);
    writeFile(disc + "/CD 1/02 日本語.flac", bytes.substr(1000));
    writeFile(disc + "/CD 2/empty.cue", "");
    writeFile(disc + "/cover.jpg", bytes.substr(0, 5000));
    whileServing([&] {
        std::string open = "lftp -e " +
                           quoted("set net:max-retries 1; set net:timeout 10; set cmd:fail-exit yes; mirror -R " +
                                  source + " up; mirror up " + back + "; quit") +
                           " -u user,pass -p " + std::to_string(port) + " 127.0.0.1";
        EXPECT_EQ(shell("timeout 60 " + open), 0);
    });
    auto sent = tree(source);
    EXPECT_EQ(sent.size(), 7u);
    EXPECT_EQ(tree(root + "/up"), sent);
    EXPECT_EQ(tree(back), sent);
    EXPECT_GE(counter.changes, 4);  // one per uploaded file
}

TEST_F(FtpServerTest, PythonFtplib)
{
    if (shell("python3 -c 'import ftplib'") != 0)
        GTEST_SKIP() << "python3 is not installed";
    std::string script = tmp.file("client.py");
    writeFile(script, R"(import ftplib, io, sys
ftp = ftplib.FTP()
ftp.connect('127.0.0.1', int(sys.argv[1]), timeout=10)
assert ftp.getwelcome() == '220 Sonavel Ftp Server ready.'
ftp.login('user', 'pass')
data = bytes(range(256)) * 4000
assert ftp.storbinary('STOR up.bin', io.BytesIO(data)).startswith('226')
out = io.BytesIO()
ftp.retrbinary('RETR up.bin', out.write)
assert out.getvalue() == data
ftp.mkd('Folder')
ftp.cwd('Folder')
assert ftp.pwd() == '/Folder/'
ftp.cwd('..')
assert ftp.rename('up.bin', 'Folder/renamed.bin').startswith('250')
lines = []
ftp.retrlines('LIST Folder', lines.append)
assert lines[0] == 'total 1' and lines[1].endswith(' renamed.bin') and lines[1].startswith('-rw'), lines
ftp.set_pasv(False)
out = io.BytesIO()
ftp.retrbinary('RETR Folder/renamed.bin', out.write)
assert out.getvalue() == data
ftp.delete('Folder/renamed.bin')
ftp.rmd('Folder')
lines = []
ftp.retrlines('LIST', lines.append)
assert lines == ['total 0'], lines
ftp.quit()
print('ok')
)");
    whileServing([&] { EXPECT_EQ(shell("python3 " + script + " " + std::to_string(port)), 0); });
    EXPECT_EQ(access((root + "/Folder").c_str(), F_OK), -1);
    EXPECT_EQ(counter.changes, 4);  // upload, rename, delete, remove
}
