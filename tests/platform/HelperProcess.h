// Helper processes for the desktop-service tests: a private session bus, and this test program
// run again as a small helper that plays one role (a running player, a second start, ...).
#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <memory>

// Starts one dbus-daemon for this test program and points DBUS_SESSION_BUS_ADDRESS at it, so
// nothing here reaches the user's own bus. Call before anything in the process uses the session
// bus. Empty when dbus-daemon is not installed.
QString privateSessionBus();

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
// Makes a helper daemon (a bus, a sound server) end when the test program ends, even by a crash.
void dieWithParent(QProcess &process);
// Prints "instance: " + `text` and a line feed, at once.
void helperSay(const QString &text);
