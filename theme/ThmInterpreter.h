// The interpreter record and the load loop: one interpreter per theme file.
//
// A load: interp = ThmNewInterpreter(); port = ThmOpenFile(path); value = ThmLoad(interp,
// port); ThmRelease(port); ThmFreeInterpreter(interp). The value outlives the interpreter.
#pragma once

#include <csetjmp>

#include "theme/ThmObject.h"

enum {
    // Nested evaluations; deep enough for any theme, shallow enough for any stack.
    ThmMaxEvalDepth = 4000,
    // Applications in one load: the language has no conditionals, so a procedure that
    // calls itself never stops, and a few calling each other several times blow up.
    ThmMaxApplications = 10000,
};

struct ThmInterpreter {
    ThmObject *current;  // scope
    ThmObject *global;   // scope
    ThmObject *pool;     // string pool, a map; only while a load runs
    jmp_buf recover;     // where a fatal error returns to
    bool recoverSet;

    // References held by evaluations in progress, released when a fatal error abandons them.
    ThmObject **temps;
    int tempCount, tempCapacity;
    int depth;
    long applications;
    // The limits above, ThmMaxEvalDepth and ThmMaxApplications unless lowered (the fuzz
    // target lowers them to spend its time on variety rather than on long recursions).
    int maxDepth;
    long maxApplications;
    ThmScopeList scopes;
};

ThmInterpreter *ThmNewInterpreter();
// Releases the scopes, each once (they may refer to each other and to themselves), and
// the string pool if one is present.
void ThmFreeInterpreter(ThmInterpreter *interp);
// The value of the last top-level expression that evaluated, or none.
ThmObject *ThmLoad(ThmInterpreter *interp, ThmObject *port);

// A new scope with an empty map of the initial capacity; takes over the parent reference.
ThmObject *ThmNewScope(ThmInterpreter *interp, ThmObject *parent);

// Writes "error: " and the message to standard error and returns to the recovery point,
// abandoning the evaluation. Aborts when no load is running.
[[noreturn]] void ThmFatal(ThmInterpreter *interp, const char *message);

// Temporary references: ThmPushTemp hands the reference to the interpreter until
// ThmPopTemps takes it back (the caller owns it again) or a fatal error releases it.
int ThmPushTemp(ThmInterpreter *interp, ThmObject *object);
void ThmPopTemps(ThmInterpreter *interp, int mark);
