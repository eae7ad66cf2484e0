#include "app/console_reporter.h"

#include <string>

#include "log/log.h"
#include "util/text_encoding.h"

namespace dusk {

void ConsoleReporter::Event(std::string_view type, std::string_view text) {
  const std::string record = BuildEventRecord(type, text, {}, {}, {});
  LogMessage(kLogDebug, "Event: %s", record.c_str());
}

}  // namespace dusk
