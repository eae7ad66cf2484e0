#include "config/config_defaults.h"

#include <algorithm>
#include <limits>
#include <vector>

#include "config/config_file.h"
#include "config/config_keys.h"
#include "log/log.h"
#include "util/files.h"
#include "util/product.h"
#include "util/strings.h"

namespace dusk {

namespace {

struct AppKey {
  std::string_view key;
  std::string new_value;       // in a new file
  std::string added_value;     // added to an existing file
};

/// The [Application] keys in file order, with both columns of defaults.
std::vector<AppKey> ApplicationKeys(const Layout& layout, std::string_view host_option,
                                    std::string_view port_option) {
  const std::string& install = layout.installDir;
  std::string host = host_option.empty() ? kDefaultServerHost : std::string(host_option);
  std::string port = port_option.empty() ? kDefaultServerPort : std::string(port_option);
  return {
      {"InstallPath", install, install},
      {"LogPath", layout.defaultLogDir, install + "/log"},
      {"ProbeTool", install + "/dusk -probe", install + "/dusk -probe"},
      {"ServerName", host, host},
      {"ServerPort", port, port},
      {kAgentPortKey, kDefaultAgentPort, kDefaultAgentPort},
      {"AgentMediaRoot", "/", "/"},
      {"AgentMediaPath", layout.defaultMediaDir, install + "/media"},
      {"LogLevel", "info", "info"},
  };
}

/// Says so when the file lacks |section|'s header: the section is added
/// with its keys at the end of the file. An administrator may well write a
/// file of [Application] alone before the package completes it.
void NoteMissingSection(ConfigSection section) {
  std::string path;
  if (FindConfigFile("", &path, section)) return;
  LogMessage(kLogInfo, "Adding %s section to config file %s", SectionHeader(section),
             path.c_str());
}

bool Missing(ConfigRead read) { return read != ConfigRead::kFound; }

/// Adds every key of |names| that |section| lacks, with an empty value, in
/// one rewrite.
template <size_t N>
bool AddMissingTextKeys(ConfigSection section, const char* trace,
                        const std::array<std::string_view, N>& names) {
  LogMessage(kLogTrace, "%s", trace);
  NoteMissingSection(section);
  std::vector<ConfigPair> missing;
  for (std::string_view name : names) {
    std::string value;
    if (Missing(GetConfigString(section, name, &value)))
      missing.push_back({std::string(name), ""});
  }
  return SetConfigStrings(section, missing);
}

/// A key that the program reads as a whole number, with the values it can
/// use.
struct NumberKey {
  ConfigSection section;
  std::string_view key;
  ConfigNumberRange range;
};

constexpr long long kIntMin = std::numeric_limits<int>::min();
constexpr long long kIntMax = std::numeric_limits<int>::max();

/// Intervals in seconds count from 0 (due on every pass); a time limit of
/// 0 or less is none, and a burst of 0 probes never ends.
constexpr std::array<NumberKey, 10> kNumberKeys = {{
    {ConfigSection::kApplication, "ServerPort", {1, 65535}},
    {ConfigSection::kApplication, kAgentPortKey, {1, 65535}},
    {ConfigSection::kConfig, "registrationinterval", {0, kIntMax}},
    {ConfigSection::kConfig, "registrationretryinterval", {0, kIntMax}},
    {ConfigSection::kConfig, "servicescaninterval", {0, kIntMax}},
    {ConfigSection::kConfig, "proberetryinterval", {0, kIntMax}},
    {ConfigSection::kConfig, "probetimelimit", {kIntMin, kIntMax}},
    {ConfigSection::kConfig, "probeattemptinterval", {0, kIntMax}},
    {ConfigSection::kConfig, "probeattemptlimit", {0, kIntMax}},
    {ConfigSection::kConfig, "serverprobed", {0, 1}},
}};

constexpr bool EveryConfigKeyIsANumberKey() {
  for (const ConfigIntDefault& config : kConfigIntDefaults) {
    bool found = false;
    for (const NumberKey& number : kNumberKeys)
      found = found || (number.section == ConfigSection::kConfig && number.key == config.key);
    if (!found) return false;
  }
  return true;
}
static_assert(EveryConfigKeyIsANumberKey(), "a [Config] key has no range of values");

/// True when |text| is a whole number (an optional "-", then decimal
/// digits, nothing else) within |range|.
bool WholeNumberIn(std::string_view text, const ConfigNumberRange& range) {
  const bool negative = !text.empty() && text.front() == '-';
  const std::string_view digits = negative ? text.substr(1) : text;
  if (digits.empty() || digits.find_first_not_of("0123456789") != std::string_view::npos)
    return false;
  long long value = 0;
  for (char c : digits) {
    value = value * 10 + (c - '0');
    if (value > kIntMax + 1) return false;  // beyond any range, and no overflow
  }
  if (negative) value = -value;
  return value >= range.min && value <= range.max;
}

/// The section named by |name| ("Config", any letter case), after the
/// Error line for a name the program does not know.
std::optional<ConfigSection> NamedSection(std::string_view name) {
  std::optional<ConfigSection> section = SectionOfHeader("[" + std::string(name) + "]");
  if (!section)
    LogMessage(kLogError, "Unknown Config File Section name %.*s specified",
               static_cast<int>(name.size()), name.data());
  return section;
}

}  // namespace

std::string NewConfigFileText(const Layout& layout, std::string_view host_option,
                              std::string_view port_option) {
  std::string text;
  text += "#\n";
  text += strFormat("# %s\n", kProductName);
  text += "#\n";
  text += strFormat("# Configuration File Generated by %s Build #%s\n",
                    kServiceName, kDuskBuild);
  text += "#\n\n[Application]\n";
  for (const AppKey& key : ApplicationKeys(layout, host_option, port_option))
    text.append(key.key).append("=").append(key.new_value).append("\n");
  text += "\n[Config]\n";
  for (const ConfigIntDefault& key : kConfigIntDefaults)
    text.append(key.key).append("=").append(intToStr(key.value)).append("\n");
  text += "\n[DeviceInfo]\n";
  for (std::string_view name : regattrs) text.append(name).append("=\n");
  text += "\n[ServiceScan]\n";
  for (std::string_view name : agentservices) text.append(name).append("=\n");
  return text;
}

bool CreateConfigFile(const Layout& layout, const std::string& host_option,
                      const std::string& port_option) {
  std::string path;
  if (layout.installDir.empty()) {
    LogMessage(kLogError, "Cannot create config file, installPath was not defined");
    return false;
  }
  if (FindConfigFile("", &path)) {
    LogMessage(kLogError, "Cannot create config file %s, file already exists",
               path.c_str());
    return false;
  }
  // A -host or -port value that would not read back (one with a line break
  // would add keys of its own) is refused here as it is by an update.
  for (const AppKey& key : ApplicationKeys(layout, host_option, port_option)) {
    const std::string problem = ConfigEntryProblem(key.key, key.new_value);
    if (problem.empty()) continue;
    LogMessage(kLogError, "Cannot write Config file Key %.*s - %s",
               static_cast<int>(key.key.size()), key.key.data(), problem.c_str());
    return false;
  }
  LogMessage(kLogInfo, "Creating Config File %s", path.c_str());
  // Written beside the target and renamed into place, so that a power cut
  // never leaves half a file behind.
  const ReplaceResult created = ReplaceFileAtomically(
      path, NewConfigFileText(layout, host_option, port_option));
  if (created.ok()) return true;
  LogMessage(kLogError, "Could not create config file %s - %s", path.c_str(),
             ErrorText(created.error).c_str());
  return false;
}

bool initAppReg(const Layout& layout, const std::string& host_option,
                const std::string& port_option) {
  std::string path;
  if (!FindConfigFile("", &path)) return CreateConfigFile(layout, host_option, port_option);
  LogMessage(kLogTrace, "initAppReg: installPath=%s optServerHost=%s optServerPort=%s",
             layout.installDir.c_str(), host_option.c_str(), port_option.c_str());
  LogMessage(kLogInfo, "Initializing Config File ...");
  NoteMissingSection(ConfigSection::kApplication);
  std::vector<ConfigPair> added;
  for (const AppKey& key : ApplicationKeys(layout, host_option, port_option)) {
    bool forced = (key.key == "ServerName" && !host_option.empty()) ||
                  (key.key == "ServerPort" && !port_option.empty());
    std::string value;
    if (Missing(GetConfigString(ConfigSection::kApplication, key.key, &value)) || forced)
      added.push_back({std::string(key.key), key.added_value});
  }
  // A failed rewrite is logged; the completion goes on with the next
  // section, and the command fails at the end.
  bool written = SetConfigStrings(ConfigSection::kApplication, added);
  written = initDevReg() && written;
  written = initSvcScanReg() && written;
  return initConfigReg() && written;
}

bool initDevReg() {
  return AddMissingTextKeys(ConfigSection::kDeviceInfo, "initDevReg:", regattrs);
}

bool initSvcScanReg() {
  return AddMissingTextKeys(ConfigSection::kServiceScan, "initSvcScanReg:", agentservices);
}

bool initConfigReg() {
  LogMessage(kLogTrace, "initConfigReg:");
  NoteMissingSection(ConfigSection::kConfig);
  std::vector<ConfigPair> missing;
  for (const ConfigIntDefault& key : kConfigIntDefaults) {
    int value = 0;
    if (Missing(GetConfigInt(ConfigSection::kConfig, key.key, &value)))
      missing.push_back({std::string(key.key), intToStr(key.value)});
  }
  return SetConfigStrings(ConfigSection::kConfig, missing);
}

std::optional<ConfigNumberRange> ConfigNumberRangeOf(ConfigSection section,
                                                     std::string_view key) {
  for (const NumberKey& number : kNumberKeys)
    if (number.section == section && strEqualNoCase(number.key, key)) return number.range;
  return std::nullopt;
}

bool IsKnownConfigKey(ConfigSection section, std::string_view key) {
  auto known = [key](const auto& names) {
    return std::any_of(names.begin(), names.end(),
                       [key](std::string_view name) { return strEqualNoCase(name, key); });
  };
  switch (section) {
    case ConfigSection::kApplication:
      return known(kApplicationKeys);
    case ConfigSection::kDeviceInfo:
      return known(regattrs);
    case ConfigSection::kServiceScan:
      return known(agentservices);
    case ConfigSection::kConfig:
      return ConfigNumberRangeOf(section, key).has_value();
  }
  return false;
}

std::optional<ConfigEntry> ParseConfigUpdate(std::string_view entry) {
  entry = entry.substr(0, kConfigUpdateEntryMax);
  size_t equals = entry.find('=');
  if (equals == std::string_view::npos) {
    // Taking "registrationinterval 60" for done would hide the typo.
    LogMessage(kLogError, "Config update \"%.*s\" is not of the form var=val",
               static_cast<int>(entry.size()), entry.data());
    return std::nullopt;
  }
  std::string_view name = entry.substr(0, equals);
  ConfigEntry update{ConfigSection::kApplication, "", std::string(entry.substr(equals + 1))};
  size_t slash = name.find('/');
  if (slash != std::string_view::npos) {
    std::optional<ConfigSection> named = NamedSection(name.substr(0, slash));
    if (!named) return std::nullopt;
    update.section = *named;
    name = name.substr(slash + 1);
  }
  update.key = std::string(name);

  const std::string problem = ConfigEntryProblem(update.key, update.value);
  if (!problem.empty()) {
    LogMessage(kLogError, "Cannot write Config file Key %s - %s", update.key.c_str(),
               problem.c_str());
    return std::nullopt;
  }
  // The program would read "1h" as 1 and "99999999999" as the largest
  // number: a value it cannot use as given is refused, not written.
  if (std::optional<ConfigNumberRange> range = ConfigNumberRangeOf(update.section, update.key);
      range && !WholeNumberIn(update.value, *range)) {
    LogMessage(kLogError,
               "Cannot write Config file Key %s - the value \"%s\" is not a whole number "
               "from %lld to %lld",
               update.key.c_str(), update.value.c_str(), range->min, range->max);
    return std::nullopt;
  }
  // Written as asked, but a misspelt name would otherwise go unnoticed.
  if (!IsKnownConfigKey(update.section, update.key))
    LogMessage(kLogWarn | kLogStderrFlag,
               "Unknown Config File Key name %s specified in section %s - written as given",
               update.key.c_str(), SectionHeader(update.section));
  return update;
}

bool ApplyConfigUpdates(std::span<const std::string> entries) {
  std::vector<ConfigEntry> updates;
  size_t refused = 0;
  for (const std::string& entry : entries) {
    if (std::optional<ConfigEntry> update = ParseConfigUpdate(entry))
      updates.push_back(std::move(*update));
    else
      ++refused;
  }
  // All or nothing: a command that failed has changed nothing, and can be
  // run again once mended.
  if (refused > 0) {
    LogMessage(kLogError, "Config file %s left unchanged - %zu of %zu updates refused",
               ConfigFilePath().c_str(), refused, entries.size());
    return false;
  }
  return SetConfigEntries(updates);
}

bool ApplyConfigUpdate(std::string_view entry) {
  const std::string one(entry);
  return ApplyConfigUpdates(std::span<const std::string>(&one, 1));
}

}  // namespace dusk
