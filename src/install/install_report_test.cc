#include "install/install_report.h"

#include <gtest/gtest.h>

#include <chrono>
#include <vector>

namespace dusk {
namespace {

class ArrivalRecorder final : public InstallReporter {
 public:
  void Progress(std::string_view) override {}
  void Event(std::string_view, std::string_view) override {}
  void Arriving(const FileArrival& arrival) override { seen.push_back(arrival); }
  std::vector<FileArrival> seen;
};

TEST(ArrivalReportsTest, AFewReportsASecondHoweverFastThePiecesComeAndOneEnd) {
  ArrivalRecorder reporter;
  const auto span = 3 * kArrivalReportInterval + kArrivalReportInterval / 2;
  int64_t pieces = 0;
  {
    ArrivalReports reports(reporter, "bin/agent", 1 << 30);
    // Pieces as fast as they can come, for three and a half intervals.
    const auto end = std::chrono::steady_clock::now() + span;
    while (std::chrono::steady_clock::now() < end) reports.Received(++pieces);
    reports.End();
    reports.End();
  }
  ASSERT_FALSE(reporter.seen.empty());
  const FileArrival& last = reporter.seen.back();
  EXPECT_TRUE(last.ended);
  EXPECT_EQ(last.received, pieces);
  EXPECT_EQ(last.size, 1 << 30);
  EXPECT_EQ(last.file, "bin/agent");
  EXPECT_GE(last.elapsed, span);
  // At most one report per interval before the end, and the end only once.
  const size_t before_end = reporter.seen.size() - 1;
  EXPECT_LE(before_end, 3u);
  for (size_t i = 0; i < before_end; ++i) {
    EXPECT_FALSE(reporter.seen[i].ended);
    EXPECT_GE(reporter.seen[i].elapsed, (i + 1) * kArrivalReportInterval);
  }
  // A transfer left without End still ends its report.
  reporter.seen.clear();
  { ArrivalReports reports(reporter, "x", -1); }
  ASSERT_EQ(reporter.seen.size(), 1u);
  EXPECT_TRUE(reporter.seen[0].ended);
}

}  // namespace
}  // namespace dusk
