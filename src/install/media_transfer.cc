#include "install/media_transfer.h"

#include <sys/stat.h>

#include <cerrno>

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

}  // namespace

bool DownloadFile(const MediaDownloadRequest& request, MediaSource& source,
                  std::string_view file_path_view, bool digest, PartialFile* file,
                  std::string* error_text) {
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
  const std::string local_dir = request.targetDir.empty() ? "." : request.targetDir;
  if (!FileExists(local_dir)) {
    return MediaFail(error_text, kLogError, console,
                strFormat("Failed to download file %s - Local Directory %s does not exist",
                          file_path.c_str(), local_dir.c_str()));
  }
  const std::string url = source.mediaPath + "/" + file_path;
  const std::string server = source.server.host + ":" + source.server.port;
  const std::string local = local_dir + "/" + file_path;
  LogMessage(kLogInfo | echo, "Initiating File Download %s -> %s", url.c_str(), local.c_str());

  // The previous copy is replaced only once the new one is complete and
  // checked, but it is told here, where the replacement begins; one that no
  // file can replace fails the download before anything is made.
  struct stat st;
  const bool previous = lstat(local.c_str(), &st) == 0;
  if (previous)
    LogMessage(kLogDebug | echo, "Deleting previous copy of %s", local.c_str());
  if (previous && S_ISDIR(st.st_mode)) {
    return MediaFail(error_text, kLogError, console,
                strFormat("Failed to download file %s - Could not Delete local copy %s",
                          file_path.c_str(), local.c_str()));
  }
  if (!file->Create(local, digest)) {
    int err = errno;
    return MediaFail(error_text, kLogError, console,
                strFormat("Failed to download file %s - Could not create local file %s - %s",
                          file_path.c_str(), local.c_str(), ErrorText(err).c_str()));
  }

  HttpSession http;
  int connected = HttpConnect(http, source.server.host, source.server.portNumber);
  if (connected != 0) {
    file->Discard();
    if (StopRequested()) return DownloadStopped(error_text, console, url, server);
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
    return MediaFail(error_text, kLogInfo, console,
                strFormat("Failed to initiate download of file %s from %s - %s", url.c_str(),
                          server.c_str(), HttpErrorText(status)));
  }

  const int length = HttpGetContentLength(http);
  if (length > 0) {
    // The body runs until the server closes the connection.
    int write_error = 0;
    ArrivalReports arrival(request.reporter, file_path, length);
    for (;;) {
      char* room = file->Room(kMediaReadPiece);
      if (room == nullptr) {
        write_error = errno;
        break;
      }
      size_t got = HttpReadData(http, room, kMediaReadPiece);
      if (got == 0) break;
      file->Filled(got);
      arrival.Received(file->size());
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
    if (received < length) {
      HttpClose(http);
      file->Discard();
      if (StopRequested()) return DownloadStopped(error_text, console, url, server);
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
