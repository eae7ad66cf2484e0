#include "app/md5_command.h"

#include "crypto/md5.h"
#include "log/log.h"
#include "util/files.h"

namespace dusk {

bool MD5FileDigest(const std::string& file) {
  LogMessage(kLogTrace, "MD5FileDigest: filename=%s", file.c_str());
  if (file.empty()) {
    LogMessage(kLogWarn | kLogConsoleFlag, "Must specify a filename");
    return false;
  }
  if (!FileExists(file)) {
    LogMessage(kLogWarn | kLogConsoleFlag, "Filename specified %s does not exist", file.c_str());
    return false;
  }
  std::string digest = MD5Digest(file);
  if (digest.empty()) {
    LogMessage(kLogError | kLogConsoleFlag, "Failed to generate MD5 for file %s", file.c_str());
    return false;
  }
  LogMessage(kLogInfo | kLogConsoleFlag, "MD5 for %s is %s", file.c_str(), digest.c_str());
  return true;
}

}  // namespace dusk
