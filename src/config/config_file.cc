#include "config/config_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "log/log.h"
#include "util/files.h"
#include "util/strings.h"
#include "util/unique_fd.h"

namespace dusk {

namespace {

/// Reads the file when it is present (exists and is not empty).
bool ReadPresentFile(const std::string& path, std::string* content) {
  return ReadWholeFile(path, content) && !content->empty();
}

}  // namespace

std::string ConfigFilePath() {
  return std::string(kConfigDir) + "/" + kConfigName;
}

bool FindConfigFile(std::string_view directory, std::string* path, int section) {
  std::string file = (directory.empty() ? std::string(kConfigDir)
                                        : std::string(directory)) +
                     "/" + kConfigName;
  if (path) *path = file;
  std::string content;
  if (!ReadPresentFile(file, &content)) return false;
  return section == -1 || ConfigTextHasSection(content, section);
}

bool ReadConfigValue(int section, std::string_view key, std::string* value) {
  if (!IsValidConfigSection(section)) {
    LogMessage(kLogError, "Invalid Config file section type %d Specified", section);
    return false;
  }
  std::string content;
  if (key.empty() || !ReadPresentFile(ConfigFilePath(), &content)) return false;
  return FindConfigValueInText(content, section, key, value);
}

bool UpdateConfigFile(int op, int section, std::string_view key,
                      std::string_view value) {
  if (op < kConfigInsert || op > kConfigDelete) {
    LogMessage(kLogError, "Invalid Config file operation type %d Specified", op);
    return false;
  }
  if (!IsValidConfigSection(section)) {
    LogMessage(kLogError, "Invalid Config file section type %d Specified", section);
    return false;
  }
  const std::string path = ConfigFilePath();
  std::string old_content;
  if (key.empty() || !ReadPresentFile(path, &old_content)) return false;
  if (op != kConfigDelete) {
    std::string problem = ConfigEntryProblem(key, value);
    if (!problem.empty()) {
      LogMessage(kLogError, "Cannot write Config file Key %.*s - %s",
                 static_cast<int>(std::min<size_t>(key.size(), 255)), key.data(),
                 problem.c_str());
      return false;
    }
  }
  std::string new_content = RewriteConfigText(old_content, op, section, key, value);

  ReplaceOptions options;
  struct stat st;
  options.mode = stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0644;
  options.previous_path = path + ".prev";
  const ReplaceResult replaced = ReplaceFileAtomically(path, new_content, options);
  switch (replaced.failed) {
    case ReplaceStep::kNone:
      return true;
    case ReplaceStep::kWriteTemp:
      LogMessage(kLogError, "Failed to open temporary conf file %s for update",
                 replaced.temp_path.c_str());
      return false;
    case ReplaceStep::kKeepPrevious:
      LogMessage(kLogError, "Failed to rename current config file %s to %s - %s",
                 path.c_str(), options.previous_path.c_str(),
                 ErrorText(replaced.error).c_str());
      return false;
    case ReplaceStep::kRename:
      LogMessage(kLogError, "Failed to rename new config file %s as %s - %s",
                 replaced.temp_path.c_str(), path.c_str(), ErrorText(replaced.error).c_str());
      return false;
  }
  return false;
}

bool WriteConfigValue(int section, std::string_view key, std::string_view value) {
  std::string ignored;
  int op = ReadConfigValue(section, key, &ignored) ? kConfigReplace : kConfigInsert;
  return UpdateConfigFile(op, section, key, value);
}

bool GetConfigString(int section, std::string_view key, std::string* value) {
  if (ReadConfigValue(section, key, value)) return true;
  LogMessage(kLogWarn, "Failed to Get Config Value from Key %.*s",
             static_cast<int>(key.size()), key.data());
  return false;
}

bool GetConfigInt(int section, std::string_view key, int* value) {
  std::string text;
  if (!GetConfigString(section, key, &text)) return false;
  *value = strToInt(text);
  return true;
}

bool SetConfigString(int section, std::string_view key, std::string_view value) {
  std::string k(key), v(value);
  if (WriteConfigValue(section, key, value)) {
    LogMessage(kLogInfo, "Updated Registry Key %s with Value \"%s\"", k.c_str(),
               v.c_str());
    return true;
  }
  LogMessage(kLogError, "Failed to Write Config file Value \"%s\" for Key %s",
             v.c_str(), k.c_str());
  return false;
}

bool SetConfigInt(int section, std::string_view key, int value) {
  std::string k(key);
  if (WriteConfigValue(section, key, intToStr(value))) {
    LogMessage(kLogInfo, "Updated Registry Key %s with Value \"%d\"", k.c_str(), value);
    return true;
  }
  LogMessage(kLogError, "Failed to Write Config file Value \"%d\" for Key %s",
             value, k.c_str());
  return false;
}

bool DeleteConfigKey(int section, std::string_view key) {
  if (!UpdateConfigFile(kConfigDelete, section, key, "")) return false;
  LogMessage(kLogInfo, "Deleted Registry Key %.*s", static_cast<int>(key.size()),
             key.data());
  return true;
}

void GetServerAddress(std::string_view host_option, std::string_view port_option,
                      std::string* host, std::string* port) {
  *host = kDefaultServerHost;
  *port = kDefaultServerPort;
  if (host_option.empty())
    GetConfigString(kConfigApplication, "ServerName", host);
  else
    host->assign(host_option);
  if (port_option.empty())
    GetConfigString(kConfigApplication, "ServerPort", port);
  else
    port->assign(port_option);
  if (host->size() > kServerHostMax) host->resize(kServerHostMax);
  if (port->size() > kServerPortMax) port->resize(kServerPortMax);
}

}  // namespace dusk
