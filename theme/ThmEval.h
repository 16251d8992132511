// The evaluator: symbol lookup, the special forms define and quote, procedure application
// and the builtins. These run inside ThmLoad, whose recovery point catches fatal errors.
#pragma once

#include "theme/ThmInterpreter.h"
#include "theme/ThmObject.h"

ThmObject *ThmEval(ThmInterpreter *interp, ThmObject *object);
ThmObject *ThmEvalList(ThmInterpreter *interp, ThmObject *list);
ThmObject *ThmApply(ThmInterpreter *interp, ThmObject *procedure, ThmObject *args);

// The static procedure object of builtin index 0-9, and its name.
ThmObject *ThmBuiltin(int index);
const char *ThmBuiltinName(int index);
// Binds the ten builtins in the scope's map, in their fixed order.
void ThmBindBuiltins(ThmObject *scope);
