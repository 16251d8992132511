// Hash maps of the interpreter (scopes and the string pool): open addressing with double
// hashing over a fixed table of capacities.
#pragma once

#include <cstdint>

#include "theme/ThmObject.h"

enum { ThmMapInitialCapacity = 7 };

ThmObject *ThmNewHashMap(int32_t capacity);
// The value bound to key, retained, or none.
ThmObject *ThmMapGet(ThmObject *map, const ThmObject *key);
// Binds key to value, retaining both. A map without a free slot prints
// "Hashmap full! %d %d\n" to standard output and drops the binding.
void ThmMapPut(ThmObject *map, ThmObject *key, ThmObject *value);
uint32_t ThmHash(const ThmObject *object);
