#include "app/options.h"

#include "config/config_file.h"
#include "log/log.h"
#include "service/service_event.h"
#include "util/strings.h"

namespace dusk {

Options ParseOptions(const std::vector<std::string>& args) {
  Options options;
  // The value of an option is the next argument, or "" at the end.
  auto value_after = [&](size_t i) -> std::string {
    return i + 1 < args.size() ? args[i + 1] : std::string();
  };
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "-probe") {
      options.probeCommand = true;
    } else if (arg == "-host") {
      options.optServerHost = strCut(value_after(i++), kServerHostMax);
    } else if (arg == "-port") {
      options.optServerPort = strCut(value_after(i++), kServerPortMax);
    } else if (arg == "-confinit") {
      options.confinitCommand = true;
    } else if (arg == "-confupdate") {
      if (static_cast<int>(options.confupdates.size()) < kMaxConfigUpdates) {
        options.confupdates.push_back(value_after(i));
      } else {
        LogMessage(kLogError, "Maximum number of configuration updates (%d) specified.",
                   kMaxConfigUpdates);
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
      options.md5Command = true;
      options.fileArg = strCut(value_after(i++), kFileArgMax);
    } else if (arg == "-get") {
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
    } else if (arg == "-help" || arg == "-?") {
      options.helpCommand = true;
    } else {
      LogMessage(kLogError, "Invalid command line argument %s", arg.c_str());
      options.parseFailed = true;
      break;
    }
  }
  return options;
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
