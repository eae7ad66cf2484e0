#include "app/console_reporter.h"

#include <gtest/gtest.h>

#include <regex>

#include "log/log.h"
#include "support/test_util.h"

namespace dusk {
namespace {

TEST(ConsoleReporterTest, EventsAreLoggedAsTheServerWouldGetThemAndProgressIsNot) {
  test::ScopedLogLevel debug(kLogDebug);
  test::LogCapture log;
  ConsoleReporter reporter(false);
  reporter.Progress("Downloading /m/list.mcfl ...");
  reporter.Event("installagentfailed", "Bad \"x\" in a/b");
  ASSERT_EQ(log.lines().size(), 1u);
  EXPECT_EQ(log.lines()[0].first, kLogDebug);
  EXPECT_TRUE(std::regex_match(
      log.lines()[0].second,
      std::regex("Event: \\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ\\|installagentfailed\\|"
                 "Bad\\+%22x%22\\+in\\+a%2fb\\|")))
      << log.lines()[0].second;
}

}  // namespace
}  // namespace dusk
