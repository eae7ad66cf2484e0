#include "util/tcl_quote.h"

namespace dusk {

namespace {

/// How an element must be written.
enum class Quoting { kNone, kBraces, kEscapes };

Quoting ChooseQuoting(std::string_view element) {
  if (element.empty()) return Quoting::kBraces;
  bool forbid_none = false;     // the bare text would not read back
  bool prefer_braces = false;   // braces read best
  bool prefer_escapes = false;  // escapes read best
  bool require_escapes = false; // braces cannot work
  if (element[0] == '{' || element[0] == '"') {
    forbid_none = true;
    prefer_braces = true;
  }
  int nesting = 0;
  for (size_t i = 0; i < element.size(); ++i) {
    switch (element[i]) {
      case '{':
        ++nesting;
        break;
      case '}':
        // A closing brace before its opening one cannot be braced.
        if (--nesting < 0) require_escapes = true;
        break;
      case ']':
      case '"':
        forbid_none = true;
        prefer_escapes = true;
        break;
      case '[':
      case '$':
      case ';':
      case ' ':
      case '\f':
      case '\n':
      case '\r':
      case '\t':
      case '\v':
        forbid_none = true;
        prefer_braces = true;
        break;
      case '\\':
        if (i + 1 == element.size()) {
          // A final backslash would escape the closing brace.
          require_escapes = true;
          break;
        }
        if (element[i + 1] == '\n') {
          // Braces keep a backslash-newline, but it still joins lines when
          // the list is evaluated.
          require_escapes = true;
          ++i;
          break;
        }
        if (element[i + 1] == '{' || element[i + 1] == '}' || element[i + 1] == '\\') ++i;
        forbid_none = true;
        prefer_braces = true;
        break;
      default:
        break;
    }
  }
  if (nesting != 0) require_escapes = true;
  if (require_escapes) return Quoting::kEscapes;
  if (prefer_escapes && !prefer_braces) return Quoting::kEscapes;
  if (forbid_none) return Quoting::kBraces;
  return Quoting::kNone;
}

std::string Escaped(std::string_view element) {
  std::string out;
  out.reserve(element.size() * 2);
  for (char c : element) {
    switch (c) {
      case '\f':
        out += "\\f";
        continue;
      case '\n':
        out += "\\n";
        continue;
      case '\r':
        out += "\\r";
        continue;
      case '\t':
        out += "\\t";
        continue;
      case '\v':
        out += "\\v";
        continue;
      case '{':
      case '}':
      case '[':
      case ']':
      case '$':
      case ';':
      case ' ':
      case '\\':
      case '"':
        out.push_back('\\');
        break;
      default:
        break;
    }
    out.push_back(c);
  }
  return out;
}

}  // namespace

bool TclElementNeedsQuoting(std::string_view element) {
  return element.empty() || element[0] == '{' || element[0] == '"' ||
         element.find_first_of(" \t\n\r\f\v\\") != std::string_view::npos;
}

std::string TclQuoteElement(std::string_view element) {
  if (!TclElementNeedsQuoting(element)) return std::string(element);
  switch (ChooseQuoting(element)) {
    case Quoting::kNone:
      return std::string(element);
    case Quoting::kBraces:
      return "{" + std::string(element) + "}";
    case Quoting::kEscapes:
      return Escaped(element);
  }
  return std::string(element);
}

}  // namespace dusk
