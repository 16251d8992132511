#include "theme/ThmPrinter.h"

#include <cstdarg>
#include <cstdio>

#include "theme/ThmEval.h"
#include "theme/ThmPort.h"

static void printCharacters(const ThmObject *string, ThmObject *port, bool escaped)
{
    for (int32_t i = 0; i < string->string.length; i++) {
        uint16_t c = string->string.chars[i];
        if (escaped && (c == '"' || c == '\\'))
            ThmPortWrite(port, '\\');
        ThmPortWrite(port, c);
    }
}

static void printFormat(ThmObject *port, const char *format, ...) __attribute__((format(printf, 2, 3)));

static void printFormat(ThmObject *port, const char *format, ...)
{
    char text[64];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);
    ThmPortWriteText(port, text);
}

static void printMap(const ThmObject *map, ThmObject *port)
{
    ThmPortWriteText(port, "#HASHMAP(");
    bool first = true;
    for (int32_t i = 0; i < map->map.capacity; i++) {
        const ThmMapSlot &slot = map->map.slots[i];
        if (!slot.key || !slot.value)
            continue;
        if (!first)
            ThmPortWrite(port, ' ');
        first = false;
        ThmPortWrite(port, '(');
        ThmPrint(slot.key, port);
        ThmPortWriteText(port, " . ");
        ThmPrint(slot.value, port);
        ThmPortWrite(port, ')');
    }
    ThmPortWrite(port, ')');
}

void ThmPrint(const ThmObject *o, ThmObject *port)
{
    // Along the cdr by iteration, closing the parentheses at the end.
    long open = 0;
    while (ThmIsPair(o)) {
        ThmPortWrite(port, '(');
        ThmPrint(o->pair.car, port);
        ThmPortWriteText(port, " . ");
        o = o->pair.cdr;
        open++;
    }
    if (!o) {
        ThmPortWriteText(port, "<null>");
    } else {
        switch (o->kind) {
        case ThmKindEmpty:
            ThmPortWriteText(port, "()");
            break;
        case ThmKindBoolean:
            ThmPortWriteText(port, o == ThmTrue ? "#t" : "#f");
            break;
        case ThmKindCharacter:
            if (o->character == ' ')
                ThmPortWriteText(port, "#\\space");
            else if (o->character == '\n' || o->character == '\r')
                ThmPortWriteText(port, "#\\newline");
            else {
                ThmPortWriteText(port, "#\\");
                ThmPortWrite(port, o->character);
            }
            break;
        case ThmKindInteger:
            printFormat(port, "%d", o->integer);
            break;
        case ThmKindReal:
            printFormat(port, "%f", double(o->real));
            break;
        case ThmKindString:
            ThmPortWrite(port, '"');
            printCharacters(o, port, true);
            ThmPortWrite(port, '"');
            break;
        case ThmKindSymbol:
            printCharacters(o->symbol.name, port, false);
            break;
        case ThmKindScope:
            ThmPortWriteText(port, "#SCOPE(");
            printMap(o->scope.map, port);
            ThmPortWrite(port, ')');
            break;
        case ThmKindProcedure:
            if (o->procedure.builtin == ThmUserProcedure)
                printFormat(port, "#PROCEDURE(%p)", static_cast<const void *>(o));
            else
                printFormat(port, "#BUILTIN-PROCEDURE(%s)", ThmBuiltinName(o->procedure.builtin));
            break;
        case ThmKindVector:
            ThmPortWriteText(port, "#(");
            for (int32_t i = 0; i < o->vector.length; i++) {
                if (i)
                    ThmPortWrite(port, ' ');
                ThmPrint(o->vector.elements[i], port);
            }
            ThmPortWrite(port, ')');
            break;
        case ThmKindHashMap:
            printMap(o, port);
            break;
        default:  // ports print nothing
            break;
        }
    }
    while (open-- > 0)
        ThmPortWrite(port, ')');
}
