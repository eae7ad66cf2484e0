#include "peer/peer_tcl.h"

#include <cstdint>

namespace dusk::peer {

namespace {

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

void AppendUtf8(uint32_t code, std::string* out) {
  if (code < 0x80) {
    out->push_back(static_cast<char>(code));
  } else if (code < 0x800) {
    out->push_back(static_cast<char>(0xc0 | (code >> 6)));
    out->push_back(static_cast<char>(0x80 | (code & 0x3f)));
  } else if (code < 0x10000) {
    out->push_back(static_cast<char>(0xe0 | (code >> 12)));
    out->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3f)));
    out->push_back(static_cast<char>(0x80 | (code & 0x3f)));
  } else {
    out->push_back(static_cast<char>(0xf0 | (code >> 18)));
    out->push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3f)));
    out->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3f)));
    out->push_back(static_cast<char>(0x80 | (code & 0x3f)));
  }
}

/// Replaces the backslash sequence at |text|[|at|] (a backslash) and moves
/// |at| past it.
void Unescape(std::string_view text, size_t* at, std::string* out) {
  size_t i = *at + 1;
  if (i >= text.size()) {
    out->push_back('\\');
    *at = i;
    return;
  }
  char c = text[i++];
  auto hex = [&](size_t max_digits) {
    uint32_t value = 0;
    size_t digits = 0;
    while (digits < max_digits && i < text.size() && HexValue(text[i]) >= 0) {
      value = value * 16 + static_cast<uint32_t>(HexValue(text[i++]));
      ++digits;
    }
    return std::make_pair(value, digits);
  };
  switch (c) {
    case 'a': out->push_back('\a'); break;
    case 'b': out->push_back('\b'); break;
    case 'f': out->push_back('\f'); break;
    case 'n': out->push_back('\n'); break;
    case 'r': out->push_back('\r'); break;
    case 't': out->push_back('\t'); break;
    case 'v': out->push_back('\v'); break;
    case 'x': {
      auto [value, digits] = hex(2);
      if (digits == 0) out->push_back('x');
      else AppendUtf8(value, out);
      break;
    }
    case 'u':
    case 'U': {
      auto [value, digits] = hex(c == 'u' ? 4 : 8);
      if (digits == 0) out->push_back(c);
      else AppendUtf8(value > 0x10ffff ? 0xfffd : value, out);
      break;
    }
    case '\n':
      // A backslash-newline and the blanks after it are one blank.
      while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
      out->push_back(' ');
      break;
    default:
      if (c >= '0' && c <= '7') {
        uint32_t value = static_cast<uint32_t>(c - '0');
        for (int k = 0; k < 2 && i < text.size() && text[i] >= '0' && text[i] <= '7'; ++k)
          value = value * 8 + static_cast<uint32_t>(text[i++] - '0');
        AppendUtf8(value & 0xff, out);
      } else {
        out->push_back(c);
      }
  }
  *at = i;
}

}  // namespace

bool ParseTclList(std::string_view list, std::vector<std::string>* elements,
                  std::string* error) {
  elements->clear();
  error->clear();
  size_t at = 0;
  for (;;) {
    while (at < list.size() && IsSpace(list[at])) ++at;
    if (at >= list.size()) return true;
    std::string element;
    if (list[at] == '{') {
      int depth = 1;
      size_t start = ++at;
      while (at < list.size()) {
        char c = list[at];
        if (c == '\\' && at + 1 < list.size()) {
          at += 2;  // an escaped brace does not count
          continue;
        }
        if (c == '{') ++depth;
        if (c == '}' && --depth == 0) break;
        ++at;
      }
      if (depth != 0) {
        *error = "unmatched open brace in list";
        return false;
      }
      element.assign(list.substr(start, at - start));
      ++at;
      if (at < list.size() && !IsSpace(list[at])) {
        *error = "list element in braces followed by \"" +
                 std::string(list.substr(at, 20)) + "\" instead of space";
        return false;
      }
    } else if (list[at] == '"') {
      ++at;
      while (at < list.size() && list[at] != '"') {
        if (list[at] == '\\')
          Unescape(list, &at, &element);
        else
          element.push_back(list[at++]);
      }
      if (at >= list.size()) {
        *error = "unmatched open quote in list";
        return false;
      }
      ++at;
      if (at < list.size() && !IsSpace(list[at])) {
        *error = "list element in quotes followed by \"" +
                 std::string(list.substr(at, 20)) + "\" instead of space";
        return false;
      }
    } else {
      while (at < list.size() && !IsSpace(list[at])) {
        if (list[at] == '\\')
          Unescape(list, &at, &element);
        else
          element.push_back(list[at++]);
      }
    }
    elements->push_back(std::move(element));
  }
}

std::vector<std::string> SplitTclList(std::string_view list) {
  std::vector<std::string> elements;
  std::string error;
  ParseTclList(list, &elements, &error);
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
