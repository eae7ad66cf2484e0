#include "service/session_reporter.h"

namespace dusk {

void SessionReporter::Progress(std::string_view text) {
  SendSessionMessage(session_, text, "info");
}

void SessionReporter::Event(std::string_view type, std::string_view text) {
  SendSessionEvent(session_, type, text);
}

}  // namespace dusk
