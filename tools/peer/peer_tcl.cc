#include "peer/peer_tcl.h"

namespace dusk::peer {

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

}  // namespace

std::vector<std::string> SplitTclList(std::string_view list) {
  std::vector<std::string> elements;
  size_t at = 0;
  while (at < list.size()) {
    while (at < list.size() && IsSpace(list[at])) ++at;
    if (at >= list.size()) break;
    if (list[at] == '{') {
      size_t depth = 1, start = ++at;
      while (at < list.size() && depth > 0) {
        if (list[at] == '{') ++depth;
        if (list[at] == '}') --depth;
        ++at;
      }
      elements.emplace_back(list.substr(start, depth == 0 ? at - 1 - start : at - start));
    } else {
      size_t start = at;
      while (at < list.size() && !IsSpace(list[at])) ++at;
      elements.emplace_back(list.substr(start, at - start));
    }
  }
  return elements;
}

std::vector<std::pair<std::string, std::string>> TclAttrPairs(std::string_view list) {
  std::vector<std::string> elements = SplitTclList(list);
  std::vector<std::pair<std::string, std::string>> pairs;
  for (size_t i = 0; i < elements.size(); i += 2)
    pairs.emplace_back(elements[i], i + 1 < elements.size() ? elements[i + 1] : "");
  return pairs;
}

std::optional<std::string> TclAttr(const std::vector<std::string>& elements,
                                   std::string_view name) {
  std::optional<std::string> value;
  for (size_t i = 0; i + 1 < elements.size(); i += 2)
    if (elements[i] == name) value = elements[i + 1];
  return value;
}

}  // namespace dusk::peer
