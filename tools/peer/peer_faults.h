#ifndef DUSK_TOOLS_PEER_PEER_FAULTS_H_
#define DUSK_TOOLS_PEER_PEER_FAULTS_H_

// Faults that tests ask kesta-peer to show, read from the file "faults" in
// the state directory before every request, so a test changes them while
// the peer runs. One fault per line:
//
//   PATH MODE [ARG] [times=N]
//
// PATH is a request path without its query ("/proc/Zelmar"), a whole target
// with its query, or "*" for every request. The first line that matches
// wins. MODE is one of
//
//   status N              answer status N with an empty body
//   empty200              answer 200 without Content-Length and without body
//   close-before-headers  send the status line and a Content-Length, then close
//   close                 close without answering a byte
//   stall [SECONDS]       answer nothing; hold the connection until the client
//                         leaves (or SECONDS pass, 600 by default)
//   endless               answer 200 with a huge Content-Length and send body
//                         lines until the client leaves (10 minutes at most)
//   raw FILE              send the bytes of FILE (relative to the state
//                         directory unless absolute) as the whole answer
//   dn TEXT               answer a registration request as usual, but with
//                         TEXT as the device's DN (stored under it too)
//   short-body N          the usual answer with a Content-Length N bytes
//                         beyond its body, then close
//   long-body N           the usual answer followed by N bytes ('+') more
//                         than its Content-Length names
//   stall-halfway [SECONDS]
//                         the usual head and the first half of its body,
//                         then nothing until the client leaves (or SECONDS
//                         pass, 600 by default)
//
// "times=N" makes the line apply to the next N matching requests only. Blank
// lines and lines starting with '#' are ignored; a line that cannot be read
// is reported on standard error and ignored.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dusk::peer {

enum class FaultMode {
  kStatus,
  kEmpty200,
  kCloseBeforeHeaders,
  kClose,
  kStall,
  kEndless,
  kRaw,
  kDn,
  kShortBody,
  kLongBody,
  kStallHalfway
};

struct Fault {
  std::string line;  ///< the line as written
  std::string path;
  FaultMode mode = FaultMode::kStatus;
  std::string arg;        ///< "" when the mode takes none or it was left out
  std::optional<int> times;  ///< uses allowed, when limited
};

/// The faults of a faults file text. |errors| (may be null) receives one
/// text per line that could not be read.
std::vector<Fault> ParseFaults(std::string_view text, std::vector<std::string>* errors);

/// Picks the fault for a request and counts its use: the first fault whose
/// path matches |path| or |target| (or is "*") and whose uses are not spent.
/// The counts live here, one per line, and start afresh when the file's
/// text changes.
class FaultBook {
 public:
  /// Reads |text| as the current faults file.
  void Load(std::string_view text);
  /// The fault for the request, or nothing.
  std::optional<Fault> Take(std::string_view path, std::string_view target);

 private:
  std::string text_;
  std::vector<Fault> faults_;
  std::vector<int> used_;  ///< uses per fault, parallel to faults_
};

}  // namespace dusk::peer

#endif  // DUSK_TOOLS_PEER_PEER_FAULTS_H_
