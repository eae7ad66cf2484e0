#include "util/program.h"

#include <unistd.h>

#include <climits>
#include <cstdio>

#include "util/files.h"
#include "util/product.h"

namespace dusk {

std::string cmdPath;

void GetProgramPaths(const std::string& proc_root, const char* argv0,
                     std::string* cmd_path_out, std::string* install_path_out) {
  if (cmd_path_out == nullptr) return;
  cmd_path_out->clear();
  if (install_path_out) install_path_out->clear();

  std::string link = proc_root + "/" + std::to_string(getpid()) + "/exe";
  char target[PATH_MAX];
  ssize_t size = readlink(link.c_str(), target, sizeof target - 1);
  if (size > 0) cmd_path_out->assign(target, static_cast<size_t>(size));

  if (cmd_path_out->empty()) {
    *cmd_path_out = CommandPathFromArgv0(argv0 ? argv0 : "", GetCwd());
    if (cmd_path_out->empty()) return;
  }
  if (install_path_out) {
    size_t slash = cmd_path_out->rfind('/');
    *install_path_out = slash == std::string::npos ? "." : cmd_path_out->substr(0, slash);
  }
}

std::string CommandPathFromArgv0(std::string_view argv0, const std::string& cwd) {
  if (argv0.empty()) return std::string();
  if (argv0[0] == '/') return std::string(argv0);
  if (argv0.substr(0, 2) == "./") argv0.remove_prefix(2);
  return cwd + "/" + std::string(argv0);
}

bool GetBuildVersion(std::string* major, std::string* minor, std::string* build,
                     std::string* revision) {
  if (major) *major = kDuskMajor;
  if (minor) *minor = kDuskMinor;
  if (build) *build = kDuskBuild;
  if (revision) *revision = kDuskRevision;
  return true;
}

const char* OSTypeName(int id) {
  static const struct {
    int id;
    const char* name;
  } kNames[] = {{0, "Unsupported"},        {17, "Windows XP"},
                {33, "Windows Vista"},     {49, "Windows XPe"},
                {50, "Windows CE"},        {53, "Linux ThinClient"},
                {65, "Windows Server 2003"}, {66, "Windows Server 2008"},
                {81, "Linux"}};
  for (const auto& entry : kNames)
    if (entry.id == id) return entry.name;
  return kNames[0].name;
}

int GetOSName(std::string* name) {
  if (name) *name = OSTypeName(kOSTypeId);
  return kOSTypeId;
}

}  // namespace dusk
