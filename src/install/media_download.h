#ifndef DUSK_INSTALL_MEDIA_DOWNLOAD_H_
#define DUSK_INSTALL_MEDIA_DOWNLOAD_H_

// Download of the agent media from the KESTA Server over HTTP. The media is
// described by a media content file list (mcfl.h): the list is downloaded
// first, then every file it names, each checked against its listed size and
// MD5 digest and given its listed mode. A downloaded file that is not a list
// is a single-file download and is complete as it is.
//
// Three layers: DownloadMediaFromServer (the list and its files), the
// download of one file with its directories and checks, and DownloadFile
// (the HTTP transfer, media_transfer.h). The request's console flag makes
// every line other than Trace also go to standard output; each layer sets
// the error text to "" and fills it with its failure message.
//
// File paths named by the server are taken only when they stay below the
// target directory (media_target.h). A file appears under its final name
// only once it is whole and checked; a failed file leaves nothing behind,
// and a file it would replace stays as it was.
//
// A download reads no more than it was told: a file no further than its
// Content-Length, a listed file no further than one byte past its listed
// size; the whole download ends within the media_download limit of
// util/timings.h, and a list naming more than kMediaListFilesMax files is
// refused before any of them is fetched.

#include <cstddef>
#include <string>

#include "install/media_request.h"

namespace dusk {

/// Most files a media content file list may name; agent media holds a few
/// dozen.
inline constexpr size_t kMediaListFilesMax = 10000;

/// Downloads |request|.remoteFilePath from |request|.server into
/// |request|.targetDir. When the file opens as a media content file list,
/// downloads and checks every listed file too, and copies the list's
/// options into |request|.mediaOptions. Progress texts go to
/// |request|.reporter. True when everything was downloaded and verified;
/// otherwise false with |error_text| holding the failure, which has been
/// logged.
bool DownloadMediaFromServer(const MediaDownloadRequest& request, std::string* error_text);

}  // namespace dusk

#endif  // DUSK_INSTALL_MEDIA_DOWNLOAD_H_
