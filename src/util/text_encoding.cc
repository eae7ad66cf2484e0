#include "util/text_encoding.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "util/report.h"
#include "util/strings.h"

namespace dusk {

namespace {

constexpr std::array<bool, 256> kUnreserved = [] {
  std::array<bool, 256> unreserved{};
  for (int c = 0; c < 256; ++c) {
    unreserved[c] = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                    (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' || c == '~';
  }
  return unreserved;
}();

/// Appends the encoding of one byte.
void EncodeByte(unsigned char c, std::string& out) {
  static constexpr char kDigits[] = "0123456789abcdef";
  if (c == ' ') {
    out += '+';
  } else if (c == '\n') {
    out += "%0d%0a";
  } else if (kUnreserved[c]) {
    out += static_cast<char>(c);
  } else {
    out += '%';
    out += kDigits[c >> 4];
    out += kDigits[c & 0x0f];
  }
}

std::string_view TrimBlanks(std::string_view s) {
  size_t first = s.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

/// Appends |separator| and the encoding of |field| to |data|, one
/// character at a time, as long as it fits |max|. False when something had
/// to be left out; a separator with nothing after it is taken back.
bool AppendEncoded(std::string_view separator, std::string_view field, size_t max,
                   std::string& data) {
  const size_t start = data.size();
  if (data.size() + separator.size() > max) return false;
  data += separator;
  std::string piece;
  for (char c : field) {
    piece.clear();
    EncodeByte(static_cast<unsigned char>(c), piece);
    if (data.size() + piece.size() > max) {
      if (data.size() == start + separator.size()) data.resize(start);
      return false;
    }
    data += piece;
  }
  return true;
}

}  // namespace

std::string HttpEncode(std::string_view source) {
  std::string out;
  out.reserve(source.size());
  for (char c : source) EncodeByte(static_cast<unsigned char>(c), out);
  return out;
}

std::string BuildEventRecordAt(std::time_t now, std::string_view type, std::string_view text,
                               std::string_view field2, std::string_view field3,
                               std::string_view field4, size_t record_max) {
  char stamp[64] = "";
  struct tm utc;
  if (gmtime_r(&now, &utc) != nullptr) strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%SZ", &utc);

  // Room for the data once the time stamp, the type and the three
  // separators are in; an over-long type gives way first.
  const size_t fixed = strlen(stamp) + 3;
  if (fixed + type.size() > record_max)
    type = type.substr(0, record_max > fixed ? record_max - fixed : 0);
  const size_t room = record_max > fixed + type.size() ? record_max - fixed - type.size() : 0;
  const size_t max = std::min(room, kEventDataMax);

  std::string data;
  bool fits = true;
  if (std::string_view t = TrimBlanks(text); !t.empty()) fits = AppendEncoded("", t, max, data);
  for (std::string_view field : {field2, field3, field4}) {
    std::string_view f = TrimBlanks(field);
    if (fits && !f.empty()) fits = AppendEncoded(",", f, max, data);
  }

  std::string record;
  record.reserve(fixed + type.size() + data.size());
  record.append(stamp).append("|").append(type).append("|").append(data).append("|");
  return record;
}

std::string BuildEventRecord(std::string_view type, std::string_view text,
                             std::string_view field2, std::string_view field3,
                             std::string_view field4, size_t record_max) {
  return BuildEventRecordAt(std::time(nullptr), type, text, field2, field3, field4, record_max);
}

std::string& strSubst(std::string& text, const AttrTable& table) {
  if (text.empty()) return text;
  const std::string original = text;
  for (const Attr& pair : table) {
    if (pair.name.empty()) continue;
    const std::string tag = "<" + strLowerCopy(pair.name) + ">";
    size_t from = 0;
    for (;;) {
      size_t found = strLowerCopy(text).find(tag, from);
      if (found == std::string::npos) break;
      text.replace(found, tag.size(), pair.value);
      from = found + pair.value.size();
      if (text.size() > kSubstTextMax) text.resize(kSubstTextMax);
      if (from >= text.size()) break;
    }
  }
  if (text != original) {
    Report(kLogDebug, "strSubst: %s", original.c_str());
    Report(kLogDebug, "          %s", text.c_str());
  }
  return text;
}

std::string XmlEscape(std::string_view source) {
  std::string out;
  out.reserve(source.size());
  for (char c : source) {
    switch (c) {
      case '"': out += "&quot;"; break;
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      default: out += c; break;
    }
  }
  return out;
}

}  // namespace dusk
