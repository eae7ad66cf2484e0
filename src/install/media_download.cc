#include "install/media_download.h"

#include <sys/stat.h>

#include <cerrno>

#include "install/mcfl.h"
#include "install/media_target.h"
#include "install/media_transfer.h"
#include "log/log.h"
#include "util/attr_list.h"
#include "util/files.h"
#include "util/strings.h"

namespace dusk {

namespace {

/// A progress text: in the log at Debug and to the reporter.
void Progress(const MediaDownloadRequest& request, const std::string& text) {
  InstallProgress(request.reporter, kLogDebug, request.console, text);
}

/// True when anything, a dangling link included, has the name |path|.
bool NameTaken(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

/// The size and digest checks of a list entry, then its mode. The mode is
/// set on the file before it takes its final name; failing to set it is
/// reported and does not fail the download.
bool CheckListedFile(PartialFile& file, const McflFile& expected, const std::string& local,
                     int64_t size, bool console, std::string* error_text) {
  const int echo = MediaEcho(console);
  const char* path = expected.path.c_str();
  if (size != expected.size) {
    LogMessage(kLogDebug | echo, "File \"%s\" downloaded size = %lld bytes", path,
               static_cast<long long>(size));
    LogMessage(kLogDebug | echo, "File \"%s\"       MCFL size = %lld bytes", path,
               static_cast<long long>(expected.size));
    return MediaFail(error_text, kLogError, console,
                strFormat("Size for File %s does not match - Got %lld bytes, Expected %lld bytes",
                          path, static_cast<long long>(size),
                          static_cast<long long>(expected.size)));
  }
  // The digest was taken while the file arrived; its lines are those of
  // the digest of a file, never echoed to the console.
  LogMessage(kLogTrace, "MD5Digest: filename=%s", local.c_str());
  LogMessage(kLogDebug, "Calculating MD5 of file \"%s\" ...", local.c_str());
  const std::string digest = file.DigestHex();
  if (digest.empty()) {
    return MediaFail(error_text, kLogError, console,
                strFormat("Failed to generate MD5 for file %s", path));
  }
  LogMessage(kLogDebug, "MD5 of \"%s\" = \"%s\"", local.c_str(), digest.c_str());
  if (digest != expected.md5) {
    LogMessage(kLogDebug | echo, "File \"%s\" Calculated MD5 = \"%s\"", path, digest.c_str());
    LogMessage(kLogDebug | echo, "File \"%s\"       MCFL MD5 = \"%s\"", path,
               expected.md5.c_str());
    return MediaFail(error_text, kLogError, console,
                strFormat("MD5 For file %s does not match - Calculated %s, Expected %s", path,
                          digest.c_str(), expected.md5.c_str()));
  }
  if (expected.mode != 0) {
    mode_t mode = 0;
    if (!ListedModeBits(expected.mode, &mode)) {
      LogMessage(kLogError | echo, "Failed to set File \"%s\" mode - %d is not an octal mode",
                 local.c_str(), expected.mode);
    } else {
      LogMessage(kLogDebug | echo, "Setting File \"%s\" mode to %o", local.c_str(),
                 static_cast<unsigned>(mode));
      if (!file.SetMode(mode)) {
        int err = errno;
        LogMessage(kLogError | echo, "Failed to set File \"%s\" mode to %o - %s", local.c_str(),
                   static_cast<unsigned>(mode), ErrorText(err).c_str());
      }
    }
  }
  return true;
}

/// Downloads |file_path| below |source|'s media path into the request's
/// target directory, creating its directories. With |expected| (a list
/// entry), the received size and MD5 digest must match it before the file
/// takes its final name, and its listed mode is set.
bool DownloadFileFromServer(const MediaDownloadRequest& request, MediaSource& source,
                            std::string_view file_path_view, const McflFile* expected,
                            std::string* error_text) {
  const std::string file_path(file_path_view);
  const std::string& target_dir = request.targetDir;
  const bool console = request.console;
  const bool overwrite = request.overwrite;
  LogMessage(kLogTrace,
             "DownloadFileFromServer: host=%s port=%s mediaPath=%s filePath=%s targDir=%s "
             "console=%d",
             source.server.host.c_str(), source.server.port.c_str(), source.mediaPath.c_str(),
             file_path.c_str(), target_dir.c_str(), console ? 1 : 0);
  error_text->clear();
  if (source.mediaPath.empty() || file_path.empty()) {
    return MediaFail(error_text, kLogWarn, console,
                "Must specify an KESTA Server media and file path to download a file");
  }
  // The server names the path; it must not lead out of the target.
  if (!IsSafeMediaFilePath(file_path) || !StaysInsideTarget(target_dir, file_path)) {
    return MediaFail(error_text, kLogError, console,
                strFormat("Failed to download file %s - Invalid file path", file_path.c_str()));
  }
  const std::string local = target_dir + "/" + file_path;
  if (!overwrite && NameTaken(local)) {
    return MediaFail(error_text, kLogError, console,
                strFormat("Failed to download file %s - File Exists", local.c_str()));
  }
  if (!CreateDirectories(local, nullptr, nullptr, 0)) {
    return MediaFail(error_text, kLogError, console,
                strFormat("Failed to download file %s - Could not create local directories",
                          local.c_str()));
  }

  const MediaSource before = source;
  PartialFile file;
  if (!DownloadFile(request, source, file_path, expected != nullptr, &file, error_text))
    return false;
  const int64_t size = file.size();
  LogMessage(kLogInfo | MediaEcho(console), "Downloaded file %s (%lld bytes) from KESTA Server %s",
             (before.mediaPath + "/" + file_path).c_str(), static_cast<long long>(size),
             (before.server.host + ":" + before.server.port).c_str());
  if (expected != nullptr && !CheckListedFile(file, *expected, local, size, console, error_text))
    return false;

  const bool replacing = NameTaken(local);
  if (!file.Commit(overwrite)) {
    int err = errno;
    if (err == EEXIST && !overwrite) {
      return MediaFail(error_text, kLogError, console,
                  strFormat("Failed to download file %s - File Exists", local.c_str()));
    }
    if (replacing) {
      return MediaFail(error_text, kLogError, console,
                  strFormat("Failed to download file %s - Could not Delete local copy %s",
                            file_path.c_str(), local.c_str()));
    }
    return MediaFail(error_text, kLogError, console,
                strFormat("Failed to download file %s - Could not create local file %s - %s",
                          file_path.c_str(), local.c_str(), ErrorText(err).c_str()));
  }
  return true;
}

}  // namespace

bool DownloadMediaFromServer(const MediaDownloadRequest& asked, std::string* error_text) {
  const std::string& remote_file_path = asked.remoteFilePath;
  LogMessage(kLogTrace,
             "DownloadMediaFromServer: optServerHost=%s optServerPort=%s remoteFilePath=%s "
             "targDir=%s console=%d",
             asked.server.hostOption.c_str(), asked.server.portOption.c_str(),
             remote_file_path.c_str(), asked.targetDir.c_str(), asked.console ? 1 : 0);
  error_text->clear();
  MediaDownloadRequest request = asked;
  if (request.targetDir.empty()) request.targetDir = ".";
  const std::string& target_dir = request.targetDir;
  const int echo = MediaEcho(request.console);
  MediaSource source;
  source.server = request.server;
  Progress(request, strFormat("Downloading Agent Media from KESTA Server %s:%s",
                              source.server.host.c_str(), source.server.port.c_str()));

  std::string file_path = remote_file_path;
  size_t slash = remote_file_path.rfind('/');
  if (slash == std::string::npos) {
    source.mediaPath = remote_file_path;
  } else {
    source.mediaPath = remote_file_path.substr(0, slash);
    file_path = remote_file_path.substr(slash + 1);
  }
  LogMessage(kLogDebug | echo, "mediaPath = %s", source.mediaPath.c_str());
  LogMessage(kLogDebug | echo, "filePath  = %s", file_path.c_str());
  Progress(request,
           strFormat("Downloading %s/%s ...", source.mediaPath.c_str(), file_path.c_str()));

  if (!DownloadFileFromServer(request, source, file_path, nullptr, error_text)) return false;

  CMcfl list;
  if (!list.Open(target_dir + "/" + file_path)) return true;  // a single file
  LogMessage(kLogDebug | echo, "Processing a Media Content File List v%s",
             list.GetVersion().c_str());
  if (request.mediaOptions != nullptr && list.GetOptions(*request.mediaOptions, false) > 0) {
    LogMessage(kLogDebug | echo, "Media Content File Options");
    LogAttrs(kLogDebug | echo, *request.mediaOptions);
  }
  McflFile entry;
  while (list.GetNextFile(&entry)) {
    LogMessage(kLogDebug | echo,
               "Processing file:   path=\"%s\"  size=%lld bytes  mode=%d  md5=\"%s\"",
               entry.path.c_str(), static_cast<long long>(entry.size), entry.mode,
               entry.md5.c_str());
    Progress(request,
             strFormat("Downloading %s/%s  bytes=%lld  md5=%s ...", source.mediaPath.c_str(),
                       entry.path.c_str(), static_cast<long long>(entry.size),
                       entry.md5.c_str()));
    if (!DownloadFileFromServer(request, source, entry.path, &entry, error_text)) {
      list.Close();
      return false;
    }
  }
  list.Close();
  return true;
}

}  // namespace dusk
