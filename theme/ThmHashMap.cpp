#include "theme/ThmHashMap.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

static const int32_t kCapacities[] = {
    7, 13, 31, 61, 127, 251, 509, 1021, 2039, 4093, 8191, 16381, 32749, 65521, 131071,
    262143, 524287, 1048575, 2097151, 4194303, 8388607, 16777211, 33554431, 67108863,
    134217727, 268435455, 536870911, 1073741823, 2147483647,
};
static_assert(sizeof kCapacities / sizeof kCapacities[0] == 29);

ThmObject *ThmNewHashMap(int32_t capacity)
{
    ThmObject *map = ThmAllocObject(ThmKindHashMap);
    map->map.capacity = capacity;
    map->map.slots = static_cast<ThmMapSlot *>(ThmAlloc(size_t(capacity) * sizeof(ThmMapSlot)));
    return map;
}

// Thomas Wang's 32-bit integer hash.
static uint32_t hashWord(uint32_t key)
{
    key += ~(key << 15);
    key ^= key >> 10;
    key += key << 3;
    key ^= key >> 6;
    key += ~(key << 11);
    key ^= key >> 16;
    return key;
}

// Paul Hsieh's SuperFastHash over the characters taken as little-endian bytes. Every
// character is one of its 16-bit reads, and the byte length is always even.
static uint32_t hashCharacters(const uint16_t *chars, int32_t count)
{
    if (count <= 0)
        return 0;
    uint32_t hash = uint32_t(count) * 2;
    int32_t i = 0;
    for (; i + 1 < count; i += 2) {
        hash += chars[i];
        uint32_t tmp = (uint32_t(chars[i + 1]) << 11) ^ hash;
        hash = (hash << 16) ^ tmp;
        hash += hash >> 11;
    }
    if (i < count) {
        hash += chars[i];
        hash ^= hash << 11;
        hash += hash >> 17;
    }
    hash ^= hash << 3;
    hash += hash >> 5;
    hash ^= hash << 4;
    hash += hash >> 17;
    hash ^= hash << 25;
    hash += hash >> 6;
    return hash;
}

uint32_t ThmHash(const ThmObject *o)
{
    if (!o)
        return 0;
    switch (o->kind) {
    case ThmKindCharacter:
        return hashWord(o->character);
    case ThmKindInteger:
        return hashWord(uint32_t(o->integer));
    case ThmKindReal: {
        uint32_t bits;
        memcpy(&bits, &o->real, sizeof bits);
        return hashWord(bits);
    }
    case ThmKindString:
        return hashCharacters(o->string.chars, o->string.length);
    case ThmKindSymbol:
        return ThmHash(o->symbol.name);
    default:
        return 0;
    }
}

// Probe positions of a key: index = h mod capacity, then += step, at most capacity times.
struct Probe {
    uint32_t index, step, left, capacity;
};

static Probe startProbe(const ThmObject *map, const ThmObject *key)
{
    uint32_t h = ThmHash(key);
    uint32_t capacity = uint32_t(map->map.capacity);
    uint32_t step = capacity > 1 ? h % (capacity - 1) + 1 : 1;
    return Probe{h % capacity, step, capacity, capacity};
}

static ThmMapSlot *nextSlot(ThmObject *map, Probe *p)
{
    if (p->left == 0)
        return nullptr;
    p->left--;
    ThmMapSlot *slot = &map->map.slots[p->index];
    p->index = uint32_t((uint64_t(p->index) + p->step) % p->capacity);
    return slot;
}

ThmObject *ThmMapGet(ThmObject *map, const ThmObject *key)
{
    Probe probe = startProbe(map, key);
    while (ThmMapSlot *slot = nextSlot(map, &probe)) {
        if (!slot->key && !slot->value)
            return nullptr;
        if (slot->key && ThmEqual(slot->key, key))
            return ThmRetained(slot->value);
    }
    return nullptr;
}

// The slot for key: the one holding an equal key, else the first reusable or empty slot
// met before the probe reached an empty one; none when the probe found neither.
static ThmMapSlot *findSlot(ThmObject *map, const ThmObject *key)
{
    ThmMapSlot *candidate = nullptr;
    Probe probe = startProbe(map, key);
    while (ThmMapSlot *slot = nextSlot(map, &probe)) {
        bool empty = !slot->key && !slot->value;
        bool occupied = slot->key && slot->value;
        if (slot->key && ThmEqual(slot->key, key))
            return slot;
        if (!occupied && !candidate)
            candidate = slot;
        if (empty)
            break;
    }
    return candidate;
}

static void grow(ThmObject *map)
{
    int32_t capacity = map->map.capacity;
    int32_t larger = 0;
    for (int32_t c : kCapacities) {
        if (c > capacity) {
            larger = c;
            break;
        }
    }
    if (!larger)
        return;
    ThmMapSlot *slots = static_cast<ThmMapSlot *>(calloc(size_t(larger), sizeof(ThmMapSlot)));
    if (!slots)
        return;
    ThmMapSlot *old = map->map.slots;
    map->map.slots = slots;
    map->map.capacity = larger;
    for (int32_t i = 0; i < capacity; i++) {
        if (old[i].key && old[i].value) {
            ThmMapSlot *slot = findSlot(map, old[i].key);
            *slot = old[i];
        } else {
            // A slot with only one half is not moved; its reference must still go.
            ThmRelease(old[i].key);
            ThmRelease(old[i].value);
        }
    }
    free(old);
}

void ThmMapPut(ThmObject *map, ThmObject *key, ThmObject *value)
{
    if (!key)
        return;
    if (map->map.capacity - map->map.count <= map->map.capacity / 10)
        grow(map);
    ThmMapSlot *slot = findSlot(map, key);
    if (!slot) {
        printf("Hashmap full! %d %d\n", map->map.capacity, map->map.count);
        return;
    }
    if (!slot->key) {
        slot->key = ThmRetained(key);
        map->map.count++;
    } else if (!ThmEqual(slot->key, key)) {
        // A reusable slot left by another key: the binding is for this key now, or a
        // later lookup would find the old key with the new value.
        ThmRelease(slot->key);
        slot->key = ThmRetained(key);
    }
    ThmRetain(value);
    ThmRelease(slot->value);
    slot->value = value;
}
