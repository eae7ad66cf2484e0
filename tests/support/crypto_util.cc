#include "support/crypto_util.h"

#include <unistd.h>

#include <cstdlib>
#include <string>
#include <string_view>

#include "support/test_util.h"

namespace dusk::test {

std::string ToHex(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (unsigned char c : bytes) {
    hex += kDigits[c >> 4];
    hex += kDigits[c & 15];
  }
  return hex;
}

std::string FromHex(std::string_view hex) {
  std::string bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 2)
    bytes += static_cast<char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16));
  return bytes;
}

std::string RandomBytes(std::mt19937& random, size_t n) {
  std::string bytes(n, '\0');
  for (char& c : bytes) c = static_cast<char>(random());
  return bytes;
}

std::string OpensslPath() {
  const char* path = getenv("PATH");
  std::string_view dirs = path ? path : "/usr/bin:/bin";
  while (!dirs.empty()) {
    size_t colon = dirs.find(':');
    std::string candidate = std::string(dirs.substr(0, colon)) + "/openssl";
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
    if (colon == std::string_view::npos) break;
    dirs.remove_prefix(colon + 1);
  }
  return std::string();
}

std::optional<std::string> OpensslEnc(const std::vector<std::string>& args,
                                      const std::string& input) {
  TempDir dir;
  WriteFile(dir / "in", input);
  std::vector<std::string> argv = {OpensslPath(), "enc"};
  argv.insert(argv.end(), args.begin(), args.end());
  argv.insert(argv.end(), {"-in", dir / "in", "-out", dir / "out"});
  if (RunProgram(argv).status != 0) return std::nullopt;
  return ReadFile(dir / "out");
}

std::optional<std::string> OpensslMd5(const std::string& path) {
  ProgramResult result = RunProgram({OpensslPath(), "dgst", "-md5", "-r", path});
  if (result.status != 0 || result.out.size() < 32) return std::nullopt;
  return result.out.substr(0, 32);
}

}  // namespace dusk::test
