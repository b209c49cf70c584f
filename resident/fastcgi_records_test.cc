#include "resident/fastcgi_records.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace veloran {
namespace {

using Bytes = std::string;

Bytes Record(int type, int id, const Bytes& content, int padding = 0) {
  Bytes record;
  record += '\1';
  record += static_cast<char>(type);
  record += static_cast<char>(id >> 8);
  record += static_cast<char>(id & 0xFF);
  record += static_cast<char>(content.size() >> 8);
  record += static_cast<char>(content.size() & 0xFF);
  record += static_cast<char>(padding);
  record += '\0';
  return record + content + Bytes(static_cast<size_t>(padding), '\0');
}

Bytes Length(size_t n) {
  if (n < 128) return Bytes(1, static_cast<char>(n));
  Bytes four;
  four += static_cast<char>(0x80 | (n >> 24));
  four += static_cast<char>((n >> 16) & 0xFF);
  four += static_cast<char>((n >> 8) & 0xFF);
  four += static_cast<char>(n & 0xFF);
  return four;
}

Bytes Pair(const Bytes& name, const Bytes& value) {
  return Length(name.size()) + Length(value.size()) + name + value;
}

Bytes Begin(int id, int role = 1, int flags = 0) {
  return Record(1, id,
                Bytes{0, static_cast<char>(role), static_cast<char>(flags), 0,
                      0, 0, 0, 0});
}

const Bytes kQuery =
    Pair("QUERY_STRING", "ID=100&ly=5") + Pair("REQUEST_METHOD", "GET");

// A whole request of id 1: its parameters, then its body.
Bytes Request(const Bytes& params = kQuery, const Bytes& body = "") {
  Bytes request = Begin(1) + Record(4, 1, params) + Record(4, 1, "");
  if (!body.empty()) request += Record(5, 1, body);
  return request + Record(5, 1, "");
}

struct Outcome {
  FastCgiRead read = FastCgiRead::kNeedMore;
  Bytes control;
  Bytes problem;
};

// Feeds "bytes" to "reader" in pieces of "piece" bytes, reading after each,
// until a request is whole or the client is broken.
Outcome Feed(FastCgiReader* reader, const Bytes& bytes, size_t piece) {
  Outcome outcome;
  size_t at = 0;
  while (at < bytes.size() && outcome.read == FastCgiRead::kNeedMore) {
    size_t n = std::min({piece, bytes.size() - at, reader->SpaceBytes()});
    std::memcpy(reader->Space(), bytes.data() + at, n);
    reader->Received(n);
    at += n;
    outcome.read = reader->Read();
    outcome.control += Bytes(reinterpret_cast<const char*>(reader->Control()),
                             reader->ControlBytes());
    reader->ControlSent(reader->ControlBytes());
  }
  if (outcome.read == FastCgiRead::kBroken) outcome.problem = reader->Problem();
  return outcome;
}

TEST(FastCgiRecordsTest, WholeRequestsInAnyPieces) {
  for (size_t piece :
       {size_t{1}, size_t{3}, size_t{8}, size_t{100}, size_t{100000}}) {
    auto reader = std::make_unique<FastCgiReader>();
    Outcome outcome = Feed(reader.get(), Request(kQuery, "a=1"), piece);
    ASSERT_EQ(outcome.read, FastCgiRead::kRequest) << piece;
    const FastCgiRequest& request = reader->request();
    EXPECT_EQ(request.id, 1);
    EXPECT_FALSE(request.tooLarge);
    EXPECT_STREQ(request.Find("QUERY_STRING"), "ID=100&ly=5");
    EXPECT_STREQ(request.Find("REQUEST_METHOD"), "GET");
    EXPECT_EQ(request.Find("ODBCINI"), nullptr);
    EXPECT_EQ(Bytes(request.body, request.bodyBytes), "a=1");
    EXPECT_EQ(outcome.control, "");
  }
}

// Streams that break the protocol, and those that are answered with a
// control record and go on.
TEST(FastCgiRecordsTest, WhatABrokenOrStrangeClientGets) {
  struct Case {
    const char* what;
    Bytes bytes;
    FastCgiRead read;
    Bytes control;  // what the reader owes the client
  } cases[] = {
      // Lengths whose sum overflows a signed size: past the pairs' end.
      {"a name of 2^31 - 2 bytes",
       Begin(1) + Record(4, 1, Length(0x7ffffffe) + Length(0)) +
           Record(4, 1, ""),
       FastCgiRead::kBroken, ""},
      {"a value past the end",
       Begin(1) + Record(4, 1, Length(1) + Length(0x7fffffff) + "Q") +
           Record(4, 1, ""),
       FastCgiRead::kBroken, ""},
      {"a four-byte length cut short",
       Begin(1) + Record(4, 1, Bytes("\x80\x00", 2)) + Record(4, 1, ""),
       FastCgiRead::kBroken, ""},
      {"version 2", "\2" + Request().substr(1), FastCgiRead::kBroken, ""},
      {"a begin record of 7 bytes", Record(1, 1, Bytes(7, '\0')),
       FastCgiRead::kBroken, ""},
      {"the body before the parameters' end",
       Begin(1) + Record(4, 1, kQuery) + Record(5, 1, "x"),
       FastCgiRead::kBroken, ""},
      {"parameters after their end",
       Begin(1) + Record(4, 1, "") + Record(4, 1, kQuery), FastCgiRead::kBroken,
       ""},
      {"the authorizer's role", Begin(1, 2), FastCgiRead::kNeedMore,
       Record(3, 1, Bytes{0, 0, 0, 0, 3, 0, 0, 0})},
      {"a second request at once", Begin(1) + Begin(2), FastCgiRead::kNeedMore,
       Record(3, 2, Bytes{0, 0, 0, 0, 1, 0, 0, 0})},
      {"an aborted request", Begin(1) + Record(4, 1, kQuery) + Record(2, 1, ""),
       FastCgiRead::kNeedMore, Record(3, 1, Bytes(8, '\0'))},
      {"a management record of no known type", Record(42, 0, ""),
       FastCgiRead::kNeedMore, Record(11, 0, Bytes{42, 0, 0, 0, 0, 0, 0, 0})},
      {"the values asked",
       Record(9, 0, Pair("FCGI_MPXS_CONNS", "") + Pair("OTHER", "")),
       FastCgiRead::kNeedMore, Record(10, 0, Pair("FCGI_MPXS_CONNS", "0"), 6)},
      {"records of another request",
       Begin(1) + Record(5, 7, "x") + Record(4, 9, ""), FastCgiRead::kNeedMore,
       ""},
      {"management records never read",
       [] {
         Bytes many;
         for (int i = 0; i < 300; ++i) many += Record(42, 0, "");
         return many;
       }(),
       FastCgiRead::kBroken, ""},
  };
  for (const Case& c : cases) {
    auto reader = std::make_unique<FastCgiReader>();
    // Control replies stay unsent here: the last case must fill them.
    Outcome outcome;
    size_t at = 0;
    while (at < c.bytes.size() && outcome.read == FastCgiRead::kNeedMore) {
      size_t n = std::min(c.bytes.size() - at, reader->SpaceBytes());
      std::memcpy(reader->Space(), c.bytes.data() + at, n);
      reader->Received(n);
      at += n;
      outcome.read = reader->Read();
    }
    EXPECT_EQ(outcome.read, c.read) << c.what;
    if (c.read != FastCgiRead::kBroken) {
      EXPECT_EQ(Bytes(reinterpret_cast<const char*>(reader->Control()),
                      reader->ControlBytes()),
                c.control)
          << c.what;
    }
  }
}

// What is too much is answered as too large, and the connection goes on.
TEST(FastCgiRecordsTest, TooLargeRequestsAreMarked) {
  Bytes bigValue(60000, 'x');
  Bytes tooManyBytes = Pair("A", bigValue) + Pair("B", bigValue);
  Bytes tooMany;
  for (int i = 0; i < kFastCgiMaxParams + 1; ++i)
    tooMany += Pair("N" + std::to_string(i), "v");
  struct Case {
    const char* what;
    Bytes params;
    bool tooLarge;
  } cases[] = {
      {"the most parameter bytes",
       Pair("A", Bytes(kFastCgiMaxParamBytes - 6, 'x')), false},
      {"more parameter bytes", tooManyBytes, true},
      {"the most parameters", tooMany.substr(0, tooMany.rfind('N') - 2), false},
      {"more parameters", tooMany, true},
  };
  for (const Case& c : cases) {
    auto reader = std::make_unique<FastCgiReader>();
    Bytes params;
    for (size_t at = 0; at < c.params.size(); at += 65535) {
      params += Record(4, 1, c.params.substr(at, 65535));
    }
    Bytes bytes = Begin(1, 1, 1) + params + Record(4, 1, "") +
                  Record(5, 1, "") + Request();
    Outcome outcome = Feed(reader.get(), bytes, 4096);
    ASSERT_EQ(outcome.read, FastCgiRead::kRequest) << c.what;
    EXPECT_EQ(reader->request().tooLarge, c.tooLarge) << c.what;
    EXPECT_TRUE(reader->request().keepConnection);
    reader->FinishRequest();
    // The next request on the connection is read whole and as it is.
    ASSERT_EQ(reader->Read(), FastCgiRead::kRequest) << c.what;
    EXPECT_FALSE(reader->request().tooLarge);
    EXPECT_STREQ(reader->request().Find("QUERY_STRING"), "ID=100&ly=5");
  }
}

TEST(FastCgiRecordsTest, BodiesAreKeptUpToTheirBound) {
  auto reader = std::make_unique<FastCgiReader>();
  Bytes body(kFastCgiMaxBodyBytes + 10, 'b');
  Bytes bytes = Begin(1) + Record(4, 1, kQuery) + Record(4, 1, "");
  for (size_t at = 0; at < body.size(); at += 30000) {
    bytes += Record(5, 1, body.substr(at, 30000));
  }
  ASSERT_EQ(Feed(reader.get(), bytes + Record(5, 1, ""), 5000).read,
            FastCgiRead::kRequest);
  EXPECT_LE(reader->request().bodyBytes, kFastCgiMaxBodyBytes);
  EXPECT_EQ(reader->request().bodyBytesSent, body.size());
}

TEST(FastCgiRecordsTest, RepliesSplitIntoRecords) {
  struct Case {
    size_t bytes;
    size_t records;
  } cases[] = {{0, 1}, {1, 1}, {65528, 1}, {65529, 2}, {200000, 4}};
  for (const Case& c : cases) {
    std::string data(c.bytes, 'r');
    std::vector<unsigned char> out(FastCgiStreamBytes(c.bytes) + 16);
    size_t used = 0;
    ASSERT_TRUE(AppendFastCgiStream(FastCgiRecordType::kStdout, 5, data.data(),
                                    c.bytes, out.data(), out.size(), &used));
    ASSERT_TRUE(AppendFastCgiEnd(5, 255, out.data(), out.size(), &used));
    EXPECT_EQ(used, out.size());
    // Read back: the records' contents are the data, then the end.
    size_t at = 0, records = 0;
    std::string content;
    while (out[at + 1] == 6) {
      size_t length = (out[at + 4] << 8) | out[at + 5];
      EXPECT_EQ(out[at + 3], 5);
      content.append(reinterpret_cast<const char*>(&out[at + 8]), length);
      at += 8 + length + out[at + 6];
      ++records;
    }
    EXPECT_EQ(content, data);
    EXPECT_EQ(records, c.records) << c.bytes;
    EXPECT_EQ(out[at + 1], 3);
    EXPECT_EQ(out[at + 11], 255);
    size_t full = out.size();
    used = 0;
    EXPECT_FALSE(AppendFastCgiStream(FastCgiRecordType::kStdout, 5, data.data(),
                                     c.bytes, out.data(), full - 17, &used));
  }
}

}  // namespace
}  // namespace veloran
