#include "app/progress_meter.h"

#include <chrono>
#include <cmath>

#include "util/strings.h"

namespace dusk {

std::string ByteCount(int64_t bytes) {
  static const char* const kUnits[] = {"KiB", "MiB", "GiB", "TiB"};
  if (bytes < 1024) return strFormat("%lld B", static_cast<long long>(bytes));
  double value = static_cast<double>(bytes) / 1024;
  size_t unit = 0;
  while (value >= 1024 && unit + 1 < sizeof kUnits / sizeof kUnits[0]) {
    value /= 1024;
    ++unit;
  }
  return strFormat("%.1f %s", value, kUnits[unit]);
}

namespace {

/// |seconds| as "M:SS", or "H:MM:SS" from an hour on.
std::string Duration(int64_t seconds) {
  if (seconds >= 3600)
    return strFormat("%lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                     static_cast<long long>(seconds / 60 % 60),
                     static_cast<long long>(seconds % 60));
  return strFormat("%lld:%02lld", static_cast<long long>(seconds / 60),
                   static_cast<long long>(seconds % 60));
}

}  // namespace

std::string MeterLine(const FileArrival& arrival, size_t width) {
  const bool sized = arrival.size > 0;
  std::string figures = "  " + ByteCount(arrival.received);
  if (sized) {
    figures += " of " + ByteCount(arrival.size);
    figures += strFormat("  %d%%", static_cast<int>(arrival.received * 100 / arrival.size));
  }
  const double seconds = std::chrono::duration<double>(arrival.elapsed).count();
  if (seconds > 0 && arrival.received > 0) {
    const double rate = arrival.received / seconds;
    figures += "  " + ByteCount(static_cast<int64_t>(rate)) + "/s";
    // Rounded up: "0:00 left" would claim the file is there.
    if (sized && arrival.received <= arrival.size)
      figures += "  " +
                 Duration(static_cast<int64_t>(std::ceil((arrival.size - arrival.received) / rate))) +
                 " left";
  }
  // The name gives way first: its end tells the files of a list apart.
  std::string name(arrival.file);
  if (figures.size() >= width) return figures.substr(0, width);
  const size_t room = width - figures.size();
  if (name.size() > room) name = room > 3 ? "..." + name.substr(name.size() - (room - 3)) : "";
  return name + figures;
}

}  // namespace dusk
