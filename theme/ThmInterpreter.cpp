#include "theme/ThmInterpreter.h"

#include <cstdio>
#include <cstdlib>

#include "theme/ThmEval.h"
#include "theme/ThmHashMap.h"
#include "theme/ThmPort.h"
#include "theme/ThmPrinter.h"
#include "theme/ThmReader.h"

ThmObject *ThmNewScope(ThmInterpreter *interp, ThmObject *parent)
{
    ThmObject *scope = ThmAllocObject(ThmKindScope);
    scope->scope.map = ThmNewHashMap(ThmMapInitialCapacity);
    scope->scope.parent = parent;
    scope->scope.list = &interp->scopes;
    scope->scope.nextLive = interp->scopes.first;
    if (interp->scopes.first)
        interp->scopes.first->scope.prevLive = scope;
    interp->scopes.first = scope;
    return scope;
}

ThmInterpreter *ThmNewInterpreter()
{
    ThmInterpreter *interp = static_cast<ThmInterpreter *>(ThmAlloc(sizeof(ThmInterpreter)));
    interp->global = ThmNewScope(interp, nullptr);
    interp->current = ThmRetained(interp->global);
    interp->maxDepth = ThmMaxEvalDepth;
    interp->maxApplications = ThmMaxApplications;
    ThmBindBuiltins(interp->global);
    return interp;
}

// Scopes and procedures refer to each other (a scope's map holds the procedures defined in
// it, each of which holds the scope), and a scope can be its own parent. Emptying every
// live scope breaks all such cycles; scopes still held by the load's value stay, empty.
static void breakScopeCycles(ThmInterpreter *interp)
{
    for (ThmObject *s = interp->scopes.first; s; s = s->scope.nextLive)
        ThmRetain(s);
    for (ThmObject *s = interp->scopes.first; s; s = s->scope.nextLive) {
        ThmObject *map = s->scope.map;
        for (int32_t i = 0; i < map->map.capacity; i++) {
            ThmMapSlot slot = map->map.slots[i];
            map->map.slots[i] = ThmMapSlot{nullptr, nullptr};
            ThmRelease(slot.key);
            ThmRelease(slot.value);
        }
        map->map.count = 0;
        ThmObject *parent = s->scope.parent;
        s->scope.parent = nullptr;
        ThmRelease(parent);
    }
    for (ThmObject *s = interp->scopes.first; s;) {
        ThmObject *next = s->scope.nextLive;
        s->scope.list = nullptr;
        s->scope.prevLive = s->scope.nextLive = nullptr;
        ThmRelease(s);
        s = next;
    }
    interp->scopes.first = nullptr;
}

void ThmFreeInterpreter(ThmInterpreter *interp)
{
    if (!interp)
        return;
    ThmPopTemps(interp, 0);
    breakScopeCycles(interp);
    ThmRelease(interp->current);
    ThmRelease(interp->global);
    ThmRelease(interp->pool);
    free(interp->temps);
    free(interp);
}

int ThmPushTemp(ThmInterpreter *interp, ThmObject *object)
{
    if (interp->tempCount == interp->tempCapacity) {
        int capacity = interp->tempCapacity ? interp->tempCapacity * 2 : 64;
        ThmObject **temps = static_cast<ThmObject **>(realloc(interp->temps, size_t(capacity) * sizeof(ThmObject *)));
        if (!temps) {
            ThmRelease(object);
            ThmFatal(interp, "out of memory");
        }
        interp->temps = temps;
        interp->tempCapacity = capacity;
    }
    interp->temps[interp->tempCount] = object;
    return interp->tempCount++;
}

void ThmPopTemps(ThmInterpreter *interp, int mark)
{
    while (interp->tempCount > mark)
        ThmRelease(interp->temps[--interp->tempCount]);
}

void ThmFatal(ThmInterpreter *interp, const char *message)
{
    fprintf(stderr, "error: %s\n", message);
    if (!interp->recoverSet)
        abort();
    longjmp(interp->recover, 1);
}

// Evaluates one top-level datum under the recovery point. False after a fatal error.
static bool evalTopLevel(ThmInterpreter *interp, ThmObject *datum, ThmObject **value)
{
    interp->depth = 0;
    interp->recoverSet = true;
    if (setjmp(interp->recover) != 0) {
        interp->recoverSet = false;
        return false;
    }
    *value = ThmEval(interp, datum);
    interp->recoverSet = false;
    return true;
}

ThmObject *ThmLoad(ThmInterpreter *interp, ThmObject *port)
{
    ThmObject *out = ThmOpenOutput(stdout);
    ThmRelease(interp->pool);
    interp->pool = ThmNewHashMap(ThmMapInitialCapacity);
    interp->applications = 0;

    ThmObject *result = nullptr;
    while (ThmObject *datum = ThmRead(interp, port)) {
        ThmRelease(result);
        result = nullptr;
        ThmObject *value = nullptr;
        bool ok = evalTopLevel(interp, datum, &value);
        ThmRelease(datum);
        if (ok && value) {
            result = value;
            continue;
        }
        ThmPrint(interp->current, out);
        // Give back what the abandoned evaluation held and return to the global scope.
        ThmPopTemps(interp, 0);
        ThmRelease(interp->current);
        interp->current = ThmRetained(interp->global);
        break;
    }

    ThmRelease(interp->pool);
    interp->pool = nullptr;
    ThmRelease(out);
    return result;
}
