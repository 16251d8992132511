// Values of the theme language: one heap record per object with a reference count.
//
// Ownership: every function that returns an object hands the caller one reference, which
// the caller gives back with ThmRelease. The constructors that take objects (ThmNewPair,
// ThmNewSymbol, ThmVectorAppend) take over the caller's reference to them.
#pragma once

#include <cstddef>
#include <cstdint>

struct ThmObject;
struct ThmInterpreter;
struct ThmPort;

enum ThmKind : uint8_t {
    ThmKindEmpty = 0,
    ThmKindBoolean = 1,
    ThmKindCharacter = 2,
    ThmKindInteger = 3,
    ThmKindReal = 4,
    ThmKindString = 6,
    ThmKindSymbol = 7,
    ThmKindScope = 8,
    ThmKindProcedure = 9,
    ThmKindPair = 10,
    ThmKindVector = 11,
    ThmKindPort = 12,
    ThmKindHashMap = 13,
};

// Procedure objects carry a builtin index 0-9 or this value.
enum { ThmBuiltinCount = 10, ThmUserProcedure = 10 };

struct ThmMapSlot {
    ThmObject *key;
    ThmObject *value;
};

// The scopes of one interpreter that are still alive. Scopes and the procedures defined in
// them refer to each other, which counting alone never frees; the interpreter empties
// every scope on this list when it is freed.
struct ThmScopeList {
    ThmObject *first;
};

struct ThmObject {
    uint8_t kind;
    uint8_t isStatic : 1;  // never counted, never freed
    int32_t refCount;
    ThmObject *nextDying;  // links objects being freed, so that freeing never recurses
    union {
        uint16_t character;
        int32_t integer;
        float real;
        struct {
            int32_t length, capacity;
            uint16_t *chars;
        } string;
        struct {
            ThmObject *name;  // a string
        } symbol;
        struct {
            ThmObject *map, *parent;
            ThmScopeList *list;  // none once the interpreter is gone
            ThmObject *prevLive, *nextLive;
        } scope;
        struct {
            int builtin;  // 0-9, or ThmUserProcedure
            ThmObject *params, *body, *scope;
            ThmInterpreter *interp;
        } procedure;
        struct {
            ThmObject *car, *cdr;
        } pair;
        struct {
            ThmObject **elements;
            int32_t capacity, length;
        } vector;
        ThmPort *port;
        struct {
            ThmMapSlot *slots;
            int32_t count;     // slots that have been given a key
            int32_t capacity;
        } map;
    };
};

// The static objects.
extern ThmObject *const ThmEmpty;
extern ThmObject *const ThmTrue;
extern ThmObject *const ThmFalse;

void ThmRetain(ThmObject *object);
void ThmRelease(ThmObject *object);
// ThmRetain, returning the object.
ThmObject *ThmRetained(ThmObject *object);

// Allocation failure is not recoverable here: it prints a line and aborts.
ThmObject *ThmAllocObject(ThmKind kind);
void *ThmAlloc(size_t size);

ThmObject *ThmNewCharacter(int code);
ThmObject *ThmNewInteger(int32_t value);
ThmObject *ThmNewReal(float value);
ThmObject *ThmNewString();
void ThmStringAppend(ThmObject *string, uint16_t character);
ThmObject *ThmNewSymbol(ThmObject *name);
ThmObject *ThmNewPair(ThmObject *car, ThmObject *cdr);
ThmObject *ThmNewVector();
void ThmVectorAppend(ThmObject *vector, ThmObject *element);

// A new symbol whose name has one character per byte of text.
ThmObject *ThmSymbolFromCString(const char *text);

inline bool ThmIsKind(const ThmObject *o, ThmKind kind) { return o && o->kind == kind; }
inline bool ThmIsBoolean(const ThmObject *o) { return ThmIsKind(o, ThmKindBoolean); }
inline bool ThmIsPair(const ThmObject *o) { return ThmIsKind(o, ThmKindPair); }
inline bool ThmIsString(const ThmObject *o) { return ThmIsKind(o, ThmKindString); }
inline bool ThmIsSymbol(const ThmObject *o) { return ThmIsKind(o, ThmKindSymbol); }
inline bool ThmIsNumber(const ThmObject *o)
{
    return ThmIsKind(o, ThmKindInteger) || ThmIsKind(o, ThmKindReal);
}

bool ThmEqual(const ThmObject *a, const ThmObject *b);
bool ThmDeepEqual(const ThmObject *a, const ThmObject *b);

// The cdr of the first element of list that is a pair whose car is deep-equal to key.
ThmObject *ThmAssoc(ThmObject *list, ThmObject *key);
// Element n from 0; past the end the list's final cdr.
ThmObject *ThmNth(ThmObject *list, int n);
// An integer's value, a real truncated toward zero (saturated), 0 for anything else.
int32_t ThmToInteger(const ThmObject *object);
