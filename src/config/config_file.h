#ifndef DUSK_CONFIG_CONFIG_FILE_H_
#define DUSK_CONFIG_CONFIG_FILE_H_

// dusk.conf on disk. Nothing is cached: every read scans the file, every
// change rewrites it whole. A rewrite never leaves the directory without a
// complete dusk.conf, not even for an instant: the new text goes to a
// temporary file that is synced first, the old file is linked to
// dusk.conf.prev while it stays in place, and one rename swaps the new text
// in. A crash or a power cut at any moment leaves either the old or the new
// file under the name dusk.conf.

#include <string>
#include <string_view>

#include "config/config_text.h"

namespace dusk {

/// Directory and name of the configuration file.
inline constexpr char kConfigDir[] = "/etc/kesta/dusk";
inline constexpr char kConfigName[] = "dusk.conf";

/// Server used when neither the command line nor the file names one.
inline constexpr char kDefaultServerHost[] = "kesta-server";
inline constexpr char kDefaultServerPort[] = "3466";

/// Longest server host name and port text kept.
inline constexpr size_t kServerHostMax = 255;
inline constexpr size_t kServerPortMax = 31;

/// The path of the configuration file.
std::string ConfigFilePath();

/// True when the file in |directory| ("" for the default) exists, is not
/// empty and, for a |section| other than -1, holds that section's header.
/// |path| (may be null) receives the path in every case.
bool FindConfigFile(std::string_view directory, std::string* path, int section);

/// Reads |key| of |section|; |value| changes only when the key is found.
bool ReadConfigValue(int section, std::string_view key, std::string* value);

/// Inserts, replaces or deletes one key and rewrites the file. True when the
/// file was rewritten.
bool UpdateConfigFile(int op, int section, std::string_view key,
                      std::string_view value);

/// Replace when the key is present, else Insert.
bool WriteConfigValue(int section, std::string_view key, std::string_view value);

/// ReadConfigValue that logs "Failed to Get Config Value from Key %s" at Warn
/// when the key is missing.
bool GetConfigString(int section, std::string_view key, std::string* value);
/// As GetConfigString; the value is read as a decimal number (0 when it is
/// not one).
bool GetConfigInt(int section, std::string_view key, int* value);
/// WriteConfigValue with its Info or Error line.
bool SetConfigString(int section, std::string_view key, std::string_view value);
bool SetConfigInt(int section, std::string_view key, int value);
/// Deletes |key|; logs "Deleted Registry Key %s" and returns true on success.
bool DeleteConfigKey(int section, std::string_view key);

/// The server to talk to: the options when given, else ServerName and
/// ServerPort of [Application], else the defaults. Host and port are cut to
/// kServerHostMax and kServerPortMax characters.
void GetServerAddress(std::string_view host_option, std::string_view port_option,
                      std::string* host, std::string* port);

}  // namespace dusk

#endif  // DUSK_CONFIG_CONFIG_FILE_H_
