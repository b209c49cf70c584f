#include "site/web_request.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "site/site_address.h"
#include "tests/test_support.h"

namespace veloran {
namespace {

void SetOrUnset(const char* name, const char* value) {
  if (value != nullptr) {
    setenv(name, value, 1);
  } else {
    unsetenv(name);
  }
}

// Each case: the request's CONTENT_TYPE, CONTENT_LENGTH and standard input,
// and what the form reader makes of them.
TEST(WebRequestTest, ReadsTheFormOfAPost) {
  const std::string longest(kMaxFormBodyLength, 'x');
  const struct {
    const char* type;
    const char* length;
    std::string input;
    FormBody result;
    std::string body;
  } cases[] = {
      {"application/x-www-form-urlencoded", "11", "RA=1&DEC=20",
       FormBody::kRead, "RA=1&DEC=20"},
      {"application/x-www-form-urlencoded; charset=UTF-8", "4", "SR=1",
       FormBody::kRead, "SR=1"},
      {"Application/X-WWW-Form-Urlencoded", "4", "SR=1", FormBody::kRead,
       "SR=1"},
      // Only what CONTENT_LENGTH says is read.
      {"application/x-www-form-urlencoded", "4", "SR=1&RA=2", FormBody::kRead,
       "SR=1"},
      {"application/x-www-form-urlencoded", nullptr, "SR=1", FormBody::kRead,
       ""},
      {"application/x-www-form-urlencoded", "0", "", FormBody::kRead, ""},
      {"application/x-www-form-urlencoded", "4096", longest, FormBody::kRead,
       longest},
      {"application/x-www-form-urlencoded", "4097", longest + "x",
       FormBody::kTooLong, ""},
      {"application/x-www-form-urlencoded", "99999999999999999999", "",
       FormBody::kTooLong, ""},
      {"application/x-www-form-urlencoded", "12", "SR=1", FormBody::kCut, ""},
      {"application/x-www-form-urlencoded", "-4", "SR=1", FormBody::kCut, ""},
      {"application/x-www-form-urlencoded", "4x", "SR=1", FormBody::kCut, ""},
      {"application/x-www-form-urlencoded", "5", std::string("SR\0=1", 5),
       FormBody::kNotAForm, ""},
      {"multipart/form-data; boundary=x", "4", "SR=1", FormBody::kNotAForm, ""},
      {"application/x-www-form-urlencodedx", "4", "SR=1", FormBody::kNotAForm,
       ""},
      {"text/plain", "4", "SR=1", FormBody::kNotAForm, ""},
      {nullptr, "4", "SR=1", FormBody::kNotAForm, ""},
  };
  std::string path = testing::TestDataDir() + "/form-body";
  for (const auto& c : cases) {
    FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fwrite(c.input.data(), 1, c.input.size(), file);
    std::fclose(file);
    ASSERT_NE(std::freopen(path.c_str(), "rb", stdin), nullptr);
    SetOrUnset("CONTENT_TYPE", c.type);
    SetOrUnset("CONTENT_LENGTH", c.length);
    static char body[kMaxFormBodyLength + 1];
    std::string label = std::string(c.type != nullptr ? c.type : "(none)") +
                        " " + (c.length != nullptr ? c.length : "(none)");
    EXPECT_EQ(ReadFormBody(body), c.result) << label;
    EXPECT_EQ(std::string(body), c.body) << label;
  }
  unsetenv("CONTENT_TYPE");
  unsetenv("CONTENT_LENGTH");
}

TEST(WebRequestTest, ReadsTheMethod) {
  const struct {
    const char* method;
    RequestMethod expected;
  } cases[] = {
      {nullptr, RequestMethod::kGet},       {"GET", RequestMethod::kGet},
      {"HEAD", RequestMethod::kGet},        {"POST", RequestMethod::kPost},
      {"OPTIONS", RequestMethod::kOptions}, {"options", RequestMethod::kOther},
      {"DELETE", RequestMethod::kOther},    {"", RequestMethod::kOther},
  };
  for (const auto& c : cases) {
    SetOrUnset("REQUEST_METHOD", c.method);
    EXPECT_EQ(ReadRequestMethod(), c.expected)
        << (c.method != nullptr ? c.method : "(none)");
  }
  unsetenv("REQUEST_METHOD");
}

// Each case: VELORAN_PUBLIC_URL and the request's variables, and the
// address of the cone search made of them.
TEST(SiteAddressTest, TheConfiguredAddressComesFirst) {
  const struct {
    const char* publicUrl;
    const char* host;
    const char* script;
    const char* address;
    bool absolute;
  } cases[] = {
      {"https://stars.example/veloran/cgi-bin/", "10.0.0.5",
       "/cgi-bin/cone_search",
       "https://stars.example/veloran/cgi-bin/cone_search", true},
      {"http://[2001:db8::1]:8080/cgi-bin/", nullptr, nullptr,
       "http://[2001:db8::1]:8080/cgi-bin/cone_search", true},
      {"http://stars.example/~vo/%7Ex/", nullptr, nullptr,
       "http://stars.example/~vo/%7Ex/cone_search", true},
      {nullptr, "10.0.0.5", "/veloran/cgi-bin/cone_search",
       "http://10.0.0.5:8080/veloran/cgi-bin/cone_search", true},
      // Not an address to give: the request's, or none.
      {"https://stars.example/veloran/cgi-bin", "10.0.0.5",
       "/cgi-bin/cone_search", "http://10.0.0.5:8080/cgi-bin/cone_search",
       true},
      {"ftp://stars.example/", "10.0.0.5", "/cgi-bin/cone_search",
       "http://10.0.0.5:8080/cgi-bin/cone_search", true},
      {"https:///cgi-bin/", nullptr, nullptr, "cone_search", false},
      {"https://stars.example/\"><x>/", nullptr, nullptr, "cone_search", false},
      {"https://stars.example/a b/", nullptr, nullptr, "cone_search", false},
      {"https://stars.example/?q=1/", nullptr, nullptr, "cone_search", false},
      {"", nullptr, nullptr, "cone_search", false},
      {nullptr, nullptr, nullptr, "cone_search", false},
  };
  for (const auto& c : cases) {
    SetOrUnset("VELORAN_PUBLIC_URL", c.publicUrl);
    SetOrUnset("SERVER_NAME", c.host);
    SetOrUnset("SCRIPT_NAME", c.script);
    setenv("SERVER_PORT", "8080", 1);
    unsetenv("HTTPS");
    char address[kProgramAddressSize];
    EXPECT_EQ(FormatProgramAddress("cone_search", address), c.absolute)
        << (c.publicUrl != nullptr ? c.publicUrl : "(unset)");
    EXPECT_STREQ(address, c.address)
        << (c.publicUrl != nullptr ? c.publicUrl : "(unset)");
  }
  for (const char* name :
       {"VELORAN_PUBLIC_URL", "SERVER_NAME", "SCRIPT_NAME", "SERVER_PORT"}) {
    unsetenv(name);
  }
}

}  // namespace
}  // namespace veloran
