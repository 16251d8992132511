#include "HelperProcess.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <string>

namespace {

const char kRoleVariable[] = "SONAVEL_TEST_HELPER_ROLE";

std::map<std::string, HelperRole> &roles()
{
    static std::map<std::string, HelperRole> table;
    return table;
}

// Environments are set up after the application object exists and before any test runs: the
// place where a helper process plays its role and leaves.
class HelperRoleRunner : public testing::Environment {
public:
    void SetUp() override
    {
        const char *role = getenv(kRoleVariable);
        if (!role)
            return;
        auto found = roles().find(role);
        int status = found == roles().end() ? 99 : found->second(QCoreApplication::arguments().mid(1));
        fflush(stdout);
        fflush(stderr);
        _exit(status);
    }
};

testing::Environment *const gRunner = testing::AddGlobalTestEnvironment(new HelperRoleRunner);

}  // namespace

bool registerHelperRole(const char *name, HelperRole role)
{
    roles()[name] = role;
    return true;
}

std::unique_ptr<QProcess> startHelper(const char *role, const QStringList &args, const QProcessEnvironment &env,
                                      const QString &workDir)
{
    auto process = std::make_unique<QProcess>();
    dieWithParent(*process);
    QProcessEnvironment e = env;
    e.insert(kRoleVariable, role);
    process->setProcessEnvironment(e);
    if (!workDir.isEmpty())
        process->setWorkingDirectory(workDir);
    // One test selected, so that environments are set up; the role leaves before it runs.
    const testing::TestInfo *test = testing::UnitTest::GetInstance()->current_test_info();
    QStringList all{QStringLiteral("--gtest_filter=%1.%2").arg(test->test_suite_name(), test->name())};
    process->start(QCoreApplication::applicationFilePath(), all + args);
    process->waitForStarted();
    return process;
}

QString waitForHelperLine(QProcess &helper, const QString &prefix, int timeoutMs)
{
    const QString said = QStringLiteral("instance: ");
    QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        while (helper.canReadLine()) {
            QString line = QString::fromUtf8(helper.readLine()).chopped(1);
            if (line.startsWith(said + prefix))
                return line.mid(said.size());
        }
        if (deadline.hasExpired() || !helper.waitForReadyRead(int(deadline.remainingTime())))
            return QString();
    }
}

void helperSay(const QString &text)
{
    printf("instance: %s\n", text.toUtf8().constData());
    fflush(stdout);
}
