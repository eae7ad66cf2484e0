#include "util/timings.h"

#include <gtest/gtest.h>

namespace dusk {
namespace {

using std::chrono::seconds;

// What the program waits is what administrators and the server plan for;
// a change here is a change of behaviour, never a side effect.
TEST(TimingsTest, ProgramWaitsAreTheShippedOnes) {
  const Timings& shipped = CurrentTimings();
  EXPECT_EQ(shipped, Timings());
  EXPECT_EQ(shipped.service_start_delay, seconds(2));
  EXPECT_EQ(shipped.service_pass_pause, seconds(5));
  EXPECT_EQ(shipped.http_connect, seconds(60));
  EXPECT_EQ(shipped.http_idle, seconds(60));
  EXPECT_EQ(shipped.http_head, seconds(120));
  EXPECT_EQ(shipped.http_body_grace, seconds(60));
  EXPECT_EQ(shipped.http_body_min_rate, 1024u);
  EXPECT_EQ(shipped.media_download, std::chrono::minutes(30));
  EXPECT_EQ(shipped.server_exchange, seconds(60));
  EXPECT_EQ(shipped.rexec_parameter_wait, seconds(5));
  EXPECT_EQ(shipped.rexec_error_connect, seconds(5));
  EXPECT_EQ(shipped.socket_write_idle, seconds(30));
  EXPECT_EQ(shipped.install_command, seconds(120));
  EXPECT_EQ(shipped.post_install_command, seconds(30));
  EXPECT_EQ(shipped.initial_connect_command, seconds(120));
  EXPECT_EQ(shipped.uninstall_command, seconds(120));
  EXPECT_EQ(shipped.command_poll, seconds(1));
  EXPECT_EQ(shipped.config_lock_wait, seconds(5));
}

}  // namespace
}  // namespace dusk
