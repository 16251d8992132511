// No name a client sends reaches outside the root, and the root itself is never removed or
// renamed. The path gate is checked on its own and through every command that takes a name.
#include <sys/stat.h>
#include <unistd.h>

#include <QDirIterator>

#include "FtpServerFixture.h"
#include "ftp/FtpPath.h"

namespace {

// Every entry below `dir` with its size, links not followed.
std::string snapshot(const std::string &dir)
{
    std::string out;
    QDirIterator it(QString::fromStdString(dir), QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    QStringList rows;
    while (it.hasNext()) {
        it.next();
        struct stat st;
        lstat(QFile::encodeName(it.filePath()).constData(), &st);
        rows << it.filePath() + u' ' + QString::number(st.st_size) + u' ' + QString::number(st.st_mtime);
    }
    rows.sort();
    return rows.join(u'\n').toStdString();
}

}  // namespace

TEST(FtpPath, ResolvesInsideTheRootOnly)
{
    TempDir tmp;
    std::string root = tmp.file("root");
    mkdir(root.c_str(), 0755);
    mkdir((root + "/Music").c_str(), 0755);
    mkdir(tmp.file("outside").c_str(), 0755);
    symlink("../outside", (root + "/out").c_str());
    symlink("Music", (root + "/inlink").c_str());
    symlink("../outside/none", (root + "/dangling").c_str());
    const QString r = QString::fromStdString(root), music = r + QStringLiteral("/Music");
    using FtpPath::Target;
    struct Row {
        const char *name;
        QString current;
        const char *input;
        Target target;
        std::optional<QString> expected;
    };
    const Row rows[] = {
        {"relative", r, "a.flac", Target::Followed, r + "/a.flac"},
        {"absolute is below the root", music, "/a.flac", Target::Followed, r + "/a.flac"},
        {"dot-dot inside", music, "../a", Target::Followed, r + "/a"},
        {"dot-dot above", r, "../a", Target::Followed, std::nullopt},
        {"dot-dot above from a folder", music, "../../a", Target::Followed, std::nullopt},
        {"absolute dot-dot", music, "/../a", Target::Followed, std::nullopt},
        {"dots and slashes", music, ".//./x//", Target::Followed, music + "/x"},
        {"link inside", r, "inlink/x", Target::Followed, music + "/x"},
        {"link outside", r, "out/x", Target::Followed, std::nullopt},
        {"dangling link", r, "dangling", Target::Followed, std::nullopt},
        {"link entry", r, "out", Target::Entry, r + "/out"},
        {"root entry", music, "/", Target::Entry, std::nullopt},
        {"root entry by dot", r, ".", Target::Entry, std::nullopt},
        {"root entry by dot-dot", music, "..", Target::Entry, std::nullopt},
        {"root followed", music, "/", Target::Followed, r},
        {"NUL", r, "a\0b", Target::Followed, std::nullopt},
        {"CR", r, "a\rb", Target::Followed, std::nullopt},
        {"LF", r, "a\nb", Target::Followed, std::nullopt},
        {"outside current folder", QStringLiteral("/etc"), "x", Target::Followed, std::nullopt},
    };
    for (const Row &row : rows) {
        QString input = QString::fromUtf8(row.input, std::string_view(row.name) == "NUL" ? 3 : -1);
        EXPECT_EQ(FtpPath::resolve(r, row.current, input, row.target), row.expected) << row.name;
    }
    EXPECT_EQ(FtpPath::visible(r, r), QStringLiteral("/"));
    EXPECT_EQ(FtpPath::visible(r, music), QStringLiteral("/Music/"));
    EXPECT_TRUE(FtpPath::isInside(r, music));
    EXPECT_FALSE(FtpPath::isInside(r, r + QStringLiteral("2/x")));
}

TEST_F(FtpServerTest, HostileNamesAreRefusedAndNothingOutsideIsTouched)
{
    std::string outside = tmp.file("outside");
    mkdir(outside.c_str(), 0755);
    mkdir((outside + "/sub").c_str(), 0755);
    writeFile(outside + "/secret", "secret");
    writeFile(root + "/inside", "inside");
    mkdir((root + "/Music").c_str(), 0755);
    symlink("../outside", (root + "/out").c_str());
    symlink("../outside/secret", (root + "/outfile").c_str());
    symlink("../outside/new", (root + "/dangling").c_str());
    std::string rootPath = QFile::decodeName(QFile::encodeName(server->baseDir())).toStdString();
    const std::string before = snapshot(tmp.path());

    struct Row {
        std::string command;
        std::string expectedCode;
    };
    std::vector<Row> rows;
    auto add = [&](const char *verb, const char *code, std::initializer_list<std::string> names) {
        for (const std::string &name : names)
            rows.push_back({std::string(verb) + " " + name, code});
    };
    add("CWD", "550", {"..", "../outside", "/..", "/../outside", "out", "out/", "/out/sub", "Music/../../outside",
                       rootPath + "/../outside"});
    add("LIST", "550", {"..", "out", "../outside", "/../outside/sub", "out/sub"});
    add("RETR", "550", {"../outside/secret", "out/secret", "outfile", "/../outside/secret",
                        "Music/../../outside/secret", std::string("inside\0x", 8)});
    add("STOR", "553", {"../outside/new", "out/new", "dangling", "outfile", "/../new", "x\ry", "Music/../../new"});
    add("DELE", "550", {"../outside/secret", "out/secret", "/", ".", "..", "/../outside", "Music/.."});
    add("RMD", "550", {"/", ".", "//", "out/sub", "../outside", "Music/..", "/Music/../."});
    add("RNFR", "550", {"/", ".", "../outside/secret", "out/secret", "Music/.."});
    add("SIZE", "550", {"../outside/secret", "outfile", "out/secret", "/../outside/secret"});
    add("MKD", "550", {"../outside/newdir", "out/newdir", "dangling/x", "/../newdir", "a\nb"});
    add("APPE", "553", {"../outside/secret", "out/new", "outfile", "dangling"});
    add("NLST", "550", {"..", "out", "out/*", "../outside/*", "/../*"});
    add("MLSD", "550", {"..", "out", "out/sub", "../outside"});
    add("MLST", "550", {"../outside/secret", "out/secret", "/../outside"});
    add("MDTM", "550", {"../outside/secret", "outfile", "out/secret"});
    add("MFMT", "550", {"20000101000000 ../outside/secret", "20000101000000 outfile", "20000101000000 out/sub",
                        "20000101000000 out"});
    add("CDUP", "250", {""});  // at the root: stays there
    ASSERT_GE(rows.size(), 60u);

    whileServing([&] {
        FtpTestClient c;
        connect(c);
        c.prepareData(FtpTestClient::Mode::Epsv);  // so that LIST, RETR and STOR get past the data check
        for (const Row &row : rows) {
            std::string reply = c.command(row.command);
            EXPECT_EQ(reply.substr(0, 4), row.expectedCode + " ") << row.command << " -> " << reply;
            if (reply.rfind("150 ", 0) == 0)
                c.prepareData(FtpTestClient::Mode::Epsv);
        }
        // RNTO may not move a file from inside to outside either.
        EXPECT_EQ(c.command("RNFR inside"), "350 RNFR command successful.");
        for (const char *target : {"../outside/moved", "out/moved", "/../moved", "/", "..", "outfile"})
            EXPECT_EQ(c.command(std::string("RNTO ") + target), "550 RNTO command failed.") << target;
        EXPECT_EQ(c.command("PWD"), "257 \"/\" is the current directory.");
        EXPECT_EQ(c.command("NOOP"), "200 NOOP command successful.");
        // Links that lead outside are listed as links, with nothing of what they lead to.
        std::string machine = c.download(FtpTestClient::Mode::Epsv, "MLSD");
        for (const char *link : {" out\r\n", " outfile\r\n", " dangling\r\n"}) {
            size_t at = machine.find(link);
            ASSERT_NE(at, std::string::npos) << link << machine;
            size_t start = machine.rfind('\n', at);
            start = start == std::string::npos ? 0 : start + 1;
            std::string line = machine.substr(start, at - start);
            EXPECT_EQ(line.rfind("type=OS.unix=slink;", 0), 0u) << line;
            EXPECT_EQ(line.find("size=6;"), std::string::npos) << line;
        }
    });
    EXPECT_EQ(snapshot(tmp.path()), before);
    EXPECT_EQ(counter.changes, 0);
}

TEST_F(FtpServerTest, LinksInsideTheRootStillWork)
{
    mkdir((root + "/Music").c_str(), 0755);
    writeFile(root + "/Music/a", "via link");
    symlink("Music", (root + "/inlink").c_str());
    whileServing([&] {
        FtpTestClient c;
        connect(c);
        EXPECT_EQ(c.command("CWD inlink"), "250 CWD command successful.");
        EXPECT_EQ(c.command("PWD"), "257 \"/Music/\" is the current directory.");
        EXPECT_EQ(c.download(FtpTestClient::Mode::Epsv, "RETR /inlink/a"), "via link");
        // Removing a link removes the link, not the folder it points to.
        EXPECT_EQ(c.command("DELE /inlink"), "250 DELE command successful.");
    });
    EXPECT_EQ(readFile(root + "/Music/a"), "via link");
    EXPECT_EQ(access((root + "/inlink").c_str(), F_OK), -1);
}
