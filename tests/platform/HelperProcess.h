// Helper processes for the desktop-service tests: this test program run again as a small helper
// that plays one role (a running player, a second start, ...). The private session bus is in
// TestSupport.h.
#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <memory>

#include "TestSupport.h"

// A role is a function run in a helper process instead of the tests; its result is the exit
// status. Register at static-initialisation time: `const bool r = registerHelperRole(...)`.
using HelperRole = int (*)(const QStringList &args);
bool registerHelperRole(const char *name, HelperRole role);

// Starts this test program as the helper `role` with `args`, in `workDir` when given.
std::unique_ptr<QProcess> startHelper(const char *role, const QStringList &args, const QProcessEnvironment &env,
                                      const QString &workDir = QString());
// Helpers say lines that start with "instance: "; this waits for one that goes on with `prefix`
// and answers it without "instance: " (empty when none came).
QString waitForHelperLine(QProcess &helper, const QString &prefix, int timeoutMs = 15000);
// Prints "instance: " + `text` and a line feed, at once.
void helperSay(const QString &text);
