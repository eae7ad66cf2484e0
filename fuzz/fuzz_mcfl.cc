// Arbitrary bytes as a downloaded media content file list: the whole walk
// the media download makes (header, options into a table, every entry) runs
// over them in memory. Nothing read may be longer than a line piece.

#include <cstdint>
#include <string>

#include "install/mcfl.h"
#include "log/log.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool quiet = (dusk::LogSilence(), true);
  (void)quiet;
  dusk::CMcfl list;
  if (!list.OpenText(std::string(reinterpret_cast<const char*>(data), size))) return 0;
  if (list.GetVersion().size() > dusk::kMcflVersionMax) __builtin_trap();
  dusk::AttrTable options(64);
  int count = list.GetOptions(options, (size & 1) != 0);
  if (count < options.size()) __builtin_trap();
  for (const dusk::Attr& option : options) {
    if (option.name.size() > dusk::kMcflOptionNameMax ||
        option.value.size() > dusk::kMcflOptionValueMax)
      __builtin_trap();
  }
  dusk::McflFile file;
  while (list.GetNextFile(&file)) {
    if (file.path.empty() || file.md5.empty() || file.path.size() > dusk::kMcflLineMax ||
        file.md5.size() > dusk::kMcflLineMax)
      __builtin_trap();
  }
  if (list.isOpen()) __builtin_trap();
  list.Close();
  return 0;
}
