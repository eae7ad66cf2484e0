#include "config/config_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <functional>
#include <vector>

#include "log/log.h"
#include "util/files.h"
#include "util/strings.h"
#include "util/timings.h"
#include "util/unique_fd.h"

namespace dusk {

namespace {

std::string& ConfigDirectorySetting() {
  static std::string directory;
  return directory;
}

/// The file in |directory|; "" for no directory, which no read finds and
/// no write creates.
std::string ConfigFileIn(const std::string& directory) {
  return directory.empty() ? std::string() : directory + "/" + kConfigName;
}

/// Reads the file. kMissing when it is absent or empty, kFailed when it
/// cannot be read.
ConfigRead ReadConfigText(const std::string& path, std::string* content) {
  if (!ReadWholeFile(path, content)) {
    content->clear();
    return errno == ENOENT || errno == ENOTDIR ? ConfigRead::kMissing : ConfigRead::kFailed;
  }
  return content->empty() ? ConfigRead::kMissing : ConfigRead::kFound;
}

bool CheckSection(ConfigSection section) {
  if (IsValidConfigSection(section)) return true;
  LogMessage(kLogError, "Invalid Config file section type %d Specified",
             static_cast<int>(section));
  return false;
}

/// Logs why |key| = |value| cannot be written, when it cannot.
bool EntryWritable(std::string_view key, std::string_view value) {
  const std::string problem = ConfigEntryProblem(key, value);
  if (problem.empty()) return true;
  LogMessage(kLogError, "Cannot write Config file Key %.*s - %s",
             static_cast<int>(std::min<size_t>(key.size(), 255)), key.data(), problem.c_str());
  return false;
}

/// Writes |content| as the new file, keeping the old one as ".prev".
bool ReplaceConfigFile(const std::string& path, const std::string& content) {
  ReplaceOptions options;
  struct stat st;
  options.mode = stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0644;
  options.previous_path = path + ".prev";
  const ReplaceResult replaced = ReplaceFileAtomically(path, content, options);
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

/// An exclusive lock on the configuration directory while it lives: the
/// service and a command started beside it each read the file, change it and
/// write it back, and without the lock the later writer would drop the
/// earlier one's change. The lock is held for a few milliseconds, so the
/// wait for it is short, and bounded by config_lock_wait (util/timings.h).
/// flock has no bounded wait of its own: the lock is tried every few
/// milliseconds, a small part of the time a holder keeps it.
class ConfigLock {
 public:
  explicit ConfigLock(const std::string& directory)
      : fd_(open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
    if (!fd_) return;
    constexpr int kPollMs = 10;
    const long wait_ms = static_cast<long>(CurrentTimings().config_lock_wait.count());
    for (long waited = 0; waited <= wait_ms; waited += kPollMs) {
      if (flock(fd_.get(), LOCK_EX | LOCK_NB) == 0) {
        held_ = true;
        return;
      }
      if (errno != EWOULDBLOCK && errno != EINTR) break;
      usleep(kPollMs * 1000);
    }
    error_ = errno;
  }
  ~ConfigLock() {
    if (held_) flock(fd_.get(), LOCK_UN);
  }
  ConfigLock(const ConfigLock&) = delete;
  ConfigLock& operator=(const ConfigLock&) = delete;

  /// True when the lock is held; otherwise logs why not.
  bool Held(const std::string& path) const {
    if (!held_)
      LogMessage(kLogError, "Failed to lock Config file %s for update - %s", path.c_str(),
                 ErrorText(fd_ ? error_ : ENOENT).c_str());
    return held_;
  }

 private:
  UniqueFd fd_;
  bool held_ = false;
  int error_ = 0;
};

/// Reads the present file, lets |change| edit its text, and writes the
/// result, all under the lock. False when the file is absent or empty,
/// |change| declines, or the file cannot be locked or rewritten.
bool RewriteConfig(const std::function<bool(std::string* content)>& change) {
  const std::string path = ConfigFilePath();
  ConfigLock lock(ConfigDirectory());
  std::string content;
  if (ReadConfigText(path, &content) != ConfigRead::kFound) return false;
  if (!lock.Held(path) || !change(&content)) return false;
  return ReplaceConfigFile(path, content);
}

void LogUpdated(std::string_view key, std::string_view value, bool written) {
  if (written)
    LogMessage(kLogInfo, "Updated Registry Key %.*s with Value \"%.*s\"",
               static_cast<int>(key.size()), key.data(), static_cast<int>(value.size()),
               value.data());
  else
    LogMessage(kLogError, "Failed to Write Config file Value \"%.*s\" for Key %.*s",
               static_cast<int>(value.size()), value.data(), static_cast<int>(key.size()),
               key.data());
}

}  // namespace

const std::string& ConfigDirectory() { return ConfigDirectorySetting(); }

void SetConfigDirectory(std::string directory) {
  ConfigDirectorySetting() = std::move(directory);
}

std::string ConfigFilePath() { return ConfigFileIn(ConfigDirectory()); }

bool FindConfigFile(std::string_view directory, std::string* path,
                    std::optional<ConfigSection> section) {
  std::string file =
      directory.empty() ? ConfigFilePath() : ConfigFileIn(std::string(directory));
  if (path) *path = file;
  std::string content;
  if (ReadConfigText(file, &content) != ConfigRead::kFound) return false;
  return !section || ConfigTextHasSection(content, *section);
}

ConfigRead ReadConfigValue(ConfigSection section, std::string_view key, std::string* value) {
  if (!CheckSection(section)) return ConfigRead::kFailed;
  if (key.empty()) return ConfigRead::kMissing;
  std::string content;
  ConfigRead read = ReadConfigText(ConfigFilePath(), &content);
  if (read != ConfigRead::kFound) return read;
  return FindConfigValueInText(content, section, key, value) ? ConfigRead::kFound
                                                             : ConfigRead::kMissing;
}

bool UpdateConfigFile(ConfigOp op, ConfigSection section, std::string_view key,
                      std::string_view value) {
  const int op_id = static_cast<int>(op);
  if (op_id < static_cast<int>(ConfigOp::kInsert) || op_id > static_cast<int>(ConfigOp::kDelete)) {
    LogMessage(kLogError, "Invalid Config file operation type %d Specified", op_id);
    return false;
  }
  if (!CheckSection(section) || key.empty()) return false;
  if (op != ConfigOp::kDelete && !EntryWritable(key, value)) return false;
  return RewriteConfig([&](std::string* content) {
    *content = RewriteConfigText(*content, op, section, key, value);
    return true;
  });
}

bool WriteConfigValue(ConfigSection section, std::string_view key, std::string_view value) {
  if (!CheckSection(section) || key.empty() || !EntryWritable(key, value)) return false;
  // Replace or insert is decided on the text read under the lock.
  return RewriteConfig([&](std::string* content) {
    std::string ignored;
    ConfigOp op = FindConfigValueInText(*content, section, key, &ignored) ? ConfigOp::kReplace
                                                                           : ConfigOp::kInsert;
    *content = RewriteConfigText(*content, op, section, key, value);
    return true;
  });
}

ConfigRead GetConfigString(ConfigSection section, std::string_view key, std::string* value) {
  ConfigRead read = ReadConfigValue(section, key, value);
  if (read != ConfigRead::kFound)
    LogMessage(kLogWarn, "Failed to Get Config Value from Key %.*s",
               static_cast<int>(key.size()), key.data());
  return read;
}

ConfigRead GetConfigInt(ConfigSection section, std::string_view key, int* value) {
  std::string text;
  ConfigRead read = GetConfigString(section, key, &text);
  if (read == ConfigRead::kFound) *value = strToInt(text);
  return read;
}

bool SetConfigString(ConfigSection section, std::string_view key, std::string_view value) {
  bool written = WriteConfigValue(section, key, value);
  LogUpdated(key, value, written);
  return written;
}

bool SetConfigInt(ConfigSection section, std::string_view key, int value) {
  return SetConfigString(section, key, intToStr(value));
}

bool SetConfigStrings(ConfigSection section, std::span<const ConfigPair> pairs) {
  std::vector<ConfigEntry> entries;
  entries.reserve(pairs.size());
  for (const ConfigPair& pair : pairs) entries.push_back({section, pair.key, pair.value});
  return SetConfigEntries(entries);
}

bool SetConfigEntries(std::span<const ConfigEntry> entries) {
  if (entries.empty()) return true;
  // Every entry is applied to the text in memory, as one update after the
  // other would have been, and the file is rewritten once.
  std::vector<bool> applied(entries.size(), false);
  std::vector<bool> valid(entries.size(), false);
  for (size_t i = 0; i < entries.size(); ++i) valid[i] = CheckSection(entries[i].section);
  const bool rewritten = RewriteConfig([&](std::string* content) {
    // Keys of sections the file lacks, kept apart so that each new section
    // comes whole, its keys in the order given, rather than each key right
    // under a header added for the first.
    std::vector<std::pair<ConfigSection, std::vector<ConfigPair>>> added;
    for (size_t i = 0; i < entries.size(); ++i) {
      const ConfigEntry& entry = entries[i];
      if (!valid[i] || entry.key.empty() || !EntryWritable(entry.key, entry.value)) continue;
      applied[i] = true;
      if (ConfigTextHasSection(*content, entry.section)) {
        std::string ignored;
        ConfigOp op = FindConfigValueInText(*content, entry.section, entry.key, &ignored)
                          ? ConfigOp::kReplace
                          : ConfigOp::kInsert;
        *content = RewriteConfigText(*content, op, entry.section, entry.key, entry.value);
        continue;
      }
      auto section = std::find_if(added.begin(), added.end(),
                                  [&](const auto& s) { return s.first == entry.section; });
      if (section == added.end()) section = added.insert(added.end(), {entry.section, {}});
      auto same =
          std::find_if(section->second.begin(), section->second.end(),
                       [&](const ConfigPair& p) { return strEqualNoCase(p.key, entry.key); });
      if (same != section->second.end())
        same->value = entry.value;
      else
        section->second.push_back({entry.key, entry.value});
    }
    for (const auto& [section, pairs] : added)
      *content = AppendConfigSection(*content, section, pairs);
    return true;
  });
  bool all = true;
  for (size_t i = 0; i < entries.size(); ++i) {
    LogUpdated(entries[i].key, entries[i].value, rewritten && applied[i]);
    all = all && rewritten && applied[i];
  }
  return all;
}

bool DeleteConfigKey(ConfigSection section, std::string_view key) {
  if (!UpdateConfigFile(ConfigOp::kDelete, section, key, "")) return false;
  LogMessage(kLogInfo, "Deleted Registry Key %.*s", static_cast<int>(key.size()), key.data());
  return true;
}

void GetServerAddress(std::string_view host_option, std::string_view port_option,
                      std::string* host, std::string* port) {
  *host = kDefaultServerHost;
  *port = kDefaultServerPort;
  if (host_option.empty())
    GetConfigString(ConfigSection::kApplication, "ServerName", host);
  else
    host->assign(host_option);
  if (port_option.empty())
    GetConfigString(ConfigSection::kApplication, "ServerPort", port);
  else
    port->assign(port_option);
  if (host->size() > kServerHostMax) host->resize(kServerHostMax);
  if (port->size() > kServerPortMax) port->resize(kServerPortMax);
}

}  // namespace dusk
