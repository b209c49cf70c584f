#ifndef VELORAN_ADAPTER_REWRITING_H_
#define VELORAN_ADAPTER_REWRITING_H_

#include <cstddef>
#include <string_view>

// The rewriting of SQL texts for a server of another dialect.  A rule
// replaces each occurrence of its FROM text (exact bytes, case-sensitive)
// by its TO text, but only in the SQL itself, never inside a string literal
// ('...', with '' inside), a quoted name ("..." or `...`) or a comment
// (-- to the end of the line, /* ... */).  A FROM that begins with a word
// character (a letter, a digit, an underscore or a byte above 127, which
// both servers take for letters of a name) matches only where no word
// character comes before it, and one that ends with a word character only
// where none follows: "INT(" never matches inside "PRINT(".  Where two
// occurrences overlap, the first one is replaced.  An unterminated
// literal, quoted name or comment runs to the end of the text.
//
// A rewritten text may grow by at most kMaxRewriteGrowth bytes over the
// text it came from, and so may each rule's result on the way: rules whose
// TO holds their FROM ("( => ((") would otherwise double the text at each
// rule.  A fixed allowance rather than a multiple of the length: a long
// statement is not refused for the few bytes its rules add, and a rewrite
// holds at most two texts of its statement's length and 64 KiB at once.

namespace veloran::adapter {

constexpr size_t kMaxRewriteGrowth = 65536;

// A rule, its texts pointing into storage that outlives it.
struct RewriteRule {
  std::string_view from;  // never empty
  std::string_view to;    // may be empty
};

// Reads "FROM => TO" (blanks around "=>" and at both ends dropped) into
// *rule, pointing into "text".  False when there is no "=>" or nothing
// before it.
bool ParseRewriteRule(std::string_view text, RewriteRule* rule);

// A text rewritten by all the rules, in a heap buffer of its own size,
// terminated by a NUL after its "length" bytes.
class RewrittenText {
 public:
  RewrittenText() = default;
  ~RewrittenText();
  RewrittenText(const RewrittenText&) = delete;
  RewrittenText& operator=(const RewrittenText&) = delete;

  const char* data() const { return data_; }
  size_t length() const { return length_; }

  // Applies "rules" in order, each to the result of the one before, to
  // "text".  False when a result would be more than kMaxRewriteGrowth bytes
  // longer than "text", which tooLong() then says, or when the memory for
  // a result cannot be had.  A result that grows too long is given up as
  // soon as it passes the bound, before any memory is taken for it.
  bool Rewrite(const RewriteRule* rules, size_t ruleCount,
               std::string_view text);

  // Whether the last Rewrite failed for the bound on the growth.
  bool tooLong() const { return tooLong_; }

 private:
  char* data_ = nullptr;
  size_t length_ = 0;
  bool tooLong_ = false;
};

}  // namespace veloran::adapter

#endif  // VELORAN_ADAPTER_REWRITING_H_
