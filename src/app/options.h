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
  /// Set when an argument was not an option, an option lacked its value or
  /// had one it cannot use; parsing stopped there.
  bool parseFailed = false;
  /// The Error lines of the parse, in order, for main to log once the log
  /// is open: the parse runs first, so that a command that cannot run is
  /// refused before it writes anything.
  std::vector<std::string> errors;
};

/// Parses the arguments after argv[0]. An unknown argument ("Invalid command
/// line argument %s"), an option that needs a value given as the last
/// argument or with an empty one ("Missing value for option %s"), and a
/// "-port" that is no port number ("-port %s is not a port number") fail the
/// parse, which stops there; a 33rd "-confupdate" is dropped. Each has its
/// line in |errors|. "--help" is "-help", as most programs have it.
Options ParseOptions(const std::vector<std::string>& args);

/// True when the file or media argument is a URL ("http://HOST:PORT/..."),
/// which names its own server.
bool MediaNamesItsServer(const std::string& file_arg);

/// The option of the command that |options| runs ("-probe", "-confupdate",
/// ...), or "" for the start of the service.
const char* CommandOption(const Options& options);

/// The option table "-instagent" hands to the install: "-media" and
/// "-contentlist" taken from the media argument, and "-prime" = "1".
AttrTable BuildInstAgentOptions(const std::string& file_arg);

}  // namespace dusk

#endif  // DUSK_APP_OPTIONS_H_
