#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "ThmTestSupport.h"
#include "theme/ThmEval.h"
#include "theme/ThmHashMap.h"

namespace {

// Integer keys from `from` on whose probe starts at the same slot as `key`'s.
std::vector<int32_t> collidingKeys(int32_t key, int32_t capacity, int count, int32_t from)
{
    ThmObject *k = ThmNewInteger(key);
    uint32_t start = ThmHash(k) % uint32_t(capacity);
    ThmRelease(k);
    std::vector<int32_t> keys;
    for (int32_t i = from; int(keys.size()) < count; i++) {
        ThmObject *c = ThmNewInteger(i);
        if (ThmHash(c) % uint32_t(capacity) == start)
            keys.push_back(i);
        ThmRelease(c);
    }
    return keys;
}

int32_t slotOf(ThmObject *map, int32_t key)
{
    for (int32_t i = 0; i < map->map.capacity; i++) {
        ThmObject *k = map->map.slots[i].key;
        if (ThmIsKind(k, ThmKindInteger) && k->integer == key)
            return i;
    }
    return -1;
}

void putInt(ThmObject *map, int32_t key, int32_t value)
{
    ThmObject *k = ThmNewInteger(key), *v = ThmNewInteger(value);
    ThmMapPut(map, k, v);
    ThmRelease(k);
    ThmRelease(v);
}

// The value bound to key, or -1 when there is none.
int32_t getInt(ThmObject *map, int32_t key)
{
    ThmObject *k = ThmNewInteger(key);
    ThmObject *v = ThmMapGet(map, k);
    ThmRelease(k);
    int32_t r = v ? v->integer : -1;
    ThmRelease(v);
    return r;
}

TEST(ThmHashMap, GrowsWhenATenthOrLessIsFree)
{
    struct Row {
        const char *name;
        int bindings;
        int32_t capacity;
    };
    const Row rows[] = {
        {"seven fill the first size", 7, 7},
        {"the eighth grows 7 to 13", 8, 13},
        {"twelve fit in 13", 12, 13},
        {"the thirteenth grows 13 to 31", 13, 31},
        {"twenty-eight fit in 31", 28, 31},
        {"the twenty-ninth grows 31 to 61", 29, 61},
        {"a thousand pass 1021 at 919", 1000, 2039},
    };
    for (const Row &row : rows) {
        ThmObject *map = ThmNewHashMap(ThmMapInitialCapacity);
        for (int i = 0; i < row.bindings; i++)
            putInt(map, i * 7919, i);
        EXPECT_EQ(map->map.capacity, row.capacity) << row.name;
        EXPECT_EQ(map->map.count, row.bindings) << row.name;
        for (int i = 0; i < row.bindings; i++)
            ASSERT_EQ(getInt(map, i * 7919), i) << row.name << " key " << i;
        ThmRelease(map);
    }
}

TEST(ThmHashMap, GlobalScopeHoldsTheBuiltinsInThirteenSlots)
{
    ThmInterpreter *interp = ThmNewInterpreter();
    ThmObject *map = interp->global->scope.map;
    EXPECT_EQ(map->map.capacity, 13);
    EXPECT_EQ(map->map.count, 10);
    for (int i = 0; i < ThmBuiltinCount; i++) {
        ThmObject *name = ThmSymbolFromCString(ThmBuiltinName(i));
        ThmObject *value = ThmMapGet(map, name);
        EXPECT_EQ(value, ThmBuiltin(i)) << ThmBuiltinName(i);
        ThmRelease(name);
    }
    EXPECT_EQ(interp->global->scope.parent, nullptr);
    ThmFreeInterpreter(interp);
}

TEST(ThmHashMap, CollidingKeysProbeOnward)
{
    ThmObject *map = ThmNewHashMap(ThmMapInitialCapacity);
    std::vector<int32_t> keys = collidingKeys(1, 7, 3, 2);
    putInt(map, 1, 100);
    for (int32_t k : keys)
        putInt(map, k, k + 1000);
    EXPECT_EQ(map->map.capacity, 7);
    EXPECT_EQ(getInt(map, 1), 100);
    std::vector<int32_t> slots{slotOf(map, 1)};
    for (int32_t k : keys) {
        EXPECT_EQ(getInt(map, k), k + 1000) << k;
        slots.push_back(slotOf(map, k));
    }
    for (size_t i = 0; i < slots.size(); i++)
        for (size_t j = i + 1; j < slots.size(); j++)
            EXPECT_NE(slots[i], slots[j]);
    // A key whose probe meets an empty slot before any equal key is not there.
    std::vector<int32_t> absent = collidingKeys(1, 7, 1, keys.back() + 1);
    EXPECT_EQ(getInt(map, absent[0]), -1);
    ThmRelease(map);
}

TEST(ThmHashMap, RebindingReplacesTheValue)
{
    ThmObject *map = ThmNewHashMap(ThmMapInitialCapacity);
    ThmObject *key = ThmSymbolFromCString("x");
    ThmObject *first = ThmNewInteger(1), *second = ThmNewInteger(2);
    ThmMapPut(map, key, first);
    EXPECT_EQ(first->refCount, 2);
    // An equal key that is another object finds the same slot.
    ThmObject *sameName = ThmSymbolFromCString("x");
    ThmMapPut(map, sameName, second);
    EXPECT_EQ(first->refCount, 1) << "the old value was released";
    EXPECT_EQ(map->map.count, 1);
    ThmObject *got = ThmMapGet(map, key);
    EXPECT_EQ(got, second);
    ThmRelease(got);
    for (ThmObject *o : {key, first, second, sameName})
        ThmRelease(o);
    ThmRelease(map);
}

// A slot with a key and no value is reusable: it does not end a probe, and a later key
// whose probe passes it first settles there.
TEST(ThmHashMap, ReusableSlots)
{
    ThmObject *map = ThmNewHashMap(ThmMapInitialCapacity);
    std::vector<int32_t> keys = collidingKeys(5, 7, 2, 6);
    ThmObject *tomb = ThmNewInteger(5);
    ThmMapPut(map, tomb, nullptr);
    ThmRelease(tomb);
    EXPECT_EQ(map->map.count, 1);
    EXPECT_EQ(getInt(map, 5), -1);
    int32_t tombSlot = slotOf(map, 5);

    putInt(map, keys[0], 50);
    EXPECT_EQ(slotOf(map, keys[0]), tombSlot);
    EXPECT_EQ(getInt(map, keys[0]), 50);
    EXPECT_EQ(getInt(map, 5), -1) << "the old key does not take over the new value";
    EXPECT_EQ(map->map.count, 1);

    // A reusable slot does not hide the keys behind it.
    putInt(map, keys[1], 60);
    ThmObject *k0 = ThmNewInteger(keys[0]);
    ThmMapPut(map, k0, nullptr);
    ThmRelease(k0);
    EXPECT_EQ(getInt(map, keys[1]), 60);
    putInt(map, keys[1], 61);
    EXPECT_EQ(getInt(map, keys[1]), 61);
    EXPECT_EQ(map->map.count, 2);
    ThmRelease(map);
}

TEST(ThmHashMap, KeysCompareByKindAndContent)
{
    struct Row {
        const char *name;
        ThmObject *bound, *looked;
        bool found;
    };
    ThmObject *s = ThmStringFromUTF8("abc");
    ThmObject *one = ThmNewInteger(1);
    const Row rows[] = {
        {"string by content", ThmStringFromUTF8("abc"), ThmStringFromUTF8("abc"), true},
        {"symbol by name", ThmSymbolFromCString("abc"), ThmSymbolFromCString("abc"), true},
        {"string is not a symbol", ThmStringFromUTF8("abc"), ThmSymbolFromCString("abc"), false},
        {"integer is not a real", ThmNewInteger(1), ThmNewReal(1), false},
        {"real by value", ThmNewReal(2.5f), ThmNewReal(2.5f), true},
        {"character by code", ThmNewCharacter('a'), ThmNewCharacter('a'), true},
        {"character is not an integer", ThmNewCharacter('a'), ThmNewInteger('a'), false},
        {"pair only by identity", ThmNewPair(ThmRetained(one), ThmEmpty), ThmNewPair(ThmRetained(one), ThmEmpty), false},
        {"same pair", ThmNewPair(ThmRetained(one), ThmEmpty), nullptr, true},
        {"empty string", ThmStringFromUTF8(""), ThmStringFromUTF8(""), true},
    };
    for (const Row &row : rows) {
        ThmObject *map = ThmNewHashMap(ThmMapInitialCapacity);
        ThmMapPut(map, row.bound, s);
        ThmObject *looked = row.looked ? row.looked : row.bound;
        ThmObject *got = ThmMapGet(map, looked);
        EXPECT_EQ(got != nullptr, row.found) << row.name;
        ThmRelease(got);
        ThmRelease(map);
        ThmRelease(row.bound);
        ThmRelease(row.looked);
    }
    ThmRelease(one);
    ThmRelease(s);
}

// Values of the published algorithms (Thomas Wang's integer hash; SuperFastHash over the
// characters as little-endian byte pairs), worked out apart from this code.
TEST(ThmHashMap, HashesMatchTheReferenceAlgorithms)
{
    struct Row {
        const char *name;
        ThmObject *object;
        uint32_t hash;
    };
    const Row rows[] = {
        {"integer 0", ThmNewInteger(0), 0x4636b9c9u},
        {"integer 1", ThmNewInteger(1), 0x62baf5a0u},
        {"integer -1", ThmNewInteger(-1), 0xdc8b039au},
        {"integer 65536", ThmNewInteger(65536), 0x203a860cu},
        {"real 1.5 by its bits", ThmNewReal(1.5f), 0x1b32490du},
        {"character a", ThmNewCharacter('a'), 0xad8b4236u},
        {"one character", ThmStringFromUTF8("a"), 0xd726795cu},
        {"two characters", ThmStringFromUTF8("ab"), 0x3d5cd72eu},
        {"six characters", ThmStringFromUTF8("define"), 0xe3b2842eu},
        {"a theme key", ThmStringFromUTF8("list-title-color"), 0x797a1f0au},
        {"a character above 255", ThmStringFromUTF8("caf\xc3\xa9"), 0x7e64c433u},
        {"a character above 255, alone", ThmStringFromUTF8("\xe2\x82\xac"), 0xab902159u},
        {"symbol by its name", ThmSymbolFromCString("define"), 0xe3b2842eu},
    };
    for (const Row &row : rows) {
        EXPECT_EQ(ThmHash(row.object), row.hash) << row.name;
        ThmRelease(row.object);
    }
}

// A probe that never reaches a free slot drops the binding with a message. Only a
// capacity outside the table (here 4) lets a step skip free slots.
TEST(ThmHashMap, FullProbeDropsTheBinding)
{
    auto hashOf = [](int32_t i) {
        ThmObject *k = ThmNewInteger(i);
        uint32_t h = ThmHash(k);
        ThmRelease(k);
        return h;
    };
    // Two keys that settle in slots 0 and 2, and a third whose probe visits only those.
    int32_t even[2] = {-1, -1}, blocked = -1;
    for (int32_t i = 0; blocked < 0 || even[1] < 0; i++) {
        uint32_t h = hashOf(i);
        if (h % 4 == 0 && even[0] < 0 && h % 3 + 1 != 2)
            even[0] = i;
        else if (h % 4 == 2 && even[1] < 0 && h % 3 + 1 != 2)
            even[1] = i;
        else if (h % 4 % 2 == 0 && h % 3 + 1 == 2 && blocked < 0)
            blocked = i;
    }
    ThmObject *map = ThmNewHashMap(4);
    putInt(map, even[0], 1);
    putInt(map, even[1], 2);
    ASSERT_EQ(slotOf(map, even[0]), 0);
    ASSERT_EQ(slotOf(map, even[1]), 2);
    testing::internal::CaptureStdout();
    putInt(map, blocked, 3);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Hashmap full! 4 2\n");
    EXPECT_EQ(getInt(map, blocked), -1);
    EXPECT_EQ(map->map.count, 2);
    EXPECT_EQ(getInt(map, even[0]), 1);
    ThmRelease(map);
}

TEST(ThmHashMap, HashFollowsContent)
{
    ThmObject *a = ThmStringFromUTF8("list-title-color"), *b = ThmStringFromUTF8("list-title-color");
    ThmObject *sym = ThmSymbolFromCString("list-title-color");
    ThmObject *other = ThmStringFromUTF8("list-title-colour");
    ThmObject *empty = ThmStringFromUTF8("");
    ThmObject *pair = ThmNewPair(ThmNewInteger(1), ThmEmpty);
    EXPECT_EQ(ThmHash(a), ThmHash(b));
    EXPECT_EQ(ThmHash(sym), ThmHash(a));
    EXPECT_NE(ThmHash(other), ThmHash(a));
    EXPECT_EQ(ThmHash(empty), 0u);
    EXPECT_EQ(ThmHash(pair), 0u);
    EXPECT_EQ(ThmHash(ThmTrue), 0u);
    for (ThmObject *o : {a, b, sym, other, empty, pair})
        ThmRelease(o);
}

}  // namespace
