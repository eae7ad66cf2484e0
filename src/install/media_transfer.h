#ifndef DUSK_INSTALL_MEDIA_TRANSFER_H_
#define DUSK_INSTALL_MEDIA_TRANSFER_H_

// The HTTP transfer of one media file into a PartialFile, the lowest layer
// of the media download (media_download.h).

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "install/media_request.h"
#include "install/media_target.h"
#include "log/log.h"

namespace dusk {

/// Request header lines of every file request. The HTTP client writes its
/// own User-Agent line too; the server has always seen both.
inline constexpr char kMediaRequestHeaders[] = "Accept: */*\r\nUser-Agent: DUSK 1.0\r\n";
/// Bytes asked of the HTTP client at a time.
inline constexpr size_t kMediaReadPiece = 2047;

/// The log flags of a media download line: the console copy when asked.
inline int MediaEcho(bool console) { return console ? kLogConsoleFlag : 0; }

/// Sets |error_text| to |text|, logs it at |level| (with the console copy
/// when asked) and returns false, the outcome of every failed step.
inline bool MediaFail(std::string* error_text, int level, bool console, std::string text) {
  *error_text = std::move(text);
  LogMessage(level | MediaEcho(console), "%s", error_text->c_str());
  return false;
}

/// Where one media file goes, and how much of it is taken.
struct MediaFileTarget {
  /// The open directory the file goes into, and its name there.
  int dirFd = -1;
  std::string name;
  /// The file as texts name it: the target directory, "/", the file path.
  std::string shownPath;
  /// The most bytes taken. A listed file stops one byte past its listed
  /// size, so that a longer body fails the size check without any more of
  /// it being read; without a bound only the Content-Length limits it.
  std::optional<int64_t> maxBytes;
  /// Digest the bytes as they come.
  bool digest = false;
};

/// The bound of a file listed at |listed| bytes: one byte more, never
/// below 0.
int64_t ListedFileBound(int64_t listed);

/// Fetches |source|.mediaPath + "/" + |file_path| from |source|'s server
/// into |file|, created in |target|'s directory. A media path in URL form
/// first replaces host, port (when the URL has a port) and media path in
/// |source|. The body is read up to its Content-Length, and no further than
/// |target|.maxBytes; the whole exchange ends by |source|.deadline. True
/// when the body arrived up to its bound and was written (file->size() is
/// the body bytes taken); otherwise false with |error_text| filled and
/// logged, and |file| discarded.
bool DownloadFile(const MediaDownloadRequest& request, MediaSource& source,
                  std::string_view file_path, const MediaFileTarget& target, PartialFile* file,
                  std::string* error_text);

}  // namespace dusk

#endif  // DUSK_INSTALL_MEDIA_TRANSFER_H_
