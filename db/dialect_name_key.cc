// NameKey for the dialect extension, which is written in C.

#include <cstddef>

#include "names/name_keys.h"

extern "C" int VeloranNameKey(const char* text, size_t length, char* key,
                              size_t keySize) {
  return veloran::NameKey(text, length, key, keySize) ? 1 : 0;
}
