#include "config/config_text.h"

#include <gtest/gtest.h>

namespace dusk {
namespace {

TEST(ConfigTextTest, LineKinds) {
  struct {
    const char* line;
    bool comment;
    bool header;
  } cases[] = {{"", true, false},          {"#x", true, false},     {" key=v", true, false},
               {";x", true, false},        {"//x", true, false},    {"/x=1", false, false},
               {"\tkey=v", false, false},  {"[Config]", false, true}, {"[", false, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    EXPECT_EQ(IsConfigComment(c.line), c.comment);
    EXPECT_EQ(!IsConfigComment(c.line) && IsConfigSection(c.line), c.header);
  }
}

TEST(ConfigTextTest, Lookups) {
  const char* kFile =
      "top=above every header\n"
      "[Application]\n"
      "LogLevel = debug\n"
      "a=b=c\n"
      "Shared=app\n"
      "\tTabbed=1\n"
      "[config]\n"
      "Shared=config\n"
      "shared=second match\n"
      "[Config] \n"
      "hidden=1\n";
  struct {
    int section;
    const char* key;
    bool found;
    const char* value;
  } cases[] = {
      {kConfigApplication, "LogLevel", false, ""},
      {kConfigApplication, "LogLevel ", true, " debug"},
      {kConfigApplication, "A", true, "b=c"},
      {kConfigApplication, "shared", true, "app"},
      {kConfigApplication, "\tTabbed", true, "1"},
      {kConfigApplication, "top", false, ""},
      {kConfigConfig, "SHARED", true, "config"},
      {kConfigConfig, "hidden", false, ""},
      {kConfigDeviceInfo, "Shared", false, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.key);
    std::string value;
    EXPECT_EQ(FindConfigValueInText(kFile, c.section, c.key, &value), c.found);
    EXPECT_EQ(value, c.value);
  }
}

TEST(ConfigTextTest, WindowsLineEndsHideEveryKey) {
  std::string value;
  EXPECT_FALSE(FindConfigValueInText("[Application]\r\nLogLevel=info\r\n",
                                     kConfigApplication, "LogLevel", &value));
}

TEST(ConfigTextTest, Rewrites) {
  const std::string kFile =
      "# comment\n"
      "[Application]\n"
      "Shared=app\n"
      "[Config]\n"
      "ServerProbed=0\n"
      "Shared=config\n"
      "[ServiceScan]\n"
      "zelexecd=\n";
  struct {
    const char* name;
    int op;
    int section;
    const char* key;
    const char* value;
    const char* expected;
  } cases[] = {
      {"replace keeps the file's letter case", kConfigReplace, kConfigConfig, "serverprobed",
       "1",
       "# comment\n[Application]\nShared=app\n[Config]\nServerProbed=1\nShared=config\n"
       "[ServiceScan]\nzelexecd=\n"},
      {"replace touches only its section", kConfigReplace, kConfigConfig, "Shared", "new",
       "# comment\n[Application]\nShared=app\n[Config]\nServerProbed=0\nShared=new\n"
       "[ServiceScan]\nzelexecd=\n"},
      {"insert goes right under the header", kConfigInsert, kConfigServiceScan, "zelsched",
       "",
       "# comment\n[Application]\nShared=app\n[Config]\nServerProbed=0\nShared=config\n"
       "[ServiceScan]\nzelsched=\nzelexecd=\n"},
      {"delete", kConfigDelete, kConfigApplication, "SHARED", "",
       "# comment\n[Application]\n[Config]\nServerProbed=0\nShared=config\n"
       "[ServiceScan]\nzelexecd=\n"},
      {"missing section changes nothing", kConfigInsert, kConfigDeviceInfo, "devdn", "x",
       kFile.c_str()},
      {"missing key changes nothing", kConfigReplace, kConfigApplication, "none", "x",
       kFile.c_str()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(RewriteConfigText(kFile, c.op, c.section, c.key, c.value), c.expected);
  }
}

TEST(ConfigTextTest, LongLinesArePiecesAndSurviveRewrites) {
  // A line of 3000 characters whose tail looks like a key and a header.
  std::string tail = "X=injected";
  std::string long_value(3000 - 6 - tail.size(), 'v');
  std::string long_line = "Long=" + long_value + tail + "\n";
  std::string file = "[Application]\n" + long_line + "Next=1\n";

  auto pieces = SplitConfigPieces(file);
  ASSERT_EQ(pieces.size(), 4u);
  EXPECT_EQ(pieces[1].text.size(), kConfigLinePiece);
  EXPECT_TRUE(pieces[2].continuation);

  std::string value;
  EXPECT_TRUE(FindConfigValueInText(file, kConfigApplication, "Long", &value));
  EXPECT_EQ(value.size(), kConfigLinePiece - 5);
  EXPECT_FALSE(FindConfigValueInText(file, kConfigApplication, "X", &value));

  // Untouched lines come back byte for byte, however long.
  EXPECT_EQ(RewriteConfigText(file, kConfigReplace, kConfigApplication, "Next", "2"),
            "[Application]\n" + long_line + "Next=2\n");
  // A replaced long line goes whole, its tail included.
  EXPECT_EQ(RewriteConfigText(file, kConfigReplace, kConfigApplication, "long", "short"),
            "[Application]\nLong=short\nNext=1\n");

  // A line of exactly one piece plus its line break stays one line.
  std::string exact = "[Application]\nK=" + std::string(kConfigLinePiece - 2, 'e') + "\n";
  EXPECT_EQ(RewriteConfigText(exact, kConfigInsert, kConfigApplication, "N", "1"),
            "[Application]\nN=1\n" + exact.substr(14));
}

TEST(ConfigTextTest, MissingFinalLineBreakIsAdded) {
  EXPECT_EQ(RewriteConfigText("[Config]", kConfigInsert, kConfigConfig, "a", "1"),
            "[Config]\na=1\n");
  EXPECT_EQ(RewriteConfigText("[Config]\nb=2", kConfigReplace, kConfigConfig, "b", "3"),
            "[Config]\nb=3\n");
}

TEST(ConfigTextTest, EntriesThatCannotBeReadBack) {
  EXPECT_EQ(ConfigEntryProblem("key", "value"), "");
  EXPECT_EQ(ConfigEntryProblem("k", std::string(kConfigLinePiece - 3, 'v')), "");
  EXPECT_NE(ConfigEntryProblem("k", std::string(kConfigLinePiece - 2, 'v')), "");
  EXPECT_NE(ConfigEntryProblem("k", "a\nServerName=evil"), "");
  EXPECT_NE(ConfigEntryProblem("a=b", "c"), "");
  EXPECT_NE(ConfigEntryProblem("k", std::string("a\0b", 3)), "");
}

}  // namespace
}  // namespace dusk
