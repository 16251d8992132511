#include "theme/ThmObject.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "theme/ThmPort.h"

static ThmObject emptyObject = {.kind = ThmKindEmpty, .isStatic = 1, .refCount = 0, .nextDying = nullptr, .integer = 0};
static ThmObject trueObject = {.kind = ThmKindBoolean, .isStatic = 1, .refCount = 0, .nextDying = nullptr, .integer = 1};
static ThmObject falseObject = {.kind = ThmKindBoolean, .isStatic = 1, .refCount = 0, .nextDying = nullptr, .integer = 0};

ThmObject *const ThmEmpty = &emptyObject;
ThmObject *const ThmTrue = &trueObject;
ThmObject *const ThmFalse = &falseObject;

void *ThmAlloc(size_t size)
{
    void *p = calloc(1, size ? size : 1);
    if (!p) {
        fputs("theme interpreter: out of memory\n", stderr);
        abort();
    }
    return p;
}

ThmObject *ThmAllocObject(ThmKind kind)
{
    ThmObject *o = static_cast<ThmObject *>(ThmAlloc(sizeof(ThmObject)));
    o->kind = kind;
    o->refCount = 1;
    return o;
}

void ThmRetain(ThmObject *object)
{
    if (object && !object->isStatic)
        object->refCount++;
}

ThmObject *ThmRetained(ThmObject *object)
{
    ThmRetain(object);
    return object;
}

static void dropReference(ThmObject *o, ThmObject **dying)
{
    if (!o || o->isStatic || --o->refCount > 0)
        return;
    o->nextDying = *dying;
    *dying = o;
}

static void unlinkScope(ThmObject *scope)
{
    ThmScopeList *list = scope->scope.list;
    if (!list)
        return;
    if (scope->scope.prevLive)
        scope->scope.prevLive->scope.nextLive = scope->scope.nextLive;
    else
        list->first = scope->scope.nextLive;
    if (scope->scope.nextLive)
        scope->scope.nextLive->scope.prevLive = scope->scope.prevLive;
}

// Long lists and long chains of scopes die without recursion: every object whose count
// reaches zero joins the dying list and is taken apart in turn.
void ThmRelease(ThmObject *object)
{
    ThmObject *dying = nullptr;
    dropReference(object, &dying);
    while (dying) {
        ThmObject *o = dying;
        dying = o->nextDying;
        switch (o->kind) {
        case ThmKindString:
            free(o->string.chars);
            break;
        case ThmKindSymbol:
            dropReference(o->symbol.name, &dying);
            break;
        case ThmKindScope:
            unlinkScope(o);
            dropReference(o->scope.map, &dying);
            dropReference(o->scope.parent, &dying);
            break;
        case ThmKindProcedure:
            dropReference(o->procedure.params, &dying);
            dropReference(o->procedure.body, &dying);
            dropReference(o->procedure.scope, &dying);
            break;
        case ThmKindPair:
            dropReference(o->pair.car, &dying);
            dropReference(o->pair.cdr, &dying);
            break;
        case ThmKindVector:
            for (int32_t i = 0; i < o->vector.length; i++)
                dropReference(o->vector.elements[i], &dying);
            free(o->vector.elements);
            break;
        case ThmKindPort:
            o->port->close(o);
            free(o->port);
            break;
        case ThmKindHashMap:
            for (int32_t i = 0; i < o->map.capacity; i++) {
                dropReference(o->map.slots[i].key, &dying);
                dropReference(o->map.slots[i].value, &dying);
            }
            free(o->map.slots);
            break;
        default:
            break;
        }
        free(o);
    }
}

ThmObject *ThmNewCharacter(int code)
{
    ThmObject *o = ThmAllocObject(ThmKindCharacter);
    o->character = uint16_t(code);
    return o;
}

ThmObject *ThmNewInteger(int32_t value)
{
    ThmObject *o = ThmAllocObject(ThmKindInteger);
    o->integer = value;
    return o;
}

ThmObject *ThmNewReal(float value)
{
    ThmObject *o = ThmAllocObject(ThmKindReal);
    o->real = value;
    return o;
}

ThmObject *ThmNewString()
{
    return ThmAllocObject(ThmKindString);
}

void ThmStringAppend(ThmObject *string, uint16_t character)
{
    if (string->string.length == string->string.capacity) {
        int32_t capacity = string->string.capacity ? string->string.capacity * 2 : 8;
        uint16_t *chars = static_cast<uint16_t *>(ThmAlloc(size_t(capacity) * sizeof(uint16_t)));
        if (string->string.length)
            memcpy(chars, string->string.chars, size_t(string->string.length) * sizeof(uint16_t));
        free(string->string.chars);
        string->string.chars = chars;
        string->string.capacity = capacity;
    }
    string->string.chars[string->string.length++] = character;
}

ThmObject *ThmNewSymbol(ThmObject *name)
{
    ThmObject *o = ThmAllocObject(ThmKindSymbol);
    o->symbol.name = name;
    return o;
}

ThmObject *ThmNewPair(ThmObject *car, ThmObject *cdr)
{
    ThmObject *o = ThmAllocObject(ThmKindPair);
    o->pair.car = car;
    o->pair.cdr = cdr;
    return o;
}

ThmObject *ThmNewVector()
{
    return ThmAllocObject(ThmKindVector);
}

void ThmVectorAppend(ThmObject *vector, ThmObject *element)
{
    if (vector->vector.length == vector->vector.capacity) {
        int32_t capacity = vector->vector.capacity;
        capacity += capacity == 0 ? 4 : capacity < 1024 ? capacity : 1024;
        ThmObject **elements = static_cast<ThmObject **>(ThmAlloc(size_t(capacity) * sizeof(ThmObject *)));
        if (vector->vector.length)
            memcpy(elements, vector->vector.elements, size_t(vector->vector.length) * sizeof(ThmObject *));
        free(vector->vector.elements);
        vector->vector.elements = elements;
        vector->vector.capacity = capacity;
    }
    vector->vector.elements[vector->vector.length++] = element;
}

ThmObject *ThmSymbolFromCString(const char *text)
{
    ThmObject *name = ThmNewString();
    for (const unsigned char *p = reinterpret_cast<const unsigned char *>(text); *p; p++)
        ThmStringAppend(name, *p);
    return ThmNewSymbol(name);
}

static bool sameCharacters(const ThmObject *a, const ThmObject *b)
{
    return a->string.length == b->string.length &&
           (a->string.length == 0 ||
            memcmp(a->string.chars, b->string.chars, size_t(a->string.length) * sizeof(uint16_t)) == 0);
}

bool ThmEqual(const ThmObject *a, const ThmObject *b)
{
    if (a == b)
        return true;
    if (!a || !b || a->kind != b->kind)
        return false;
    switch (a->kind) {
    case ThmKindCharacter:
        return a->character == b->character;
    case ThmKindInteger:
        return a->integer == b->integer;
    case ThmKindReal:
        return a->real == b->real;
    case ThmKindString:
        return sameCharacters(a, b);
    case ThmKindSymbol:
        return sameCharacters(a->symbol.name, b->symbol.name);
    default:
        return false;
    }
}

bool ThmDeepEqual(const ThmObject *a, const ThmObject *b)
{
    // Along the cdr by iteration: lists can be long, nesting is bounded by the reader.
    while (ThmIsPair(a) && ThmIsPair(b) && a != b) {
        if (!ThmDeepEqual(a->pair.car, b->pair.car))
            return false;
        a = a->pair.cdr;
        b = b->pair.cdr;
    }
    if (ThmIsKind(a, ThmKindVector) && ThmIsKind(b, ThmKindVector) && a != b) {
        if (a->vector.length != b->vector.length)
            return false;
        for (int32_t i = 0; i < a->vector.length; i++) {
            if (!ThmDeepEqual(a->vector.elements[i], b->vector.elements[i]))
                return false;
        }
        return true;
    }
    return ThmEqual(a, b);
}

ThmObject *ThmAssoc(ThmObject *list, ThmObject *key)
{
    for (ThmObject *p = list; ThmIsPair(p); p = p->pair.cdr) {
        ThmObject *element = p->pair.car;
        if (ThmIsPair(element) && ThmDeepEqual(element->pair.car, key))
            return ThmRetained(element->pair.cdr);
    }
    return nullptr;
}

ThmObject *ThmNth(ThmObject *list, int n)
{
    ThmObject *p = list;
    for (int i = 0; i < n && ThmIsPair(p); i++)
        p = p->pair.cdr;
    return ThmRetained(ThmIsPair(p) ? p->pair.car : p);
}

int32_t ThmToInteger(const ThmObject *object)
{
    if (ThmIsKind(object, ThmKindInteger))
        return object->integer;
    if (!ThmIsKind(object, ThmKindReal))
        return 0;
    // Converting a float outside the int range is undefined; saturate instead.
    float r = object->real;
    if (std::isnan(r))
        return 0;
    if (r >= 2147483648.0f)
        return INT32_MAX;
    if (r <= -2147483648.0f)
        return INT32_MIN;
    return int32_t(r);
}
