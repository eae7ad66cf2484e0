#include "app/progress_meter.h"

#include <gtest/gtest.h>

#include <chrono>

namespace dusk {
namespace {

using std::chrono::milliseconds;
constexpr int64_t kMiB = 1024 * 1024;

TEST(ProgressMeterTest, LinesOfAFileThatArrives) {
  struct {
    const char* name;
    FileArrival arrival;
    size_t width;
    std::string line;
  } cases[] = {
      {"size known", {"bin/zelexecd", 12 * kMiB + kMiB / 2, 100 * kMiB, milliseconds(625)}, 79,
       "bin/zelexecd  12.5 MiB of 100.0 MiB  12%  20.0 MiB/s  0:05 left"},
      {"no size named", {"agent.bin", 3000, -1, milliseconds(2000)}, 79,
       "agent.bin  2.9 KiB  1.5 KiB/s"},
      {"nothing yet", {"a", 0, 512, milliseconds(0)}, 79, "a  0 B of 512 B  0%"},
      {"an hour and more left", {"big.iso", kMiB, 4096 * kMiB, milliseconds(1000)}, 79,
       "big.iso  1.0 MiB of 4.0 GiB  0%  1.0 MiB/s  1:08:15 left"},
      {"the name gives way", {"media/linuxtc/bin/zelexecd", kMiB, 2 * kMiB, milliseconds(1000)},
       60, "...n/zelexecd  1.0 MiB of 2.0 MiB  50%  1.0 MiB/s  0:01 left"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string line = MeterLine(c.arrival, c.width);
    EXPECT_EQ(line, c.line);
    EXPECT_LE(line.size(), c.width);
  }
}

TEST(ProgressMeterTest, ByteCounts) {
  EXPECT_EQ(ByteCount(0), "0 B");
  EXPECT_EQ(ByteCount(1023), "1023 B");
  EXPECT_EQ(ByteCount(1536), "1.5 KiB");
  EXPECT_EQ(ByteCount(5 * kMiB), "5.0 MiB");
  EXPECT_EQ(ByteCount(3 * 1024 * kMiB), "3.0 GiB");
}

}  // namespace
}  // namespace dusk
