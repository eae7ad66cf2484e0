#ifndef DUSK_CONFIG_CONFIG_DEFAULTS_H_
#define DUSK_CONFIG_CONFIG_DEFAULTS_H_

// What a complete dusk.conf holds: the keys, their defaults, the text of a
// new file, the completion of an existing one ("-confinit") and the change
// of single keys from the command line ("-confupdate").

#include <array>
#include <string>
#include <string_view>

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

/// The 49 lines of a new configuration file for a program in
/// |layout|.installDir: InstallPath, ProbeTool and the layout's default
/// log and media directories.
std::string NewConfigFileText(const Layout& layout, std::string_view host_option,
                              std::string_view port_option);

/// "-confinit": creates the file when it is missing or empty, else adds
/// every missing key with its default (paths under |layout|.installDir).
/// False when the file could not be created or lacks a section.
bool initAppReg(const Layout& layout, const std::string& host_option,
                const std::string& port_option);

/// Writes a new file; fails when one is present or |layout|.installDir is
/// empty.
bool CreateConfigFile(const Layout& layout, const std::string& host_option,
                      const std::string& port_option);

/// Add the missing keys of [DeviceInfo], [ServiceScan] and [Config]; false
/// when the section header is missing.
bool initDevReg();
bool initSvcScanReg();
bool initConfigReg();

/// Applies one "-confupdate" entry "name=value" or "section/name=value".
/// False, after an Error line, when the entry is not of that form, names a
/// section the program does not know, or could not be written.
bool ApplyConfigUpdate(std::string_view entry);

}  // namespace dusk

#endif  // DUSK_CONFIG_CONFIG_DEFAULTS_H_
