#include "service/service_log_level.h"

#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "log/log.h"
#include "support/test_util.h"

namespace dusk {
namespace {

class ServiceLogLevelTest : public ::testing::Test {
 protected:
  test::ConfigDir dir_;
  const std::string kConf = dir_.conf();
};

TEST_F(ServiceLogLevelTest, WordFromTheFileSetsTheLevel) {
  struct Case {
    const char* name;
    std::optional<std::string> value;  // nullopt: no LogLevel key
    int level;
    std::string remembered;
  };
  const std::vector<Case> cases = {
      {"debug", "debug", kLogDebug, "debug"},
      {"trace in capitals with blanks", " \tTRACE  ", kLogTrace, "trace"},
      {"info", "Info", kLogInfo, "info"},
      {"a word that is almost a level", "infos", kLogInfo, "infos"},
      {"warn is not offered", "warn", kLogInfo, "warn"},
      {"missing key", std::nullopt, kLogInfo, "info"},
      {"100 characters", "trace" + std::string(95, 'e'), kLogInfo,
       "trace" + std::string(26, 'e')},
      {"a word padded to 100 characters", "trace" + std::string(95, ' '), kLogTrace,
       "trace"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::WriteFile(kConf, "[Application]\n" +
                               (c.value ? "LogLevel=" + *c.value + "\n" : std::string()));
    LogLevel(c.level == kLogDebug ? kLogWarn : kLogDebug);  // to be replaced
    ServiceState state;
    test::LogCapture log;
    LoadServiceLogLevel(&state);
    EXPECT_EQ(LogCurrentLevel(), c.level);
    EXPECT_EQ(state.serviceLogLevel, c.remembered);
    EXPECT_LE(state.serviceLogLevel.size(), kServiceLogLevelMax);
    EXPECT_EQ(log.Has(kLogWarn, "Failed to Get Config Value from Key LogLevel"),
              !c.value.has_value());
  }
}

TEST_F(ServiceLogLevelTest, RememberedWordIsKeptUntilCleared) {
  test::WriteFile(kConf, "[Application]\nLogLevel=debug\n");
  ServiceState state;
  LoadServiceLogLevel(&state);
  test::WriteFile(kConf, "[Application]\nLogLevel=trace\n");
  LoadServiceLogLevel(&state);
  EXPECT_EQ(LogCurrentLevel(), kLogDebug);
  ClearServiceLogLevel(&state);
  LoadServiceLogLevel(&state);
  EXPECT_EQ(LogCurrentLevel(), kLogTrace);
}

}  // namespace
}  // namespace dusk
