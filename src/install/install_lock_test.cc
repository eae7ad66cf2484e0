#include "install/install_lock.h"

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "install/exec_command.h"
#include "support/short_timings.h"
#include "support/test_layout.h"
#include "support/test_util.h"
#include "util/files.h"
#include "util/timings.h"

namespace dusk {
namespace {

constexpr char kBusy[] =
    "Another KESTA Agent install or uninstall is already running - not starting another ";

class InstallLockTest : public ::testing::Test {
 protected:
  /// True once an InstallLock of the layout is refused, looked at for up
  /// to two seconds (a command takes its lock just after it is forked).
  bool RefusedWithin2s() const {
    for (int i = 0; i < 200; ++i) {
      if (!InstallLock(layout_, "install").held()) return true;
      usleep(10 * 1000);
    }
    return false;
  }

  test::TestLayout layout_;
  const std::string path_ = layout_.layout().configDir + "/" + kInstallLockName;
  test::TempDir dir_;
};

TEST_F(InstallLockTest, OneAtATimeAcrossProcesses) {
  {
    const InstallLock first(layout_, "install");
    ASSERT_TRUE(first.held()) << first.refusal();
    const InstallLock second(layout_, "uninstall");
    EXPECT_FALSE(second.held());
    EXPECT_EQ(second.refusal(), std::string(kBusy) + "uninstall");
  }
  struct stat st;
  ASSERT_EQ(stat(path_.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);

  // Another process holds it until it dies, however it dies.
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const pid_t holder = fork();
  if (holder == 0) {
    const InstallLock lock(layout_, "install");
    char held = lock.held() ? '1' : '0';
    if (write(ready[1], &held, 1) != 1) _exit(1);
    pause();
    _exit(0);
  }
  close(ready[1]);
  char held = 0;
  ASSERT_EQ(read(ready[0], &held, 1), 1);
  close(ready[0]);
  EXPECT_EQ(held, '1');
  const InstallLock refused(layout_, "install");
  EXPECT_EQ(refused.refusal(), std::string(kBusy) + "install");
  kill(holder, SIGKILL);
  waitpid(holder, nullptr, 0);
  EXPECT_TRUE(InstallLock(layout_, "install").held());
}

// A command started under the lock keeps it while it runs, also after it
// has been abandoned and its starter has let go; what it leaves running
// behind it does not.
TEST_F(InstallLockTest, AbandonedCommandsKeepItTheirDaemonsDoNot) {
  const std::string daemon_pid_file = dir_ / "daemon.pid";
  ExecResult result = kExecError;
  {
    const InstallLock lock(layout_, "install");
    ASSERT_TRUE(lock.held()) << lock.refusal();
    ASSERT_TRUE(ExecCommand("sleep 60 </dev/null >/dev/null 2>&1 & echo $! >" + daemon_pid_file,
                            "", "", false, std::chrono::seconds(10), &result));
  }
  const pid_t daemon = std::stoi(test::ReadFile(daemon_pid_file));
  {
    const InstallLock lock(layout_, "install");
    EXPECT_TRUE(lock.held()) << lock.refusal();
    Timings quick;
    quick.command_poll = std::chrono::milliseconds(10);
    test::ScopedTimings timings(quick);
    EXPECT_FALSE(ExecCommand("exec sleep 60", "", "", false, std::chrono::milliseconds(50),
                             &result));
    EXPECT_EQ(result, kExecTimedOut);
  }
  ASSERT_FALSE(AbandonedCommands().empty());
  const pid_t abandoned = AbandonedCommands().back();
  ASSERT_TRUE(RefusedWithin2s());
  const InstallLock later(layout_, "uninstall");
  EXPECT_EQ(later.refusal(), "A previous KESTA Agent command (pid " + std::to_string(abandoned) +
                                 ") is still running - not starting another uninstall");

  kill(abandoned, SIGKILL);
  for (int i = 0; i < 200 && AbandonedCommandRunning(); ++i) usleep(10 * 1000);
  EXPECT_TRUE(InstallLock(layout_, "install").held());
  kill(daemon, SIGKILL);
}

TEST_F(InstallLockTest, ALockFileItCannotTrustRefuses) {
  const std::string elsewhere = dir_ / "elsewhere";
  ASSERT_EQ(symlink(elsewhere.c_str(), path_.c_str()), 0);
  const InstallLock through_link(layout_, "install");
  EXPECT_FALSE(through_link.held());
  EXPECT_EQ(through_link.refusal(), "Could not open the KESTA Agent install lock " + path_ +
                                        " - Error (40): Too many levels of symbolic links");
  EXPECT_FALSE(FileExists(elsewhere));
  unlink(path_.c_str());

  if (geteuid() != 0) return;  // only root can give the file away
  test::WriteFile(path_, "");
  ASSERT_EQ(chown(path_.c_str(), 65534, 65534), 0);
  const InstallLock foreign(layout_, "install");
  EXPECT_FALSE(foreign.held());
  EXPECT_EQ(foreign.refusal(),
            "The KESTA Agent install lock " + path_ + " is owned by uid 65534");
}

}  // namespace
}  // namespace dusk
