#include "http/http_parse.h"

#include <climits>

namespace dusk {

namespace {

/// White space as the C library's scanner skips it in the "C" locale.
bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

void SkipBlanks(std::string_view s, size_t* at) {
  while (*at < s.size() && IsBlank(s[*at])) ++*at;
}

/// A decimal number with an optional sign from |at|, using at most |width|
/// characters (sign included); the value saturates at the int limits.
std::optional<long long> ScanNumber(std::string_view s, size_t* at, size_t width) {
  size_t i = *at;
  size_t end = width < s.size() - i ? i + width : s.size();
  bool negative = false;
  if (i < end && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  if (i >= end || !IsDigit(s[i])) return std::nullopt;
  long long value = 0;
  while (i < end && IsDigit(s[i])) {
    if (value <= INT_MAX) value = value * 10 + (s[i] - '0');
    ++i;
  }
  *at = i;
  if (negative) return value > INT_MAX ? static_cast<long long>(INT_MIN) : -value;
  return value > INT_MAX ? INT_MAX : value;
}

}  // namespace

const char* HttpVerbWord(int verb) {
  switch (verb) {
    case kHttpGet: return "GET";
    case kHttpPost: return "POST";
    default: return nullptr;
  }
}

std::string BuildRequestHead(std::string_view verb_word, std::string_view url,
                             std::string_view extra_headers, size_t body_length) {
  std::string head;
  head.append(verb_word).append(" ").append(url.substr(0, kHttpUrlMax));
  head.append(" HTTP/1.0\r\nUser-Agent: ").append(http_user_agent).append("\r\n");
  head.append(extra_headers);
  if (body_length != 0) head.append("Content-length: " + std::to_string(body_length) + "\r\n");
  head.append("\r\n");
  return head;
}

void AppendExtraHeaders(std::string* headers, std::string_view text) {
  if (headers->size() >= kHttpExtraHeadersMax) return;
  headers->append(text.substr(0, kHttpExtraHeadersMax - headers->size()));
}

LineCut CutLine(std::string_view input, size_t budget, std::string* line) {
  LineCut cut;
  while (cut.consumed < budget && cut.consumed < input.size()) {
    char c = input[cut.consumed++];
    if (c == '\n') {
      cut.ended = true;
      break;
    }
    if (c != '\r') line->push_back(c);
  }
  return cut;
}

std::optional<int> ScanStatusLine(std::string_view line) {
  constexpr std::string_view kPrefix = "HTTP/1.";
  if (line.substr(0, kPrefix.size()) != kPrefix) return std::nullopt;
  size_t at = kPrefix.size();
  SkipBlanks(line, &at);
  if (!ScanNumber(line, &at, std::string_view::npos)) return std::nullopt;
  SkipBlanks(line, &at);
  std::optional<long long> status = ScanNumber(line, &at, 3);
  if (!status || *status < 1) return std::nullopt;
  return static_cast<int>(*status);
}

std::optional<int> ScanContentLength(std::string_view line) {
  constexpr std::string_view kName = "content-length:";
  if (line.size() < kName.size()) return std::nullopt;
  for (size_t i = 0; i < kName.size(); ++i)
    if (LowerAscii(line[i]) != kName[i]) return std::nullopt;
  size_t at = kName.size();
  SkipBlanks(line, &at);
  std::optional<long long> value = ScanNumber(line, &at, std::string_view::npos);
  if (!value) return std::nullopt;
  return static_cast<int>(*value);
}

}  // namespace dusk
