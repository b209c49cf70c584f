#include "cgi/query_params.h"

#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "tests/test_support.h"

namespace veloran {
namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;

Pairs Decode(const std::string& query, bool asSent = false) {
  ClearQueryParams();
  if (asSent) {
    DecodeQueryStringAsSent(query.c_str());
  } else {
    DecodeQueryString(query.c_str());
  }
  Pairs pairs;
  for (const QueryParam* p = queryParams.first; p != nullptr; p = p->next) {
    pairs.emplace_back(p->name, p->value);
  }
  return pairs;
}

TEST(QueryParamsTest, Splitting) {
  const struct {
    std::string query;
    Pairs pairs;
  } cases[] = {
      {"", {}},
      {"ID=100&ID=200", {{"ID", "100"}, {"ID", "200"}}},
      {"X=1&Y", {{"X", "1"}}},
      {"Y=", {{"Y", ""}}},
      {"a=b=c", {{"a", "b=c"}}},
      {"&&ly=3&", {{"ly", "3"}}},
      {"=5&ly=3", {{"ly", "3"}}},
      {"=ly=3", {{"ly", "3"}}},
      {"min%52AHour=5", {{"min%52AHour", "5"}}},
      {"ly=3&x%26y=1", {{"ly", "3"}, {"x%26y", "1"}}},
      {"a=%26&b=1", {{"a", "&"}, {"b", "1"}}},
      {"a", {}},
      {"&", {}},
      {"==", {}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Decode(c.query), c.pairs) << c.query;
  }
}

TEST(QueryParamsTest, ValueDecoding) {
  const struct {
    std::string raw;
    std::string stored;
  } cases[] = {
      {"O'Brien", "O''Brien"},
      {"%27", "''"},
      {"''", "''''"},
      {"a+b", "a b"},
      {"12*", "12\xB0"},
      {"%41%2", "A\x02"},
      {"%4G", "\x04G"},
      {"%G1", "%G1"},
      {"%%41", "%A"},
      {"100%", "100%"},
      {"%2B", "+"},
      {"%2A", "*"},
      {"%00abc", ""},
      {"ab%00cd", "ab"},
      {"%e9t%E9", "\xE9t\xE9"},
      {"\xE9\x80", "\xE9\x80"},
      {"%", "%"},
      {"%2", "\x02"},
      {"%252B", "%2B"},
  };
  for (const auto& c : cases) {
    Pairs pairs = Decode("v=" + c.raw);
    ASSERT_EQ(pairs.size(), 1u) << c.raw;
    EXPECT_EQ(pairs[0].second, c.stored) << c.raw;
    // As sent, the same but for the quotes, which stay single.
    std::string sent = c.stored;
    for (size_t at = sent.find("''"); at != std::string::npos;
         at = sent.find("''", at + 1)) {
      sent.erase(at, 1);
    }
    pairs = Decode("v=" + c.raw, true);
    ASSERT_EQ(pairs.size(), 1u) << c.raw;
    EXPECT_EQ(pairs[0].second, sent) << c.raw;
  }
}

TEST(QueryParamsTest, Limits) {
  std::string name255(255, 'n');
  std::string name256(256, 'n');
  std::string value511(511, 'v');
  std::string value512(512, 'v');
  const struct {
    std::string query;
    Pairs pairs;
  } cases[] = {
      {"a=1&" + name255 + "=2&b=3", {{"a", "1"}, {name255, "2"}, {"b", "3"}}},
      {"a=1&" + name256 + "=2&b=3", {{"a", "1"}}},
      // A segment without "=" is measured like a name, too.
      {"a=1&" + name256 + "&b=3", {{"a", "1"}}},
      {"a=1&b=" + value511 + "&c=3", {{"a", "1"}, {"b", value511}, {"c", "3"}}},
      {"a=1&b=" + value512 + "&c=3", {{"a", "1"}}},
      // 511 quotes are doubled and stored whole.
      {"q=" + std::string(511, '\''), {{"q", std::string(1022, '\'')}}},
      // The last "%" before "27" starts an escape; the others stand.
      {"q=" + std::string(170, '%') + "27%27",
       {{"q", std::string(169, '%') + "''''"}}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Decode(c.query), c.pairs) << c.query.substr(0, 40);
  }
}

TEST(QueryParamsTest, ReturnsTheNumberOfPairsAppended) {
  ClearQueryParams();
  EXPECT_EQ(DecodeQueryString("a=1&b&c=&=d"), 2);
  EXPECT_EQ(DecodeQueryString("e=5"), 1);  // appends, does not clear
  EXPECT_STREQ(FindQueryParam("e"), "5");
  EXPECT_STREQ(FindQueryParam("a"), "1");
}

TEST(QueryParamsTest, Lookup) {
  Decode("ID=100&ID=200&Y=&minRAHour=3&ly=7");
  EXPECT_STREQ(FindQueryParam("ID"), "100");  // the first match wins
  ASSERT_NE(FindQueryParam("Y"), nullptr);    // empty is not absent
  EXPECT_STREQ(FindQueryParam("Y"), "");
  EXPECT_EQ(FindQueryParam("X"), nullptr);
  EXPECT_EQ(FindQueryParam("id"), nullptr);     // case-sensitive
  EXPECT_EQ(FindQueryParam("minRA"), nullptr);  // whole names only
  EXPECT_EQ(FindQueryParam("minRAHours"), nullptr);
  EXPECT_STREQ(FindQueryParam("ly"), "7");
  ClearQueryParams();
  EXPECT_EQ(FindQueryParam("ID"), nullptr);
}

TEST(QueryParamsTest, ManyPairs) {
  std::string query;
  for (int i = 0; i < 40000; ++i) query += "a=" + std::to_string(i) + "&";
  query += "last=1";
  ClearQueryParams();
  EXPECT_EQ(DecodeQueryString(query.c_str()), 40001);
  EXPECT_STREQ(FindQueryParam("a"), "0");
  EXPECT_STREQ(FindQueryParam("last"), "1");
  ClearQueryParams();
}

}  // namespace
}  // namespace veloran
