#ifndef DUSK_SERVICE_SERVICE_EVENT_H_
#define DUSK_SERVICE_SERVICE_EVENT_H_

#include <array>

namespace dusk {

/// What a signal asks of the running service.
enum ServiceEvent : int {
  kEventNone = 0,
  kEventStop = 1,
  kEventPause = 2,
  kEventResume = 3,
  kEventInterrupt = 4,
};

/// Name of each event, in event order, then an empty text.
inline constexpr std::array<const char*, 6> eventName = {
    "None", "Stop", "Pause", "Resume", "Interrupt", ""};

/// Name of |event|; "" for a value outside the table.
inline const char* EventName(int event) {
  return event >= kEventNone && event <= kEventInterrupt ? eventName[event] : "";
}

}  // namespace dusk

#endif  // DUSK_SERVICE_SERVICE_EVENT_H_
