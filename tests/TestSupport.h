// Helpers shared by the test programs: temporary folders, files, the run loop, the tool, a
// private session bus and sound server.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

// No Qt header here: the theme interpreter's headers, included after this one, name members
// "slots".
class QProcess;
class QString;

// Points XDG_CONFIG_HOME at a fresh temporary folder so tests never touch real preferences.
void isolatePreferences();

// A temporary folder removed with everything in it when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;
    const std::string &path() const { return path_; }
    std::string file(const std::string &name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

void writeFile(const std::string &path, const std::string &bytes);
std::string readFile(const std::string &path);

// Runs the main run loop until `done` holds or `timeoutMs` passes; returns `done()`.
bool runLoopUntil(const std::function<bool()> &done, int timeoutMs = 5000);

struct ToolResult {
    int exitCode;
    std::string out;
    std::string err;
};
// Runs sonavel-tool with `args`, feeding `input` on standard input.
ToolResult runTool(const std::vector<std::string> &args, const std::string &input = "");
// Runs any program the same way (args[0] is looked up on PATH).
ToolResult runProgram(const std::vector<std::string> &args, const std::string &input = "");

// Makes a helper daemon (a bus, a sound server) end when the test program ends, even by a crash.
void dieWithParent(QProcess &process);

// Starts one dbus-daemon for this test program and points DBUS_SESSION_BUS_ADDRESS at it, so
// nothing here reaches the user's own bus. Call before anything in the process uses the session
// bus. Empty when dbus-daemon is not installed.
QString privateSessionBus();

// A private PulseAudio server with a null sink for each of `sinks` (a sink name, then any more
// module arguments), reached through PULSE_SERVER while the object lives, as a desktop's sound
// server is. Made once it serves (at most 20 s); not started when pulseaudio or pactl is missing.
class SoundServer {
public:
    SoundServer(const TempDir &dir, const std::vector<std::string> &sinks);
    ~SoundServer();
    SoundServer(const SoundServer &) = delete;
    SoundServer &operator=(const SoundServer &) = delete;

    bool running() const;
    void stop();
    // pactl run against the server: what it printed, or whether it succeeded.
    QString pactl(const std::vector<std::string> &args);
    bool pactlSucceeds(const std::vector<std::string> &args);

private:
    std::unique_ptr<QProcess> server_;
};
// Whether ALSA's pulse plugin is installed, through which ALSA reaches the sound server.
bool alsaPulsePluginInstalled();

// Directory of the shared test data (may be absent).
std::string testDataPath(const std::string &relative);

// A Qt Linguist catalogue (.ts) read back: each message by its English text.
struct CatalogueMessage {
    std::string translation;
    bool finished = false;  // translated, not marked unfinished, vanished or obsolete
};
std::map<std::string, CatalogueMessage> readCatalogue(const std::string &path);

// Fails the test program when anything it runs looks up a text that the build's extraction of
// the translatable texts lacks: one handed to SVLocalized() through a variable whose text has
// no SV_TEXT() where it is written, so that no catalogue can ever translate it. Lookups keep
// the English text. Call once, after the application object exists.
void watchLocalizedTexts();
