// Arbitrary bytes as the body of a request, read the way kesta-peer reads
// it; and the same bytes cut at NULs into elements, quoted the way dusk
// quotes them: the list they make reads back as exactly those elements.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "peer/peer_tcl.h"
#include "util/tcl_quote.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);

  std::vector<std::string> elements;
  std::string error;
  if (!dusk::peer::ParseTclList(bytes, &elements, &error) && error.empty()) abort();
  dusk::peer::TclAttrPairs(bytes);

  std::vector<std::string> sent;
  std::string list;
  for (size_t start = 0; start <= bytes.size();) {
    const size_t end = std::min(bytes.find('\0', start), bytes.size());
    sent.emplace_back(bytes.substr(start, end - start));
    if (sent.size() > 1) list += ' ';
    list += dusk::TclQuoteElement(sent.back());
    start = end + 1;
  }
  std::vector<std::string> read_back;
  if (!dusk::peer::ParseTclList(list, &read_back, &error) || read_back != sent) abort();
  return 0;
}
