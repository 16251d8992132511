// The reader: text to data. Grammar, by the first character of a datum:
//
//   ;...      comment to the end of the line        (  list, with " . " pairs
//   '         (quote . datum)                        "  string, escapes \\ and \"
//   #t #f     booleans    #( vector    #\x #\space #\newline  characters
//   + -       sign of a number, or a symbol alone    ...  the symbol "..."
//   0-9       number: digits [ "." digits ]          else a symbol up to a delimiter
//
// A delimiter is whitespace, "(", ")", ";" or the end of input.
#pragma once

#include "theme/ThmInterpreter.h"
#include "theme/ThmObject.h"

// Lists, quotes and vectors nested deeper than this end in a reader error.
enum { ThmMaxNesting = 1000 };

// One datum, or none at the end of input or after an error ("parser error: ..." on standard
// error for most). Strings and symbol names are interned in the pool while a load runs.
ThmObject *ThmRead(ThmInterpreter *interp, ThmObject *port);
