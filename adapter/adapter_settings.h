#ifndef VELORAN_ADAPTER_ADAPTER_SETTINGS_H_
#define VELORAN_ADAPTER_ADAPTER_SETTINGS_H_

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "adapter/rewriting.h"

// What a data source says to the adapter, read at each connect with
// SQLGetPrivateProfileString (so that ODBCSYSINI and ODBCINI count, as for
// every driver):
//
//   Target    the driver that does the work: the absolute path of its
//             library, or the name of a driver section of odbcinst.ini
//             (whose Driver key gives the path)
//   Rewrite1, Rewrite2, ...
//             "FROM => TO" rules for the SQL texts (adapter/rewriting.h),
//             applied in the order of their numbers, which must run 1, 2,
//             3, ... without a gap, each of at most kMaxRuleLength bytes
//
// Every other key of the section is the target's, which reads them itself.

namespace veloran::adapter {

// unixODBC reads the first kProfileLineLength bytes of a line of odbc.ini,
// key and blanks included, and the rest of the line as further lines: a
// longer rule comes back cut short, with no sign of it.  A cut rule holds
// what its key, the "=" and the blanks around them leave of the line: with
// a key of up to 14 bytes ("Rewrite" and a number of up to seven digits)
// and up to 23 blanks, more than kMaxRuleLength, so that it is refused.
constexpr size_t kProfileLineLength = 999;
constexpr size_t kMaxRuleLength = 960;

struct AdapterSettings {
  std::string target;      // as written
  std::string targetPath;  // the library to load
  std::vector<std::string> ruleTexts;
  std::vector<RewriteRule> rules;  // pointing into ruleTexts
};

// Why a data source cannot be used: an SQLSTATE and a message that says
// what to change.
struct SettingsError {
  const char* state = "HY000";
  std::string message;
};

// Reads data source "dsn".  False with *error when it has no Target, when
// the Target names no driver, or when a rule is malformed, longer than
// kMaxRuleLength or its number leaves a gap.  May throw std::bad_alloc.
bool ReadAdapterSettings(const std::string& dsn, AdapterSettings* settings,
                         SettingsError* error);

// The value of key DSN of a connection string ("DSN=Veloran;UID=a"),
// braces taken off; empty when there is none.  May throw std::bad_alloc.
std::string DataSourceOfConnectionString(std::string_view text);

}  // namespace veloran::adapter

#endif  // VELORAN_ADAPTER_ADAPTER_SETTINGS_H_
