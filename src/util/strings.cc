#include "util/strings.h"

#include <cctype>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <strings.h>

namespace dusk {

int strToInt(std::string_view s) {
  size_t i = 0;
  while (i < s.size() && isspace(static_cast<unsigned char>(s[i]))) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) {
    negative = s[i] == '-';
    ++i;
  }
  if (i >= s.size() || !isdigit(static_cast<unsigned char>(s[i]))) return 0;
  long long value = 0;
  for (; i < s.size() && isdigit(static_cast<unsigned char>(s[i])); ++i) {
    value = value * 10 + (s[i] - '0');
    if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
  }
  if (negative) value = -value;
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

std::string intToStr(int n) { return std::to_string(n); }

bool strToBool(std::string_view s) {
  return s == "1" || strEqualNoCase(s, "true");
}

std::string& strToLower(std::string& s) {
  for (char& c : s) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string strLowerCopy(std::string_view s) {
  std::string copy(s);
  return strToLower(copy);
}

std::string& strTrimRight(std::string& s, char c) {
  size_t end = s.find_last_not_of(c);
  s.erase(end == std::string::npos ? 0 : end + 1);
  return s;
}

std::string& strTrimLeft(std::string& s, char c) {
  size_t begin = s.find_first_not_of(c);
  s.erase(0, begin == std::string::npos ? s.size() : begin);
  return s;
}

std::string& strTrim(std::string& s, char c) {
  return strTrimLeft(strTrimRight(s, c), c);
}

std::string& strChompChar(std::string& s, char c) {
  if (!s.empty() && s.back() == c) s.pop_back();
  return s;
}

std::string& strChomp(std::string& s) { return strChompChar(s, '\n'); }

int strFindChar(std::string_view s, char c, int start) {
  if (start < 0 || static_cast<size_t>(start) >= s.size()) return -1;
  size_t at = s.find(c, static_cast<size_t>(start));
  return at == std::string_view::npos ? -1 : static_cast<int>(at);
}

std::string& strReplaceChar(std::string& s, char from, char to) {
  for (char& c : s)
    if (c == from) c = to;
  return s;
}

std::string strLeft(std::string_view s, size_t n) {
  return std::string(s.substr(0, n));
}

std::string strMid(std::string_view s, size_t start, size_t n) {
  if (start > s.size()) return std::string();
  return std::string(s.substr(start, n));
}

std::string strRight(std::string_view s, size_t n) {
  return std::string(n >= s.size() ? s : s.substr(s.size() - n));
}

bool strEqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (tolower(static_cast<unsigned char>(a[i])) !=
        tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

bool strStartsWith(std::string_view s, std::string_view prefix) {
  return s.substr(0, prefix.size()) == prefix;
}

std::string strCut(std::string_view s, size_t max) {
  return std::string(s.substr(0, max));
}

std::string strFormat(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  int needed = vsnprintf(nullptr, 0, format, args);
  va_end(args);
  std::string out;
  if (needed > 0) {
    out.resize(static_cast<size_t>(needed));
    vsnprintf(out.data(), out.size() + 1, format, again);
  }
  va_end(again);
  return out;
}

}  // namespace dusk
