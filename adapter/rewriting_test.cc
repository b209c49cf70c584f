#include "adapter/rewriting.h"

#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace veloran::adapter {
namespace {

struct RewriteCase {
  const char* what;
  std::vector<const char*> rules;  // as written in the data source
  const char* text;
  const char* expected;
};

const RewriteCase kRewriteCases[] = {
    {"a call", {"INT( => \"int\"("},
     "SELECT INT(OwnerID/100) FROM T", "SELECT \"int\"(OwnerID/100) FROM T"},
    {"every occurrence", {"INT( => TRUNC("},
     "INT(a)+INT(b)", "TRUNC(a)+TRUNC(b)"},
    {"a rule at the very start and end", {"x => yy"}, "x", "yy"},
    {"at the start", {"SELECT => select"}, "SELECT 1", "select 1"},
    {"at the end", {"Keys => "}, "INDEXED BY Keys", "INDEXED BY "},
    {"an empty TO", {"INDEXED BY NameKeys =>"},
     "SELECT a FROM N INDEXED BY NameKeys WHERE b", "SELECT a FROM N  WHERE b"},
    {"not inside a longer word before", {"INT( => f("}, "PRINT(1)", "PRINT(1)"},
    {"not after an underscore or digit", {"INT( => f("}, "_INT(1) 2INT(3)",
     "_INT(1) 2INT(3)"},
    {"not after a byte above 127", {"INT( => f("}, "\xe9INT(1)", "\xe9INT(1)"},
    {"not inside a longer word after", {"Yes => 1"}, "YesNo Yes_ Yes2 Yes",
     "YesNo Yes_ Yes2 1"},
    {"after punctuation", {"INT( => f("}, "(INT(1),-INT(2))", "(f(1),-f(2))"},
    {"a non-word first byte needs no boundary", {"/100 => DIV 100"}, "a/100+b",
     "aDIV 100+b"},
    {"a digit last byte does", {"/100 => DIV 100"}, "a/1000", "a/1000"},
    {"case-sensitive", {"INT( => f("}, "int(1) Int(2)", "int(1) Int(2)"},
    {"not in a literal", {"INT( => f("}, "SELECT 'INT(' , INT(1)",
     "SELECT 'INT(' , f(1)"},
    {"a doubled quote stays in the literal", {"INT( => f("},
     "'it''s INT(' INT(1)", "'it''s INT(' f(1)"},
    {"not in a double-quoted name", {"Yes => 1"}, "\"Yes\" Yes", "\"Yes\" 1"},
    {"not in a back-quoted name", {"Yes => 1"}, "`Yes` Yes", "`Yes` 1"},
    {"not in a line comment", {"Yes => 1"}, "-- Yes\nYes", "-- Yes\n1"},
    {"a line comment to the end", {"Yes => 1"}, "Yes -- Yes", "1 -- Yes"},
    {"not in a block comment", {"Yes => 1"}, "/* Yes\n*/ Yes", "/* Yes\n*/ 1"},
    {"a minus alone is SQL", {"Yes => 1"}, "3-Yes", "3-1"},
    {"an unterminated literal runs to the end", {"Yes => 1"}, "Yes 'Yes",
     "1 'Yes"},
    {"an unterminated comment runs to the end", {"Yes => 1"}, "Yes /* Yes",
     "1 /* Yes"},
    {"overlapping: the first is replaced", {"(( => [", }, "(((", "[("},
    {"overlapping words", {"aa => b"}, "aaa aa", "aaa b"},
    {"rules in order, each on the result", {"A => B", "B => C"}, "A B", "C C"},
    {"a later rule sees an earlier one's quoted name whole",
     {"INT( => \"int\"(", "\"int\" => trunc"}, "INT(1)", "trunc(1)"},
    {"but never a word inside it", {"INT( => \"int\"(", "int => x"}, "INT(1)",
     "\"int\"(1)"},
    {"a whole literal as FROM", {"'Y' => TRUE"}, "a = 'Y' AND 'xY'", "a = TRUE AND 'xY'"},
    {"no rule", {}, "SELECT 'a' -- b", "SELECT 'a' -- b"},
    {"an empty text", {"A => B"}, "", ""},
};

TEST(RewritingTest, RewritesOnlySqlWords) {
  for (const RewriteCase& c : kRewriteCases) {
    std::vector<std::string> written(c.rules.begin(), c.rules.end());
    std::vector<RewriteRule> rules(written.size());
    for (size_t i = 0; i < written.size(); ++i) {
      ASSERT_TRUE(ParseRewriteRule(written[i], &rules[i])) << c.what;
    }
    RewrittenText result;
    ASSERT_TRUE(result.Rewrite(rules.data(), rules.size(), c.text)) << c.what;
    EXPECT_EQ(std::string(result.data(), result.length()), c.expected) << c.what;
    EXPECT_EQ(result.data()[result.length()], '\0') << c.what;
  }
}

// Random texts of SQL's special bytes: a rule that replaces INT( with a
// word that no text holds, and the rule back, give the text again, and a
// rule to itself changes nothing, wherever the literals and comments fall.
TEST(RewritingTest, RoundTripsRandomTexts) {
  const char* const pieces[] = {"INT(", "INT(", "PRINT(", "a", "_", " ", "'", "\"",
                                "`", "-", "--", "/", "*", "/*", "*/", "\n"};
  RewriteRule there, back, same;
  ASSERT_TRUE(ParseRewriteRule("INT( => Qz9(", &there));
  ASSERT_TRUE(ParseRewriteRule("Qz9( => INT(", &back));
  ASSERT_TRUE(ParseRewriteRule("INT( => INT(", &same));
  std::mt19937 random(24);
  int changed = 0;
  for (int round = 0; round < 3000; ++round) {
    std::string text;
    size_t length = random() % 20;
    for (size_t i = 0; i < length; ++i) {
      text += pieces[random() % std::size(pieces)];
    }
    RewrittenText forth, again, itself;
    ASSERT_TRUE(forth.Rewrite(&there, 1, text));
    ASSERT_TRUE(again.Rewrite(&back, 1, std::string_view(forth.data(), forth.length())));
    ASSERT_TRUE(itself.Rewrite(&same, 1, text));
    ASSERT_EQ(std::string(again.data(), again.length()), text);
    ASSERT_EQ(std::string(itself.data(), itself.length()), text);
    changed += std::string(forth.data(), forth.length()) != text ? 1 : 0;
  }
  // The texts did put INT( in SQL, not only in literals and comments.
  EXPECT_GT(changed, 100);
}

struct GrowthCase {
  const char* what;
  std::vector<std::string> rules;  // as written in the data source
  std::string text;
  bool rewritten;  // false: refused for its growth
  size_t length;   // of the result
};

const std::string kGrown(kMaxRewriteGrowth, 'y');

const GrowthCase kGrowthCases[] = {
    {"grown by the most allowed", {"x => x" + kGrown}, "x", true,
     1 + kMaxRewriteGrowth},
    {"a byte more", {"x => xy" + kGrown}, "x", false, 0},
    {"the bound holds for each rule on the way",
     {"x => xy" + kGrown, "xy" + kGrown + " => x"}, "x", false, 0},
    {"a long text grown by little", {"INT( => TRUNC("},
     std::string(200000, ' ') + "INT(2)", true, 200000 + 8},
    {"a rule whose TO holds its FROM, again and again",
     std::vector<std::string>(30, "( => (("), "SELECT (1)", false, 0},
    {"shrinking is no growth", {"( =>"}, std::string(200000, '('), true, 0},
};

TEST(RewritingTest, BoundsTheGrowthOfTheText) {
  for (const GrowthCase& c : kGrowthCases) {
    std::vector<RewriteRule> rules(c.rules.size());
    for (size_t i = 0; i < c.rules.size(); ++i) {
      ASSERT_TRUE(ParseRewriteRule(c.rules[i], &rules[i])) << c.what;
    }
    RewrittenText result;
    EXPECT_EQ(result.Rewrite(rules.data(), rules.size(), c.text), c.rewritten)
        << c.what;
    EXPECT_EQ(result.tooLong(), !c.rewritten) << c.what;
    EXPECT_EQ(result.length(), c.length) << c.what;
  }
}

struct RuleCase {
  const char* written;
  bool valid;
  const char* from;
  const char* to;
};

const RuleCase kRuleCases[] = {
    {"INT( => \"int\"(", true, "INT(", "\"int\"("},
    {"  a b\t=>\t c d  ", true, "a b", "c d"},
    {"INDEXED BY K =>", true, "INDEXED BY K", ""},
    {"a=>b=>c", true, "a", "b=>c"},
    {"a = b", false, "", ""},
    {" => b", false, "", ""},
    {"", false, "", ""},
};

TEST(RewritingTest, ParsesRules) {
  for (const RuleCase& c : kRuleCases) {
    RewriteRule rule;
    ASSERT_EQ(ParseRewriteRule(c.written, &rule), c.valid) << c.written;
    if (!c.valid) continue;
    EXPECT_EQ(rule.from, c.from) << c.written;
    EXPECT_EQ(rule.to, c.to) << c.written;
  }
}

}  // namespace
}  // namespace veloran::adapter
