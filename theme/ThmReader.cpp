#include "theme/ThmReader.h"

#include <cctype>
#include <cstdio>
#include <cwctype>

#include "theme/ThmHashMap.h"
#include "theme/ThmPort.h"

static bool isSpace(int c)
{
    if (c < 0)
        return false;
    return c < 128 ? isspace(c) != 0 : iswspace(wint_t(c)) != 0;
}

static bool isDelimiter(int c)
{
    return c < 0 || c == '(' || c == ')' || c == ';' || isSpace(c);
}

static bool isDigit(int c)
{
    return c >= '0' && c <= '9';
}

static ThmObject *parseError(const char *message)
{
    fprintf(stderr, "parser error: %s\n", message);
    return nullptr;
}

static void skipSpace(ThmObject *port)
{
    int c;
    do
        c = ThmPortRead(port);
    while (isSpace(c));
    ThmPortUnread(port, c);
}

// Identical names and literals of one load share one string object.
static ThmObject *intern(ThmInterpreter *interp, ThmObject *string)
{
    if (!interp->pool)
        return string;
    if (ThmObject *pooled = ThmMapGet(interp->pool, string)) {
        ThmRelease(string);
        return pooled;
    }
    ThmMapPut(interp->pool, string, string);
    return string;
}

static ThmObject *internSymbol(ThmInterpreter *interp, const char *name)
{
    ThmObject *string = ThmNewString();
    for (const char *p = name; *p; p++)
        ThmStringAppend(string, uint16_t(*p));
    return ThmNewSymbol(intern(interp, string));
}

static ThmObject *readDatum(ThmInterpreter *interp, ThmObject *port, int depth);

// The dot of a dotted pair is a "." followed by a delimiter. The datum after it becomes
// the cdr of the last pair; a further datum turns that cdr back into an element.
static ThmObject *readList(ThmInterpreter *interp, ThmObject *port, int depth)
{
    ThmObject *head = nullptr, *last = nullptr;
    bool dottedCdr = false;
    for (;;) {
        skipSpace(port);
        int c = ThmPortRead(port);
        if (c == ')')
            return head ? head : ThmEmpty;
        if (c < 0) {
            ThmRelease(head);
            return parseError("Unexpected end of file");
        }
        bool dot = false;
        if (c == '.') {
            int next = ThmPortRead(port);
            ThmPortUnread(port, next);
            if (next >= 0 && isDelimiter(next)) {
                if (!head)
                    return parseError("Missing object before `.'");
                dot = true;
            } else {
                ThmPortUnread(port, c);
            }
        } else {
            ThmPortUnread(port, c);
        }
        ThmObject *datum = readDatum(interp, port, depth);
        if (!datum) {
            ThmRelease(head);
            return parseError("sub object is NULL");
        }
        if (dot) {
            ThmRelease(last->pair.cdr);
            last->pair.cdr = datum;
            dottedCdr = true;
            continue;
        }
        if (dottedCdr) {
            ThmObject *cell = ThmNewPair(last->pair.cdr, ThmEmpty);
            last->pair.cdr = cell;
            last = cell;
            dottedCdr = false;
        }
        ThmObject *cell = ThmNewPair(datum, ThmEmpty);
        if (last)
            last->pair.cdr = cell;
        else
            head = cell;
        last = cell;
    }
}

static ThmObject *readVector(ThmInterpreter *interp, ThmObject *port, int depth)
{
    ThmObject *vector = ThmNewVector();
    for (;;) {
        skipSpace(port);
        int c = ThmPortRead(port);
        if (c == ')')
            return vector;
        ThmPortUnread(port, c);
        ThmObject *datum = c < 0 ? nullptr : readDatum(interp, port, depth);
        if (!datum) {
            ThmRelease(vector);
            return nullptr;
        }
        ThmVectorAppend(vector, datum);
    }
}

static bool sameText(const uint16_t *chars, int count, const char *text)
{
    for (int i = 0; i < count; i++) {
        if (text[i] == '\0' || chars[i] != uint16_t(text[i]))
            return false;
    }
    return text[count] == '\0';
}

static ThmObject *readCharacter(ThmObject *port)
{
    int afterBackslash = ThmPortRead(port);
    ThmPortUnread(port, afterBackslash);
    uint16_t text[10];
    int count = 0;
    while (count < 10) {
        int c = ThmPortRead(port);
        if (isDelimiter(c)) {
            ThmPortUnread(port, c);
            break;
        }
        text[count++] = uint16_t(c);
    }
    if (count == 0 && afterBackslash == ' ')
        return ThmNewCharacter(' ');
    if (count == 1)
        return ThmNewCharacter(text[0]);
    if (sameText(text, count, "newline"))
        return ThmNewCharacter('\n');
    if (sameText(text, count, "space"))
        return ThmNewCharacter(' ');
    return parseError("invalid char constant");
}

static ThmObject *readString(ThmInterpreter *interp, ThmObject *port)
{
    ThmObject *string = ThmNewString();
    for (;;) {
        int c = ThmPortRead(port);
        if (c < 0) {
            ThmRelease(string);
            return parseError("Unexpected end of file");
        }
        if (c == '"')
            return intern(interp, string);
        if (c == '\\') {
            c = ThmPortRead(port);
            if (c != '\\' && c != '"') {
                ThmRelease(string);
                return parseError("Undefined escape char");
            }
        }
        ThmStringAppend(string, uint16_t(c));
    }
}

// [sign] digits ["." digits], ended by a delimiter. Anything else rejects the number
// without a message.
static ThmObject *readNumber(ThmObject *port)
{
    int c = ThmPortRead(port);
    int sign = 0;
    if (c == '+' || c == '-') {
        sign = c;
        c = ThmPortRead(port);
    }
    uint32_t whole = 0;
    bool isReal = false;
    float real = 0, scale = 0.1f;
    for (;; c = ThmPortRead(port)) {
        if (isDigit(c)) {
            if (isReal) {
                real += float(c - '0') * scale;
                scale /= 10;
            } else {
                whole = whole * 10 + uint32_t(c - '0');
            }
        } else if (c == '.' && !isReal) {
            isReal = true;
            real = float(int32_t(whole));
        } else if (isDelimiter(c)) {
            ThmPortUnread(port, c);
            break;
        } else {
            return nullptr;
        }
    }
    if (isReal)
        return ThmNewReal(sign == '-' ? -real : real);
    return ThmNewInteger(int32_t(sign == '-' ? 0u - whole : whole));
}

static ThmObject *readSymbol(ThmInterpreter *interp, ThmObject *port, int first)
{
    ThmObject *name = ThmNewString();
    ThmStringAppend(name, uint16_t(first));
    for (;;) {
        int c = ThmPortRead(port);
        if (isDelimiter(c)) {
            ThmPortUnread(port, c);
            break;
        }
        ThmStringAppend(name, uint16_t(c));
    }
    return ThmNewSymbol(intern(interp, name));
}

static ThmObject *readDatum(ThmInterpreter *interp, ThmObject *port, int depth)
{
    for (;;) {
        skipSpace(port);
        int c = ThmPortRead(port);
        if (c < 0)
            return nullptr;
        switch (c) {
        case ';':
            do
                c = ThmPortRead(port);
            while (c >= 0 && c != '\n' && c != '\r');
            continue;
        case '(':
            if (depth >= ThmMaxNesting)
                return parseError("nesting too deep");
            return readList(interp, port, depth + 1);
        case ')':
            return nullptr;
        case '\'': {
            if (depth >= ThmMaxNesting)
                return parseError("nesting too deep");
            ThmObject *datum = readDatum(interp, port, depth + 1);
            if (!datum)
                return nullptr;
            return ThmNewPair(internSymbol(interp, "quote"), datum);
        }
        case '"':
            return readString(interp, port);
        case '#':
            c = ThmPortRead(port);
            if (c == 't')
                return ThmTrue;
            if (c == 'f')
                return ThmFalse;
            if (c == '\\')
                return readCharacter(port);
            if (c == '(') {
                if (depth >= ThmMaxNesting)
                    return parseError("nesting too deep");
                return readVector(interp, port, depth + 1);
            }
            return nullptr;
        case '+':
        case '-': {
            int next = ThmPortRead(port);
            ThmPortUnread(port, next);
            if (isDelimiter(next))
                return internSymbol(interp, c == '+' ? "+" : "-");
            if (!isDigit(next)) {
                ThmPortRead(port);
                return parseError("unexpected things following +/-");
            }
            ThmPortUnread(port, c);
            return readNumber(port);
        }
        case '.': {
            int a = ThmPortRead(port);
            int b = ThmPortRead(port);
            int d = ThmPortRead(port);
            if (a == '.' && b == '.' && isDelimiter(d)) {
                ThmPortUnread(port, d);
                return internSymbol(interp, "...");
            }
            return parseError("Invalid identifier");
        }
        default:
            if (isDigit(c)) {
                ThmPortUnread(port, c);
                return readNumber(port);
            }
            return readSymbol(interp, port, c);
        }
    }
}

ThmObject *ThmRead(ThmInterpreter *interp, ThmObject *port)
{
    return readDatum(interp, port, 0);
}
