// Arbitrary text as dusk.conf, with a key and a value to look up and write.
// The first byte picks the section (one value past the last is a section
// the file does not know); the next line is the key, the one after it the
// value, and the rest is the file.
//
// Whatever the text: its pieces put together are the text again; a lookup
// finds nothing in an unknown section and never returns a line break; a
// rewrite ends its text with a line break. For a key and value that
// ConfigEntryProblem accepts, writing them (replace when present, else
// insert) makes the lookup return that value, and writing them again
// changes nothing; replacing or deleting a key that is absent changes no
// line of the text.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "config/config_text.h"

namespace {

std::string_view TakeLine(std::string_view* text) {
  const size_t end = text->find('\n');
  std::string_view line = text->substr(0, end);
  text->remove_prefix(end == std::string_view::npos ? text->size() : end + 1);
  return line;
}

void CheckPieces(std::string_view content) {
  std::string joined;
  bool continuation = false;
  for (const dusk::ConfigPiece& piece : dusk::SplitConfigPieces(content)) {
    if (piece.raw.empty() || piece.raw.size() > dusk::kConfigLinePiece) abort();
    if (piece.continuation != continuation) abort();
    const bool ended = piece.raw.back() == '\n';
    if (piece.text != piece.raw.substr(0, piece.raw.size() - (ended ? 1 : 0))) abort();
    continuation = !ended;
    joined.append(piece.raw);
  }
  if (joined != content) abort();
}

// |content| as every rewrite leaves the lines it does not touch.
std::string Terminated(std::string_view content) {
  std::string text(content);
  if (!text.empty() && text.back() != '\n') text.push_back('\n');
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const auto section = static_cast<dusk::ConfigSection>(data[0] % 5);
  std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  const std::string_view key = TakeLine(&rest);
  const std::string_view value = TakeLine(&rest);
  const std::string_view content = rest;
  const bool known = dusk::IsValidConfigSection(section);

  CheckPieces(content);
  if (!known && dusk::ConfigTextHasSection(content, section)) abort();

  std::string found;
  const bool present = dusk::FindConfigValueInText(content, section, key, &found);
  if (present && (!known || found.find('\n') != std::string::npos)) abort();

  for (dusk::ConfigOp op : {dusk::ConfigOp::kInsert, dusk::ConfigOp::kReplace,
                            dusk::ConfigOp::kDelete}) {
    const std::string out = dusk::RewriteConfigText(content, op, section, key, value);
    if (!out.empty() && out.back() != '\n') abort();
    if (!present && op != dusk::ConfigOp::kInsert && out != Terminated(content)) abort();
  }

  if (!known || !dusk::ConfigEntryProblem(key, value).empty()) return 0;
  const dusk::ConfigOp write = present ? dusk::ConfigOp::kReplace : dusk::ConfigOp::kInsert;
  const std::string written = dusk::RewriteConfigText(content, write, section, key, value);
  std::string read_back;
  if (!dusk::FindConfigValueInText(written, section, key, &read_back) || read_back != value)
    abort();
  if (!dusk::ConfigTextHasSection(written, section)) abort();
  if (dusk::RewriteConfigText(written, dusk::ConfigOp::kReplace, section, key, value) != written)
    abort();
  return 0;
}
