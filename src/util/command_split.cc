#include "util/command_split.h"

#include <algorithm>

namespace dusk {

namespace {

constexpr char kBlank = ' ';

/// Index just past the token that starts at |start| (not a blank).
size_t TokenEnd(std::string_view line, size_t start) {
  const char first = line[start];
  if (first == '{') {
    size_t close = line.find('}', start + 1);
    return close == std::string_view::npos ? line.size() : close + 1;
  }
  if (first == '"') {
    for (size_t i = start + 1; i < line.size(); ++i)
      if (line[i] == '"' && line[i - 1] != '\\') return i + 1;
    return line.size();
  }
  size_t blank = line.find(kBlank, start);
  return blank == std::string_view::npos ? line.size() : blank;
}

/// Appends |piece| to |*out| as far as |max| characters allow.
void AppendCut(std::string* out, std::string_view piece, size_t max) {
  if (out->size() >= max) return;
  out->append(piece.substr(0, max - out->size()));
}

}  // namespace

std::string NextToken(std::string_view line, size_t* position) {
  size_t start = *position;
  while (start < line.size() && line[start] == kBlank) ++start;
  if (start >= line.size()) {
    *position = std::max(*position, line.size());
    return std::string();
  }
  const size_t end = TokenEnd(line, start);
  *position = end;
  return std::string(line.substr(start, std::min(end - start, kCommandTokenMax)));
}

void StripBraces(std::string* s) {
  if (s->size() >= 2 && s->front() == '{' && s->back() == '}') *s = s->substr(1, s->size() - 2);
}

void Unquote(std::string* s) {
  size_t first = s->find_first_not_of('"');
  if (first == std::string::npos) {
    s->clear();
    return;
  }
  s->erase(0, first);
  s->erase(s->find_last_not_of('"') + 1);
  for (size_t i = 1; i < s->size(); ++i)
    if ((*s)[i] == '"' && (*s)[i - 1] == '\\') s->erase(--i, 1);
}

void SplitCommand(std::string* line, std::string* command, AttrTable* options,
                  std::string* parameters, size_t command_max, size_t parameters_max) {
  command->clear();
  parameters->clear();
  options->Clear();
  size_t first = line->find_first_not_of(kBlank);
  if (first == std::string::npos) {
    line->clear();
    return;
  }
  line->erase(line->find_last_not_of(kBlank) + 1);
  line->erase(0, first);

  size_t position = 0;
  std::string word = NextToken(*line, &position);
  Unquote(&word);
  if (word.empty()) return;
  AppendCut(command, word, command_max);

  std::string token;
  for (;;) {
    token = NextToken(*line, &position);
    if (token.empty()) return;
    if (token.front() != '-') break;
    std::string value = NextToken(*line, &position);
    StripBraces(&value);
    Unquote(&value);
    options->Set(token, value);
  }
  // From the first parameter on, every token is a parameter, kept as taken.
  AppendCut(parameters, token, parameters_max);
  for (;;) {
    token = NextToken(*line, &position);
    if (token.empty() || parameters->size() >= parameters_max) return;
    AppendCut(parameters, " ", parameters_max);
    AppendCut(parameters, token, parameters_max);
  }
}

}  // namespace dusk
