#include "peer/peer_faults.h"

#include <cstdio>
#include <sstream>

#include "util/strings.h"

namespace dusk::peer {

namespace {

std::vector<std::string> Words(std::string_view line) {
  std::vector<std::string> words;
  std::istringstream in{std::string(line)};
  std::string word;
  while (in >> word) words.push_back(word);
  return words;
}

bool IsNumber(const std::string& s) {
  if (s.empty() || s.size() > 6) return false;
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

/// One line as a fault; the error text when it is not one.
std::optional<Fault> ParseFaultLine(std::string_view line, std::string* error) {
  std::vector<std::string> words = Words(line);
  Fault fault;
  fault.line = std::string(line);
  if (!words.empty() && strStartsWith(words.back(), "times=")) {
    std::string count = words.back().substr(6);
    if (!IsNumber(count)) {
      *error = "bad times= count";
      return std::nullopt;
    }
    fault.times = strToInt(count);
    words.pop_back();
  }
  if (words.size() < 2 || words.size() > 3) {
    *error = "expected PATH MODE [ARG]";
    return std::nullopt;
  }
  fault.path = words[0];
  const std::string& mode = words[1];
  if (words.size() == 3) fault.arg = words[2];
  struct ModeName {
    const char* name;
    FaultMode mode;
    bool needs_arg;
    bool takes_arg;
  } static const kModes[] = {
      {"status", FaultMode::kStatus, true, true},
      {"empty200", FaultMode::kEmpty200, false, false},
      {"close-before-headers", FaultMode::kCloseBeforeHeaders, false, false},
      {"close", FaultMode::kClose, false, false},
      {"stall", FaultMode::kStall, false, true},
      {"endless", FaultMode::kEndless, false, false},
      {"raw", FaultMode::kRaw, true, true},
      {"dn", FaultMode::kDn, true, true},
      {"short-body", FaultMode::kShortBody, true, true},
      {"long-body", FaultMode::kLongBody, true, true},
      {"stall-halfway", FaultMode::kStallHalfway, false, true},
  };
  for (const ModeName& known : kModes) {
    if (mode != known.name) continue;
    if (fault.arg.empty() ? known.needs_arg : !known.takes_arg) {
      *error = known.needs_arg ? "mode " + mode + " needs an argument"
                               : "mode " + mode + " takes no argument";
      return std::nullopt;
    }
    // Every argument but a file name and a DN is a count.
    const bool numeric = known.mode != FaultMode::kRaw && known.mode != FaultMode::kDn;
    if (numeric && !fault.arg.empty() && !IsNumber(fault.arg)) {
      *error = "mode " + mode + " needs a number";
      return std::nullopt;
    }
    fault.mode = known.mode;
    return fault;
  }
  *error = "unknown mode " + mode;
  return std::nullopt;
}

}  // namespace

std::vector<Fault> ParseFaults(std::string_view text, std::vector<std::string>* errors) {
  std::vector<Fault> faults;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string line(text.substr(start, end - start));
    start = end + 1;
    strTrimRight(line, '\r');
    std::vector<std::string> words = Words(line);
    if (words.empty() || words[0][0] == '#') continue;
    std::string error;
    if (std::optional<Fault> fault = ParseFaultLine(line, &error))
      faults.push_back(std::move(*fault));
    else if (errors)
      errors->push_back("faults: " + error + ": " + line);
  }
  return faults;
}

void FaultBook::Load(std::string_view text) {
  if (text == text_) return;
  text_ = std::string(text);
  std::vector<std::string> errors;
  faults_ = ParseFaults(text_, &errors);
  used_.assign(faults_.size(), 0);
  for (const std::string& error : errors) fprintf(stderr, "kesta-peer: %s\n", error.c_str());
}

std::optional<Fault> FaultBook::Take(std::string_view path, std::string_view target) {
  for (size_t i = 0; i < faults_.size(); ++i) {
    const Fault& fault = faults_[i];
    if (fault.path != "*" && fault.path != path && fault.path != target) continue;
    int& used = used_[i];
    if (fault.times && used >= *fault.times) continue;
    ++used;
    return fault;
  }
  return std::nullopt;
}

}  // namespace dusk::peer
