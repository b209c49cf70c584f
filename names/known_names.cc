#include "names/known_names.h"

#include <cstdio>
#include <cstring>

#include "text/html_text.h"

namespace veloran {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// The Greek letter of the entity that starts "text" ("&tau;"), with
// *length its length; nullptr when there is none.
const char* ReadGreekEntity(const char* text, size_t* length) {
  if (text[0] != '&') return nullptr;
  const char* end = std::strchr(text, ';');
  if (end == nullptr) return nullptr;
  size_t nameLength = static_cast<size_t>(end - text - 1);
  for (const char* letter : kGreekLetterNames) {
    if (std::strlen(letter) == nameLength &&
        std::strncmp(text + 1, letter, nameLength) == 0) {
      *length = nameLength + 2;
      return letter;
    }
  }
  return nullptr;
}

// Bayer numbers as windows-1252 writes them raised.
const char* RaisedDigit(char digit) {
  switch (digit) {
    case '1':
      return "&sup1;";
    case '2':
      return "&sup2;";
    case '3':
      return "&sup3;";
  }
  return nullptr;
}

// Appends to "text" (of "size" bytes, "*used" of them in use) as
// snprintf would; *used passes size - 1 when it does not fit.
void Append(char* text, size_t size, size_t* used, const char* format,
            const char* value) {
  if (*used + 1 >= size) {
    *used = size;
    return;
  }
  int written = std::snprintf(text + *used, size - *used, format, value);
  *used = written < 0 ? size : *used + static_cast<size_t>(written);
}

// The designation with its constellation's genitive: with the Greek letter
// spelled out, "Alpha&sup1; Centauri A" ("spelled"), or as the entity,
// "&alpha;&sup1; Centauri A".
void AppendDesignation(const StarDesignation& d, bool spelled, char* text,
                       size_t size, size_t* used) {
  if (d.greekLetter != nullptr && spelled) {
    char letter[16];
    std::snprintf(letter, sizeof(letter), "%s", d.greekLetter);
    letter[0] = static_cast<char>(letter[0] - 'a' + 'A');
    Append(text, size, used, "%s", letter);
  } else if (d.greekLetter != nullptr) {
    Append(text, size, used, "&%s;", d.greekLetter);
  } else if (d.latinLetter != '\0') {
    char letter[2] = {d.latinLetter, '\0'};
    Append(text, size, used, "%s", letter);
  }
  bool bayer = d.greekLetter != nullptr || d.latinLetter != '\0';
  const char* raised = d.number[1] == '\0' ? RaisedDigit(d.number[0]) : nullptr;
  Append(text, size, used, "%s", bayer && raised != nullptr ? raised : d.number);
  Append(text, size, used, " %s", d.constellation->genitive);
  char component[3] = {' ', d.component, '\0'};
  if (d.component != '\0') Append(text, size, used, "%s", component);
}

// The rank of a designation for the proper name's parenthesis, best
// first: a Bayer one with a component letter, a Bayer one, a Flamsteed
// one.
int DesignationRank(const StarDesignation& d) {
  bool bayer = d.greekLetter != nullptr || d.latinLetter != '\0';
  if (bayer && d.component != '\0') return 0;
  return bayer ? 1 : 2;
}

}  // namespace

bool ReadStarDesignation(const char* name, StarDesignation* designation) {
  StarDesignation d{};
  const char* at = name;
  size_t length = 0;
  d.greekLetter = ReadGreekEntity(at, &length);
  if (d.greekLetter != nullptr) {
    at += length;
  } else if (IsLetter(at[0]) && (at[1] == ' ' || IsDigit(at[1]))) {
    d.latinLetter = *at++;
  }
  size_t digits = 0;
  while (IsDigit(at[digits]) && digits + 1 < sizeof(d.number)) {
    d.number[digits] = at[digits];
    ++digits;
  }
  if (IsDigit(at[digits])) return false;
  at += digits;
  if (d.greekLetter == nullptr && d.latinLetter == '\0' && digits == 0) {
    return false;
  }
  if (*at++ != ' ') return false;
  char abbreviation[4] = "";
  for (int i = 0; i < 3; ++i) {
    if (!IsLetter(at[i])) return false;
    abbreviation[i] = at[i];
  }
  at += 3;
  d.constellation = FindConstellation(abbreviation);
  if (d.constellation == nullptr) return false;
  if (at[0] == ' ' && at[1] >= 'A' && at[1] <= 'Z' && at[2] == '\0') {
    d.component = at[1];
  } else if (at[0] != '\0') {
    return false;
  }
  *designation = d;
  return true;
}

namespace {

void ComposeKnownName(const char* displayName, const char* const* names,
                      int count, char* text, size_t size, size_t* used);

}  // namespace

void FormatKnownName(const char* displayName, const char* const* names,
                     int count, char* text, size_t size) {
  if (size == 0) return;
  size_t used = 0;
  ComposeKnownName(displayName, names, count, text, size, &used);
  // Cut, a name could end inside a reference: the display name instead.
  if (used >= size) std::snprintf(text, size, "%s", displayName);
}

namespace {

void ComposeKnownName(const char* displayName, const char* const* names,
                      int count, char* text, size_t size, size_t* usedOut) {
  text[0] = '\0';
  size_t& used = *usedOut;
  StarDesignation own;
  if (ReadStarDesignation(displayName, &own)) {
    AppendDesignation(own, true, text, size, &used);
    Append(text, size, &used, " (%s)", displayName);
    return;
  }
  Append(text, size, &used, "%s", displayName);
  bool isProperName = false;
  for (int i = 0; i < count; ++i) {
    isProperName = isProperName || std::strcmp(names[i], displayName) == 0;
  }
  if (!isProperName) return;
  StarDesignation best;
  int bestRank = 3;
  for (int i = 0; i < count; ++i) {
    StarDesignation d;
    if (ReadStarDesignation(names[i], &d) && DesignationRank(d) < bestRank) {
      best = d;
      bestRank = DesignationRank(d);
    }
  }
  if (bestRank == 3) return;
  Append(text, size, &used, "%s", " (");
  AppendDesignation(best, false, text, size, &used);
  Append(text, size, &used, "%s", ")");
}

}  // namespace

}  // namespace veloran
