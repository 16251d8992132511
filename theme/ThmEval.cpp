#include "theme/ThmEval.h"

#include <cmath>
#include <cstdio>

#include "theme/ThmHashMap.h"

// ---- Numbers --------------------------------------------------------------------------

// Integer arithmetic wraps at 32 bits; from the first real on, arithmetic is in float.
struct Number {
    bool isReal;
    int32_t i;
    float r;
};

static bool toNumber(const ThmObject *o, Number *n)
{
    if (ThmIsKind(o, ThmKindInteger))
        *n = Number{false, o->integer, 0};
    else if (ThmIsKind(o, ThmKindReal))
        *n = Number{true, 0, o->real};
    else
        return false;
    return true;
}

static float asReal(Number n)
{
    return n.isReal ? n.r : float(n.i);
}

static ThmObject *newNumber(Number n)
{
    return n.isReal ? ThmNewReal(n.r) : ThmNewInteger(n.i);
}

// Folds every number of the list into start; other elements are skipped.
static Number fold(ThmObject *list, Number start, bool multiply)
{
    Number acc = start;
    for (ThmObject *p = list; ThmIsPair(p); p = p->pair.cdr) {
        Number n;
        if (!toNumber(p->pair.car, &n))
            continue;
        if (!acc.isReal && !n.isReal) {
            uint32_t a = uint32_t(acc.i), b = uint32_t(n.i);
            acc.i = int32_t(multiply ? a * b : a + b);
        } else {
            acc.r = multiply ? asReal(acc) * asReal(n) : asReal(acc) + asReal(n);
            acc.isReal = true;
        }
    }
    return acc;
}

static ThmObject *applyAdd(ThmInterpreter *, ThmObject *, ThmObject *args)
{
    return newNumber(fold(args, Number{false, 0, 0}, false));
}

static ThmObject *applyMultiply(ThmInterpreter *, ThmObject *, ThmObject *args)
{
    return newNumber(fold(args, Number{false, 1, 0}, true));
}

static ThmObject *applySubtract(ThmInterpreter *, ThmObject *, ThmObject *args)
{
    Number first;
    if (!ThmIsPair(args) || !toNumber(args->pair.car, &first))
        return ThmNewInteger(0);
    Number rest = fold(args->pair.cdr, Number{false, 0, 0}, false);
    if (!first.isReal && !rest.isReal)
        return ThmNewInteger(int32_t(uint32_t(first.i) - uint32_t(rest.i)));
    return ThmNewReal(asReal(first) - asReal(rest));
}

static ThmObject *applyDivide(ThmInterpreter *, ThmObject *, ThmObject *args)
{
    Number first;
    if (!ThmIsPair(args) || !toNumber(args->pair.car, &first))
        return ThmNewInteger(1);
    Number divisor = fold(args->pair.cdr, Number{false, 1, 0}, true);
    if (asReal(divisor) == 0.0f)
        return ThmNewReal(INFINITY);
    if (!first.isReal && !divisor.isReal) {
        // The one quotient that does not fit traps on x86; it wraps like the rest.
        if (first.i == INT32_MIN && divisor.i == -1)
            return ThmNewInteger(INT32_MIN);
        return ThmNewInteger(first.i / divisor.i);
    }
    return ThmNewReal(asReal(first) / asReal(divisor));
}

static ThmObject *applyNotImplemented(ThmInterpreter *, ThmObject *procedure, ThmObject *)
{
    printf("Not implemented %s\n", ThmBuiltinName(procedure->procedure.builtin));
    return nullptr;
}

// ---- Special forms --------------------------------------------------------------------

static ThmObject *evalDefine(ThmInterpreter *interp, ThmObject *form)
{
    ThmObject *rest = form->pair.cdr;
    if (rest == ThmEmpty)
        ThmFatal(interp, "define without symbol");
    if (!ThmIsPair(rest))
        ThmFatal(interp, "syntax error");
    ThmObject *target = rest->pair.car;
    ThmObject *tail = rest->pair.cdr;
    if (ThmIsSymbol(target)) {
        ThmObject *value;
        if (tail == ThmEmpty)
            value = ThmEmpty;
        else if (ThmIsPair(tail) && tail->pair.cdr == ThmEmpty)
            value = ThmEval(interp, tail->pair.car);
        else
            ThmFatal(interp, "syntax error");
        if (!value)
            ThmFatal(interp, "no value");
        ThmMapPut(interp->current->scope.map, target, value);
        ThmRelease(value);
        return ThmRetained(target);
    }
    if (ThmIsPair(target)) {
        ThmObject *name = target->pair.car;
        if (!ThmIsSymbol(name))
            ThmFatal(interp, "syntax error");
        ThmObject *procedure = ThmAllocObject(ThmKindProcedure);
        procedure->procedure.builtin = ThmUserProcedure;
        procedure->procedure.params = ThmRetained(target->pair.cdr);
        procedure->procedure.body = ThmRetained(tail);
        procedure->procedure.scope = ThmRetained(interp->current);
        procedure->procedure.interp = interp;
        ThmMapPut(interp->current->scope.map, name, procedure);
        ThmRelease(procedure);
        return ThmRetained(name);
    }
    ThmFatal(interp, "syntax error");
}

static ThmObject *evalQuote(ThmInterpreter *, ThmObject *form)
{
    return ThmRetained(form->pair.cdr);
}

// ---- The builtin table ----------------------------------------------------------------

struct Builtin {
    const char *name;
    ThmObject *(*form)(ThmInterpreter *interp, ThmObject *form);  // gets the form unevaluated
    ThmObject *(*apply)(ThmInterpreter *interp, ThmObject *procedure, ThmObject *args);
};

// Indexed by builtin index.
static const Builtin kBuiltins[] = {
    {"define", evalDefine, nullptr},
    {"quote", evalQuote, nullptr},
    {"lambda", nullptr, applyNotImplemented},
    {"+", nullptr, applyAdd},
    {"*", nullptr, applyMultiply},
    {"/", nullptr, applyDivide},
    {"-", nullptr, applySubtract},
    {"%", nullptr, applyNotImplemented},
    {"car", nullptr, applyNotImplemented},
    {"cdr", nullptr, applyNotImplemented},
};
static_assert(sizeof kBuiltins / sizeof kBuiltins[0] == ThmBuiltinCount, "one row per builtin index");

// The order in which the global scope binds them, which decides their slots.
static const int kBindingOrder[] = {0, 1, 2, 3, 6, 4, 5, 7, 8, 9};
static_assert(sizeof kBindingOrder / sizeof kBindingOrder[0] == ThmBuiltinCount);

static constexpr ThmObject builtinObject(int index)
{
    return ThmObject{.kind = ThmKindProcedure, .isStatic = 1, .refCount = 0, .nextDying = nullptr,
                     .procedure = {index, nullptr, nullptr, nullptr, nullptr}};
}

static ThmObject builtinObjects[] = {
    builtinObject(0), builtinObject(1), builtinObject(2), builtinObject(3), builtinObject(4),
    builtinObject(5), builtinObject(6), builtinObject(7), builtinObject(8), builtinObject(9),
};
static_assert(sizeof builtinObjects / sizeof builtinObjects[0] == ThmBuiltinCount);

ThmObject *ThmBuiltin(int index)
{
    return index >= 0 && index < ThmBuiltinCount ? &builtinObjects[index] : nullptr;
}

const char *ThmBuiltinName(int index)
{
    return index >= 0 && index < ThmBuiltinCount ? kBuiltins[index].name : "";
}

void ThmBindBuiltins(ThmObject *scope)
{
    for (int index : kBindingOrder) {
        ThmObject *name = ThmSymbolFromCString(kBuiltins[index].name);
        ThmMapPut(scope->scope.map, name, &builtinObjects[index]);
        ThmRelease(name);
    }
}

// ---- Evaluation -----------------------------------------------------------------------

static void setCurrent(ThmInterpreter *interp, ThmObject *scope)
{
    ThmObject *old = interp->current;
    interp->current = scope;
    ThmRelease(old);
}

// Three levels and no further: the parent links can form cycles.
static ThmObject *lookup(ThmInterpreter *interp, ThmObject *symbol)
{
    ThmObject *scope = interp->current;
    if (ThmObject *value = ThmMapGet(scope->scope.map, symbol))
        return value;
    ThmObject *parent = scope->scope.parent;
    if (parent) {
        if (ThmObject *value = ThmMapGet(parent->scope.map, symbol))
            return value;
    }
    if (parent == interp->global || scope == interp->global)
        return nullptr;
    return ThmMapGet(interp->global->scope.map, symbol);
}

ThmObject *ThmEval(ThmInterpreter *interp, ThmObject *object)
{
    if (!object)
        return nullptr;
    if (object->kind == ThmKindSymbol)
        return lookup(interp, object);
    if (object->kind != ThmKindPair)
        return ThmRetained(object);

    if (++interp->depth > interp->maxDepth)
        ThmFatal(interp, "recursion too deep");
    ThmObject *procedure = ThmEval(interp, object->pair.car);
    if (!ThmIsKind(procedure, ThmKindProcedure)) {
        ThmRelease(procedure);
        ThmFatal(interp, "object is not procedure");
    }
    int mark = ThmPushTemp(interp, procedure);
    int builtin = procedure->procedure.builtin;
    ThmObject *value;
    if (builtin < ThmBuiltinCount && kBuiltins[builtin].form) {
        value = kBuiltins[builtin].form(interp, object);
    } else {
        ThmObject *args = ThmEvalList(interp, object->pair.cdr);
        ThmPushTemp(interp, args);
        value = ThmApply(interp, procedure, args);
    }
    ThmPopTemps(interp, mark);
    interp->depth--;
    return value;
}

ThmObject *ThmEvalList(ThmInterpreter *interp, ThmObject *list)
{
    if (list == ThmEmpty)
        return ThmEmpty;
    if (!ThmIsPair(list))
        ThmFatal(interp, "eval list expect pair\n");
    int mark = ThmPushTemp(interp, nullptr);  // the list built so far
    ThmObject *last = nullptr;
    for (ThmObject *p = list;;) {
        // A non-pair tail counts as one last argument.
        ThmObject *value = ThmEval(interp, ThmIsPair(p) ? p->pair.car : p);
        if (!value)
            ThmFatal(interp, "no value");
        ThmObject *cell = ThmNewPair(value, ThmEmpty);
        if (last)
            last->pair.cdr = cell;
        else
            interp->temps[mark] = cell;
        last = cell;
        if (!ThmIsPair(p))
            break;
        p = p->pair.cdr;
        if (p == ThmEmpty)
            break;
    }
    ThmObject *head = interp->temps[mark];
    interp->temps[mark] = nullptr;
    ThmPopTemps(interp, mark);
    return head;
}

static ThmObject *applyUser(ThmInterpreter *interp, ThmObject *procedure, ThmObject *args)
{
    ThmObject *caller = interp->current;
    ThmObject *defining = procedure->procedure.scope;
    int mark = ThmPushTemp(interp, ThmRetained(caller));
    // The defining scope's parent is the caller only for the call; kept, a call's
    // bindings would stay visible in the caller's scope after the call.
    ThmPushTemp(interp, defining->scope.parent);
    defining->scope.parent = ThmRetained(caller);
    setCurrent(interp, ThmRetained(defining));

    ThmObject *params = procedure->procedure.params;
    if (params != ThmEmpty && args != ThmEmpty) {
        if (!ThmIsPair(params) || !ThmIsPair(args))
            ThmFatal(interp, "error syntax");
        ThmObject *call = ThmNewScope(interp, ThmRetained(defining));
        setCurrent(interp, call);
        for (ThmObject *p = params, *a = args; ThmIsPair(p) && ThmIsPair(a); p = p->pair.cdr, a = a->pair.cdr)
            ThmMapPut(call->scope.map, p->pair.car, a->pair.car);
    }

    ThmObject *body = procedure->procedure.body;
    ThmObject *value = nullptr;
    if (body == ThmEmpty) {
        value = ThmEmpty;
    } else if (!ThmIsPair(body)) {
        ThmFatal(interp, "error proc body");
    } else {
        for (ThmObject *p = body; ThmIsPair(p); p = p->pair.cdr) {
            ThmRelease(value);
            value = nullptr;
            value = ThmEval(interp, p->pair.car);
        }
    }

    setCurrent(interp, ThmRetained(caller));
    ThmRelease(defining->scope.parent);
    defining->scope.parent = interp->temps[mark + 1];
    interp->temps[mark + 1] = nullptr;
    ThmPopTemps(interp, mark);
    return value;
}

ThmObject *ThmApply(ThmInterpreter *interp, ThmObject *procedure, ThmObject *args)
{
    if (!ThmIsKind(procedure, ThmKindProcedure))
        ThmFatal(interp, "object is not procedure");
    if (++interp->applications > interp->maxApplications)
        ThmFatal(interp, "too many applications");
    int builtin = procedure->procedure.builtin;
    if (builtin == ThmUserProcedure)
        return applyUser(interp, procedure, args);
    if (builtin < 0 || builtin >= ThmBuiltinCount || !kBuiltins[builtin].apply)
        ThmFatal(interp, "syntax error");
    return kBuiltins[builtin].apply(interp, procedure, args);
}
