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

bool WriteAllAndSync(int fd, std::string_view data) {
  while (!data.empty()) {
    ssize_t put = write(fd, data.data(), data.size());
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) {
      if (put == 0) errno = EIO;
      return false;
    }
    data.remove_prefix(static_cast<size_t>(put));
  }
  return fsync(fd) == 0;
}

/// Writes |data| to a new file |path| with |mode| and syncs it.
bool WriteNewFile(const std::string& path, std::string_view data, mode_t mode) {
  UniqueFd fd(open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode));
  if (!fd) return false;
  fchmod(fd.get(), mode);
  if (WriteAllAndSync(fd.get(), data)) return true;
  int err = errno;
  unlink(path.c_str());
  errno = err;
  return false;
}

void SyncDirectoryOf(const std::string& path) {
  size_t slash = path.rfind('/');
  std::string directory = slash == std::string::npos ? "." : path.substr(0, slash);
  UniqueFd fd(open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd) fsync(fd.get());
}

/// Makes |prev| hold |old_content| without ever touching |path|: a hard link
/// where the file system has them, a synced copy otherwise, renamed into
/// place in one step.
bool KeepPreviousVersion(const std::string& path, const std::string& prev,
                         std::string_view old_content, mode_t mode) {
  std::string staging = prev + "." + std::to_string(getpid());
  unlink(staging.c_str());
  if (link(path.c_str(), staging.c_str()) != 0 &&
      !WriteNewFile(staging, old_content, mode))
    return false;
  if (rename(staging.c_str(), prev.c_str()) == 0) return true;
  int err = errno;
  unlink(staging.c_str());
  errno = err;
  return false;
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

  struct stat st;
  mode_t mode = stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0644;
  const std::string temp = path + "." + std::to_string(getpid());
  if (!WriteNewFile(temp, new_content, mode)) {
    LogMessage(kLogError, "Failed to open temporary conf file %s for update",
               temp.c_str());
    return false;
  }
  const std::string prev = path + ".prev";
  if (!KeepPreviousVersion(path, prev, old_content, mode)) {
    int err = errno;
    unlink(temp.c_str());
    LogMessage(kLogError, "Failed to rename current config file %s to %s - %s",
               path.c_str(), prev.c_str(), ErrorText(err).c_str());
    return false;
  }
  if (rename(temp.c_str(), path.c_str()) != 0) {
    int err = errno;
    unlink(temp.c_str());
    LogMessage(kLogError, "Failed to rename new config file %s as %s - %s",
               temp.c_str(), path.c_str(), ErrorText(err).c_str());
    return false;
  }
  SyncDirectoryOf(path);
  return true;
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
