// The commands of sonavel-tool; each takes the arguments after the command name and
// returns the exit code (2 after printing usage for a wrong call).
#pragma once

int toolTags(int argc, char **argv);    // tags FILE
int toolPcm(int argc, char **argv);     // pcm FILE [--seek SECONDS] [--chunk BYTES]
int toolCue(int argc, char **argv);     // cue FILE
int toolText(int argc, char **argv);    // text  (bytes on standard input)
int toolTheme(int argc, char **argv);   // theme FILE
int toolFtpd(int argc, char **argv);    // ftpd [--port N] [--root DIR]
int toolRender(int argc, char **argv);  // render [--output OUT] FILE...
int toolItem(int argc, char **argv);    // item [--cover] PATH...
int toolPlay(int argc, char **argv);    // play [--output OUT] [--loop-track] [--seconds N] [--do T:ACTION]... ITEM...
int toolLrc(int argc, char **argv);     // lrc FILE
int toolM3u(int argc, char **argv);     // m3u FILE

// Prints "usage: sonavel-tool <usage>" on standard error and returns 2.
int toolUsage(const char *usage);
