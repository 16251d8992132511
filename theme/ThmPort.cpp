#include "theme/ThmPort.h"

#include <cstdlib>
#include <cstring>

static int nextByte(ThmPort *p)
{
    if (p->stream)
        return getc(p->stream);
    return p->bytePos < p->byteCount ? p->bytes[p->bytePos++] : -1;
}

static void unreadByte(ThmPort *p, int b)
{
    if (p->stream)
        ungetc(b, p->stream);
    else
        p->bytePos--;
}

// 0x00-0x7F one byte, 0xC0-0xDF and 0xE0-0xEF lead two- and three-byte sequences. A stray
// continuation byte, a lead byte of four or more, or a sequence cut short gives the
// character 0; the byte that cut it short starts the next character.
static int decodeUtf8(ThmPort *p)
{
    int b = nextByte(p);
    if (b < 0x80)
        return b;
    if (b < 0xC0 || b >= 0xF0)
        return 0;
    int more = b < 0xE0 ? 1 : 2;
    int value = b & (b < 0xE0 ? 0x1F : 0x0F);
    while (more--) {
        int c = nextByte(p);
        if (c < 0)
            return 0;
        if ((c & 0xC0) != 0x80) {
            unreadByte(p, c);
            return 0;
        }
        value = (value << 6) | (c & 0x3F);
    }
    return value;
}

static int encodeUtf8(int c, char *out)
{
    if (c < 0x80) {
        out[0] = char(c);
        return 1;
    }
    if (c < 0x800) {
        out[0] = char(0xC0 | (c >> 6));
        out[1] = char(0x80 | (c & 0x3F));
        return 2;
    }
    out[0] = char(0xE0 | ((c >> 12) & 0x0F));
    out[1] = char(0x80 | ((c >> 6) & 0x3F));
    out[2] = char(0x80 | (c & 0x3F));
    return 3;
}

static int readUtf8(ThmObject *port)
{
    return decodeUtf8(port->port);
}

static void writeUtf8(ThmObject *port, int c)
{
    char bytes[3];
    fwrite(bytes, 1, size_t(encodeUtf8(c & 0xFFFF, bytes)), port->port->stream);
}

static void closeFile(ThmObject *port)
{
    fclose(port->port->stream);
    ThmRelease(port->port->name);
}

static void closeOutput(ThmObject *port)
{
    fflush(port->port->stream);
}

static void closeBytes(ThmObject *) {}

static ThmObject *newPort(int (*read)(ThmObject *), void (*write)(ThmObject *, int), void (*close)(ThmObject *))
{
    ThmObject *o = ThmAllocObject(ThmKindPort);
    o->port = static_cast<ThmPort *>(ThmAlloc(sizeof(ThmPort)));
    o->port->read = read;
    o->port->write = write;
    o->port->close = close;
    o->port->line = 1;
    return o;
}

ThmObject *ThmOpenFile(ThmObject *path)
{
    char *name = ThmStringToUTF8(path);
    FILE *stream = fopen(name, "r");
    free(name);
    if (!stream)
        return nullptr;
    ThmObject *port = newPort(readUtf8, writeUtf8, closeFile);
    port->port->stream = stream;
    port->port->name = ThmRetained(path);
    return port;
}

ThmObject *ThmOpenBytes(const void *bytes, size_t length)
{
    ThmObject *port = newPort(readUtf8, nullptr, closeBytes);
    port->port->bytes = static_cast<const unsigned char *>(bytes);
    port->port->byteCount = length;
    return port;
}

ThmObject *ThmOpenOutput(FILE *stream)
{
    ThmObject *port = newPort(nullptr, writeUtf8, closeOutput);
    port->port->stream = stream;
    return port;
}

int ThmPortRead(ThmObject *port)
{
    ThmPort *p = port->port;
    int c;
    if (p->pushCount > 0)
        c = p->pushback[--p->pushCount];
    else if (p->read)
        c = p->read(port);
    else
        c = -1;
    if (c == '\n')
        p->line++;
    return c;
}

void ThmPortUnread(ThmObject *port, int c)
{
    ThmPort *p = port->port;
    // End of input stays at the end: pushing it would store 0xFFFF in the 16-bit stack.
    if (c < 0 || p->pushCount == ThmPushbackSize)
        return;
    p->pushback[p->pushCount++] = uint16_t(c);
    if (c == '\n')
        p->line--;
}

void ThmPortWrite(ThmObject *port, int c)
{
    if (port->port->write)
        port->port->write(port, c);
}

void ThmPortWriteText(ThmObject *port, const char *text)
{
    for (const unsigned char *p = reinterpret_cast<const unsigned char *>(text); *p; p++)
        ThmPortWrite(port, *p);
}

ThmObject *ThmStringFromUTF8(const char *text)
{
    ThmPort p = {};
    p.bytes = reinterpret_cast<const unsigned char *>(text);
    p.byteCount = strlen(text);
    ThmObject *string = ThmNewString();
    for (int c = decodeUtf8(&p); c >= 0; c = decodeUtf8(&p))
        ThmStringAppend(string, uint16_t(c));
    return string;
}

char *ThmStringToUTF8(const ThmObject *string)
{
    if (ThmIsSymbol(string))
        string = string->symbol.name;
    int32_t length = ThmIsString(string) ? string->string.length : 0;
    char *text = static_cast<char *>(ThmAlloc(size_t(length) * 3 + 1));
    size_t n = 0;
    for (int32_t i = 0; i < length; i++)
        n += size_t(encodeUtf8(string->string.chars[i], text + n));
    text[n] = '\0';
    return text;
}
