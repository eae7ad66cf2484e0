#include "config/config_text.h"

#include <iterator>

#include "util/strings.h"

namespace dusk {

bool IsValidConfigSection(ConfigSection section) {
  const int id = static_cast<int>(section);
  return id >= 0 && id < static_cast<int>(std::size(confSections));
}

const char* SectionHeader(ConfigSection section) {
  return IsValidConfigSection(section) ? confSections[static_cast<int>(section)] : "";
}

std::optional<ConfigSection> SectionOfHeader(std::string_view line) {
  for (int id = 0; id < static_cast<int>(std::size(confSections)); ++id)
    if (strEqualNoCase(line, confSections[id])) return static_cast<ConfigSection>(id);
  return std::nullopt;
}

std::vector<ConfigPiece> SplitConfigPieces(std::string_view content) {
  std::vector<ConfigPiece> pieces;
  bool continuation = false;
  size_t at = 0;
  while (at < content.size()) {
    size_t limit = std::min(content.size() - at, kConfigLinePiece);
    std::string_view window = content.substr(at, limit);
    size_t newline = window.find('\n');
    size_t size = newline == std::string_view::npos ? limit : newline + 1;
    ConfigPiece piece;
    piece.raw = content.substr(at, size);
    piece.text = piece.raw;
    bool ended = !piece.text.empty() && piece.text.back() == '\n';
    if (ended) piece.text.remove_suffix(1);
    piece.continuation = continuation;
    pieces.push_back(piece);
    continuation = !ended;
    at += size;
  }
  return pieces;
}

bool IsConfigComment(std::string_view line) {
  if (line.empty()) return true;
  char first = line[0];
  return first == '#' || first == ' ' || first == ';' || strStartsWith(line, "//");
}

bool IsConfigSection(std::string_view line) {
  return !line.empty() && line[0] == '[';
}

bool HeaderOpensSection(std::string_view line, ConfigSection section) {
  return IsValidConfigSection(section) && strEqualNoCase(line, SectionHeader(section));
}

namespace {

/// What one piece of the file is.
enum class PieceKind { kOther, kComment, kHeader, kKey };

PieceKind Classify(const ConfigPiece& piece) {
  if (piece.continuation) return PieceKind::kOther;
  if (IsConfigComment(piece.text)) return PieceKind::kComment;
  if (IsConfigSection(piece.text)) return PieceKind::kHeader;
  if (piece.text.find('=') != std::string_view::npos) return PieceKind::kKey;
  return PieceKind::kOther;
}

std::string_view KeyOf(std::string_view line) {
  return line.substr(0, line.find('='));
}

std::string_view ValueOf(std::string_view line) {
  return line.substr(line.find('=') + 1);
}

}  // namespace

bool ConfigTextHasSection(std::string_view content, ConfigSection section) {
  for (const ConfigPiece& piece : SplitConfigPieces(content)) {
    if (Classify(piece) == PieceKind::kHeader && HeaderOpensSection(piece.text, section))
      return true;
  }
  return false;
}

bool FindConfigValueInText(std::string_view content, ConfigSection section,
                           std::string_view key, std::string* value) {
  bool in_section = false;
  for (const ConfigPiece& piece : SplitConfigPieces(content)) {
    switch (Classify(piece)) {
      case PieceKind::kHeader:
        in_section = HeaderOpensSection(piece.text, section);
        break;
      case PieceKind::kKey:
        if (in_section && strEqualNoCase(KeyOf(piece.text), key)) {
          value->assign(ValueOf(piece.text));
          return true;
        }
        break;
      default:
        break;
    }
  }
  return false;
}

std::string RewriteConfigText(std::string_view content, ConfigOp op, ConfigSection section,
                              std::string_view key, std::string_view value) {
  std::string out;
  out.reserve(content.size() + key.size() + value.size() + 2);
  bool done = false;
  bool in_section = false;
  // Set after a replaced or deleted line whose tail still follows in
  // further pieces: that tail belongs to the old value and goes with it.
  bool dropping_tail = false;
  for (const ConfigPiece& piece : SplitConfigPieces(content)) {
    if (piece.continuation && dropping_tail) continue;
    dropping_tail = false;
    PieceKind kind = done ? PieceKind::kOther : Classify(piece);
    if (kind == PieceKind::kHeader) {
      in_section = HeaderOpensSection(piece.text, section);
      out.append(piece.raw);
      if (op == ConfigOp::kInsert && in_section) {
        if (out.back() != '\n') out.push_back('\n');
        out.append(key).append("=").append(value).append("\n");
        done = true;
      }
      continue;
    }
    if (kind == PieceKind::kKey && in_section &&
        strEqualNoCase(KeyOf(piece.text), key) && op != ConfigOp::kInsert) {
      done = true;
      dropping_tail = piece.raw.back() != '\n';
      if (op == ConfigOp::kReplace)
        out.append(KeyOf(piece.text)).append("=").append(value).append("\n");
      continue;
    }
    out.append(piece.raw);
  }
  if (!out.empty() && out.back() != '\n') out.push_back('\n');
  // A key for a section the file lacks goes into that section, new at the
  // end, rather than nowhere.
  if (op == ConfigOp::kInsert && !done && IsValidConfigSection(section) &&
      !ConfigTextHasSection(content, section)) {
    const ConfigPair pair{std::string(key), std::string(value)};
    return AppendConfigSection(out, section, std::span<const ConfigPair>(&pair, 1));
  }
  return out;
}

std::string AppendConfigSection(std::string_view content, ConfigSection section,
                                std::span<const ConfigPair> pairs) {
  std::string out(content);
  if (!out.empty() && out.back() != '\n') out.push_back('\n');
  const bool ends_blank = out == "\n" || out.ends_with("\n\n");
  if (!out.empty() && !ends_blank) out.push_back('\n');
  out.append(SectionHeader(section)).append("\n");
  for (const ConfigPair& pair : pairs)
    out.append(pair.key).append("=").append(pair.value).append("\n");
  return out;
}

std::string ConfigEntryProblem(std::string_view key, std::string_view value) {
  if (key.empty()) return "the key is empty";
  if (key.find_first_of("=\n\r") != std::string_view::npos ||
      key.find('\0') != std::string_view::npos)
    return "the key holds a character a key line cannot carry";
  // The line is read back by its first characters before its "=".
  if (IsConfigComment(key)) return "the key would read as a comment";
  if (IsConfigSection(key)) return "the key would read as a section header";
  if (value.find('\n') != std::string_view::npos ||
      value.find('\0') != std::string_view::npos)
    return "the value holds a line break";
  if (key.size() + 1 + value.size() + 1 > kConfigLinePiece)
    return strFormat("the line would be longer than %zu characters",
                     kConfigLinePiece - 1);
  return std::string();
}

}  // namespace dusk
