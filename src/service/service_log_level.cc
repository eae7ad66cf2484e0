#include "service/service_log_level.h"

#include <string>

#include "config/config_file.h"
#include "log/log.h"
#include "util/strings.h"

namespace dusk {

void LoadServiceLogLevel(ServiceState* state) {
  if (!state->serviceLogLevel.empty()) return;
  std::string word = "info";
  GetConfigString(ConfigSection::kApplication, "LogLevel", &word);
  size_t first = word.find_first_not_of(" \t");
  word = first == std::string::npos
             ? std::string()
             : word.substr(first, word.find_last_not_of(" \t") - first + 1);
  strToLower(word);

  int level = kLogInfo;
  if (word.size() > kServiceLogLevelMax) {
    word.resize(kServiceLogLevelMax);
  } else if (word == "debug") {
    level = kLogDebug;
  } else if (word == "trace") {
    level = kLogTrace;
  }
  state->serviceLogLevel = word;
  LogLevel(level);
}

void ClearServiceLogLevel(ServiceState* state) { state->serviceLogLevel.clear(); }

}  // namespace dusk
