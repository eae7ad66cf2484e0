#ifndef DUSK_INSTALL_MEDIA_REQUEST_H_
#define DUSK_INSTALL_MEDIA_REQUEST_H_

// What a media download is asked to do, and where its files come from: the
// values that the download of a list (media_download.h) and the transfer
// of one file (media_transfer.h) share.

#include <chrono>
#include <string>

#include "config/server_address.h"
#include "install/install_report.h"
#include "util/attr_table.h"

namespace dusk {

/// One download of a file, or of a media content file list and its files.
struct MediaDownloadRequest {
  /// Hears the progress texts.
  InstallReporter& reporter;
  /// The server, unless the media path names one (MediaSource).
  ServerAddress server;
  /// The media path on the server, "/", the file name.
  std::string remoteFilePath;
  /// Where the files go ("" means "."), as texts name it.
  std::string targetDir;
  /// targetDir, opened and found trusted by the caller (util/
  /// trusted_directory.h): every file and directory of the download is then
  /// made below this descriptor, and each directory on the way must be
  /// trusted too. Without one (-1), targetDir is the user's own choice: it
  /// is opened as it is named, and the directories below it need only be
  /// real ones. Either way no link below the target is followed.
  int trustedTargetFd = -1;
  /// The lines other than Trace also go to standard output.
  bool console = false;
  /// Existing files are replaced; false refuses to replace any.
  bool overwrite = false;
  /// Receives the options of a list (may be null).
  AttrTable* mediaOptions = nullptr;
};

/// Where the media files come from. A media path in URL form
/// ("http://HOST:PORT/PATH" or "https://...") sets the server's host and
/// port and the media path on the first file; later files of the same list
/// use the changed values.
struct MediaSource {
  ServerAddress server;
  std::string mediaPath;
  /// The end of the whole download, the list and its files together, and
  /// the limit it was set from; every exchange with the server keeps to it.
  std::chrono::steady_clock::time_point deadline = std::chrono::steady_clock::time_point::max();
  std::chrono::milliseconds timeLimit{0};
};

}  // namespace dusk

#endif  // DUSK_INSTALL_MEDIA_REQUEST_H_
