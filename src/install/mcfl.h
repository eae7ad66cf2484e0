#ifndef DUSK_INSTALL_MCFL_H_
#define DUSK_INSTALL_MCFL_H_

// The media content file list: the text file that describes the agent
// media on the server. Line 1 is the header "#//MediaContent: VERSION";
// "#//Option: NAME=VALUE" lines carry installation settings; other lines
// starting with "#", and empty lines, are comments; every other line names
// one media file: "PATH SIZE MODE MD5", fields separated by runs of blanks
// and tabs, further fields ignored, lines with fewer fields skipped.
//
// Lines are read in pieces of at most kMcflLineMax characters (the rest of
// a longer line is read as the next line), and only the line feed is
// removed: a carriage return stays part of the line's last field.
//
// CMcfl only reads. Calling order: Open (or OpenText), optionally
// GetOptions, GetVersion, GetNextFile until it returns false (it closes the
// list then), Close (harmless twice).

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

#include "util/attr_table.h"
#include "util/unique_fd.h"

namespace dusk {

/// Longest piece of a line read at once.
inline constexpr size_t kMcflLineMax = 1023;
/// Longest version text kept from the header; a longer one is cut.
inline constexpr size_t kMcflVersionMax = 15;
/// Longest option name and value; an option line with a longer one is
/// refused (logged, not counted) rather than cut into another setting.
inline constexpr size_t kMcflOptionNameMax = 127;
inline constexpr size_t kMcflOptionValueMax = 511;
/// Longest size and mode field texts looked at; longer ones are cut.
inline constexpr size_t kMcflSizeFieldMax = 63;
inline constexpr size_t kMcflModeFieldMax = 31;
/// The version this program reads, named when a list is refused.
inline constexpr char kMcflSupportedVersion[] = "1.0";
/// Tags of the header and of option lines.
inline constexpr std::string_view kMcflHeaderTag = "#//MediaContent:";
inline constexpr std::string_view kMcflOptionTag = "#//Option:";

/// One file entry of a list.
struct McflFile {
  /// Path relative to the media directory.
  std::string path;
  /// Byte count; the field in base 10 as strtoll reads it (0 without digits).
  int64_t size = 0;
  /// Permission bits written as octal digits but read as a decimal number
  /// (755 for rwxr-xr-x); 0 leaves the mode alone.
  int mode = 0;
  /// MD5 digest text as listed.
  std::string md5;
};

class CMcfl {
 public:
  CMcfl() = default;
  ~CMcfl() { Close(); }
  CMcfl(const CMcfl&) = delete;
  CMcfl& operator=(const CMcfl&) = delete;

  /// Opens the list at |path|. True when it exists, opens and its first line
  /// is an acceptable header; the list is then positioned after the header.
  /// Failures are logged at Debug: "CMcfl::Open filename specified is NULL",
  /// "CMcfl::Open filename specified \"%s\" does not exist", "CMcfl::Open
  /// could not open filename \"%s\""; a missing or refused header fails
  /// without a line of its own.
  bool Open(const std::string& path);
  /// As Open, over the open file |file| (the list is read from it and it
  /// is closed with the list); |name| stands for the file name.
  bool Open(UniqueFd file, const std::string& name);
  /// As Open, over the list text |text| held in memory; |name| stands for
  /// the file name.
  bool OpenText(std::string text, const std::string& name = "");
  /// Closes the list; the object is closed afterwards, whatever its state.
  void Close();

  /// The next line without its line feed, at most kMcflLineMax characters.
  /// False, with |line| "", at the end of the list or when it is not open.
  bool ReadLine(std::string* line);

  /// True for an acceptable header line, |version| = the text after its
  /// first blank, trimmed of blanks, cut to kMcflVersionMax. A line not
  /// beginning with kMcflHeaderTag is refused silently; one without a blank
  /// after Debug "CMcfl::isMcflHeader header \"%s\" is corrupted"; a version
  /// whose first character sorts after "1" after Debug "CMcfl::isMcflHeader
  /// version %s is not compatible with %s" (kMcflSupportedVersion).
  static bool isMcflHeader(std::string_view line, std::string* version);
  /// True for an empty line or one beginning with "#".
  static bool isMcflComment(std::string_view line);
  /// True for an option line: |name| runs from after the first blank up to
  /// the next "=", |value| is the rest of the line, neither trimmed. Lines
  /// not beginning with kMcflOptionTag give false silently; a line without a
  /// blank logs Error "CMcfl::isMcflOption missing option name in line
  /// \"%s\"", without "=" after it "CMcfl::isMcflOption missing option
  /// value in line \"%s\"", with a name or value too long "CMcfl::isMcflOption
  /// option too long in line \"%s\"". |name| and |value| are "" on false.
  static bool isMcflOption(std::string_view line, std::string* name, std::string* value);
  /// True when |line| has the four fields of a file entry, stored in |file|.
  static bool isMcflFile(std::string_view line, McflFile* file);

  /// Stores every option pair of the list in |table| (Set when
  /// |case_sensitive|, SetNoCase otherwise) and returns how many option lines
  /// were accepted, those a full table refused included. Leaves the list at
  /// its start. 0 after Error "CMcfl::GetOptions not initialized" when the
  /// list is not open.
  int GetOptions(AttrTable& table, bool case_sensitive);
  /// The number of file entries, counted up to one more than |limit| (a
  /// list is never read further than that). Leaves the list at its start;
  /// 0 when it is not open.
  size_t CountFiles(size_t limit);
  /// The next file entry, skipping comments and lines that are not entries.
  /// False at the end of the list, which is then closed.
  bool GetNextFile(McflFile* file);
  /// The header's version text ("" while closed).
  const std::string& GetVersion() const { return version_; }

  bool isOpen() const { return is_open_; }
  const std::string& fileName() const { return file_name_; }

 private:
  struct FileCloser {
    void operator()(FILE* file) const { fclose(file); }
  };

  /// Reads and checks the header of the freshly opened |file_|.
  bool Start(const std::string& name);

  std::unique_ptr<FILE, FileCloser> file_;
  /// The list text behind an in-memory stream; must outlive |file_|.
  std::string text_;
  bool is_open_ = false;
  std::string file_name_;
  std::string version_;
};

}  // namespace dusk

#endif  // DUSK_INSTALL_MCFL_H_
