#include "install/media_transfer.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <limits>

#include "http/http_session.h"
#include "install/install_report.h"
#include "util/files.h"
#include "util/stop_request.h"
#include "util/strings.h"

namespace dusk {

namespace {

constexpr std::string_view kHttpScheme = "http://";
constexpr std::string_view kHttpsScheme = "https://";

/// Takes host, port and path from a media path in URL form. The scheme only
/// marks where the host begins: the transfer is plain HTTP either way. An
/// authority without a port leaves host and port as they are.
bool TakeUrlMediaPath(MediaSource& source, const std::string& file_path, bool console,
                      std::string* error_text) {
  size_t scheme = 0;
  if (strStartsWith(source.mediaPath, kHttpScheme))
    scheme = kHttpScheme.size();
  else if (strStartsWith(source.mediaPath, kHttpsScheme))
    scheme = kHttpsScheme.size();
  else
    return true;
  size_t slash = source.mediaPath.find('/', scheme);
  if (slash == std::string::npos) {
    return MediaFail(error_text, kLogError, console,
                strFormat("Failed to download file %s - Invalid media Path %s specified",
                          file_path.c_str(), source.mediaPath.c_str()));
  }
  std::string authority = source.mediaPath.substr(scheme, slash - scheme);
  source.mediaPath.erase(0, slash);
  size_t colon = authority.find(':');
  if (colon != std::string::npos) {
    source.server.host = authority.substr(0, colon);
    source.server.port = authority.substr(colon + 1);
    source.server.portNumber = strToInt(source.server.port);
    LogMessage(kLogDebug | MediaEcho(console),
               "Using host and port %s:%s from the Media Path specified",
               source.server.host.c_str(), source.server.port.c_str());
  }
  return true;
}

/// The failure of a transfer that a stop of the service cut short: neither
/// the server nor the connection failed.
bool DownloadStopped(std::string* error_text, bool console, const std::string& url,
                     const std::string& server) {
  return MediaFail(error_text, kLogInfo, console,
                   strFormat("Download of file %s from %s interrupted - %s", url.c_str(),
                             server.c_str(), kStoppingReason));
}

/// The limit of a media download as its failure text names it.
std::string LimitText(std::chrono::milliseconds limit) {
  const long long ms = limit.count();
  if (ms % 60000 == 0) return strFormat("%lld min", ms / 60000);
  if (ms % 1000 == 0) return strFormat("%lld s", ms / 1000);
  return strFormat("%lld ms", ms);
}

bool TimeIsUp(const MediaSource& source) {
  return std::chrono::steady_clock::now() >= source.deadline;
}

/// The failure of a download that ran out of its time.
bool FailTimeUp(const MediaSource& source, const std::string& url, const std::string& server,
                bool console, std::string* error_text) {
  return MediaFail(error_text, kLogError, console,
                   strFormat("Failed to download file %s from %s - Media download did not end "
                             "within %s",
                             url.c_str(), server.c_str(), LimitText(source.timeLimit).c_str()));
}

}  // namespace

int64_t ListedFileBound(int64_t listed) {
  if (listed < 0) return 0;
  return listed == std::numeric_limits<int64_t>::max() ? listed : listed + 1;
}

bool DownloadFile(const MediaDownloadRequest& request, MediaSource& source,
                  std::string_view file_path_view, const MediaFileTarget& target,
                  PartialFile* file, std::string* error_text) {
  const std::string file_path(file_path_view);
  const bool console = request.console;
  LogMessage(kLogTrace, "DownloadFile: host=%s port=%s mediaPath=%s filePath=%s localDir=%s",
             source.server.host.c_str(), source.server.port.c_str(), source.mediaPath.c_str(),
             file_path.c_str(), request.targetDir.c_str());
  error_text->clear();
  file->Discard();
  const int echo = MediaEcho(console);

  if (!TakeUrlMediaPath(source, file_path, console, error_text)) return false;
  if (source.server.host.empty() || source.server.port.empty()) {
    return MediaFail(error_text, kLogError, console,
                strFormat("Failed to download file %s - Must specify both a host and port",
                          file_path.c_str()));
  }
  if (file_path.empty()) {
    return MediaFail(error_text, kLogWarn, console,
                "Failed to download file - Null file path specified for download");
  }
  const std::string url = source.mediaPath + "/" + file_path;
  const std::string server = source.server.host + ":" + source.server.port;
  const std::string& local = target.shownPath;
  LogMessage(kLogInfo | echo, "Initiating File Download %s -> %s", url.c_str(), local.c_str());

  // The previous copy is replaced only once the new one is complete and
  // checked, but it is told here, where the replacement begins; one that no
  // file can replace fails the download before anything is made.
  struct stat st;
  const bool previous =
      fstatat(target.dirFd, target.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
  if (previous)
    LogMessage(kLogDebug | echo, "Deleting previous copy of %s", local.c_str());
  if (previous && S_ISDIR(st.st_mode)) {
    return MediaFail(error_text, kLogError, console,
                strFormat("Failed to download file %s - Could not Delete local copy %s",
                          file_path.c_str(), local.c_str()));
  }
  if (!file->Create(target.dirFd, target.name, target.digest)) {
    int err = errno;
    return MediaFail(error_text, kLogError, console,
                strFormat("Failed to download file %s - Could not create local file %s - %s",
                          file_path.c_str(), local.c_str(), ErrorText(err).c_str()));
  }

  // The exchange gets what is left of the whole download's time.
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(source.deadline -
                                                                 std::chrono::steady_clock::now());
  if (left.count() <= 0) {
    file->Discard();
    return FailTimeUp(source, url, server, console, error_text);
  }
  HttpSession http;
  int connected = HttpConnect(http, source.server.host, source.server.portNumber,
                              source.deadline == std::chrono::steady_clock::time_point::max()
                                  ? std::chrono::milliseconds(0)
                                  : left);
  if (connected != 0) {
    file->Discard();
    if (StopRequested()) return DownloadStopped(error_text, console, url, server);
    if (TimeIsUp(source)) return FailTimeUp(source, url, server, console, error_text);
    return MediaFail(error_text, kLogInfo, console,
                strFormat("Failed to initiate download of file %s from %s - %s", url.c_str(),
                          server.c_str(), HttpErrorText(connected)));
  }
  HttpAddHeaders(http, kMediaRequestHeaders);
  bool sent = HttpSendRequest(http, kHttpGet, url);
  int status = HttpGetStatus(http);
  if (!sent || status != kHttpOk) {
    HttpClose(http);
    file->Discard();
    if (status == kHttpNotFound) {
      return MediaFail(error_text, kLogError, console,
                  strFormat("Could not download file %s from KESTA Server %s - File not found",
                            url.c_str(), server.c_str()));
    }
    if (StopRequested()) return DownloadStopped(error_text, console, url, server);
    if (TimeIsUp(source)) return FailTimeUp(source, url, server, console, error_text);
    return MediaFail(error_text, kLogInfo, console,
                strFormat("Failed to initiate download of file %s from %s - %s", url.c_str(),
                          server.c_str(), HttpErrorText(status)));
  }

  const int length = HttpGetContentLength(http);
  if (length > 0) {
    // The body ends at its Content-Length, or earlier where the caller
    // takes less: bytes beyond either are never read.
    const int64_t bound = target.maxBytes ? std::min<int64_t>(*target.maxBytes, length) : length;
    int write_error = 0;
    ArrivalReports arrival(request.reporter, file_path, length);
    for (int64_t left_to_read = bound; left_to_read > 0;) {
      const size_t want =
          static_cast<size_t>(std::min<int64_t>(left_to_read, static_cast<int64_t>(kMediaReadPiece)));
      char* room = file->Room(want);
      if (room == nullptr) {
        write_error = errno;
        break;
      }
      size_t got = HttpReadData(http, room, want);
      if (got == 0) break;
      file->Filled(got);
      arrival.Received(file->size());
      left_to_read -= static_cast<int64_t>(got);
    }
    arrival.End();
    LogMessage(kLogDebug | echo, "Downloaded (%lld) bytes to file %s",
               static_cast<long long>(file->size()), local.c_str());
    if (write_error == 0 && !file->Finish()) write_error = errno;
    if (write_error != 0) {
      int err = write_error;
      HttpClose(http);
      file->Discard();
      return MediaFail(error_text, kLogError, console,
                  strFormat("Failed to download file %s - Could not write local file %s - %s",
                            file_path.c_str(), local.c_str(), ErrorText(err).c_str()));
    }
    // A body cut short (a connection lost or a server gone silent) is not
    // the file, even where no list gives its size.
    const int64_t received = file->size();
    if (received < bound) {
      HttpClose(http);
      file->Discard();
      if (StopRequested()) return DownloadStopped(error_text, console, url, server);
      if (TimeIsUp(source)) return FailTimeUp(source, url, server, console, error_text);
      return MediaFail(error_text, kLogError, console,
                  strFormat("Failed to download file %s from %s - Connection ended after "
                            "%lld of %d bytes",
                            url.c_str(), server.c_str(), static_cast<long long>(received),
                            length));
    }
  }
  HttpClose(http);
  return true;
}

}  // namespace dusk
