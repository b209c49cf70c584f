#include "adapter/adapter_settings.h"

#include <gtest/gtest.h>

namespace veloran::adapter {
namespace {

struct ConnectionStringCase {
  const char* text;
  const char* dsn;
};

const ConnectionStringCase kConnectionStringCases[] = {
    {"DSN=Veloran", "Veloran"},
    {"DSN=Veloran;UID=web;PWD=x", "Veloran"},
    {"UID=web;dsn=Veloran;", "Veloran"},
    {" Dsn =Stars", "Stars"},
    {"DRIVER={Veloran Adapter};DSN={a;b}}c}", "a;b}c"},
    {"PWD={DSN=Wrong};DSN=Right", "Right"},
    {"DSNX=Wrong;XDSN=Wrong", ""},
    {"DRIVER=/usr/lib/x.so;Target=y", ""},
    {"", ""},
};

TEST(AdapterSettingsTest, FindsTheDataSourceOfAConnectionString) {
  for (const ConnectionStringCase& c : kConnectionStringCases) {
    EXPECT_EQ(DataSourceOfConnectionString(c.text), c.dsn) << c.text;
  }
}

}  // namespace
}  // namespace veloran::adapter
