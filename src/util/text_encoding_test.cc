#include "util/text_encoding.h"

#include <gtest/gtest.h>

#include "support/test_util.h"
#include "util/report.h"

namespace dusk {
namespace {

TEST(TextEncodingTest, HttpEncode) {
  struct {
    std::string source;
    const char* encoded;
  } cases[] = {
      {"a b", "a+b"},
      {"a+b", "a%2bb"},
      {"x~y.z_w-v", "x~y.z_w-v"},
      {"AZaz09", "AZaz09"},
      {"\n", "%0d%0a"},
      {"\r\n", "%0d%0d%0a"},
      {"/=", "%2f%3d"},
      {"\xe9\xff", "%e9%ff"},
      {std::string(1, '\0'), "%00"},
      {"", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.encoded);
    EXPECT_EQ(HttpEncode(c.source), c.encoded);
  }
}

// 2024-03-01T12:30:05Z
constexpr std::time_t kNow = 1709296205;

TEST(TextEncodingTest, EventRecords) {
  struct {
    const char* name;
    const char *text, *f2, *f3, *f4;
    const char* record;
  } cases[] = {
      {"text only", "Install failed", "", "", "", "|installagentfailed|Install+failed|"},
      {"only field 3", "", "", "x/y", "", "|installagentfailed|,x%2fy|"},
      {"gaps leave no trace", "a", "b", "", "d", "|installagentfailed|a,b,d|"},
      {"blanks trimmed, blank field empty", "  a b  ", "   ", " c", "", "|installagentfailed|a+b,c|"},
      {"nothing", "", "", "", "", "|installagentfailed||"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(BuildEventRecordAt(kNow, "installagentfailed", c.text, c.f2, c.f3, c.f4),
              std::string("2024-03-01T12:30:05Z") + c.record);
  }
  std::string now = BuildEventRecord("copyingagent", "x", "", "", "");
  ASSERT_EQ(now.size(), 20u + 16u);
  EXPECT_EQ(now.substr(4, 1) + now.substr(10, 1) + now.substr(19), "-TZ|copyingagent|x|");
}

TEST(TextEncodingTest, EventRecordsAreCutBetweenEncodedCharacters) {
  const std::string stamp_and_type = "2024-03-01T12:30:05Z|t|";
  struct {
    const char* name;
    std::string text;
    std::string second;
    size_t record_max;
    size_t piece;  // length of one encoded character
  } cases[] = {
      {"plain letters", std::string(3000, 'a'), "", kEventRecordMax, 1},
      {"escapes", std::string(3000, '/'), "", kEventRecordMax, 3},
      {"line feeds", std::string(3000, '\n'), "", kEventRecordMax, 6},
      {"data limit", std::string(3000, 'a'), "", 4096, 1},
      {"second field dropped", std::string(1000, '/'), "tail", kEventRecordMax, 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string record = BuildEventRecordAt(kNow, "t", c.text, c.second, "", "", c.record_max);
    ASSERT_LE(record.size(), c.record_max);
    ASSERT_TRUE(record.starts_with(stamp_and_type));
    ASSERT_TRUE(record.ends_with("|"));
    std::string data = record.substr(stamp_and_type.size(), record.size() - stamp_and_type.size() - 1);
    size_t max = std::min(kEventDataMax, c.record_max - stamp_and_type.size() - 1);
    EXPECT_EQ(data.size(), max / c.piece * c.piece);
    EXPECT_EQ(data, HttpEncode(c.text.substr(0, data.size() / c.piece)));
  }
  // A separator whose field does not fit is not left dangling.
  EXPECT_EQ(BuildEventRecordAt(kNow, "t", std::string(998, 'a'), "/", "", ""),
            stamp_and_type + std::string(998, 'a') + "|");
}

TEST(TextEncodingTest, StrSubst) {
  AttrTable table(32);
  table.Set("RcsHost", "srv1");
  table.Set("RcsPort", "3464");
  table.Set("", "never");
  table.Set("Self", "[<SELF>]");
  struct {
    const char* text;
    const char* result;
  } cases[] = {
      {"-host <RCSHOST> -port <rcsport> -Mode X", "-host srv1 -port 3464 -Mode X"},
      {"<RcsHost>:<rcshost>", "srv1:srv1"},
      {"<self><Self>", "[<SELF>][<SELF>]"},  // inserted tags stay
      {"no <tags> here <>", "no <tags> here <>"},
      {"", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    test::LogCapture log;
    test::ScopedLogLevel debug(kLogDebug);
    std::string text = c.text;
    EXPECT_EQ(strSubst(text, table), c.result);
    if (std::string(c.text) == c.result) {
      EXPECT_TRUE(log.lines().empty());
    } else {
      EXPECT_EQ(log.messages(), (std::vector<std::string>{std::string("strSubst: ") + c.text,
                                                          std::string("          ") + c.result}));
    }
  }
}

TEST(TextEncodingTest, StrSubstCutsWhatDoesNotFit) {
  AttrTable table(4);
  table.Set("big", std::string(1000, 'b'));
  std::string text;
  for (int i = 0; i < 6; ++i) text += "<big>";
  strSubst(text, table);
  EXPECT_EQ(text, std::string(kSubstTextMax, 'b'));
}

TEST(TextEncodingTest, XmlEscape) {
  EXPECT_EQ(XmlEscape("a\"b&c<d>e'f"), "a&quot;b&amp;c&lt;d&gt;e'f");
  EXPECT_EQ(XmlEscape(""), "");
}

}  // namespace
}  // namespace dusk
