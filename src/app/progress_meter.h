#ifndef DUSK_APP_PROGRESS_METER_H_
#define DUSK_APP_PROGRESS_METER_H_

// The one-line meter of a file that arrives, drawn on a terminal while a
// command downloads: the file, the bytes so far, the share of the whole and
// the time left when the size is known, and the rate.

#include <cstddef>
#include <string>

#include "install/install_report.h"

namespace dusk {

/// The meter of |arrival| in at most |width| columns (the file's name is
/// cut at its front to make room), for example
/// "bin/zelexecd  12.5 MiB of 100.0 MiB  12%  20.0 MiB/s  0:05 left".
std::string MeterLine(const FileArrival& arrival, size_t width);

/// |bytes| for a reader: "512 B", "1.5 KiB", "12.3 MiB", "2.0 GiB".
std::string ByteCount(int64_t bytes);

}  // namespace dusk

#endif  // DUSK_APP_PROGRESS_METER_H_
