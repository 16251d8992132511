// Replies of every command, exactly as a client sees them, over a real control connection.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
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
                    {"NLST", {"425 Can't open data connection."}},
                    {"MLSD", {"425 Can't open data connection."}},
                    {"Type I", {"200 Type set to  I."}},
                    {"OPTS UTF8 ON", {"200 UTF8 set to on."}},
                    {"OPTS utf8 off", {"200 UTF8 set to off."}},
                    {"OPTS MODE Z", {"502 Unknown command 'MODE Z'"}},
                    {"FEAT",
                     {"211-Features supported", " EPRT", " EPSV", " MDTM", " MFMT", " MLST type*;size*;modify*;",
                      " REST STREAM", " SIZE", " UTF8", "211 End"}},
                    {"STAT", {"211-localhost FTP server status:", "211 End of Status"}},
                    {"PWD", {"257 \"/\" is the current directory."}},
                    {"CDUP", {"250 CDUP command successful."}},
                    {"PWD", {"257 \"/\" is the current directory."}},
                    {"MKD Music", {"257 \"/Music\" created."}},
                    {"MKD Music", {"550 Error Music exists"}},
                    {"MKD Deep/er/still", {"257 \"/Deep/er/still\" created."}},
                    {"MKD Say \"hi\"", {"257 \"/Say \"\"hi\"\"\" created."}},
                    {"CWD Say \"hi\"", {"250 CWD command successful."}},
                    {"PWD", {"257 \"/Say \"\"hi\"\"/\" is the current directory."}},
                    {"MKD inner", {"257 \"/Say \"\"hi\"\"/inner\" created."}},
                    {"CDUP", {"250 CDUP command successful."}},
                    {"RMD Say \"hi\"", {"250 DELE command successful."}},
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
                    {"SIZE big", {"213 10240"}},
                    {"SIZE Music", {"550 Music: Not a plain file."}},
                    {"SIZE missing", {"550 missing No such file or directory."}},
                    {"MFMT 20240102030405 small", {"213 Modify=20240102030405; small"}},
                    {"MDTM small", {"213 20240102030405"}},
                    {"MFMT 19991231235959.5 /Music", {"213 Modify=19991231235959.5; /Music"}},
                    {"MDTM Music", {"213 19991231235959"}},
                    {"MDTM missing", {"550 missing No such file or directory."}},
                    {"MFMT 20241332000000 small", {"501 Syntax error in parameters or arguments."}},
                    {"MFMT 20240102030405", {"501 Syntax error in parameters or arguments."}},
                    {"MFMT 20240102030405 missing", {"550 missing No such file or directory."}},
                    {"MLST small", {"250-Listing /small", " type=file;size=10239;modify=20240102030405; /small", "250 End"}},
                    {"OPTS MLST Modify;bogus;type;", {"200 MLST OPTS type;modify;"}},
                    {"MLST /Music", {"250-Listing /Music", " type=dir;modify=19991231235959; /Music", "250 End"}},
                    {"OPTS MLST type", {"200 MLST OPTS type;"}},
                    {"MLST", {"250-Listing /", " type=dir; /", "250 End"}},
                    {"OPTS MLST type;size;modify;", {"200 MLST OPTS type;size;modify;"}},
                    {"MLST missing", {"550 missing No such file or directory."}},
                    {"REST 100", {"350 Restarting at 100. Send STORE or RETRIEVE to initiate transfer."}},
                    {"REST -1", {"501 Syntax error in parameters or arguments."}},
                    {"REST many", {"501 Syntax error in parameters or arguments."}},
                    {"REST 0", {"350 Restarting at 0. Send STORE or RETRIEVE to initiate transfer."}},
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
    EXPECT_EQ(counter.changes, 4);  // rename, delete, two removals; MKD and MFMT tell nobody
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
        EXPECT_EQ(c.readLine(), "257 \"/split\" created.");
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

    // The same text reaches the client. Options come off before the name; "a" adds the
    // dot-files, never "." and "..". NLST gives bare names, MLSD facts and names.
    std::string all = server->createList(QString::fromStdString(root), true).toStdString();
    ASSERT_EQ(all.rfind("total 6\r\n", 0), 0u) << all;
    writeFile(root + "/Album/b", "12345");
    whileServing([&] {
        FtpTestClient c;
        connect(c);
        std::string reply, done;
        EXPECT_EQ(c.download(FtpTestClient::Mode::Epsv, "LIST -l", &reply, &done), list);
        EXPECT_EQ(reply, "150 Opening ASCII mode data connection for '/bin/ls'.");
        EXPECT_EQ(done, "226 Transfer complete.");
        EXPECT_EQ(c.download(FtpTestClient::Mode::Epsv, "LIST -la"), all);
        EXPECT_NE(all.find(" .hidden\n"), std::string::npos);
        EXPECT_NE(all.find(" .git\n"), std::string::npos);
        EXPECT_EQ(c.download(FtpTestClient::Mode::Pasv, "LIST Empty", &reply, &done), "total 0\r\n");
        EXPECT_EQ(done, "226 Transfer complete.");
        EXPECT_EQ(c.download(FtpTestClient::Mode::Pasv, "LIST -a -l Album").rfind("total 3\r\n", 0), 0u);
        std::string one = c.download(FtpTestClient::Mode::Pasv, "LIST -l song.flac");
        EXPECT_EQ(one, "total 1\r\n" + expectedLine(file, "song.flac", 1));
        EXPECT_EQ(c.download(FtpTestClient::Mode::Pasv, "LIST nowhere", &reply), "");
        EXPECT_EQ(reply, "550 nowhere No such file or directory.");

        struct Row {
            const char *command;
            const char *names;
        };
        const Row rows[] = {
            {"NLST", "Album\r\nEmpty\r\nopen\r\nsong.flac\r\n"},
            {"NLST -a", ".git\r\n.hidden\r\nAlbum\r\nEmpty\r\nopen\r\nsong.flac\r\n"},
            {"NLST Album", "a\r\nb\r\n"},
            {"NLST -la Album", ".c\r\na\r\nb\r\n"},
            {"NLST song.flac", "song.flac\r\n"},
            {"NLST *.flac", "song.flac\r\n"},
            {"NLST Album/?", "Album/a\r\nAlbum/b\r\n"},
            {"NLST -a Album/*", "Album/.c\r\nAlbum/a\r\nAlbum/b\r\n"},
            {"NLST Empty", ""},
        };
        for (const Row &row : rows) {
            EXPECT_EQ(c.download(FtpTestClient::Mode::Epsv, row.command, &reply, &done), row.names) << row.command;
            EXPECT_EQ(done, "226 Transfer complete.") << row.command;
        }
        EXPECT_EQ(c.download(FtpTestClient::Mode::Epsv, "NLST *.mp3", &reply), "");
        EXPECT_EQ(reply, "550 *.mp3 No such file or directory.");

        c.command("MFMT 20240102030405 Album/b");
        c.command("MFMT 20240102030406 Album/.c");
        std::string machine = c.download(FtpTestClient::Mode::Epsv, "MLSD Album", &reply, &done);
        EXPECT_EQ(reply, "150 Opening ASCII mode data connection for MLSD.");
        EXPECT_NE(machine.find("type=file;size=5;modify=20240102030405; b\r\n"), std::string::npos) << machine;
        EXPECT_NE(machine.find("type=file;size=0;modify=20240102030406; .c\r\n"), std::string::npos) << machine;
        EXPECT_EQ(std::count(machine.begin(), machine.end(), '\n'), 3) << machine;
        EXPECT_NE(c.download(FtpTestClient::Mode::Epsv, "MLSD").find("type=dir;"), std::string::npos);
        EXPECT_EQ(c.download(FtpTestClient::Mode::Epsv, "MLSD song.flac", &reply), "");
        EXPECT_EQ(reply, "550 song.flac: Not a directory.");
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
