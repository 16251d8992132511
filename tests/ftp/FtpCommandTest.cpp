// Replies of every command, exactly as a client sees them, over a real control connection.
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#include <pwd.h>
#include <grp.h>

#include "FtpServerFixture.h"
#include "ftp/FtpConnection.h"

namespace {

struct Exchange {
    const char *send;
    std::vector<const char *> replies;
};

// Sends each row's line and expects its reply lines in order.
void play(FtpTestClient &client, const std::vector<Exchange> &rows)
{
    for (const Exchange &row : rows) {
        client.sendRaw(std::string(row.send) + "\r\n");
        for (const char *expected : row.replies)
            EXPECT_EQ(client.readLine(), expected) << "after " << row.send;
    }
}

}  // namespace

TEST_F(FtpServerTest, EveryCommandRepliesWithItsText)
{
    writeFile(root + "/small", std::string(10239, 's'));
    writeFile(root + "/big", std::string(10240, 'b'));
    whileServing([&] {
        FtpTestClient c;
        EXPECT_EQ(connect(c), "220 Sonavel Ftp Server ready.");
        play(c, {
                    {"RNTO small2", {"550 RNTO command failed."}},
                    {"user guest", {"331 Password required for guest"}},
                    {"PASS secret", {"230 User guest logged in."}},
                    {"SYST", {"215 UNIX Type: L8 Version: VavareVir"}},
                    {"NOOP", {"200 NOOP command successful."}},
                    {"XYZ", {"500 'XYZ': command not understood."}},
                    {"ACK", {"500 'ACK': command not understood."}},
                    {"NLST", {"500 'NLST': command not understood."}},
                    {"Type I", {"200 Type set to  I."}},
                    {"OPTS UTF8 ON", {"502 Unknown command 'UTF8 ON'"}},
                    {"FEAT", {"211-Features supported", " UTF8", "211 End"}},
                    {"STAT", {"211-localhost FTP server status:", "211 End of Status"}},
                    {"PWD", {"257 \"/\" is the current directory."}},
                    {"CDUP", {"250 CDUP command successful."}},
                    {"PWD", {"257 \"/\" is the current directory."}},
                    {"MKD Music", {"250 MKD command successful."}},
                    {"MKD Music", {"550 Error Music exists"}},
                    {"MKD Deep/er/still", {"250 MKD command successful."}},
                    {"CWD Music", {"250 CWD command successful."}},
                    {"PWD", {"257 \"/Music/\" is the current directory."}},
                    {"CWD /Deep/er", {"250 CWD command successful."}},
                    {"PWD", {"257 \"/Deep/er/\" is the current directory."}},
                    {"CDUP", {"250 CDUP command successful."}},
                    {"PWD", {"257 \"/Deep/\" is the current directory."}},
                    {"CWD /", {"250 CWD command successful."}},
                    {"CWD nowhere", {"550 CWD failed."}},
                    {"CWD small", {"550 CWD failed."}},
                    {"PWD", {"257 \"/\" is the current directory."}},
                    {"SIZE small", {"213 10239"}},
                    {"SIZE big", {"550 big file too large for SIZE."}},
                    {"SIZE missing", {"550 missing No such file or directory."}},
                    {"MLST small", {"150 Opening BINARY mode data connection for 'small'."}},
                    {"RETR Music", {"550 Music: Not a plain file."}},
                    {"RETR missing", {"550 missing No such file or directory."}},
                    {"RNFR missing", {"550 RNFR command failed."}},
                    {"RNFR small", {"350 RNFR command successful."}},
                    {"RNTO Music/small two", {"250 RNTO command successful."}},
                    {"SIZE /Music/small two", {"213 10239"}},
                    {"DELE Music/small two", {"250 DELE command successful."}},
                    {"DELE Music/small two", {"550 Music/small two No such file or directory."}},
                    {"RMD Deep", {"250 DELE command successful."}},
                    {"USER", {"501 Syntax error in parameters or arguments."}},
                    {"RETR", {"501 Syntax error in parameters or arguments."}},
                    {"PORT 1,2,3", {"501 Syntax error in parameters or arguments."}},
                    {"QUIT",
                     {"221- Data traffic for this session was 0 bytes in 0 files",
                      "221 Thank you for using the FTP service on localhost."}},
                });
        EXPECT_EQ(c.readLine(), "") << "the control connection closes after QUIT";
    });
    EXPECT_FALSE(access((root + "/small").c_str(), F_OK) == 0);
    EXPECT_FALSE(access((root + "/Deep").c_str(), F_OK) == 0);
    EXPECT_TRUE(access((root + "/Music").c_str(), F_OK) == 0);
    EXPECT_EQ(counter.changes, 3);  // rename, delete, remove; MKD tells nobody
    EXPECT_TRUE(runLoopUntil([&] { return server->connections().empty(); }));
}

TEST_F(FtpServerTest, PipelinedAndPartialLinesAreOneCommandEach)
{
    whileServing([&] {
        FtpTestClient c;
        connect(c);
        c.sendRaw("NOOP\r\nPWD\r\nSYST\r\n");
        EXPECT_EQ(c.readLine(), "200 NOOP command successful.");
        EXPECT_EQ(c.readLine(), "257 \"/\" is the current directory.");
        EXPECT_EQ(c.readLine(), "215 UNIX Type: L8 Version: VavareVir");
        // A line split across chunks waits for its end.
        c.sendRaw("MKD spl");
        usleep(100000);
        c.sendRaw("it\r\nCWD split\r\nPW");
        EXPECT_EQ(c.readLine(), "250 MKD command successful.");
        EXPECT_EQ(c.readLine(), "250 CWD command successful.");
        usleep(100000);
        c.sendRaw("D\r\n");
        EXPECT_EQ(c.readLine(), "257 \"/split/\" is the current directory.");
        // A line that never ends is refused once; the next line is served.
        c.sendRaw(std::string(20000, 'A'));
        EXPECT_EQ(c.readLine(), "500 Command line too long.");
        c.sendRaw("\r\nNOOP\r\n");
        EXPECT_EQ(c.readLine(), "200 NOOP command successful.");
        // Everything after QUIT in the same chunk is ignored.
        c.sendRaw("QUIT\r\nMKD late\r\n");
        EXPECT_EQ(c.readLine(), "221- Data traffic for this session was 0 bytes in 0 files");
        EXPECT_EQ(c.readLine(), "221 Thank you for using the FTP service on localhost.");
        EXPECT_EQ(c.readLine(), "");
    });
    EXPECT_EQ(access((root + "/late").c_str(), F_OK), -1);
}

TEST_F(FtpServerTest, ListingFormat)
{
    // A file, a folder with three entries (one hidden), an empty folder, hidden entries.
    std::string file = root + "/song.flac", dir = root + "/Album", empty = root + "/Empty";
    writeFile(file, std::string(1234, 'x'));
    chmod(file.c_str(), 0644);
    mkdir(dir.c_str(), 0755);
    chmod(dir.c_str(), 0755);
    writeFile(dir + "/a", "");
    writeFile(dir + "/b", "");
    writeFile(dir + "/.c", "");
    mkdir(empty.c_str(), 0700);
    writeFile(root + "/open", "");
    chmod((root + "/open").c_str(), 0777);
    writeFile(root + "/.hidden", "");
    mkdir((root + "/.git").c_str(), 0755);

    auto expectedLine = [](const std::string &path, const std::string &name, int links) {
        struct stat st;
        lstat(path.c_str(), &st);
        char date[32];
        tm local;
        localtime_r(&st.st_mtime, &local);
        strftime(date, sizeof date, "%b %d %H:%M", &local);  // C locale: English month names
        static const char letters[] = "rwxrwxrwx";
        std::string perms;
        for (int bit = 8; bit >= 0; bit--)
            perms += (st.st_mode & (1u << bit)) ? letters[8 - bit] : '-';
        char line[512];
        snprintf(line, sizeof line, "%c%s %5d %12s %12s %10llu %s %s\n", S_ISDIR(st.st_mode) ? 'd' : '-',
                 perms.c_str(), links, getpwuid(st.st_uid)->pw_name, getgrgid(st.st_gid)->gr_name,
                 (unsigned long long)st.st_size, date, name.c_str());
        return std::string(line);
    };
    std::string list = server->createList(QString::fromStdString(root)).toStdString();
    ASSERT_EQ(list.rfind("total 4\r\n", 0), 0u) << list;
    EXPECT_NE(list.find(expectedLine(file, "song.flac", 1)), std::string::npos) << list;
    EXPECT_NE(list.find(expectedLine(dir, "Album", 3)), std::string::npos) << list;
    EXPECT_NE(list.find(expectedLine(empty, "Empty", 1)), std::string::npos) << list;
    EXPECT_NE(list.find(expectedLine(root + "/open", "open", 1)), std::string::npos) << list;
    EXPECT_NE(list.find("-rw-r--r--"), std::string::npos);
    EXPECT_NE(list.find("drwxr-xr-x"), std::string::npos);
    EXPECT_NE(list.find("-rwxrwxrwx"), std::string::npos);
    EXPECT_NE(list.find("drwx------"), std::string::npos);
    EXPECT_EQ(list.find("hidden"), std::string::npos);
    EXPECT_EQ(list.find(".git"), std::string::npos);
    EXPECT_EQ(server->createList(QString::fromStdString(empty)), QStringLiteral("total 0\r\n"));
    EXPECT_EQ(server->createList(QString::fromStdString(dir)).count(u'\n'), 3);  // total + a + b

    // The same text reaches the client; options such as -la list the current folder.
    whileServing([&] {
        FtpTestClient c;
        connect(c);
        std::string reply, done;
        EXPECT_EQ(c.download(FtpTestClient::Mode::Epsv, "LIST -la", &reply, &done), list);
        EXPECT_EQ(reply, "150 Opening ASCII mode data connection for '/bin/ls'.");
        EXPECT_EQ(done, "226 Transfer complete.");
        EXPECT_EQ(c.download(FtpTestClient::Mode::Pasv, "LIST Empty", &reply, &done), "total 0\r\n");
        EXPECT_EQ(done, "226 Transfer complete.");
        c.command("CWD Album");
        EXPECT_EQ(c.download(FtpTestClient::Mode::Port, "LIST", &reply, &done).rfind("total 2\r\n", 0), 0u);
    });
}

TEST_F(FtpServerTest, NonAsciiNamesAndUnchangedFolderAfterListing)
{
    // A name sent in decomposed form is listed in composed form.
    std::string decomposed = "Cafe\xCC\x81";
    mkdir((root + "/" + decomposed).c_str(), 0755);
    whileServing([&] {
        FtpTestClient c;
        connect(c);
        EXPECT_EQ(c.command("CWD " + decomposed), "250 CWD command successful.");
        EXPECT_EQ(c.command("PWD"), "257 \"/" + decomposed + "/\" is the current directory.");
        EXPECT_EQ(c.command("CDUP"), "250 CDUP command successful.");
        std::string list = c.download(FtpTestClient::Mode::Epsv, "LIST");
        EXPECT_NE(list.find(" Caf\xC3\xA9\n"), std::string::npos) << list;
    });
}
