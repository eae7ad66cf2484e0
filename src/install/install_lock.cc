#include "install/install_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "install/exec_command.h"
#include "util/files.h"
#include "util/strings.h"

namespace dusk {

namespace {

/// Owner read and write only: whoever can open the file can lock it.
constexpr mode_t kInstallLockMode = 0600;

/// The pid of a process other than this one that holds a record lock on
/// |fd|'s file, or 0.
pid_t RecordLockHolder(int fd) {
  struct flock probe = {};
  probe.l_type = F_WRLCK;
  probe.l_whence = SEEK_SET;
  if (fcntl(fd, F_GETLK, &probe) != 0 || probe.l_type == F_UNLCK) return 0;
  return probe.l_pid;
}

}  // namespace

InstallLock::InstallLock(const Layout& layout, std::string_view work) {
  const std::string path = layout.configDir + "/" + kInstallLockName;
  const std::string work_text(work);
  held_fd_.reset(open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, kInstallLockMode));
  if (!held_fd_) {
    const int err = errno;
    refusal_ = strFormat("Could not open the KESTA Agent install lock %s - %s", path.c_str(),
                         ErrorText(err).c_str());
    return;
  }
  struct stat st;
  if (fstat(held_fd_.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
    refusal_ = strFormat("The KESTA Agent install lock %s is not a regular file", path.c_str());
    return;
  }
  if (st.st_uid != geteuid()) {
    refusal_ = strFormat("The KESTA Agent install lock %s is owned by uid %d", path.c_str(),
                         static_cast<int>(st.st_uid));
    return;
  }
  if (flock(held_fd_.get(), LOCK_EX | LOCK_NB) != 0) {
    const int err = errno;
    refusal_ = err == EWOULDBLOCK
                   ? "Another KESTA Agent install or uninstall is already running - not "
                     "starting another " + work_text
                   : strFormat("Could not lock the KESTA Agent install lock %s - %s",
                               path.c_str(), ErrorText(err).c_str());
    return;
  }
  commands_fd_.reset(open(path.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC));
  if (!commands_fd_) {
    const int err = errno;
    refusal_ = strFormat("Could not open the KESTA Agent install lock %s - %s", path.c_str(),
                         ErrorText(err).c_str());
    flock(held_fd_.get(), LOCK_UN);
    return;
  }
  // No new command can start while the flock is held, so a record lock
  // seen now belongs to one left running by an earlier install.
  if (const pid_t pid = RecordLockHolder(commands_fd_.get()); pid != 0) {
    refusal_ = strFormat("A previous KESTA Agent command (pid %d) is still running - not "
                         "starting another %s",
                         static_cast<int>(pid), work_text.c_str());
    flock(held_fd_.get(), LOCK_UN);
    return;
  }
  held_ = true;
  SetCommandLock(held_fd_.get(), commands_fd_.get());
}

InstallLock::~InstallLock() {
  if (!held_) return;
  SetCommandLock(-1, -1);
  flock(held_fd_.get(), LOCK_UN);
}

}  // namespace dusk
