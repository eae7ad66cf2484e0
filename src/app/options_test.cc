#include "app/options.h"

#include <gtest/gtest.h>

#include "log/log.h"
#include "support/test_util.h"

namespace dusk {
namespace {

TEST(OptionsTest, Values) {
  Options o = ParseOptions({"-host", "srv", "-port", "99", "-debug", "-trace", "-stop",
                            "-pause", "-md5", "file"});
  EXPECT_EQ(o.optServerHost, "srv");
  EXPECT_EQ(o.optServerPort, "99");
  EXPECT_TRUE(o.debugoption && o.traceoption && o.md5Command);
  EXPECT_EQ(o.eventCommand, ServiceEvent::kPause);  // the last event wins
  EXPECT_EQ(o.fileArg, "file");
  EXPECT_FALSE(o.parseFailed);
}

TEST(OptionsTest, ValuesAreCut) {
  Options o = ParseOptions({"-host", std::string(300, 'h'), "-get", std::string(10000, 'f')});
  EXPECT_EQ(o.optServerHost.size(), 255u);
  EXPECT_EQ(o.fileArg.size(), kFileArgMax);
}

TEST(OptionsTest, MissingAndUnusableValuesFailTheParse) {
  struct {
    std::vector<std::string> args;
    std::string error;  // "" when the parse succeeds
  } cases[] = {
      {{"-probe", "-host"}, "Missing value for option -host"},
      {{"-probe", "-host", ""}, "Missing value for option -host"},
      {{"-probe", "-port"}, "Missing value for option -port"},
      {{"-port", "abc", "-probe"}, "-port abc is not a port number"},
      {{"-port", "0"}, "-port 0 is not a port number"},
      {{"-port", "65536"}, "-port 65536 is not a port number"},
      {{"-port", "-1"}, "-port -1 is not a port number"},
      {{"-md5"}, "Missing value for option -md5"},
      {{"-get"}, "Missing value for option -get"},
      {{"-confupdate"}, "Missing value for option -confupdate"},
      {{"-port", "0099", "-host", "h", "-probe"}, ""},
      {{"-port", "65535"}, ""},
      // Its media argument is optional.
      {{"-instagent"}, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.args));
    const Options o = ParseOptions(c.args);
    EXPECT_EQ(o.parseFailed, !c.error.empty());
    EXPECT_EQ(o.errors, c.error.empty() ? std::vector<std::string>{}
                                        : std::vector<std::string>{c.error});
  }
}

TEST(OptionsTest, HelpAsMostProgramsSpellIt) {
  for (const char* spelling : {"-help", "-?", "--help"}) {
    const Options o = ParseOptions({spelling});
    EXPECT_TRUE(o.helpCommand && !o.parseFailed) << spelling;
    EXPECT_STREQ(CommandOption(o), "-help");
  }
}

TEST(OptionsTest, MediaArgumentOfInstAgentIsOptional) {
  Options o = ParseOptions({"-instagent", "-silent"});
  EXPECT_TRUE(o.instAgentCommand && o.silentOption);
  EXPECT_EQ(o.fileArg, "");
  o = ParseOptions({"-get", "-silent"});
  EXPECT_EQ(o.fileArg, "-silent");
  EXPECT_FALSE(o.silentOption);
  o = ParseOptions({"-instagent"});
  EXPECT_EQ(o.fileArg, "");
  o = ParseOptions({"-instagent", "/mnt/media/", "-debug"});
  EXPECT_EQ(o.fileArg, "/mnt/media/");
  EXPECT_TRUE(o.debugoption);
}

TEST(OptionsTest, InvalidArgumentStopsParsing) {
  test::LogCapture log;
  Options o = ParseOptions({"-silent", "-install", "-debug"});
  EXPECT_TRUE(o.parseFailed);
  EXPECT_TRUE(o.silentOption);
  EXPECT_FALSE(o.debugoption);
  EXPECT_EQ(o.errors, std::vector<std::string>{"Invalid command line argument -install"});
  // The parse runs before the log is open: main logs its lines.
  EXPECT_TRUE(log.lines().empty());
}

TEST(OptionsTest, ThirtyThreeConfigUpdatesKeepThirtyTwo) {
  std::vector<std::string> args;
  for (int i = 0; i < 33; ++i) {
    args.push_back("-confupdate");
    args.push_back("k" + std::to_string(i) + "=v");
  }
  Options o = ParseOptions(args);
  EXPECT_FALSE(o.parseFailed);
  ASSERT_EQ(o.confupdates.size(), 32u);
  EXPECT_EQ(o.confupdates.back(), "k31=v");
  EXPECT_TRUE(o.tooManyConfupdates);
  EXPECT_EQ(o.errors,
            std::vector<std::string>{"Maximum number of configuration updates (32) specified."});
}

TEST(OptionsTest, InstAgentOptionTable) {
  struct {
    const char* arg;
    const char* media;
    const char* list;
  } cases[] = {{"", nullptr, nullptr},
               {"/mnt/media/", "/mnt/media", nullptr},
               {"/mnt/media//", "/mnt/media", nullptr},
               {"/mnt/media/list.mcfl", "/mnt/media", "list.mcfl"},
               {"/list.mcfl", "", "list.mcfl"},
               {"list.mcfl", nullptr, "list.mcfl"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arg);
    AttrTable table = BuildInstAgentOptions(c.arg);
    std::string value;
    EXPECT_EQ(table.Get("-media", &value), c.media != nullptr);
    if (c.media) {
      EXPECT_EQ(value, c.media);
    }
    EXPECT_EQ(table.Get("-contentlist", &value), c.list != nullptr);
    if (c.list) {
      EXPECT_EQ(value, c.list);
    }
    EXPECT_TRUE(table.Get("-prime", &value));
    EXPECT_EQ(value, "1");
  }
}

}  // namespace
}  // namespace dusk
