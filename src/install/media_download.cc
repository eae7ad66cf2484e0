#include "install/media_download.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <optional>

#include "install/mcfl.h"
#include "install/media_target.h"
#include "install/media_transfer.h"
#include "log/log.h"
#include "util/attr_list.h"
#include "util/files.h"
#include "util/strings.h"
#include "util/timings.h"
#include "util/trusted_directory.h"
#include "util/unique_fd.h"

namespace dusk {

namespace {

/// A progress text: in the log at Debug and to the reporter.
void Progress(const MediaDownloadRequest& request, const std::string& text) {
  InstallProgress(request.reporter, kLogDebug, request.console, text);
}

/// The target directory of a download, open: the files and directories of
/// the download are made below it.
struct TargetTree {
  /// The descriptor the download opened itself (the user's own directory).
  UniqueFd owned;
  int root = -1;
  DirectoryTrust trust = DirectoryTrust::kUsersOwn;
};

/// True when anything, a dangling link included, has the name |name| in
/// the open directory |dir|.
bool NameTaken(int dir, const std::string& name) {
  struct stat st;
  return fstatat(dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
}

/// Opens the target of |request| into |tree|: the caller's trusted
/// directory, or the user's own named one. False after the failure of
/// |file_path|'s download was logged.
bool OpenTarget(const MediaDownloadRequest& request, const std::string& file_path,
                TargetTree* tree, std::string* error_text) {
  if (request.trustedTargetFd >= 0) {
    tree->root = request.trustedTargetFd;
    tree->trust = DirectoryTrust::kTrusted;
    return true;
  }
  tree->owned.reset(open(request.targetDir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!tree->owned) {
    return MediaFail(error_text, kLogError, request.console,
                     strFormat("Failed to download file %s - Local Directory %s does not exist",
                               file_path.c_str(), request.targetDir.c_str()));
  }
  tree->root = tree->owned.get();
  tree->trust = DirectoryTrust::kUsersOwn;
  return true;
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

/// Downloads |file_path| below |source|'s media path into |tree|, creating
/// its directories. With |expected| (a list entry), the received size and
/// MD5 digest must match it before the file takes its final name, and its
/// listed mode is set.
bool DownloadFileFromServer(const MediaDownloadRequest& request, const TargetTree& tree,
                            MediaSource& source, std::string_view file_path_view,
                            const McflFile* expected, std::string* error_text) {
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
  if (!IsSafeMediaFilePath(file_path)) {
    return MediaFail(error_text, kLogError, console,
                strFormat("Failed to download file %s - Invalid file path", file_path.c_str()));
  }
  const std::string local = target_dir + "/" + file_path;
  const size_t slash = file_path.rfind('/');
  const std::string_view sub_dir =
      slash == std::string::npos ? std::string_view() : std::string_view(file_path).substr(0, slash);
  const std::string name = file_path.substr(slash == std::string::npos ? 0 : slash + 1);
  DirectoryCheck check;
  const UniqueFd dir = OpenDirectoryBelow(tree.root, sub_dir, target_dir, tree.trust, &check);
  if (!dir) {
    if (check.refusal == DirectoryRefusal::kCannotCreate ||
        check.refusal == DirectoryRefusal::kCannotOpen) {
      if (check.refusal == DirectoryRefusal::kCannotCreate)
        LogMessage(kLogError, "Failed to create directory %s", check.path.c_str());
      return MediaFail(error_text, kLogError, console,
                  strFormat("Failed to download file %s - Could not create local directories",
                            local.c_str()));
    }
    return MediaFail(error_text, kLogError, console,
                strFormat("Failed to download file %s - %s", file_path.c_str(),
                          DirectoryCheckText(check).c_str()));
  }
  if (!overwrite && NameTaken(dir.get(), name)) {
    return MediaFail(error_text, kLogError, console,
                strFormat("Failed to download file %s - File Exists", local.c_str()));
  }

  const MediaSource before = source;
  PartialFile file;
  const MediaFileTarget target{
      .dirFd = dir.get(),
      .name = name,
      .shownPath = local,
      .maxBytes = expected ? std::optional<int64_t>(ListedFileBound(expected->size))
                           : std::nullopt,
      .digest = expected != nullptr};
  if (!DownloadFile(request, source, file_path, target, &file, error_text)) return false;
  const int64_t size = file.size();
  LogMessage(kLogInfo | MediaEcho(console), "Downloaded file %s (%lld bytes) from KESTA Server %s",
             (before.mediaPath + "/" + file_path).c_str(), static_cast<long long>(size),
             (before.server.host + ":" + before.server.port).c_str());
  if (expected != nullptr && !CheckListedFile(file, *expected, local, size, console, error_text))
    return false;

  const bool replacing = NameTaken(dir.get(), name);
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
  source.timeLimit = CurrentTimings().media_download;
  source.deadline = std::chrono::steady_clock::now() + source.timeLimit;
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

  TargetTree tree;
  if (!OpenTarget(request, file_path, &tree, error_text)) return false;
  if (!DownloadFileFromServer(request, tree, source, file_path, nullptr, error_text))
    return false;

  // The file just made, by its name in the target (the name holds no "/").
  CMcfl list;
  if (!list.Open(UniqueFd(openat(tree.root, file_path.c_str(),
                                 O_RDONLY | O_NOFOLLOW | O_CLOEXEC)),
                 target_dir + "/" + file_path))
    return true;  // a single file
  LogMessage(kLogDebug | echo, "Processing a Media Content File List v%s",
             list.GetVersion().c_str());
  // Every entry costs a transfer, a file and log lines: a list beyond any
  // agent's media is refused before anything of it is fetched.
  if (list.CountFiles(kMediaListFilesMax) > kMediaListFilesMax) {
    return MediaFail(error_text, kLogError, request.console,
                     strFormat("Media Content File List %s/%s names more than %zu files",
                               target_dir.c_str(), file_path.c_str(), kMediaListFilesMax));
  }
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
    if (!DownloadFileFromServer(request, tree, source, entry.path, &entry, error_text)) {
      list.Close();
      return false;
    }
  }
  list.Close();
  return true;
}

}  // namespace dusk
