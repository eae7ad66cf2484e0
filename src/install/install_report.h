#ifndef DUSK_INSTALL_INSTALL_REPORT_H_
#define DUSK_INSTALL_INSTALL_REPORT_H_

// How the agent's install steps report: every text goes to the log (echoed
// to the console for a command-line run) and to the InstallReporter of the
// run, which tells whoever follows the work: the server that asked for the
// install, or nobody on the command line.

#include <chrono>
#include <cstdint>
#include <string_view>

namespace dusk {

/// Event types of an agent install, in the order the server sees them.
inline constexpr char kEventCopyingAgent[] = "copyingagent";
inline constexpr char kEventInstallConfig[] = "installcfgagent";
inline constexpr char kEventAgentInstalled[] = "agentinstalled";
inline constexpr char kEventInstallFailed[] = "installagentfailed";

/// How far the transfer of one file has come.
struct FileArrival {
  /// The file's path below its media path.
  std::string_view file;
  /// Body bytes received so far.
  int64_t received = 0;
  /// The body's size as the server announced it; -1 when it named none.
  int64_t size = -1;
  /// Since the transfer's body began.
  std::chrono::steady_clock::duration elapsed{};
  /// The transfer is over, whole or not: the last report of this file.
  bool ended = false;
};

/// Who follows an install beyond the log. The install logs its texts itself
/// and then hands them on here.
class InstallReporter {
 public:
  virtual ~InstallReporter() = default;
  /// Bytes of a file arrived: a few times a second at most while they come
  /// (kArrivalReportInterval), and once more with |ended| set. It is for
  /// someone watching a terminal, never for the log or the server: the
  /// default ignores it.
  virtual void Arriving(const FileArrival&) {}
  /// A progress text (the server sees it as an "info" line).
  virtual void Progress(std::string_view text) = 0;
  /// The event |type| (kEvent...) with |text|. Every implementation logs
  /// the event's record at Debug as "Event: RECORD" (BuildEventRecord),
  /// whether it sends it anywhere or not.
  virtual void Event(std::string_view type, std::string_view text) = 0;
};

/// Least time between two reports of a file's arrival: a meter refreshed
/// four times a second looks alive, and costs nothing.
inline constexpr std::chrono::milliseconds kArrivalReportInterval{250};

/// Reports a file's arrival to an InstallReporter as its bytes come, at
/// most once per kArrivalReportInterval, and its end once (End, or at the
/// latest when it goes).
class ArrivalReports {
 public:
  ArrivalReports(InstallReporter& reporter, std::string_view file, int64_t size);
  ~ArrivalReports();
  ArrivalReports(const ArrivalReports&) = delete;
  ArrivalReports& operator=(const ArrivalReports&) = delete;
  /// |received| bytes have come so far; reported when the interval has
  /// passed since the last report.
  void Received(int64_t received);
  /// The transfer is over: the last report. Later calls do nothing.
  void End();

 private:
  InstallReporter& reporter_;
  FileArrival arrival_;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point next_;
};

/// |level| with the console flag added when |console| is set.
int InstallLogLevel(int level, bool console);

/// Logs |text| at |level| (console echo when |console|) and hands it to
/// |reporter| as progress.
void InstallProgress(InstallReporter& reporter, int level, bool console, std::string_view text);

/// Logs |text| at |level| (console echo when |console|) and hands it to
/// |reporter| as the event "installagentfailed". Always false, for the
/// caller to return.
bool InstallFailed(InstallReporter& reporter, int level, bool console, std::string_view text);

}  // namespace dusk

#endif  // DUSK_INSTALL_INSTALL_REPORT_H_
