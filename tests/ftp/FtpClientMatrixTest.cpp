// The client matrix: real FTP programs against sonavel-tool ftpd, each through the steps a user
// takes. Upload a tree with non-ASCII names, list it, download with SHA-256 equality, rename,
// delete, resume a download and an upload cut off after a byte count, and mirror twice (the
// second run moves nothing). A step a client cannot take at all is named in the output.
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QDirIterator>
#include <QProcess>

#include <gtest/gtest.h>

#include <map>
#include <ostream>
#include <memory>
#include <random>

#include "FtpCutProxy.h"
#include "FtpTestClient.h"
#include "TestSupport.h"

namespace {

// One step of one client: a bash script, or why the client cannot take it.
struct Step {
    const char *script = nullptr;
    const char *cannot = nullptr;
};

// Every script runs with: H, P (the proxy's address), URL, R (the client's own folder on the
// server), SRC (the local tree: one album folder), ALBUM, TRACK (a file in it), RENAMED, CUE (in
// its "CD 2"), OUT (an empty local folder), BIG (a local file to upload), N (the cut), and the
// helpers in kHelpers.
struct Client {
    const char *name;
    const char *program;
    Step upload, list, download, rename, remove;
    Step cutDownload, resumeDownload, cutUpload, resumeUpload;
    Step mirrorDown, mirrorUp;  // each run twice: R into OUT/mirror, and SRC into R/mirror-up
};

// So that test names show the client rather than the record's bytes.
void PrintTo(const Client &client, std::ostream *out) { *out << client.name; }

const char kNoRecursion[] = "it has no recursive transfer";
const char kOnlyDownloads[] = "it only downloads";
const char kNoResume[] = "it starts an interrupted FTP transfer over from the beginning";

const Client kClients[] = {
    {.name = "curl",
     .program = "curl",
     .upload = {R"SH(cd "$SRC" && find . -type f | sort | while IFS= read -r f; do
                     curl -sS --ftp-create-dirs -T "$f" "$URL/$R/$(enc "${f#./}")" || exit 1; done)SH"},
     .list = {R"SH(curl -sS "$URL/$R/$(enc "$ALBUM")/" && curl -sS -l "$URL/$R/$(enc "$ALBUM")/")SH"},
     .download = {R"SH(curl -sS -o "$OUT/$TRACK" "$URL/$R/$(enc "$ALBUM/$TRACK")")SH"},
     .rename = {R"SH(curl -sS -o /dev/null "$URL/" -Q "RNFR $R/$ALBUM/cover.jpg" -Q "RNTO $R/$ALBUM/$RENAMED")SH"},
     .remove = {R"SH(curl -sS -o /dev/null "$URL/" -Q "DELE $R/$ALBUM/CD 2/$CUE")SH"},
     .cutDownload = {R"SH(curl -sS -o "$OUT/big.bin" "$URL/$R/big.bin")SH"},
     .resumeDownload = {R"SH(curl -sS -C - -o "$OUT/big.bin" "$URL/$R/big.bin")SH"},
     .cutUpload = {R"SH(curl -sS -T "$BIG" "$URL/$R/big-up.bin")SH"},
     .resumeUpload = {R"SH(curl -sS -C - -T "$BIG" "$URL/$R/big-up.bin")SH"},
     .mirrorDown = {nullptr, kNoRecursion},
     .mirrorUp = {nullptr, kNoRecursion}},
    {.name = "wget",
     .program = "wget",
     .upload = {nullptr, kOnlyDownloads},
     .list = {R"SH(cd "$OUT" && wget -nv --no-remove-listing -O /dev/null "$URL/$R/$(enc "$ALBUM")/" && cat .listing)SH"},
     .download = {R"SH(wget -nv -t 1 -O "$OUT/$TRACK" "$URL/$R/$(enc "$ALBUM/$TRACK")")SH"},
     .rename = {nullptr, kOnlyDownloads},
     .remove = {nullptr, kOnlyDownloads},
     .cutDownload = {R"SH(wget -nv -t 1 -P "$OUT" "$URL/$R/big.bin")SH"},
     .resumeDownload = {R"SH(wget -nv -t 1 -c -P "$OUT" "$URL/$R/big.bin")SH"},
     .cutUpload = {nullptr, kOnlyDownloads},
     .resumeUpload = {nullptr, kOnlyDownloads},
     .mirrorDown = {R"SH(wget -nv -t 1 -m -nH --cut-dirs=1 -P "$OUT/mirror" "$URL/$R/")SH"},
     .mirrorUp = {nullptr, kOnlyDownloads}},
    {.name = "lftp",
     .program = "lftp",
     .upload = {R"SH(L "mirror -R '$SRC' $R")SH"},
     .list = {R"SH(L "cls -1 '$R/$ALBUM/'; ls '$R/$ALBUM/'")SH"},
     .download = {R"SH(L "get '$R/$ALBUM/$TRACK' -o '$OUT/$TRACK'")SH"},
     .rename = {R"SH(L "mv '$R/$ALBUM/cover.jpg' '$R/$ALBUM/$RENAMED'")SH"},
     .remove = {R"SH(L "rm '$R/$ALBUM/CD 2/$CUE'")SH"},
     .cutDownload = {R"SH(L "get $R/big.bin -o $OUT/big.bin")SH"},
     .resumeDownload = {R"SH(L "get -c $R/big.bin -o $OUT/big.bin")SH"},
     .cutUpload = {R"SH(L "put $BIG -o $R/big-up.bin")SH"},
     .resumeUpload = {R"SH(L "put -c $BIG -o $R/big-up.bin")SH"},
     .mirrorDown = {R"SH(L "mirror $R $OUT/mirror")SH"},
     .mirrorUp = {R"SH(L "mirror -R $SRC $R/mirror-up")SH"}},
    {.name = "tnftp",
     .program = "tnftp",
     .upload = {R"SH(cd "$SRC" && find . -mindepth 1 -type d | sort | sed "s|^\./\(.*\)|mkdir \"$R/\1\"|" > ../dirs &&
                   find . -type f | sort | sed "s|^\./\(.*\)|put \"\1\" \"$R/\1\"|" > ../files &&
                   T "mkdir $R" "$(cat ../dirs)" "$(cat ../files)")SH"},
     .list = {R"SH(T "ls \"$R/$ALBUM\"" "nlist \"$R/$ALBUM\"")SH"},
     .download = {R"SH(T "get \"$R/$ALBUM/$TRACK\" \"$OUT/$TRACK\"")SH"},
     .rename = {R"SH(T "rename \"$R/$ALBUM/cover.jpg\" \"$R/$ALBUM/$RENAMED\"")SH"},
     .remove = {R"SH(T "delete \"$R/$ALBUM/CD 2/$CUE\"")SH"},
     .cutDownload = {R"SH(T "get $R/big.bin $OUT/big.bin")SH"},
     .resumeDownload = {R"SH(T "reget $R/big.bin $OUT/big.bin")SH"},
     .cutUpload = {R"SH(T "put $BIG $R/big-up.bin")SH"},
     // tnftp has no resuming put: the user reads the size and restarts there.
     .resumeUpload = {R"SH(T "size $R/big-up.bin" "restart $N" "put $BIG $R/big-up.bin")SH"},
     .mirrorDown = {nullptr, kNoRecursion},
     .mirrorUp = {nullptr, kNoRecursion}},
    {.name = "ncftp",
     .program = "ncftpput",
     .upload = {R"SH(ncftpput $NC -m -R "$H" "/$R" "$SRC/$ALBUM")SH"},
     .list = {R"SH(ncftpls $NC -1 "ftp://$H/$R/$(enc "$ALBUM")/" && ncftpls $NC -m "ftp://$H/$R/$(enc "$ALBUM")/")SH"},
     .download = {R"SH(ncftpget $NC "$H" "$OUT" "/$R/$ALBUM/$TRACK")SH"},
     // ncftp's programs have no rename or delete of their own; they send raw commands.
     .rename = {R"SH(ncftpls $NC -W "RNFR /$R/$ALBUM/cover.jpg" -W "RNTO /$R/$ALBUM/$RENAMED" "ftp://$H/")SH"},
     .remove = {R"SH(ncftpls $NC -W "DELE /$R/$ALBUM/CD 2/$CUE" "ftp://$H/")SH"},
     .cutDownload = {R"SH(ncftpget $NC "$H" "$OUT" "/$R/big.bin")SH"},
     .resumeDownload = {R"SH(ncftpget $NC -z "$H" "$OUT" "/$R/big.bin")SH"},
     .cutUpload = {R"SH(ncftpput $NC "$H" "/$R" "$BIG")SH"},
     // -s: with sendfile, its default, ncftpput sends a resumed upload from the file's first
     // byte after asking the server to restart at the point reached.
     .resumeUpload = {R"SH(ncftpput $NC -s -z "$H" "/$R" "$BIG")SH"},
     .mirrorDown = {R"SH(mkdir -p "$OUT/mirror" && ncftpget $NC -R -T "$H" "$OUT/mirror" "/$R/*")SH"},
     .mirrorUp = {R"SH(ncftpput $NC -z -m -R "$H" "/$R/mirror-up" "$SRC/$ALBUM")SH"}},
    {.name = "rclone",
     .program = "rclone",
     .upload = {R"SH(RC copy "$SRC" "s:$R")SH"},
     .list = {R"SH(RC lsf -R "s:$R")SH"},
     .download = {R"SH(RC copyto "s:$R/$ALBUM/$TRACK" "$OUT/$TRACK")SH"},
     .rename = {R"SH(RC moveto "s:$R/$ALBUM/cover.jpg" "s:$R/$ALBUM/$RENAMED")SH"},
     .remove = {R"SH(RC deletefile "s:$R/$ALBUM/CD 2/$CUE")SH"},
     .cutDownload = {nullptr, kNoResume},
     .resumeDownload = {nullptr, kNoResume},
     .cutUpload = {nullptr, kNoResume},
     .resumeUpload = {nullptr, kNoResume},
     .mirrorDown = {R"SH(RC sync "s:$R" "$OUT/mirror")SH"},
     .mirrorUp = {R"SH(RC sync "$SRC" "s:$R/mirror-up")SH"}},
    {.name = "ftplib",
     .program = "python3",
     .upload = {R"SH(PY upload "$SRC" "$R")SH"},
     .list = {R"SH(PY list "$R/$ALBUM")SH"},
     .download = {R"SH(PY get "$R/$ALBUM/$TRACK" "$OUT/$TRACK")SH"},
     .rename = {R"SH(PY rename "$R/$ALBUM/cover.jpg" "$R/$ALBUM/$RENAMED")SH"},
     .remove = {R"SH(PY delete "$R/$ALBUM/CD 2/$CUE")SH"},
     .cutDownload = {R"SH(PY get "$R/big.bin" "$OUT/big.bin")SH"},
     .resumeDownload = {R"SH(PY get-resume "$R/big.bin" "$OUT/big.bin")SH"},
     .cutUpload = {R"SH(PY put "$BIG" "$R/big-up.bin")SH"},
     .resumeUpload = {R"SH(PY put-resume "$BIG" "$R/big-up.bin")SH"},
     .mirrorDown = {R"SH(PY mirror-down "$R" "$OUT/mirror")SH"},
     .mirrorUp = {R"SH(PY mirror-up "$SRC" "$R/mirror-up")SH"}},
};

const char kHelpers[] = R"SH(
enc() { python3 -c 'import sys, urllib.parse; print(urllib.parse.quote(sys.argv[1]))' "$1"; }
L() { lftp -e "set net:max-retries 1; set net:timeout 5; set cmd:fail-exit yes; set ftp:ssl-allow no; $1; quit" \
        -u user,pass -p "$P" "$H"; }
T() { { echo "user user pass"; echo binary; printf '%s\n' "$@"; echo bye; } | tnftp -n -i "$H" "$P"; }
RC() { RCLONE_CONFIG_S_TYPE=ftp RCLONE_CONFIG_S_HOST="$H" RCLONE_CONFIG_S_PORT="$P" RCLONE_CONFIG_S_USER=user \
       RCLONE_CONFIG_S_PASS="$(rclone obscure pass)" \
       rclone --config "$OUT/../rclone.conf" --retries 1 --low-level-retries 1 --contimeout 5s --timeout 10s "$@"; }
PY() { python3 "$OUT/../ftp_clients.py" "$H" "$P" "$@"; }
NC="-u user -p pass -P $P -t 10"
)SH";

// Python's ftplib as a client: one operation per run.
const char kPythonClient[] = R"PY(# Python's ftplib as an FTP client for the client matrix: one operation per run.
# usage: ftp_clients.py HOST PORT OPERATION ARGS...
import ftplib
import os
import sys
from datetime import datetime, timezone

host, port, op, args = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4:]
ftp = ftplib.FTP(encoding='utf-8')
ftp.connect(host, port, timeout=10)
ftp.login('user', 'pass')


def stamp(seconds):
    return datetime.fromtimestamp(int(seconds), timezone.utc).strftime('%Y%m%d%H%M%S')


def put_tree(local, remote, skip_same):
    """Stores every file below `local` under `remote`; with `skip_same`, only those whose size
    or time differ, and their times go across with MFMT."""
    for folder, dirs, files in os.walk(local):
        rel = os.path.relpath(folder, local)
        rdir = remote if rel == '.' else remote + '/' + rel
        there = {}
        try:
            there = dict(ftp.mlsd(rdir, ['type', 'size', 'modify']))
        except ftplib.error_perm:
            ftp.mkd(rdir)
        for name in files:
            path = os.path.join(folder, name)
            facts = there.get(name, {})
            if skip_same and facts.get('size') == str(os.path.getsize(path)) and \
                    facts.get('modify') == stamp(os.path.getmtime(path)):
                continue
            with open(path, 'rb') as f:
                ftp.storbinary('STOR ' + rdir + '/' + name, f)
            if skip_same:
                ftp.sendcmd('MFMT %s %s/%s' % (stamp(os.path.getmtime(path)), rdir, name))


def get_tree(remote, local):
    """Fetches what is missing or differs in size or time below `remote` into `local`."""
    os.makedirs(local, exist_ok=True)
    for name, facts in ftp.mlsd(remote, ['type', 'size', 'modify']):
        path = os.path.join(local, name)
        if facts['type'] == 'dir':
            get_tree(remote + '/' + name, path)
            continue
        when = datetime.strptime(facts['modify'], '%Y%m%d%H%M%S').replace(tzinfo=timezone.utc).timestamp()
        if os.path.exists(path) and os.path.getsize(path) == int(facts['size']) and \
                int(os.path.getmtime(path)) == int(when):
            continue
        with open(path, 'wb') as f:
            ftp.retrbinary('RETR ' + remote + '/' + name, f.write)
        os.utime(path, (when, when))


if op == 'upload':
    ftp.mkd(args[1])
    put_tree(args[0], args[1], False)
elif op == 'list':
    print('\n'.join(ftp.nlst(args[0])))
    for name, facts in ftp.mlsd(args[0]):
        print(name, facts)
elif op == 'get':
    with open(args[1], 'wb') as f:
        ftp.retrbinary('RETR ' + args[0], f.write)
elif op == 'rename':
    ftp.rename(args[0], args[1])
elif op == 'delete':
    ftp.delete(args[0])
elif op == 'put':
    with open(args[0], 'rb') as f:
        ftp.storbinary('STOR ' + args[1], f)
elif op == 'get-resume':
    rest = os.path.getsize(args[1])
    with open(args[1], 'ab') as f:
        ftp.retrbinary('RETR ' + args[0], f.write, rest=rest)
elif op == 'put-resume':
    ftp.voidcmd('TYPE I')
    rest = ftp.size(args[1])
    with open(args[0], 'rb') as f:
        f.seek(rest)
        ftp.storbinary('STOR ' + args[1], f, rest=rest)
elif op == 'mirror-down':
    get_tree(args[0], args[1])
elif op == 'mirror-up':
    try:
        ftp.mkd(args[1])
    except ftplib.error_perm:
        pass
    put_tree(args[0], args[1], True)
else:
    sys.exit('unknown operation ' + op)
ftp.quit()
)PY";

const char kAlbum[] = "Ålbum – Ünïcode";
const char kTrack[] = "01 – Ça va.flac";
const char kRenamed[] = "Cövér.jpg";
const char kCue[] = "Ωmega.cue";
constexpr size_t kCut = 200000;

std::string randomBytes(size_t size, unsigned seed)
{
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char &c : bytes)
        c = char(random());
    return bytes;
}

std::string sha256(const std::string &path)
{
    return QCryptographicHash::hash(QByteArray::fromStdString(readFile(path)), QCryptographicHash::Sha256)
        .toHex()
        .toStdString();
}

long long sizeOf(const std::string &path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? st.st_size : -1;
}

bool exists(const std::string &path) { return access(path.c_str(), F_OK) == 0; }

// Relative path -> SHA-256 of every file below `dir` ("dir" for folders); dot-files left out
// (wget keeps its .listing files).
std::map<std::string, std::string> tree(const std::string &dir)
{
    std::map<std::string, std::string> files;
    QDirIterator it(QString::fromStdString(dir), QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QString path = it.next();
        files[path.mid(int(dir.size())).toStdString()] = it.fileInfo().isDir() ? "dir" : sha256(path.toStdString());
    }
    return files;
}

bool haveProgram(const char *name)
{
    return system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

std::string shellQuoted(const std::string &text)
{
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

bool sent(const std::vector<std::string> &commands, const std::string &prefix)
{
    for (const std::string &c : commands) {
        if (strncasecmp(c.c_str(), prefix.c_str(), prefix.size()) == 0)
            return true;
    }
    return false;
}

class FtpClientMatrix : public testing::TestWithParam<Client> {
protected:
    void SetUp() override
    {
        root = tmp.file("root");
        src = tmp.file("src");
        out = tmp.file("out");
        const std::string album = src + "/" + kAlbum;
        for (const std::string &dir : {root, src, out, album, album + "/CD 2"})
            mkdir(dir.c_str(), 0755);
        writeFile(album + "/" + kTrack, randomBytes(180000, 1));
        writeFile(album + "/日本語 ソング.flac", randomBytes(120000, 2));
        writeFile(album + "/cover.jpg", randomBytes(5000, 3));
        writeFile(album + "/CD 2/" + kCue, "FILE \"02 – Ελληνικά.flac\" WAVE\n");
        writeFile(album + "/CD 2/02 – Ελληνικά.flac", randomBytes(60000, 4));
        big = tmp.file("big-up.bin");
        writeFile(big, randomBytes(600000, 5));
        writeFile(tmp.file("rclone.conf"), "");
        writeFile(tmp.file("ftp_clients.py"), kPythonClient);

        int serverPort = freePort();
        server.start(QStringLiteral(SONAVEL_TOOL), {QStringLiteral("ftpd"), QStringLiteral("--port"),
                                                    QString::number(serverPort), QStringLiteral("--root"),
                                                    QString::fromStdString(root)});
        ASSERT_TRUE(server.waitForStarted());
        FtpTestClient probe;
        for (int i = 0; i < 100 && probe.connect("127.0.0.1", serverPort).empty(); i++)
            usleep(50000);
        proxy = std::make_unique<FtpCutProxy>(serverPort);
    }
    void TearDown() override
    {
        proxy.reset();
        server.terminate();
        server.waitForFinished(10000);
    }

    // Runs a script with the client's variables; true when it exits with 0.
    bool run(const char *script, std::string *output = nullptr)
    {
        const Client &c = GetParam();
        std::string text = "set -u\n";
        const std::pair<const char *, std::string> vars[] = {
            {"H", "127.0.0.1"},
            {"P", std::to_string(proxy->port())},
            {"URL", "ftp://127.0.0.1:" + std::to_string(proxy->port())},
            {"R", c.name},
            {"SRC", src},
            {"ALBUM", kAlbum},
            {"TRACK", kTrack},
            {"RENAMED", kRenamed},
            {"CUE", kCue},
            {"OUT", out},
            {"BIG", big},
            {"N", std::to_string(kCut)},
        };
        for (const auto &[name, value] : vars)
            text += std::string("export ") + name + "=" + shellQuoted(value) + "\n";
        text += kHelpers;
        text += script;
        text += "\n";
        writeFile(tmp.file("step.sh"), text);
        // A tight limit: a client stuck on the server fails its step instead of the whole run.
        ToolResult r = runProgram({"timeout", "-k", "2", "30", "bash", tmp.file("step.sh")});
        if (output)
            *output = r.out;
        lastOutput = r.out + r.err;
        return r.exitCode == 0;
    }

    // Runs `step`, or says why the client cannot take it (then false).
    bool take(const char *what, const Step &step, bool mustSucceed = true)
    {
        if (!step.script) {
            printf("[ client matrix ] %s cannot %s: %s\n", GetParam().name, what, step.cannot);
            return false;
        }
        bool ok = run(step.script);
        if (mustSucceed) {
            EXPECT_TRUE(ok) << what << " failed:\n" << lastOutput;
        }
        return true;
    }

    TempDir tmp;
    std::string root, src, out, big, lastOutput;
    QProcess server;
    std::unique_ptr<FtpCutProxy> proxy;
};

TEST_P(FtpClientMatrix, EveryStepAUserTakes)
{
    const Client &c = GetParam();
    if (!haveProgram(c.program))
        GTEST_SKIP() << c.program << " is not installed";
    const std::string mine = root + "/" + c.name, album = mine + "/" + kAlbum;

    // A client that cannot upload gets the tree put in place for the steps after.
    if (take("upload", c.upload)) {
        EXPECT_EQ(tree(mine), tree(src));
    } else {
        ASSERT_EQ(system(("cp -a " + shellQuoted(src) + " " + shellQuoted(mine)).c_str()), 0);
    }
    writeFile(mine + "/big.bin", randomBytes(600000, 6));

    std::string listing;
    EXPECT_TRUE(run(c.list.script, &listing)) << lastOutput;
    for (const char *name : {kTrack, "日本語 ソング.flac", "CD 2"})
        EXPECT_NE(listing.find(name), std::string::npos) << name << " not in\n" << listing;

    if (take("download", c.download)) {
        EXPECT_EQ(sha256(out + "/" + kTrack), sha256(src + "/" + kAlbum + "/" + kTrack));
    }
    if (take("rename", c.rename)) {
        EXPECT_FALSE(exists(album + "/cover.jpg"));
        EXPECT_EQ(sha256(album + "/" + kRenamed), sha256(src + "/" + kAlbum + "/cover.jpg"));
    }
    if (take("delete", c.remove)) {
        EXPECT_FALSE(exists(album + "/CD 2/" + kCue));
    }

    // The proxy closes the data connection after kCut bytes; the client goes on from there (REST,
    // or APPE for an upload), as its commands show.
    proxy->cutNextTransferAt(kCut);
    if (take("resume a download", c.cutDownload, false)) {
        // A client may lose what it had not yet written out (lftp keeps whole blocks).
        long long partial = sizeOf(out + "/big.bin");
        EXPECT_TRUE(partial > 0 && partial <= (long long)kCut) << partial << "\n" << lastOutput;
        proxy->takeCommands();
        take("resume a download", c.resumeDownload);
        EXPECT_EQ(sha256(out + "/big.bin"), sha256(mine + "/big.bin"));
        EXPECT_TRUE(sent(proxy->takeCommands(), "REST " + std::to_string(partial)));
    }
    proxy->cutNextTransferAt(kCut);
    if (take("resume an upload", c.cutUpload, false)) {
        EXPECT_EQ(sizeOf(mine + "/big-up.bin"), (long long)kCut) << lastOutput;
        proxy->takeCommands();
        take("resume an upload", c.resumeUpload);
        EXPECT_EQ(sha256(mine + "/big-up.bin"), sha256(big));
        std::vector<std::string> commands = proxy->takeCommands();
        EXPECT_TRUE(sent(commands, "REST " + std::to_string(kCut)) || sent(commands, "APPE "));
    }
    proxy->cutNextTransferAt(0);

    // The second run of a mirror finds everything in place and moves nothing.
    auto transfers = [](const std::vector<std::string> &commands) {
        return sent(commands, "RETR ") || sent(commands, "STOR ") || sent(commands, "APPE ");
    };
    if (take("mirror from the server", c.mirrorDown)) {
        EXPECT_EQ(tree(out + "/mirror"), tree(mine));
        proxy->takeCommands();
        take("mirror from the server", c.mirrorDown);
        EXPECT_FALSE(transfers(proxy->takeCommands())) << "the second mirror moved files";
    }
    if (take("mirror to the server", c.mirrorUp)) {
        EXPECT_EQ(tree(mine + "/mirror-up"), tree(src));
        proxy->takeCommands();
        take("mirror to the server", c.mirrorUp);
        EXPECT_FALSE(transfers(proxy->takeCommands())) << "the second mirror moved files";
    }
}

INSTANTIATE_TEST_SUITE_P(Clients, FtpClientMatrix, testing::ValuesIn(kClients),
                         [](const testing::TestParamInfo<Client> &info) { return std::string(info.param.name); });

}  // namespace
