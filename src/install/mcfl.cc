#include "install/mcfl.h"

#include <cstdlib>

#include "log/log.h"
#include "util/files.h"
#include "util/strings.h"

namespace dusk {

namespace {

bool IsFieldSeparator(char c) { return c == ' ' || c == '\t'; }

/// Cuts |line| into the fields of a file entry; the first |max| fields
/// land in |fields|, the number found (at most |max|) is returned.
size_t SplitFields(std::string_view line, std::string_view* fields, size_t max) {
  size_t count = 0;
  size_t at = 0;
  while (count < max) {
    while (at < line.size() && IsFieldSeparator(line[at])) ++at;
    if (at == line.size()) break;
    size_t end = at;
    while (end < line.size() && !IsFieldSeparator(line[end])) ++end;
    fields[count++] = line.substr(at, end - at);
    at = end;
  }
  return count;
}

}  // namespace

bool CMcfl::Open(const std::string& path) {
  Close();
  if (path.empty()) {
    LogMessage(kLogDebug, "CMcfl::Open filename specified is NULL");
    return false;
  }
  if (!FileExists(path)) {
    LogMessage(kLogDebug, "CMcfl::Open filename specified \"%s\" does not exist",
               path.c_str());
    return false;
  }
  file_.reset(fopen(path.c_str(), "re"));
  if (!file_) {
    LogMessage(kLogDebug, "CMcfl::Open could not open filename \"%s\"", path.c_str());
    return false;
  }
  return Start(path);
}

bool CMcfl::Open(UniqueFd file, const std::string& name) {
  Close();
  if (!file) return false;
  file_.reset(fdopen(file.get(), "r"));
  if (!file_) return false;
  file.release();  // the stream owns it now
  return Start(name);
}

bool CMcfl::OpenText(std::string text, const std::string& name) {
  Close();
  // An empty text has no header; fmemopen wants at least one byte.
  if (text.empty()) return false;
  text_ = std::move(text);
  file_.reset(fmemopen(text_.data(), text_.size(), "r"));
  if (!file_) {
    text_.clear();
    return false;
  }
  return Start(name);
}

bool CMcfl::Start(const std::string& name) {
  std::string line, version;
  if (!ReadLine(&line) || !isMcflHeader(line, &version)) {
    Close();
    return false;
  }
  file_name_ = name;
  version_ = version;
  is_open_ = true;
  return true;
}

void CMcfl::Close() {
  file_.reset();
  text_.clear();
  is_open_ = false;
  file_name_.clear();
  version_.clear();
}

bool CMcfl::ReadLine(std::string* line) {
  line->clear();
  if (!file_) return false;
  FILE* file = file_.get();
  bool any = false;
  while (line->size() < kMcflLineMax) {
    int c = getc_unlocked(file);
    if (c == EOF) break;
    any = true;
    if (c == '\n') break;
    line->push_back(static_cast<char>(c));
  }
  return any;
}

bool CMcfl::isMcflHeader(std::string_view line, std::string* version) {
  version->clear();
  if (line.empty() || !line.starts_with(kMcflHeaderTag)) return false;
  const std::string text(line);
  size_t blank = line.find(' ');
  if (blank == std::string_view::npos) {
    LogMessage(kLogDebug, "CMcfl::isMcflHeader header \"%s\" is corrupted", text.c_str());
    return false;
  }
  std::string found(line.substr(blank + 1));
  strTrim(found, ' ');
  *version = strCut(found, kMcflVersionMax);
  // The first character, as a one-character text, must not sort after "1".
  if (!found.empty() && static_cast<unsigned char>(found[0]) > '1') {
    LogMessage(kLogDebug, "CMcfl::isMcflHeader version %s is not compatible with %s",
               found.c_str(), kMcflSupportedVersion);
    return false;
  }
  return true;
}

bool CMcfl::isMcflComment(std::string_view line) { return line.empty() || line[0] == '#'; }

bool CMcfl::isMcflOption(std::string_view line, std::string* name, std::string* value) {
  name->clear();
  value->clear();
  if (!line.starts_with(kMcflOptionTag)) return false;
  const std::string text(line);
  size_t blank = line.find(' ');
  if (blank == std::string_view::npos) {
    LogMessage(kLogError, "CMcfl::isMcflOption missing option name in line \"%s\"",
               text.c_str());
    return false;
  }
  size_t equals = line.find('=', blank + 1);
  if (equals == std::string_view::npos) {
    LogMessage(kLogError, "CMcfl::isMcflOption missing option value in line \"%s\"",
               text.c_str());
    return false;
  }
  std::string_view found_name = line.substr(blank + 1, equals - blank - 1);
  std::string_view found_value = line.substr(equals + 1);
  if (found_name.size() > kMcflOptionNameMax || found_value.size() > kMcflOptionValueMax) {
    LogMessage(kLogError, "CMcfl::isMcflOption option too long in line \"%s\"", text.c_str());
    return false;
  }
  name->assign(found_name);
  value->assign(found_value);
  return true;
}

bool CMcfl::isMcflFile(std::string_view line, McflFile* file) {
  file->path.clear();
  file->md5.clear();
  file->size = 0;
  std::string_view fields[4];
  if (SplitFields(line, fields, 4) < 4) return false;
  file->path.assign(fields[0]);
  const std::string size_text = strCut(fields[1], kMcflSizeFieldMax);
  const std::string mode_text = strCut(fields[2], kMcflModeFieldMax);
  file->md5.assign(fields[3]);
  file->size = strtoll(size_text.c_str(), nullptr, 10);
  file->mode = strToInt(mode_text);
  return true;
}

int CMcfl::GetOptions(AttrTable& table, bool case_sensitive) {
  if (!is_open_ || !file_) {
    LogMessage(kLogError, "CMcfl::GetOptions not initialized");
    return 0;
  }
  rewind(file_.get());
  int count = 0;
  std::string line, name, value;
  while (ReadLine(&line)) {
    if (!isMcflOption(line, &name, &value)) continue;
    if (case_sensitive)
      table.Set(name, value);
    else
      table.SetNoCase(name, value);
    ++count;
  }
  rewind(file_.get());
  return count;
}

size_t CMcfl::CountFiles(size_t limit) {
  if (!is_open_ || !file_) return 0;
  rewind(file_.get());
  size_t count = 0;
  std::string line;
  McflFile entry;
  while (count <= limit && ReadLine(&line)) {
    if (!isMcflComment(line) && isMcflFile(line, &entry)) ++count;
  }
  rewind(file_.get());
  return count;
}

bool CMcfl::GetNextFile(McflFile* file) {
  std::string line;
  while (ReadLine(&line)) {
    if (isMcflComment(line)) continue;
    if (isMcflFile(line, file)) return true;
  }
  Close();
  return false;
}

}  // namespace dusk
