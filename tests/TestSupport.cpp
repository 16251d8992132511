#include "TestSupport.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTranslator>
#include <QXmlStreamReader>

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <stdexcept>

#include "platform/Preferences.h"

void isolatePreferences()
{
    static QTemporaryDir config;
    setenv("XDG_CONFIG_HOME", config.path().toLocal8Bit().constData(), 1);
    Preferences::reset();
}

TempDir::TempDir()
{
    char pattern[] = "/tmp/sonavel-test-XXXXXX";
    if (!mkdtemp(pattern))
        throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir()
{
    QDir(QString::fromStdString(path_)).removeRecursively();
}

void writeFile(const std::string &path, const std::string &bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
}

std::string readFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

bool runLoopUntil(const std::function<bool()> &done, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    return done();
}

ToolResult runProgram(const std::vector<std::string> &args, const std::string &input)
{
    QProcess p;
    QStringList rest;
    for (size_t i = 1; i < args.size(); i++)
        rest << QString::fromStdString(args[i]);
    p.start(QString::fromStdString(args[0]), rest);
    if (!p.waitForStarted(10000))
        return {-1, "", "could not start " + args[0]};
    p.write(input.data(), qint64(input.size()));
    p.closeWriteChannel();
    p.waitForFinished(120000);
    ToolResult r;
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput().toStdString();
    r.err = p.readAllStandardError().toStdString();
    return r;
}

ToolResult runTool(const std::vector<std::string> &args, const std::string &input)
{
    std::vector<std::string> all{SONAVEL_TOOL};
    all.insert(all.end(), args.begin(), args.end());
    return runProgram(all, input);
}

void dieWithParent(QProcess &process)
{
    process.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGTERM); });
}

QString privateSessionBus()
{
    static bool tried = false;
    static QString address;
    if (tried)
        return address;
    tried = true;
    QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
    if (daemon.isEmpty())
        return address;
    // Lives as long as the test program; held by a static so that the leak checker sees it kept.
    static QProcess *process = new QProcess;
    dieWithParent(*process);
    process->start(daemon, {"--session", "--nofork", "--print-address=1"});
    QDeadlineTimer deadline(20000);
    while (!process->canReadLine() && process->waitForReadyRead(int(deadline.remainingTime()))) {
    }
    address = QString::fromUtf8(process->readLine()).trimmed();
    if (!address.isEmpty())
        qputenv("DBUS_SESSION_BUS_ADDRESS", address.toUtf8());
    return address;
}

namespace {

ToolResult runPactl(const std::vector<std::string> &args)
{
    std::vector<std::string> all{"pactl"};
    all.insert(all.end(), args.begin(), args.end());
    return runProgram(all);
}

}  // namespace

SoundServer::SoundServer(const TempDir &dir, const std::vector<std::string> &sinks)
    : server_(std::make_unique<QProcess>())
{
    const QString pulseaudio = QStandardPaths::findExecutable("pulseaudio");
    if (pulseaudio.isEmpty() || QStandardPaths::findExecutable("pactl").isEmpty())
        return;
    const QString socket = QString::fromStdString(dir.file("pulse.socket"));
    QDir().mkpath(QString::fromStdString(dir.file("run")));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", QString::fromStdString(dir.path()));
    env.insert("XDG_RUNTIME_DIR", QString::fromStdString(dir.file("run")));
    server_->setProcessEnvironment(env);
    server_->setProcessChannelMode(QProcess::ForwardedOutputChannel);
    server_->setStandardErrorFile(QProcess::nullDevice());
    dieWithParent(*server_);
    // The sinks before the socket, so that whoever is served finds them.
    QStringList args{"-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no"};
    for (const std::string &sink : sinks)
        args << "-L" << QString::fromStdString("module-null-sink sink_name=" + sink);
    args << "-L" << "module-native-protocol-unix auth-anonymous=1 socket=" + socket;
    server_->start(pulseaudio, args);
    server_->waitForStarted();
    qputenv("PULSE_SERVER", ("unix:" + socket).toUtf8());
    for (int i = 0; i < 200 && running() && !pactlSucceeds({"info"}); i++)
        usleep(100 * 1000);
}

SoundServer::~SoundServer()
{
    stop();
    qunsetenv("PULSE_SERVER");
}

bool SoundServer::running() const { return server_->state() == QProcess::Running; }

void SoundServer::stop()
{
    server_->kill();
    server_->waitForFinished();
}

QString SoundServer::pactl(const std::vector<std::string> &args) { return QString::fromStdString(runPactl(args).out); }

bool SoundServer::pactlSucceeds(const std::vector<std::string> &args) { return runPactl(args).exitCode == 0; }

bool alsaPulsePluginInstalled()
{
    for (const QFileInfo &lib : QDir("/usr/lib").entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (QFileInfo::exists(lib.filePath() + "/alsa-lib/libasound_module_ctl_pulse.so"))
            return true;
    }
    return false;
}

std::string testDataPath(const std::string &relative)
{
    return std::string(SONAVEL_TESTDATA) + "/" + relative;
}

std::map<std::string, CatalogueMessage> readCatalogue(const std::string &path)
{
    std::map<std::string, CatalogueMessage> messages;
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly))
        return messages;
    QXmlStreamReader xml(&file);
    std::string source;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == u"source") {
            source = xml.readElementText().toStdString();
        } else if (xml.name() == u"translation") {
            const bool pending = !xml.attributes().value(QStringLiteral("type")).isEmpty();
            CatalogueMessage &message = messages[source];
            message.translation = xml.readElementText().toStdString();
            message.finished = !pending && !message.translation.empty();
        }
    }
    return messages;
}

namespace {

// Answers no lookup, so the English text stays, and notes the program's texts that the
// extraction lacks. Called on whichever thread looks a text up.
class TextWatcher : public QTranslator {
public:
    explicit TextWatcher(std::set<std::string> known) : known_(std::move(known)) {}

    bool isEmpty() const override { return false; }

    QString translate(const char *context, const char *sourceText, const char *, int) const override
    {
        if (qstrcmp(context, "Sonavel") != 0 || !sourceText || !*sourceText)
            return QString();
        std::string text = sourceText;
        if (!known_.count(text)) {
            QMutexLocker lock(&mutex_);
            unknown_.insert(text);
        }
        return QString();
    }

    bool knowsTexts() const { return !known_.empty(); }

    std::set<std::string> unknown() const
    {
        QMutexLocker lock(&mutex_);
        return unknown_;
    }

private:
    const std::set<std::string> known_;
    mutable QMutex mutex_;
    mutable std::set<std::string> unknown_;
};

class UnmarkedTextReport : public testing::Environment {
public:
    explicit UnmarkedTextReport(const TextWatcher *watcher) : watcher_(watcher) {}

    void SetUp() override { ASSERT_TRUE(watcher_->knowsTexts()) << "no extracted texts in " SONAVEL_TEXTS; }

    void TearDown() override
    {
        for (const std::string &text : watcher_->unknown())
            ADD_FAILURE() << "looked up but not extracted for translation (mark it with SV_TEXT where "
                             "it is written): \"" << text << '"';
    }

private:
    const TextWatcher *watcher_;
};

}  // namespace

void watchLocalizedTexts()
{
    std::set<std::string> known;
    for (const auto &[text, message] : readCatalogue(SONAVEL_TEXTS))
        known.insert(text);
    auto *watcher = new TextWatcher(std::move(known));
    watcher->setParent(QCoreApplication::instance());
    QCoreApplication::installTranslator(watcher);
    testing::AddGlobalTestEnvironment(new UnmarkedTextReport(watcher));
}
