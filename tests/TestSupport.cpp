#include "TestSupport.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdlib>
#include <fstream>
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

std::string testDataPath(const std::string &relative)
{
    return std::string(SONAVEL_TESTDATA) + "/" + relative;
}
