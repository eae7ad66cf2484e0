// Arbitrary bytes as the command line of a request. The first byte picks
// the sizes the caller gives, so cut outputs are tried as well as whole
// ones. Whatever the line, the split ends, the outputs keep to those sizes
// and the table to its slots, and the line comes back without outer blanks.

#include <cstdint>
#include <cstdlib>
#include <string>

#include "util/attr_table.h"
#include "util/command_split.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const size_t command_max = data[0] & 0x0f ? data[0] & 0x0f : 2047;
  const size_t parameters_max = data[0] >> 4 ? (data[0] >> 4) * 3 : 2047;
  std::string line(reinterpret_cast<const char*>(data) + 1, size - 1);

  std::string command, parameters;
  dusk::AttrTable options(4);
  dusk::SplitCommand(&line, &command, &options, &parameters, command_max, parameters_max);
  if (command.size() > command_max || parameters.size() > parameters_max) abort();
  if (options.size() > options.capacity()) abort();
  if (!line.empty() && (line.front() == ' ' || line.back() == ' ')) abort();
  if (command.empty() && (!parameters.empty() || !options.empty())) abort();
  for (const dusk::Attr& option : options)
    if (option.name.empty() || option.name[0] != '-') abort();

  // Tokens never come back empty before the end, and the position only
  // moves forward.
  size_t position = 0, before = 0;
  for (std::string token = dusk::NextToken(line, &position); !token.empty();
       token = dusk::NextToken(line, &position)) {
    if (position <= before || token.size() > dusk::kCommandTokenMax) abort();
    before = position;
  }
  return 0;
}
