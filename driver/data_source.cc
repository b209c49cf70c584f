#include "driver/data_source.h"

#include <odbcinst.h>
#include <strings.h>

#include <atomic>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <vector>

// unixODBC's own answer to where it reads odbc.ini ("BOOL" is int): a
// private part of its installer library, but the one that says exactly
// which files SQLGetPrivateProfileString reads.  With a false second
// argument it only names the file (it would otherwise create it).
extern "C" int _odbcinst_UserINI(char* path, int verify);
extern "C" int _odbcinst_SystemINI(char* path, int verify);

namespace veloran::odbc {

namespace {

constexpr int kDefaultTimeout = 2000;

// unixODBC keeps each answer of SQLGetPrivateProfileString for 20 seconds
// under the call's arguments and gives it again for the same arguments,
// however the files have changed: a long-lived process would reconnect to
// the database the data source named before a switch.  The default value
// is one of those arguments, so each read passes a default of its own (a
// control byte first: no key's value) and the files are read again.  Each
// answer still stays in unixODBC's list for its 20 seconds, so keys are
// read per connect and per change of the files, never per statement.
std::string ReadKey(const std::string& name, const char* key) {
  static std::atomic<unsigned long> reads{0};
  char unset[32];
  std::snprintf(unset, sizeof(unset), "\x01unset %lu", reads.fetch_add(1));
  // Paths up to PATH_MAX, and a few of them for LoadExt.
  std::vector<char> value(16384, '\0');
  int length =
      SQLGetPrivateProfileString(name.c_str(), key, unset, value.data(),
                                 static_cast<int>(value.size()), "odbc.ini");
  if (length <= 0 || std::strcmp(value.data(), unset) == 0) {
    return std::string();
  }
  return std::string(value.data());
}

struct Pair {
  std::string key;
  std::string value;
};

std::string Trim(std::string_view text) {
  size_t begin = 0, end = text.size();
  while (begin < end && (text[begin] == ' ' || text[begin] == '\t')) ++begin;
  while (end > begin && (text[end - 1] == ' ' || text[end - 1] == '\t')) {
    --end;
  }
  return std::string(text.substr(begin, end - begin));
}

bool ParsePairs(std::string_view text, std::vector<Pair>* pairs,
                std::string* error) {
  size_t i = 0;
  while (i < text.size()) {
    size_t equals = text.find('=', i);
    size_t semicolon = text.find(';', i);
    if (equals == std::string_view::npos ||
        (semicolon != std::string_view::npos && semicolon < equals)) {
      // A part without '=': nothing to read from it.
      if (semicolon == std::string_view::npos) break;
      i = semicolon + 1;
      continue;
    }
    Pair pair;
    pair.key = Trim(text.substr(i, equals - i));
    size_t j = equals + 1;
    while (j < text.size() && (text[j] == ' ' || text[j] == '\t')) ++j;
    if (j < text.size() && text[j] == '{') {
      ++j;
      for (;;) {
        if (j >= text.size()) {
          *error = "a value in braces is not closed: " + pair.key;
          return false;
        }
        if (text[j] == '}') {
          if (j + 1 < text.size() && text[j + 1] == '}') {
            pair.value += '}';
            j += 2;
            continue;
          }
          ++j;
          break;
        }
        pair.value += text[j++];
      }
      size_t end = text.find(';', j);
      i = end == std::string_view::npos ? text.size() : end + 1;
    } else {
      size_t end = text.find(';', j);
      if (end == std::string_view::npos) end = text.size();
      pair.value = Trim(text.substr(j, end - j));
      i = end + 1;
    }
    pairs->push_back(std::move(pair));
  }
  return true;
}

bool IsKey(const Pair& pair, const char* key) {
  return strcasecmp(pair.key.c_str(), key) == 0;
}

// Braces when the value would not read back plainly.
std::string Quote(const std::string& value) {
  if (value.find_first_of(";{}= ") == std::string::npos) return value;
  std::string quoted = "{";
  for (char c : value) {
    quoted += c;
    if (c == '}') quoted += '}';
  }
  return quoted + "}";
}

}  // namespace

void ReadDataSource(const std::string& name, DataSourceSettings* settings) {
  settings->dataSourceName = name;
  settings->databaseFromDataSource = true;
  settings->database = ReadKey(name, "Database");
  settings->loadExtensions = ReadKey(name, "LoadExt");
  settings->timeout = ReadKey(name, "Timeout");
  settings->queryTimeout = ReadKey(name, "QueryTimeout");
}

bool ReadConnectionString(std::string_view text, DataSourceSettings* settings,
                          std::string* error) {
  std::vector<Pair> pairs;
  if (!ParsePairs(text, &pairs, error)) return false;
  for (const Pair& pair : pairs) {
    if (IsKey(pair, "DSN") && !pair.value.empty()) {
      ReadDataSource(pair.value, settings);
    }
  }
  for (const Pair& pair : pairs) {
    if (IsKey(pair, "Database")) {
      settings->database = pair.value;
      settings->databaseFromDataSource = false;
    } else if (IsKey(pair, "LoadExt")) {
      settings->loadExtensions = pair.value;
    } else if (IsKey(pair, "Timeout")) {
      settings->timeout = pair.value;
    } else if (IsKey(pair, "QueryTimeout")) {
      settings->queryTimeout = pair.value;
    }
  }
  return true;
}

std::string ReadDatabaseKey(const std::string& name) {
  return ReadKey(name, "Database");
}

void DataSourceFiles(std::string* user, std::string* system) {
  // unixODBC writes up to its FILENAME_MAX of a variable and a file name
  // after it, unbounded: room for both.
  std::vector<char> path(2 * FILENAME_MAX + 64, '\0');
  _odbcinst_UserINI(path.data(), 0);
  *user = path.data();
  path[0] = '\0';
  _odbcinst_SystemINI(path.data(), 0);
  *system = path.data();
}

std::string CompletedConnectionString(const DataSourceSettings& settings) {
  std::string text;
  if (!settings.dataSourceName.empty()) {
    text += "DSN=" + Quote(settings.dataSourceName) + ";";
  }
  text += "Database=" + Quote(settings.database) + ";";
  if (!settings.loadExtensions.empty()) {
    text += "LoadExt=" + Quote(settings.loadExtensions) + ";";
  }
  if (!settings.timeout.empty()) {
    text += "Timeout=" + Quote(settings.timeout) + ";";
  }
  if (!settings.queryTimeout.empty()) {
    text += "QueryTimeout=" + Quote(settings.queryTimeout) + ";";
  }
  return text;
}

namespace {

// A whole number of 0 or more written alone, or "fallback" for none.
template <typename T>
bool ReadCount(const std::string& text, T fallback, T* value) {
  if (text.empty()) {
    *value = fallback;
    return true;
  }
  const char* begin = text.data();
  const char* end = begin + text.size();
  T number = 0;
  std::from_chars_result result = std::from_chars(begin, end, number);
  if (result.ec != std::errc() || result.ptr != end || number < 0) {
    return false;
  }
  *value = number;
  return true;
}

}  // namespace

bool TimeoutMilliseconds(const DataSourceSettings& settings, int* timeout) {
  return ReadCount(settings.timeout, kDefaultTimeout, timeout);
}

bool QueryTimeoutSeconds(const DataSourceSettings& settings,
                         unsigned* seconds) {
  return ReadCount(settings.queryTimeout, 0u, seconds);
}

}  // namespace veloran::odbc
