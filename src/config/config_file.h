#ifndef DUSK_CONFIG_CONFIG_FILE_H_
#define DUSK_CONFIG_CONFIG_FILE_H_

// dusk.conf on disk. Nothing is cached: every read scans the file, every
// change rewrites it whole through ReplaceFileAtomically, after keeping the
// old file as dusk.conf.prev, with the directory locked from the read to the
// rename so that the service and a command never undo each other's change. A crash or a power cut
// at any moment leaves either the old or the new file under the name dusk.conf.

#include <span>
#include <string>
#include <string_view>

#include "config/config_text.h"

namespace dusk {

/// Name of the configuration file in its directory (ConfigDirectory).
inline constexpr char kConfigName[] = "dusk.conf";

/// Server used when neither the command line nor the file names one.
inline constexpr char kDefaultServerHost[] = "kesta-server";
inline constexpr char kDefaultServerPort[] = "3466";

/// Key of [Application] that names the port on which the service listens
/// for the server's request, and the port of a new file and of a missing key.
inline constexpr char kAgentPortKey[] = "AgentPort";
inline constexpr char kDefaultAgentPort[] = "3465";

/// Longest server host name and port text kept.
inline constexpr size_t kServerHostMax = 255;
inline constexpr size_t kServerPortMax = 31;

/// What a read of one key found.
enum class ConfigRead {
  kFound,    ///< the key is there; the value was read
  kMissing,  ///< the file is absent or empty, or the key is not in it
  kFailed,   ///< the file could not be read, or the request was invalid
};

/// One key of one section and its value, for a change of keys of several
/// sections at once.
struct ConfigEntry {
  ConfigSection section;
  std::string key;
  std::string value;
};

/// The directory that holds the configuration file, as SetConfigDirectory
/// left it; "" before.
const std::string& ConfigDirectory();
/// Sets the directory of the configuration file for every read and write
/// that follows: main sets it once from the layout's configDir, before
/// anything reads the file. "" means none: reads find no file and nothing
/// is written.
void SetConfigDirectory(std::string directory);

/// The path of the configuration file; "" when no directory is set.
std::string ConfigFilePath();

/// True when the file in |directory| ("" for ConfigDirectory()) exists, is
/// not empty and, when |section| is given, holds that section's header.
/// |path| (may be null) receives the path in every case.
bool FindConfigFile(std::string_view directory, std::string* path,
                    std::optional<ConfigSection> section = std::nullopt);

/// Reads |key| of |section|; |value| changes only when the key is found.
ConfigRead ReadConfigValue(ConfigSection section, std::string_view key, std::string* value);

/// Inserts, replaces or deletes one key and rewrites the file. True when the
/// file was rewritten. A key or value that would not read back as itself is
/// refused with the Error line "Cannot write Config file Key %s - <why>".
bool UpdateConfigFile(ConfigOp op, ConfigSection section, std::string_view key,
                      std::string_view value);

/// Replace when the key is present, else Insert.
bool WriteConfigValue(ConfigSection section, std::string_view key, std::string_view value);

/// ReadConfigValue that logs "Failed to Get Config Value from Key %s" at Warn
/// when the key is not found.
ConfigRead GetConfigString(ConfigSection section, std::string_view key, std::string* value);
/// As GetConfigString; the value is read as a decimal number (0 when it is
/// not one).
ConfigRead GetConfigInt(ConfigSection section, std::string_view key, int* value);
/// WriteConfigValue with its Info or Error line.
bool SetConfigString(ConfigSection section, std::string_view key, std::string_view value);
bool SetConfigInt(ConfigSection section, std::string_view key, int value);
/// SetConfigString for every pair of |pairs|, in order, with one rewrite of
/// the file for all of them, and the Info or Error line of each key. A pair
/// that cannot be written is refused alone. True when all were written.
bool SetConfigStrings(ConfigSection section, std::span<const ConfigPair> pairs);
/// SetConfigStrings for entries of any sections, in one rewrite. The keys of
/// a section the file lacks go into that section, added at the end
/// (AppendConfigSection) in the order given, a later entry of the same key
/// taking the place of an earlier one.
bool SetConfigEntries(std::span<const ConfigEntry> entries);
/// Deletes |key|; logs "Deleted Registry Key %s" and returns true on success.
bool DeleteConfigKey(ConfigSection section, std::string_view key);

/// The server to talk to: the options when given, else ServerName and
/// ServerPort of [Application], else the defaults. Host and port are cut to
/// kServerHostMax and kServerPortMax characters.
void GetServerAddress(std::string_view host_option, std::string_view port_option,
                      std::string* host, std::string* port);

}  // namespace dusk

#endif  // DUSK_CONFIG_CONFIG_FILE_H_
