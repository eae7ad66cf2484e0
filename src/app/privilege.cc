#include "app/privilege.h"

#include <unistd.h>

#include "util/product.h"
#include "util/strings.h"

namespace dusk {

namespace {

std::optional<uid_t>& UidForTesting() {
  static std::optional<uid_t> uid;
  return uid;
}

}  // namespace

uid_t EffectiveUid() { return UidForTesting().value_or(geteuid()); }

void SetEffectiveUidForTesting(std::optional<uid_t> uid) { UidForTesting() = uid; }

bool CommandNeedsRoot(const Options& options) {
  const std::string_view command = CommandOption(options);
  return command.empty() || command == "-confinit" || command == "-confupdate" ||
         command == "-instagent" || command == "-uninstagent" || command == "-stop" ||
         command == "-pause" || command == "-resume" || command == "-interrupt";
}

std::string RootRefusal(const Options& options) {
  const uid_t uid = EffectiveUid();
  if (uid == 0 || !CommandNeedsRoot(options)) return "";
  const std::string command = CommandOption(options);
  if (command.empty())
    return strFormat("The %s Service must be started by root, not by uid %u", kServiceName,
                     static_cast<unsigned>(uid));
  return strFormat("dusk %s must be run by root, not by uid %u", command.c_str(),
                   static_cast<unsigned>(uid));
}

}  // namespace dusk
