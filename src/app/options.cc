#include "app/options.h"

#include "config/config_file.h"
#include "config/server_address.h"
#include "service/service_event.h"
#include "util/strings.h"

namespace dusk {

Options ParseOptions(const std::vector<std::string>& args) {
  Options options;
  // The value of an option is the next argument, or "" at the end.
  auto value_after = [&](size_t i) -> std::string {
    return i + 1 < args.size() ? args[i + 1] : std::string();
  };
  // A forgotten value is a mistake to point out, not a reason to go on with
  // a default: "-probe -host" would probe the configured server.
  auto fail = [&](std::string text) {
    options.errors.push_back(std::move(text));
    options.parseFailed = true;
  };
  auto value_missing = [&](size_t i) {
    if (i + 1 < args.size()) return false;
    fail(strFormat("Missing value for option %s", args[i].c_str()));
    return true;
  };
  for (size_t i = 0; i < args.size() && !options.parseFailed; ++i) {
    const std::string& arg = args[i];
    if (arg == "-probe") {
      options.probeCommand = true;
    } else if (arg == "-host" || arg == "-port") {
      if (value_missing(i)) break;
      const std::string value = value_after(i++);
      // An empty value would leave the configured server in place unnoticed.
      if (value.empty()) {
        fail(strFormat("Missing value for option %s", arg.c_str()));
      } else if (arg == "-host") {
        options.optServerHost = strCut(value, kServerHostMax);
      } else {
        options.optServerPort = strCut(value, kServerPortMax);
        if (!IsPortNumber(options.optServerPort))
          fail(strFormat("-port %s is not a port number", value.c_str()));
      }
    } else if (arg == "-confinit") {
      options.confinitCommand = true;
    } else if (arg == "-confupdate") {
      if (value_missing(i)) break;
      if (static_cast<int>(options.confupdates.size()) < kMaxConfigUpdates) {
        options.confupdates.push_back(value_after(i));
      } else {
        options.errors.push_back(strFormat(
            "Maximum number of configuration updates (%d) specified.", kMaxConfigUpdates));
        options.tooManyConfupdates = true;
      }
      ++i;
    } else if (arg == "-debug") {
      options.debugoption = true;
    } else if (arg == "-trace") {
      options.traceoption = true;
    } else if (arg == "-silent") {
      options.silentOption = true;
    } else if (arg == "-version") {
      options.versionCommand = true;
    } else if (arg == "-pause") {
      options.eventCommand = ServiceEvent::kPause;
    } else if (arg == "-resume") {
      options.eventCommand = ServiceEvent::kResume;
    } else if (arg == "-stop") {
      options.eventCommand = ServiceEvent::kStop;
    } else if (arg == "-interrupt") {
      options.eventCommand = ServiceEvent::kInterrupt;
    } else if (arg == "-md5") {
      if (value_missing(i)) break;
      options.md5Command = true;
      options.fileArg = strCut(value_after(i++), kFileArgMax);
    } else if (arg == "-get") {
      if (value_missing(i)) break;
      options.getCommand = true;
      options.fileArg = strCut(value_after(i++), kFileArgMax);
    } else if (arg == "-instagent") {
      options.instAgentCommand = true;
      options.fileArg = strCut(value_after(i), kFileArgMax);
      if (strStartsWith(options.fileArg, "-"))
        options.fileArg.clear();
      else if (i + 1 < args.size())
        ++i;
    } else if (arg == "-uninstagent") {
      options.uninstAgentCommand = true;
    } else if (arg == "-help" || arg == "-?" || arg == "--help") {
      options.helpCommand = true;
    } else {
      fail(strFormat("Invalid command line argument %s", arg.c_str()));
    }
  }
  return options;
}

bool MediaNamesItsServer(const std::string& file_arg) {
  return strStartsWith(file_arg, "http://") || strStartsWith(file_arg, "https://");
}

const char* CommandOption(const Options& options) {
  // In the order RunCommand chooses.
  if (options.helpCommand) return "-help";
  if (options.confinitCommand) return "-confinit";
  if (!options.confupdates.empty()) return "-confupdate";
  if (options.probeCommand) return "-probe";
  if (options.versionCommand) return "-version";
  if (options.md5Command) return "-md5";
  if (options.getCommand) return "-get";
  if (options.instAgentCommand) return "-instagent";
  if (options.uninstAgentCommand) return "-uninstagent";
  switch (options.eventCommand) {
    case ServiceEvent::kStop: return "-stop";
    case ServiceEvent::kPause: return "-pause";
    case ServiceEvent::kResume: return "-resume";
    case ServiceEvent::kInterrupt: return "-interrupt";
    default: return "";
  }
}

AttrTable BuildInstAgentOptions(const std::string& file_arg) {
  AttrTable table(64);
  if (!file_arg.empty()) {
    size_t slash = file_arg.rfind('/');
    if (slash == std::string::npos) {
      // A bare name is a content list in the default media directory.
      table.Set("-contentlist", file_arg);
    } else if (slash + 1 == file_arg.size()) {
      std::string media = file_arg;
      strTrimRight(media, '/');
      table.Set("-media", media);
    } else {
      table.Set("-contentlist", file_arg.substr(slash + 1));
      table.Set("-media", file_arg.substr(0, slash));
    }
  }
  table.Set("-prime", "1");
  return table;
}

}  // namespace dusk
