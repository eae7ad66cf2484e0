#ifndef DUSK_CONFIG_CONFIG_DEFAULTS_H_
#define DUSK_CONFIG_CONFIG_DEFAULTS_H_

// What a complete dusk.conf holds: the keys, their defaults, the text of a
// new file, the completion of an existing one ("-confinit") and the change
// of single keys from the command line ("-confupdate").

#include <array>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "config/config_file.h"
#include "util/layout.h"

namespace dusk {

/// One integer key of [Config] with its default.
struct ConfigIntDefault {
  std::string_view key;
  int value;
};

/// The [Config] keys in file order.
inline constexpr std::array<ConfigIntDefault, 8> kConfigIntDefaults = {{
    {"registrationinterval", 86400},
    {"registrationretryinterval", 120},
    {"servicescaninterval", 1800},
    {"proberetryinterval", 3600},
    {"probetimelimit", 86400},
    {"probeattemptinterval", 60},
    {"probeattemptlimit", 3},
    {"serverprobed", 0},
}};

/// Longest "-confupdate" entry taken; the rest is dropped.
inline constexpr size_t kConfigUpdateEntryMax = 4223;

/// The values a key that the program reads as a whole number can take.
struct ConfigNumberRange {
  long long min;
  long long max;
};

/// The range of |key| of |section| (letter case ignored) when the program
/// reads it as a whole number: the [Config] keys, ServerPort and AgentPort.
std::optional<ConfigNumberRange> ConfigNumberRangeOf(ConfigSection section,
                                                     std::string_view key);

/// True when the program reads or writes |key| (letter case ignored) in
/// |section|.
bool IsKnownConfigKey(ConfigSection section, std::string_view key);

/// The 49 lines of a new configuration file for a program in
/// |layout|.installDir: InstallPath, ProbeTool and the layout's default
/// log and media directories.
std::string NewConfigFileText(const Layout& layout, std::string_view host_option,
                              std::string_view port_option);

/// "-confinit": creates the file when it is missing or empty, else adds
/// every missing key with its default (paths under |layout|.installDir),
/// and every missing section, whole, at the end of the file. Present keys
/// stay as they are (ServerName and ServerPort take -host and -port when
/// given). False when the file could not be created or a rewrite failed.
bool initAppReg(const Layout& layout, const std::string& host_option,
                const std::string& port_option);

/// Writes a new file; fails when one is present or |layout|.installDir is
/// empty.
bool CreateConfigFile(const Layout& layout, const std::string& host_option,
                      const std::string& port_option);

/// Add the missing keys of [DeviceInfo], [ServiceScan] and [Config], each
/// in one rewrite; a missing section is added with all its keys at the end
/// of the file. False when the rewrite failed.
bool initDevReg();
bool initSvcScanReg();
bool initConfigReg();

/// Takes the "-confupdate" entry "name=value" or "section/name=value" apart
/// (a name without a section is in [Application]). nullopt, after an Error
/// line, when the entry is not of that form, names a section the program
/// does not know, would not read back as itself, or gives a key that the
/// program reads as a number (ConfigNumberRangeOf) a value that is not a
/// whole number in its range. A key the program does not know passes with a
/// Warn line that also goes to standard error.
std::optional<ConfigEntry> ParseConfigUpdate(std::string_view entry);

/// "-confupdate" with |entries|: each is checked first, and when any is
/// refused nothing is written; otherwise all are written in one rewrite, in
/// order (a later entry for the same key wins). True when all were written.
bool ApplyConfigUpdates(std::span<const std::string> entries);

/// ApplyConfigUpdates of the one entry |entry|.
bool ApplyConfigUpdate(std::string_view entry);

}  // namespace dusk

#endif  // DUSK_CONFIG_CONFIG_DEFAULTS_H_
