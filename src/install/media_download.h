#ifndef DUSK_INSTALL_MEDIA_DOWNLOAD_H_
#define DUSK_INSTALL_MEDIA_DOWNLOAD_H_

// Download of the agent media from the KESTA Server over HTTP. The media is
// described by a media content file list (mcfl.h): the list is downloaded
// first, then every file it names, each checked against its listed size and
// MD5 digest and given its listed mode. A downloaded file that is not a list
// is a single-file download and is complete as it is.
//
// Three layers: DownloadMediaFromServer (the list and its files),
// DownloadFileFromServer (one file with its directories and checks),
// DownloadFile (the HTTP transfer). Each takes a console flag (its lines
// other than Trace also go to standard output) and an error text that it
// sets to "" and fills with its failure message.
//
// File paths named by the server are taken only when they stay below the
// target directory (media_target.h). A file appears under its final name
// only once it is whole and checked; a failed file leaves nothing behind,
// and a file it would replace stays as it was.

#include <cstdint>
#include <string>
#include <string_view>

#include "install/mcfl.h"
#include "rexec/rexec_session.h"
#include "util/attr_table.h"

namespace dusk {

/// Request header lines of every file request. The HTTP client writes its
/// own User-Agent line too; the server has always seen both.
inline constexpr char kMediaRequestHeaders[] = "Accept: */*\r\nUser-Agent: DUSK 1.0\r\n";
/// Bytes asked of the HTTP client at a time.
inline constexpr size_t kMediaReadPiece = 2047;

/// Where the media files come from. A media path in URL form
/// ("http://HOST:PORT/PATH" or "https://...") sets all three on the first
/// file; later files of the same list use the changed values.
struct MediaSource {
  std::string host;
  std::string port;
  std::string mediaPath;
};

/// Downloads |remote_file_path| (the media path, "/", the file name) into
/// |target_dir| ("" means "."). When the file opens as a media content file
/// list, downloads and checks every listed file too, and copies the list's
/// options into |media_options| (may be null). The server is
/// GetServerAddress of the two options. Progress texts go to |session| as
/// "info" lines (null sends nothing). |overwrite| false refuses to replace
/// any existing file. True when everything was downloaded and verified.
bool DownloadMediaFromServer(RexecSession* session, std::string_view server_host_option,
                             std::string_view server_port_option,
                             std::string_view remote_file_path, std::string_view target_dir,
                             bool console, bool overwrite, AttrTable* media_options,
                             std::string* error_text);

/// Downloads |file_path| below |source|'s media path into |target_dir|,
/// creating its directories. With |expected| (a list entry), the received
/// size and MD5 digest must match it before the file takes its final name,
/// and its listed mode is set. |size| receives the received byte count.
bool DownloadFileFromServer(MediaSource& source, std::string_view file_path,
                            const std::string& target_dir, bool console, bool overwrite,
                            const McflFile* expected, int64_t* size, std::string* error_text);

}  // namespace dusk

#endif  // DUSK_INSTALL_MEDIA_DOWNLOAD_H_
