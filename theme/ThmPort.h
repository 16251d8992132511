// Character input and output of the interpreter: ports over a standard I/O stream (or a
// byte buffer), decoding and encoding UTF-8 with 16-bit characters.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "theme/ThmObject.h"

enum { ThmPushbackSize = 100 };

struct ThmPort {
    int (*read)(ThmObject *port);            // next character, -1 at end of input
    void (*write)(ThmObject *port, int c);   // one character
    void (*close)(ThmObject *port);          // closes the stream, releases the name
    ThmObject *name;                         // the path, a string; none for other ports
    FILE *stream;
    uint16_t pushback[ThmPushbackSize];      // last in, first out
    int pushCount;
    int line;                                // from 1; kept, reported nowhere
    // A port over bytes in memory reads these instead of a stream.
    const unsigned char *bytes;
    size_t byteCount, bytePos;
};

// Opens the file named by the string path for reading, or none.
ThmObject *ThmOpenFile(ThmObject *path);
// Reads the bytes, which must outlive the port.
ThmObject *ThmOpenBytes(const void *bytes, size_t length);
// Writes to the stream, which the port flushes but does not close.
ThmObject *ThmOpenOutput(FILE *stream);

// The next character (the last one pushed back, if any), or -1 at end of input.
int ThmPortRead(ThmObject *port);
// Pushing back end of input does nothing; a full pushback stack drops the character.
void ThmPortUnread(ThmObject *port, int c);
void ThmPortWrite(ThmObject *port, int c);
void ThmPortWriteText(ThmObject *port, const char *text);

ThmObject *ThmStringFromUTF8(const char *text);
// A new zero-terminated buffer that the caller frees.
char *ThmStringToUTF8(const ThmObject *string);
