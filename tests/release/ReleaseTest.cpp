// What a user's machine gets: the desktop entry and metainfo (validated, and declaring what the
// library scan takes), the tree `cmake --install` lays out, and the Debian package. The programs
// are started from the installed tree, where they must find their resources on their own.
#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QMimeDatabase>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QXmlStreamReader>

#include "TestSupport.h"
#include "metadata/PlayableItemFixtures.h"
#include "platform/HelperProcess.h"
#include "playback/PlayList.h"

namespace {

const QString kSource = QStringLiteral(SONAVEL_SOURCE_DIR);
const QString kBuild = QStringLiteral(SONAVEL_BUILD_DIR);
const QString kVersion = QStringLiteral(SONAVEL_VERSION);
const QString kDesktopFile = kSource + "/resources/desktop/org.sonavel.Sonavel.desktop";
const QString kMetainfoFile = kSource + "/resources/desktop/org.sonavel.Sonavel.metainfo.xml";

QString readText(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QString desktopValue(const QString &key)
{
    const QRegularExpression line(QStringLiteral("^%1=(.*)$").arg(key),
                                  QRegularExpression::MultilineOption);
    return line.match(readText(kDesktopFile)).captured(1);
}

QStringList desktopMimeTypes()
{
    QStringList types = desktopValue(QStringLiteral("MimeType")).split(';', Qt::SkipEmptyParts);
    types.sort();
    return types;
}

bool onPath(const char *program)
{
    return !QStandardPaths::findExecutable(QString::fromLatin1(program)).isEmpty();
}

ToolResult run(const QStringList &args)
{
    std::vector<std::string> all;
    for (const QString &arg : args)
        all.push_back(arg.toStdString());
    return runProgram(all);
}

struct Metainfo {
    QStringList mediaTypes;
    QStringList binaries;
    QStringList screenshots;
    QString launchable;
    QString newestRelease;
};

Metainfo readMetainfo()
{
    Metainfo info;
    QXmlStreamReader xml(readText(kMetainfoFile));
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const auto name = xml.name();
        if (name == QLatin1String("release") && info.newestRelease.isEmpty())
            info.newestRelease = xml.attributes().value(QLatin1String("version")).toString();
        else if (name == QLatin1String("mediatype"))
            info.mediaTypes << xml.readElementText();
        else if (name == QLatin1String("binary"))
            info.binaries << xml.readElementText();
        else if (name == QLatin1String("image"))
            info.screenshots << xml.readElementText();
        else if (name == QLatin1String("launchable"))
            info.launchable = xml.readElementText();
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    info.mediaTypes.sort();
    return info;
}

// The programs a prefix's bin/ holds, and nothing else (no render tool, tests or benchmarks).
const QStringList kInstalledPrograms{QStringLiteral("sonavel"), QStringLiteral("sonavel-tool")};

QStringList filesIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
}

// Starts the programs of a tree laid out as PREFIX/bin and PREFIX/share, the way a desktop would:
// the player on a private session bus with a library, preferences and runtime folder of its own;
// a second start with a file hands the file to it and exits; the player quits when an MPRIS
// client asks. sonavel-tool answers --help. Needs privateSessionBus().
void expectProgramsRunFrom(const QString &prefix)
{
    ToolResult help = run({prefix + "/bin/sonavel-tool", "--help"});
    EXPECT_EQ(help.exitCode, 0) << help.err;
    EXPECT_NE(help.out.find("usage: sonavel-tool"), std::string::npos) << help.out;

    TempDir home;
    const QString music = QString::fromStdString(home.file("Music"));
    const QString runtime = QString::fromStdString(home.file("run"));
    ASSERT_TRUE(QDir().mkpath(runtime));
    QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();  // with the private bus
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("SONAVEL_AUDIO_OUTPUT", "null");
    env.insert("SONAVEL_DOCUMENTS", music);
    env.insert("XDG_CONFIG_HOME", QString::fromStdString(home.file("config")));
    env.insert("XDG_RUNTIME_DIR", runtime);

    QProcess player;
    dieWithParent(player);
    player.setProcessEnvironment(env);
    player.start(prefix + "/bin/sonavel", {});
    QDBusConnectionInterface *bus = QDBusConnection::sessionBus().interface();
    ASSERT_TRUE(bus);
    const bool up = runLoopUntil([&] {
        return player.state() == QProcess::NotRunning ||
               (bus->isServiceRegistered("org.sonavel.Sonavel") &&
                bus->isServiceRegistered("org.mpris.MediaPlayer2.sonavel"));
    }, 60000);
    ASSERT_TRUE(up && player.state() == QProcess::Running) << player.readAllStandardError().toStdString();

    const std::string song = home.file("song.flac");
    ASSERT_TRUE(writeFlac(song, makePcm(44100, 2, 16, 4410)));
    QProcess second;
    second.setProcessEnvironment(env);
    second.start(prefix + "/bin/sonavel", {QString::fromStdString(song)});
    ASSERT_TRUE(second.waitForFinished(60000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0) << second.readAllStandardError().toStdString();
    const std::string arrived = music.toStdString() + "/Inbox/song.flac";
    EXPECT_TRUE(runLoopUntil([&] { return QFileInfo::exists(QString::fromStdString(arrived)); }, 30000));
    EXPECT_EQ(readFile(arrived), readFile(song));

    QDBusMessage quit = QDBusMessage::createMethodCall("org.mpris.MediaPlayer2.sonavel",
                                                       "/org/mpris/MediaPlayer2", "org.mpris.MediaPlayer2", "Quit");
    EXPECT_EQ(QDBusConnection::sessionBus().call(quit).type(), QDBusMessage::ReplyMessage);
    ASSERT_TRUE(player.waitForFinished(60000));
    const QString said = QString::fromUtf8(player.readAllStandardError());
    EXPECT_EQ(player.exitStatus(), QProcess::NormalExit) << said.toStdString();
    EXPECT_EQ(player.exitCode(), 0) << said.toStdString();
    EXPECT_FALSE(said.contains("no resources")) << said.toStdString();
}

TEST(DesktopEntry, DeclaresEveryTypeTheScanTakesAndValidates)
{
    const QStringList declared = desktopMimeTypes();
    QMimeDatabase mimes;
    for (const QString &extension : PlayList::audioExtensions()) {
        const QMimeType type = mimes.mimeTypeForFile("x." + extension, QMimeDatabase::MatchExtension);
        bool listed = declared.contains(type.name());
        for (const QString &alias : type.aliases())
            listed = listed || declared.contains(alias);
        EXPECT_TRUE(listed) << "." << extension.toStdString() << " is "
                            << type.name().toStdString() << ", missing from MimeType=";
    }
    EXPECT_EQ(desktopValue(QStringLiteral("Exec")), QStringLiteral("sonavel %F"));

    if (!onPath("desktop-file-validate"))
        GTEST_SKIP() << "desktop-file-validate is not installed (scripts/setup installs it)";
    ToolResult check = run({"desktop-file-validate", kDesktopFile});
    EXPECT_EQ(check.exitCode, 0);
    EXPECT_EQ(check.out + check.err, "");  // not even hints
}

TEST(Metainfo, AgreesWithTheDesktopEntryAndTheVersionAndValidates)
{
    const Metainfo info = readMetainfo();
    EXPECT_EQ(info.mediaTypes, desktopMimeTypes());
    EXPECT_EQ(info.launchable, QFileInfo(kDesktopFile).fileName());
    QStringList binaries = info.binaries;
    binaries.sort();
    EXPECT_EQ(binaries, (QStringList{"sonavel", "sonavel-tool"}));
    EXPECT_GE(info.screenshots.size(), 2);

    // A version bump needs its release in both the metainfo and the Debian changelog.
    EXPECT_EQ(info.newestRelease, kVersion);
    const QString changelog = readText(kSource + "/cmake/debian/changelog");
    EXPECT_TRUE(changelog.startsWith("sonavel (" + kVersion + ") ")) << changelog.left(60).toStdString();

    if (!onPath("appstreamcli"))
        GTEST_SKIP() << "appstreamcli is not installed (scripts/setup installs it)";
    ToolResult check = run({"appstreamcli", "validate", "--no-net", kMetainfoFile});
    EXPECT_EQ(check.exitCode, 0) << check.out << check.err;
    // Errors fail the exit code; warnings and infos do not, so they are looked for here.
    const QRegularExpression problem(QStringLiteral("^[EWI]: "), QRegularExpression::MultilineOption);
    EXPECT_FALSE(problem.match(QString::fromStdString(check.out + check.err)).hasMatch())
        << check.out << check.err;
}

TEST(Install, LaysOutAPrefixTheProgramsRunFrom)
{
    TempDir prefix;
    const QString root = QString::fromStdString(prefix.path());
    ToolResult install = run({CMAKE_COMMAND, "--install", kBuild, "--prefix", root});
    ASSERT_EQ(install.exitCode, 0) << install.out << install.err;

    for (const char *file : {
             "share/applications/org.sonavel.Sonavel.desktop",
             "share/metainfo/org.sonavel.Sonavel.metainfo.xml",
             "share/icons/hicolor/scalable/apps/org.sonavel.Sonavel.svg",
             "share/sonavel/translations/sonavel_en.qm",
             "share/sonavel/images/play.png",
             "share/sonavel/theme/iPhone/Plain.thm",
             "share/sonavel/theme/iPad/Plain.thm",
             "share/man/man1/sonavel.1.gz",
             "share/man/man1/sonavel-tool.1.gz",
             "share/doc/sonavel/copyright",
             "share/doc/sonavel/changelog.gz",
         })
        EXPECT_TRUE(QFileInfo::exists(root + "/" + file)) << file;
    if (QFileInfo::exists(kSource + "/resources/help")) {
        EXPECT_FALSE(QDir(root + "/share/sonavel/help").isEmpty());
    }

    // The entry's icon name is the installed icon's file name; the fixed sizes are really that size.
    const QString icon = desktopValue(QStringLiteral("Icon"));
    const QString icons = root + "/share/icons/hicolor";
    EXPECT_TRUE(QFileInfo::exists(icons + "/scalable/apps/" + icon + ".svg")) << icon.toStdString();
    for (int px : {128, 256}) {
        QImageReader png(QStringLiteral("%1/%2x%2/apps/%3.png").arg(icons).arg(px).arg(icon));
        EXPECT_EQ(png.size(), QSize(px, px)) << png.fileName().toStdString() << ": "
                                             << png.errorString().toStdString();
    }

    EXPECT_EQ(filesIn(root + "/bin"), kInstalledPrograms);
    if (privateSessionBus().isEmpty())
        GTEST_SKIP() << "dbus-daemon is not installed (scripts/setup installs it)";
    expectProgramsRunFrom(root);
}

// The build tree is laid out like an installed prefix, so the programs run from it alike; and
// the player started twice is one player that has the second start's file.
TEST(BuildTree, TheProgramsRunFromItAndASecondStartHandsItsFileOver)
{
    if (privateSessionBus().isEmpty())
        GTEST_SKIP() << "dbus-daemon is not installed (scripts/setup installs it)";
    expectProgramsRunFrom(QFileInfo(QStringLiteral(SONAVEL_PROGRAM)).absolutePath() + "/..");
}

TEST(Package, UnpacksIntoARootTheProgramsRunFromAndLintianFindsNoError)
{
#ifdef SONAVEL_SANITIZED
    // The package is made from the normal build: a sanitizer build's programs need the sanitizer
    // runtime, which the package does not depend on, and packing them again proves nothing new.
    GTEST_SKIP() << "not packaged from a sanitizer build";
#endif
    if (!onPath("dpkg-deb") || !onPath("dpkg-shlibdeps") || !onPath("file"))
        GTEST_SKIP() << "dpkg-dev or file is not installed (scripts/setup installs them)";

    // Packed into a folder of its own, so that a `package` build running at the same time
    // does not share CPack's staging folder with this test.
    TempDir out;
    const QString folder = QString::fromStdString(out.path());
    ToolResult pack = run({CMAKE_CPACK_COMMAND, "--config", kBuild + "/CPackConfig.cmake", "-B", folder});
    ASSERT_EQ(pack.exitCode, 0) << pack.out << pack.err;
    const QStringList debs = QDir(folder).entryList({"sonavel_" + kVersion + "_*.deb"}, QDir::Files);
    ASSERT_EQ(debs.size(), 1) << pack.out;
    const QString deb = folder + "/" + debs.first();

    ToolResult fields = run({"dpkg-deb", "--field", deb, "Section", "Depends"});
    ASSERT_EQ(fields.exitCode, 0) << fields.err;
    EXPECT_NE(fields.out.find("Section: sound"), std::string::npos) << fields.out;
    // dpkg-shlibdeps names the libraries the programs link.
    for (const char *library : {"libc6", "libqt6core6", "libqt6widgets6", "libqt6dbus6", "libflac",
                                "libavformat", "libasound2", "libpulse0"})
        EXPECT_NE(fields.out.find(library), std::string::npos) << library << " in " << fields.out;

    const QString root = folder + "/root";
    ToolResult unpack = run({"dpkg", "-x", deb, root});
    ASSERT_EQ(unpack.exitCode, 0) << unpack.err;
    EXPECT_EQ(filesIn(root + "/usr/bin"), kInstalledPrograms);
    if (!privateSessionBus().isEmpty())
        expectProgramsRunFrom(root + "/usr");

    if (!onPath("lintian"))
        GTEST_SKIP() << "lintian is not installed (scripts/setup installs it)";
    // lintian exits with 2 on an error tag, 1 when it cannot run.
    ToolResult lint = run({"lintian", "--fail-on", "error", deb});
    EXPECT_EQ(lint.exitCode, 0) << lint.out << lint.err;
}

}  // namespace
