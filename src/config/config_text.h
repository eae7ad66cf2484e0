#ifndef DUSK_CONFIG_CONFIG_TEXT_H_
#define DUSK_CONFIG_CONFIG_TEXT_H_

// The rules of dusk.conf as pure functions over its text: how lines are cut,
// which line is a comment, a header or a key, and how one key is inserted,
// replaced or removed. The file functions read and write; these decide.
//
// The file is read in pieces of at most kConfigLinePiece characters, the
// line break included, and one line break is removed from each. A line
// longer than that is cut into several pieces. Only the first piece of a
// line is ever taken as a header or a key line: the rest of an over-long
// line is carried along untouched, so text deep inside a long value can
// never pose as a key or a section of its own. A rewrite copies every line
// it does not change byte for byte.

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace dusk {

/// Sections of the file.
enum class ConfigSection : int {
  kApplication = 0,
  kDeviceInfo = 1,
  kServiceScan = 2,
  kConfig = 3,
};

/// Update operations.
enum class ConfigOp : int {
  kInsert = 0,
  kReplace = 1,
  kDelete = 2,
};

/// One key and its value, for a change of several keys at once.
struct ConfigPair {
  std::string key;
  std::string value;
};

/// Longest piece of a line read at once, its line break included.
inline constexpr size_t kConfigLinePiece = 2046;

/// Header line of each section, indexed by ConfigSection.
inline constexpr const char* confSections[] = {"[Application]", "[DeviceInfo]",
                                               "[ServiceScan]", "[Config]"};

/// True for a section the file knows (a value cast from a bad number is not).
bool IsValidConfigSection(ConfigSection section);
/// The header line of |section|; "" for an unknown one.
const char* SectionHeader(ConfigSection section);
/// The section whose header |line| is (letter case ignored), if any.
std::optional<ConfigSection> SectionOfHeader(std::string_view line);

/// One piece of the file as read.
struct ConfigPiece {
  /// The piece without its line break.
  std::string_view text;
  /// The bytes of the piece as they stand in the file, line break included.
  std::string_view raw;
  /// True when the piece continues a line that an earlier piece began.
  bool continuation = false;
};

/// Cuts |content| into pieces.
std::vector<ConfigPiece> SplitConfigPieces(std::string_view content);

/// True for a blank line or a comment: empty, or beginning with "#", a blank,
/// ";" or "//".
bool IsConfigComment(std::string_view line);
/// True for a non-empty line beginning with "[".
bool IsConfigSection(std::string_view line);
/// True when |line| is the header of |section| (letter case ignored).
bool HeaderOpensSection(std::string_view line, ConfigSection section);

/// True when some line of |content| is the header of |section|.
bool ConfigTextHasSection(std::string_view content, ConfigSection section);

/// Looks |key| up in |section| of |content| (keys compared ignoring letter
/// case, the first match counts). |value| is changed only when found.
bool FindConfigValueInText(std::string_view content, ConfigSection section,
                           std::string_view key, std::string* value);

/// |content| with one key inserted, replaced or deleted. Lines that are not
/// changed are copied byte for byte; a last line without a line break gets
/// one. A key inserted into a section the text lacks comes at the end, in a
/// new section of its own (AppendConfigSection).
std::string RewriteConfigText(std::string_view content, ConfigOp op, ConfigSection section,
                              std::string_view key, std::string_view value);

/// |content| with |section| added at its end, as in a new file: a blank
/// line (unless the text already ends in one), the header, then one key
/// line for each of |pairs|, in order. A last line without a line break
/// gets one first.
std::string AppendConfigSection(std::string_view content, ConfigSection section,
                                std::span<const ConfigPair> pairs);

/// Why |key| = |value| cannot be written as a line that reads back as the
/// same key and value, or "" when it can.
std::string ConfigEntryProblem(std::string_view key, std::string_view value);

}  // namespace dusk

#endif  // DUSK_CONFIG_CONFIG_TEXT_H_
