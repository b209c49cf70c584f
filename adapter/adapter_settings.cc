#include "adapter/adapter_settings.h"

#include <odbcinst.h>
#include <strings.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace veloran::adapter {
namespace {

// unixODBC keeps each answer of SQLGetPrivateProfileString for a while under
// the call's arguments, default value included, and gives it again however
// the files changed: each read passes a default of its own (a control byte
// first, which no value holds), so that a data source edited between two
// connects is read anew.
bool ReadEntry(const char* section, const char* key, const char* file,
               std::string* value) {
  static std::atomic<unsigned long> reads{0};
  char unset[32];
  std::snprintf(unset, sizeof(unset), "\x01unset %lu", reads.fetch_add(1));
  // unixODBC gives values shorter than a line of the file
  // (kProfileLineLength); a list of a section's keys may be longer.
  std::vector<char> buffer(65536, '\0');
  int length = SQLGetPrivateProfileString(section, key, unset, buffer.data(),
                                          static_cast<int>(buffer.size()), file);
  if (length <= 0 || std::strcmp(buffer.data(), unset) == 0) return false;
  if (static_cast<size_t>(length) >= buffer.size()) length = buffer.size() - 1;
  value->assign(buffer.data(), static_cast<size_t>(length));
  return true;
}

// The number N of a key "RewriteN" (any case, as unixODBC matches keys), or
// 0 for any other key.
unsigned long RuleNumber(const std::string& key) {
  if (key.size() <= 7 || strncasecmp(key.c_str(), "Rewrite", 7) != 0) return 0;
  unsigned long number = 0;
  for (size_t i = 7; i < key.size(); ++i) {
    if (key[i] < '0' || key[i] > '9' || number > 100000) return 0;
    number = number * 10 + static_cast<unsigned long>(key[i] - '0');
  }
  return key[7] == '0' ? 0 : number;
}

bool Fail(SettingsError* error, const char* state, std::string message) {
  error->state = state;
  error->message = std::move(message);
  return false;
}

}  // namespace

bool ReadAdapterSettings(const std::string& dsn, AdapterSettings* settings,
                         SettingsError* error) {
  const std::string source = "data source '" + dsn + "'";
  if (!ReadEntry(dsn.c_str(), "Target", "odbc.ini", &settings->target) ||
      settings->target.empty()) {
    return Fail(error, "IM002",
                source + " has no Target: add Target= with the absolute path "
                         "of the driver library that serves it, or the name "
                         "of its driver in odbcinst.ini");
  }
  if (settings->target.find('/') != std::string::npos) {
    settings->targetPath = settings->target;
  } else if (!ReadEntry(settings->target.c_str(), "Driver", "ODBCINST.INI",
                        &settings->targetPath) ||
             settings->targetPath.empty()) {
    return Fail(error, "IM002",
                "Target '" + settings->target + "' of " + source +
                    " is no driver of odbcinst.ini with a Driver key: write "
                    "the name of a driver section there (odbcinst -q -d "
                    "lists them), or the absolute path of the library");
  }

  // The section's keys, each ended by a NUL.
  std::string keys;
  std::map<unsigned long, std::string> numbered;
  if (ReadEntry(dsn.c_str(), nullptr, "odbc.ini", &keys)) {
    for (size_t at = 0; at < keys.size();) {
      size_t end = keys.find('\0', at);
      if (end == std::string::npos) end = keys.size();
      std::string key = keys.substr(at, end - at);
      at = end + 1;
      unsigned long number = RuleNumber(key);
      if (number == 0) continue;
      std::string text;
      ReadEntry(dsn.c_str(), key.c_str(), "odbc.ini", &text);
      numbered[number] = text;
    }
  }
  unsigned long expected = 1;
  for (auto& [number, text] : numbered) {
    if (number != expected) {
      return Fail(error, "HY000",
                  "Rewrite" + std::to_string(number) + " of " + source +
                      " has no Rewrite" + std::to_string(expected) +
                      " before it: number the rules 1, 2, 3, ... without a "
                      "gap, in the order they apply");
    }
    ++expected;
    settings->ruleTexts.push_back(std::move(text));
  }
  settings->rules.resize(settings->ruleTexts.size());
  for (size_t i = 0; i < settings->ruleTexts.size(); ++i) {
    // Before the form: a cut rule may have lost its "=>".
    if (settings->ruleTexts[i].size() > kMaxRuleLength) {
      return Fail(error, "HY000",
                  "Rewrite" + std::to_string(i + 1) + " of " + source + " is " +
                      std::to_string(settings->ruleTexts[i].size()) +
                      " bytes long as read, more than the " +
                      std::to_string(kMaxRuleLength) +
                      " a rule may hold: unixODBC reads only the first " +
                      std::to_string(kProfileLineLength) +
                      " bytes of a line of odbc.ini, so it may have been cut; "
                      "split it into shorter rules");
    }
    if (!ParseRewriteRule(settings->ruleTexts[i], &settings->rules[i])) {
      return Fail(error, "HY000",
                  "Rewrite" + std::to_string(i + 1) + " of " + source + " is '" +
                      settings->ruleTexts[i] +
                      "': write it as FROM => TO, with a FROM that is not "
                      "empty (TO may be)");
    }
  }
  return true;
}

std::string DataSourceOfConnectionString(std::string_view text) {
  size_t at = 0;
  while (at < text.size()) {
    size_t equals = text.find('=', at);
    if (equals == std::string_view::npos) break;
    std::string_view key = text.substr(at, equals - at);
    while (!key.empty() && (key.front() == ' ' || key.front() == ';')) {
      key.remove_prefix(1);
    }
    while (!key.empty() && key.back() == ' ') key.remove_suffix(1);
    size_t value = equals + 1;
    std::string found;
    size_t next;
    if (value < text.size() && text[value] == '{') {
      // "{...}", with "}}" for a "}".
      next = value + 1;
      while (next < text.size()) {
        if (text[next] == '}') {
          if (next + 1 < text.size() && text[next + 1] == '}') {
            found += '}';
            next += 2;
            continue;
          }
          ++next;
          break;
        }
        found += text[next++];
      }
      size_t semicolon = text.find(';', next);
      next = semicolon == std::string_view::npos ? text.size() : semicolon + 1;
    } else {
      size_t semicolon = text.find(';', value);
      size_t end = semicolon == std::string_view::npos ? text.size() : semicolon;
      found = std::string(text.substr(value, end - value));
      next = end + 1;
    }
    if (key.size() == 3 && strncasecmp(key.data(), "DSN", 3) == 0) return found;
    at = next;
  }
  return std::string();
}

}  // namespace veloran::adapter
