#include "util/shell_quote.h"

namespace dusk {

namespace {

constexpr std::string_view kPlainPunctuation = "._-/:=,+@%";
/// What the shell still interprets between double quotes.
constexpr std::string_view kSpecialInDoubleQuotes = "$`\\\"";

bool IsPlainCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
         kPlainPunctuation.find(c) != std::string_view::npos;
}

}  // namespace

bool ShellWordIsPlain(std::string_view value) {
  if (value.empty()) return false;
  for (char c : value)
    if (!IsPlainCharacter(c)) return false;
  return true;
}

std::string ShellQuote(std::string_view value) {
  if (ShellWordIsPlain(value)) return std::string(value);
  if (!value.empty() && value.find_first_of(kSpecialInDoubleQuotes) == std::string_view::npos)
    return "\"" + std::string(value) + "\"";
  std::string quoted = "'";
  for (char c : value) {
    // A single quote cannot stand inside single quotes: the quoted part
    // ends, an escaped quote follows, and a new quoted part begins.
    if (c == '\'')
      quoted += "'\\''";
    else
      quoted += c;
  }
  quoted += '\'';
  return quoted;
}

}  // namespace dusk
