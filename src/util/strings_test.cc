#include "util/strings.h"

#include <gtest/gtest.h>

namespace dusk {
namespace {

TEST(StringsTest, StrToInt) {
  struct {
    const char* text;
    int value;
  } cases[] = {{"12abc", 12}, {"abc", 0},  {" -7", -7},   {"", 0},
               {"+5", 5},     {"-", 0},    {"\t42", 42},  {"99999999999", 2147483647},
               {"-99999999999", -2147483647 - 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(strToInt(c.text), c.value);
  }
}

TEST(StringsTest, StrToBool) {
  struct {
    const char* text;
    bool value;
  } cases[] = {{"1", true},  {"TrUe", true}, {"true", true}, {"TRUE ", false},
               {"yes", false}, {"0", false},  {"", false},    {"11", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(strToBool(c.text), c.value);
  }
}

TEST(StringsTest, TrimAndChomp) {
  std::string s = "\n\ntext\n\n";
  EXPECT_EQ(strChomp(s), "\n\ntext\n");
  s = "xxxx";
  EXPECT_EQ(strTrim(s, 'x'), "");
  s = "  a b  ";
  EXPECT_EQ(strTrim(s, ' '), "a b");
  s = "//a//";
  EXPECT_EQ(strTrimRight(s, '/'), "//a");
  EXPECT_EQ(strTrimLeft(s, '/'), "a");
}

TEST(StringsTest, FindAndSubstrings) {
  EXPECT_EQ(strFindChar("a,b,c", ',', 2), 3);
  EXPECT_EQ(strFindChar("a,b,c", ',', -1), -1);
  EXPECT_EQ(strFindChar("a,b,c", ',', 5), -1);
  EXPECT_EQ(strFindChar("abc", ',', 0), -1);
  EXPECT_EQ(strMid("abcdef", 2, 10), "cdef");
  EXPECT_EQ(strMid("abc", 3, 1), "");
  EXPECT_EQ(strLeft("abc", 5), "abc");
  EXPECT_EQ(strRight("abcdef", 2), "ef");
  EXPECT_EQ(strRight("ab", 5), "ab");
}

TEST(StringsTest, CaseHelpers) {
  EXPECT_TRUE(strEqualNoCase("DevDn", "devdn"));
  EXPECT_FALSE(strEqualNoCase("devdn", "devdn "));
  std::string s = "MiXeD";
  EXPECT_EQ(strToLower(s), "mixed");
  EXPECT_EQ(strFormat("%s=%d", "a", 5), "a=5");
}

}  // namespace
}  // namespace dusk
