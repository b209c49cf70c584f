// The name keys of any bytes: a key holds only a-z and 0-9, fits the
// buffer it is given and no byte more, is its own key, and reads only the
// bytes it is given.

#include <cstdlib>
#include <cstring>
#include <memory>

#include "names/name_keys.h"

namespace {

bool OnlyLettersAndDigits(const char* key) {
  for (const char* c = key; *c != '\0'; ++c) {
    if (!((*c >= 'a' && *c <= 'z') || (*c >= '0' && *c <= '9'))) return false;
  }
  return true;
}

// The key of "text" into a heap buffer of exactly "keySize" bytes, so that
// a write beyond it is a fault; its outcome and key into *fault, "out".
bool KeyInBufferOf(const char* text, size_t length, size_t keySize, char* out,
                   veloran::NameKeyFault* fault) {
  std::unique_ptr<char[]> key(new char[keySize]);
  bool made = veloran::NameKey(text, length, key.get(), keySize, fault);
  if (keySize > 0) {
    size_t written = strnlen(key.get(), keySize);
    if (written == keySize) std::abort();  // no terminator
    std::memcpy(out, key.get(), written + 1);
  }
  return made;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
  using veloran::kNameKeySize;
  using veloran::NameKeyFault;
  // A copy of exactly "size" bytes, without a terminator, so that a read
  // past the length is a fault.
  std::unique_ptr<char[]> text(new char[size]);
  if (size > 0) std::memcpy(text.get(), data, size);

  char key[kNameKeySize];
  NameKeyFault fault = NameKeyFault::kNone;
  bool made = KeyInBufferOf(text.get(), size, kNameKeySize, key, &fault);
  size_t length = std::strlen(key);
  if (!made) {
    if (length != 0 || fault == NameKeyFault::kNone) std::abort();
  } else {
    if (length == 0 || fault != NameKeyFault::kNone) std::abort();
    if (!OnlyLettersAndDigits(key)) std::abort();

    // The key of a key is the key itself.
    char again[kNameKeySize];
    if (!veloran::NameKey(key, length, again, sizeof again) ||
        std::strcmp(again, key) != 0) {
      std::abort();
    }

    // A buffer of the key's length and terminator gives the same key, or
    // none as too long: each "ksi" takes one byte more while it is written
    // than once spelled out as "xi", so a key with one may be refused by a
    // buffer of just its size.  A smaller buffer gives none.
    char fits[kNameKeySize];
    if (KeyInBufferOf(text.get(), size, length + 1, fits, &fault)
            ? std::strcmp(fits, key) != 0
            : fault != NameKeyFault::kTooLong || fits[0] != '\0') {
      std::abort();
    }
    char cut[kNameKeySize];
    if (KeyInBufferOf(text.get(), size, length, cut, &fault) ||
        fault != NameKeyFault::kTooLong || cut[0] != '\0') {
      std::abort();
    }

    // Every key that starts with this one lies below its prefix end.
    char end[kNameKeySize + 1];
    if (!veloran::NameKeyPrefixEnd(key, end, sizeof end) ||
        std::strlen(end) != length || std::strcmp(key, end) >= 0 ||
        std::strncmp(key, end, length - 1) != 0) {
      std::abort();
    }
  }
  // No buffer at all: nothing written, no key.
  if (veloran::NameKey(text.get(), size, nullptr, 0)) std::abort();
  return 0;
}
