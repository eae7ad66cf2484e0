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
    ConfigSection section;
    const char* key;
    bool found;
    const char* value;
  } cases[] = {
      {ConfigSection::kApplication, "LogLevel", false, ""},
      {ConfigSection::kApplication, "LogLevel ", true, " debug"},
      {ConfigSection::kApplication, "A", true, "b=c"},
      {ConfigSection::kApplication, "shared", true, "app"},
      {ConfigSection::kApplication, "\tTabbed", true, "1"},
      {ConfigSection::kApplication, "top", false, ""},
      {ConfigSection::kConfig, "SHARED", true, "config"},
      {ConfigSection::kConfig, "hidden", false, ""},
      {ConfigSection::kDeviceInfo, "Shared", false, ""},
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
                                     ConfigSection::kApplication, "LogLevel", &value));
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
    ConfigOp op;
    ConfigSection section;
    const char* key;
    const char* value;
    std::string expected;
  } cases[] = {
      {"replace keeps the file's letter case", ConfigOp::kReplace, ConfigSection::kConfig,
       "serverprobed", "1",
       "# comment\n[Application]\nShared=app\n[Config]\nServerProbed=1\nShared=config\n"
       "[ServiceScan]\nzelexecd=\n"},
      {"replace touches only its section", ConfigOp::kReplace, ConfigSection::kConfig, "Shared",
       "new",
       "# comment\n[Application]\nShared=app\n[Config]\nServerProbed=0\nShared=new\n"
       "[ServiceScan]\nzelexecd=\n"},
      {"insert goes right under the header", ConfigOp::kInsert, ConfigSection::kServiceScan,
       "zelsched", "",
       "# comment\n[Application]\nShared=app\n[Config]\nServerProbed=0\nShared=config\n"
       "[ServiceScan]\nzelsched=\nzelexecd=\n"},
      {"delete", ConfigOp::kDelete, ConfigSection::kApplication, "SHARED", "",
       "# comment\n[Application]\n[Config]\nServerProbed=0\nShared=config\n"
       "[ServiceScan]\nzelexecd=\n"},
      {"missing section added at the end", ConfigOp::kInsert, ConfigSection::kDeviceInfo, "devdn",
       "x", kFile + "\n[DeviceInfo]\ndevdn=x\n"},
      {"missing key changes nothing", ConfigOp::kReplace, ConfigSection::kApplication, "none", "x",
       kFile},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(RewriteConfigText(kFile, c.op, c.section, c.key, c.value), c.expected);
  }
}

TEST(ConfigTextTest, AppendedSectionIsSetApartByOneBlankLine) {
  const ConfigPair pairs[] = {{"b", "2"}, {"a", ""}};
  struct {
    const char* content;
    const char* expected;
  } cases[] = {
      {"", "[Config]\nb=2\na=\n"},
      {"\n", "\n[Config]\nb=2\na=\n"},
      {"[Application]\nx=1", "[Application]\nx=1\n\n[Config]\nb=2\na=\n"},
      {"[Application]\nx=1\n\n", "[Application]\nx=1\n\n[Config]\nb=2\na=\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.content);
    EXPECT_EQ(AppendConfigSection(c.content, ConfigSection::kConfig, pairs), c.expected);
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
  EXPECT_TRUE(FindConfigValueInText(file, ConfigSection::kApplication, "Long", &value));
  EXPECT_EQ(value.size(), kConfigLinePiece - 5);
  EXPECT_FALSE(FindConfigValueInText(file, ConfigSection::kApplication, "X", &value));

  // Untouched lines come back byte for byte, however long.
  EXPECT_EQ(RewriteConfigText(file, ConfigOp::kReplace, ConfigSection::kApplication, "Next", "2"),
            "[Application]\n" + long_line + "Next=2\n");
  // A replaced long line goes whole, its tail included.
  EXPECT_EQ(
      RewriteConfigText(file, ConfigOp::kReplace, ConfigSection::kApplication, "long", "short"),
      "[Application]\nLong=short\nNext=1\n");

  // A line of exactly one piece plus its line break stays one line.
  std::string exact = "[Application]\nK=" + std::string(kConfigLinePiece - 2, 'e') + "\n";
  EXPECT_EQ(RewriteConfigText(exact, ConfigOp::kInsert, ConfigSection::kApplication, "N", "1"),
            "[Application]\nN=1\n" + exact.substr(14));
}

TEST(ConfigTextTest, MissingFinalLineBreakIsAdded) {
  EXPECT_EQ(RewriteConfigText("[Config]", ConfigOp::kInsert, ConfigSection::kConfig, "a", "1"),
            "[Config]\na=1\n");
  EXPECT_EQ(
      RewriteConfigText("[Config]\nb=2", ConfigOp::kReplace, ConfigSection::kConfig, "b", "3"),
      "[Config]\nb=3\n");
}

TEST(ConfigTextTest, EntriesThatCannotBeReadBack) {
  EXPECT_EQ(ConfigEntryProblem("key", "value"), "");
  EXPECT_EQ(ConfigEntryProblem("k", std::string(kConfigLinePiece - 3, 'v')), "");
  EXPECT_NE(ConfigEntryProblem("k", std::string(kConfigLinePiece - 2, 'v')), "");
  EXPECT_NE(ConfigEntryProblem("k", "a\nServerName=evil"), "");
  EXPECT_NE(ConfigEntryProblem("a=b", "c"), "");
  EXPECT_NE(ConfigEntryProblem("k", std::string("a\0b", 3)), "");
  // Keys that would read back as something else, or as nothing.
  struct {
    const char* key;
    const char* problem;
  } keys[] = {{"", "the key is empty"},
              {"[x", "the key would read as a section header"},
              {"#k", "the key would read as a comment"},
              {";k", "the key would read as a comment"},
              {"//k", "the key would read as a comment"},
              {" k", "the key would read as a comment"},
              {"\tk", ""},
              {"k[", ""}};
  for (const auto& c : keys) {
    SCOPED_TRACE(c.key);
    EXPECT_EQ(ConfigEntryProblem(c.key, "1"), c.problem);
  }
}

}  // namespace
}  // namespace dusk
