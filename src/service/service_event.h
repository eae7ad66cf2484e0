#ifndef DUSK_SERVICE_SERVICE_EVENT_H_
#define DUSK_SERVICE_SERVICE_EVENT_H_

#include <array>

namespace dusk {

/// What a signal asks of the running service.
enum class ServiceEvent : int {
  kNone = 0,
  kStop = 1,
  kPause = 2,
  kResume = 3,
  kInterrupt = 4,
};

/// Name of each event, in event order, then an empty text.
inline constexpr std::array<const char*, 6> eventName = {
    "None", "Stop", "Pause", "Resume", "Interrupt", ""};

/// Name of |event|; "" for a value outside the table.
inline const char* EventName(ServiceEvent event) {
  const int id = static_cast<int>(event);
  return id >= 0 && id <= static_cast<int>(ServiceEvent::kInterrupt) ? eventName[id] : "";
}

}  // namespace dusk

#endif  // DUSK_SERVICE_SERVICE_EVENT_H_
