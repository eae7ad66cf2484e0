#ifndef DUSK_INSTALL_MEDIA_TRANSFER_H_
#define DUSK_INSTALL_MEDIA_TRANSFER_H_

// The HTTP transfer of one media file into a PartialFile, the lowest layer
// of the media download (media_download.h).

#include <cstdint>
#include <string>
#include <string_view>

#include "install/media_download.h"
#include "install/media_target.h"
#include "log/log.h"

namespace dusk {

/// The log flags of a media download line: the console copy when asked.
inline int MediaEcho(bool console) { return console ? kLogConsoleFlag : 0; }

/// Sets |error_text| to |text|, logs it at |level| (with the console copy
/// when asked) and returns false, the outcome of every failed step.
inline bool MediaFail(std::string* error_text, int level, bool console, std::string text) {
  *error_text = std::move(text);
  LogMessage(level | MediaEcho(console), "%s", error_text->c_str());
  return false;
}

/// Fetches |source|.mediaPath + "/" + |file_path| from |source|'s server
/// into |file|, created beside |local_dir| + "/" + |file_path| (|local_dir|
/// "" means "."), digesting the bytes as they come when |digest|. A media
/// path in URL form first replaces host, port (when the URL has a port) and
/// media path in |source|. |size| receives the body bytes received. True
/// when the whole body arrived and was written; otherwise false with
/// |error_text| filled and logged, and |file| discarded.
bool DownloadFile(MediaSource& source, std::string_view file_path, const std::string& local_dir,
                  bool console, bool digest, PartialFile* file, int64_t* size,
                  std::string* error_text);

}  // namespace dusk

#endif  // DUSK_INSTALL_MEDIA_TRANSFER_H_
