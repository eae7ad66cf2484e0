#ifndef DUSK_APP_OPTIONS_H_
#define DUSK_APP_OPTIONS_H_

#include <string>
#include <vector>

#include "service/service_event.h"
#include "util/attr_table.h"

namespace dusk {

/// Most "-confupdate" entries kept from one command line.
inline constexpr int kMaxConfigUpdates = 32;
/// Longest file or media argument kept.
inline constexpr size_t kFileArgMax = 4094;
/// Longest argument text written to the log at start-up.
inline constexpr size_t kArgumentTextMax = 4094;

/// Everything the command line asked for.
struct Options {
  bool probeCommand = false;
  std::string optServerHost;  ///< at most 255 characters
  std::string optServerPort;  ///< at most 31 characters
  bool confinitCommand = false;
  std::vector<std::string> confupdates;  ///< at most kMaxConfigUpdates entries
  /// Set when more than kMaxConfigUpdates entries were given.
  bool tooManyConfupdates = false;
  bool debugoption = false;
  bool traceoption = false;
  bool silentOption = false;
  bool versionCommand = false;
  ServiceEvent eventCommand = ServiceEvent::kNone;  ///< the last event option wins
  bool md5Command = false;
  bool getCommand = false;
  bool instAgentCommand = false;
  bool uninstAgentCommand = false;
  bool helpCommand = false;
  std::string fileArg;  ///< at most kFileArgMax characters
  /// Set when an argument was not an option; parsing stopped there.
  bool parseFailed = false;
};

/// Parses the arguments after argv[0], logging an Error line for an
/// unknown argument (parsing stops there) and for a 33rd "-confupdate".
Options ParseOptions(const std::vector<std::string>& args);

/// The option table "-instagent" hands to the install: "-media" and
/// "-contentlist" taken from the media argument, and "-prime" = "1".
AttrTable BuildInstAgentOptions(const std::string& file_arg);

}  // namespace dusk

#endif  // DUSK_APP_OPTIONS_H_
