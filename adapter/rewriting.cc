#include "adapter/rewriting.h"

#include <cassert>
#include <cstdlib>
#include <cstring>

namespace veloran::adapter {
namespace {

// Where the scan of a text stands: in SQL, or in a part that no rule
// touches.
enum class Part { kSql, kSingleQuoted, kDoubleQuoted, kBackQuoted, kLineComment,
                  kBlockComment };

bool IsWordByte(char c) {
  unsigned char byte = static_cast<unsigned char>(c);
  return (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
         (byte >= '0' && byte <= '9') || byte == '_' || byte >= 0x80;
}

// Steps over the byte (or the two bytes of a comment's mark) at "at" of
// "text", and returns how many were stepped over, with *part updated.  A
// doubled quote inside a literal or a quoted name closes it and opens it
// again, which leaves it open as it must.
size_t Step(std::string_view text, size_t at, Part* part) {
  char c = text[at];
  bool hasNext = at + 1 < text.size();
  char next = hasNext ? text[at + 1] : '\0';
  switch (*part) {
    case Part::kSql:
      if (c == '\'') *part = Part::kSingleQuoted;
      else if (c == '"') *part = Part::kDoubleQuoted;
      else if (c == '`') *part = Part::kBackQuoted;
      else if (c == '-' && next == '-') { *part = Part::kLineComment; return 2; }
      else if (c == '/' && next == '*') { *part = Part::kBlockComment; return 2; }
      return 1;
    case Part::kSingleQuoted:
      if (c == '\'') *part = Part::kSql;
      return 1;
    case Part::kDoubleQuoted:
      if (c == '"') *part = Part::kSql;
      return 1;
    case Part::kBackQuoted:
      if (c == '`') *part = Part::kSql;
      return 1;
    case Part::kLineComment:
      if (c == '\n') *part = Part::kSql;
      return 1;
    case Part::kBlockComment:
      if (c == '*' && next == '/') { *part = Part::kSql; return 2; }
      return 1;
  }
  return 1;
}

bool MatchesAt(const RewriteRule& rule, std::string_view text, size_t at) {
  if (text.compare(at, rule.from.size(), rule.from) != 0) return false;
  if (IsWordByte(rule.from.front()) && at > 0 && IsWordByte(text[at - 1])) {
    return false;
  }
  size_t end = at + rule.from.size();
  if (IsWordByte(rule.from.back()) && end < text.size() && IsWordByte(text[end])) {
    return false;
  }
  return true;
}

// Scans "text" once for "rule" and hands each piece of the result to
// "emit": measured first, then written, by the same scan.  False as soon as
// "emit" returns false, which ends the scan.
template <typename Emit>
bool ApplyRule(const RewriteRule& rule, std::string_view text, Emit emit) {
  Part part = Part::kSql;
  size_t copied = 0;  // text[copied, at) is still to be emitted
  size_t at = 0;
  while (at < text.size()) {
    if (part == Part::kSql && MatchesAt(rule, text, at)) {
      if (!emit(text.data() + copied, at - copied) ||
          !emit(rule.to.data(), rule.to.size())) {
        return false;
      }
      // The replaced bytes still decide where the scan stands after them
      // (a FROM may hold a whole literal), and a comment's mark may reach
      // past their end.
      size_t end = at + rule.from.size();
      while (at < end) at += Step(text, at, &part);
      copied = end;
      continue;
    }
    at += Step(text, at, &part);
  }
  return emit(text.data() + copied, text.size() - copied);
}

}  // namespace

bool ParseRewriteRule(std::string_view text, RewriteRule* rule) {
  auto trim = [](std::string_view part) {
    while (!part.empty() && (part.front() == ' ' || part.front() == '\t')) {
      part.remove_prefix(1);
    }
    while (!part.empty() && (part.back() == ' ' || part.back() == '\t')) {
      part.remove_suffix(1);
    }
    return part;
  };
  size_t arrow = text.find("=>");
  if (arrow == std::string_view::npos) return false;
  rule->from = trim(text.substr(0, arrow));
  rule->to = trim(text.substr(arrow + 2));
  return !rule->from.empty();
}

RewrittenText::~RewrittenText() { std::free(data_); }

bool RewrittenText::Rewrite(const RewriteRule* rules, size_t ruleCount,
                            std::string_view text) {
  std::free(data_);
  data_ = nullptr;
  length_ = 0;
  tooLong_ = false;
  const size_t maxLength = text.size() + kMaxRewriteGrowth;
  char* current = nullptr;  // the result so far, or null for "text" itself
  for (size_t i = 0; i < ruleCount; ++i) {
    const RewriteRule& rule = rules[i];
    assert(!rule.from.empty());
    size_t length = 0;
    if (!ApplyRule(rule, text, [&](const char*, size_t n) {
          length += n;
          return length <= maxLength;
        })) {
      std::free(current);
      tooLong_ = true;
      return false;
    }
    char* result = static_cast<char*>(std::malloc(length + 1));
    if (result == nullptr) {
      std::free(current);
      return false;
    }
    size_t written = 0;
    ApplyRule(rule, text, [&](const char* bytes, size_t n) {
      assert(written + n <= length);
      if (n != 0) std::memcpy(result + written, bytes, n);
      written += n;
      return true;
    });
    assert(written == length);
    result[length] = '\0';
    std::free(current);
    current = result;
    text = std::string_view(result, length);
  }
  if (current == nullptr) {
    // No rule: a copy all the same, so that the caller has one kind of
    // result.
    current = static_cast<char*>(std::malloc(text.size() + 1));
    if (current == nullptr) return false;
    if (!text.empty()) std::memcpy(current, text.data(), text.size());
    current[text.size()] = '\0';
  }
  data_ = current;
  length_ = text.size();
  return true;
}

}  // namespace veloran::adapter
