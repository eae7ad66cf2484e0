// Arbitrary bytes as dusk.conf text, with a key and a value to set in it.
// The first byte picks the section and the operation; the key and the value
// follow, each ended by a NUL; the rest is the file. Whatever the file, the
// readers end, and an entry that ConfigEntryProblem lets through reads back
// as itself once written.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "config/config_text.h"

namespace {

// The next NUL-ended field of |rest|, which loses it; the whole of |rest|
// when it holds no NUL.
std::string_view TakeField(std::string_view* rest) {
  const size_t end = rest->find('\0');
  const std::string_view field = rest->substr(0, end);
  rest->remove_prefix(end == std::string_view::npos ? rest->size() : end + 1);
  return field;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using dusk::ConfigOp;
  using dusk::ConfigSection;
  if (size == 0) return 0;
  const auto section = static_cast<ConfigSection>(data[0] & 0x03);
  const auto op = static_cast<ConfigOp>((data[0] >> 2) % 3);
  std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  const std::string_view key = TakeField(&rest);
  const std::string_view value = TakeField(&rest);
  const std::string_view content = rest;

  size_t pieces = 0;
  for (const dusk::ConfigPiece& piece : dusk::SplitConfigPieces(content)) {
    if (piece.text.size() > piece.raw.size()) abort();
    pieces += piece.raw.size();
  }
  if (pieces != content.size()) abort();  // every byte belongs to one piece

  std::string before;
  const bool found = dusk::FindConfigValueInText(content, section, key, &before);
  if (!dusk::ConfigEntryProblem(key, value).empty()) return 0;

  const std::string after = dusk::RewriteConfigText(content, op, section, key, value);
  std::string read_back;
  const bool found_after = dusk::FindConfigValueInText(after, section, key, &read_back);
  const bool written = op == ConfigOp::kReplace ? found : op == ConfigOp::kInsert;
  if (written && (!found_after || read_back != value)) abort();
  if (!dusk::ConfigTextHasSection(after, section) && op == ConfigOp::kInsert) abort();
  return 0;
}
