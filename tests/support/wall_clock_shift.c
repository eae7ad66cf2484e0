/* Moves the wall clock of one process, for tests: preloaded with
 * LD_PRELOAD, it adds to every reading of the real-time clock the number of
 * seconds written in the file that WALL_CLOCK_SHIFT_FILE names (read anew on
 * every call, so a test moves the clock while the process runs; a missing
 * or unreadable file is 0). Clocks that do not follow the date
 * (CLOCK_MONOTONIC, CLOCK_BOOTTIME, ...) are left alone: only what setting
 * the date would change is changed, and nothing outside the process.
 *
 * Never linked into the program; the tests build it beside it. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/time.h>
#include <time.h>
#include <unistd.h>

static long long shift_seconds(void) {
  const char* path = getenv("WALL_CLOCK_SHIFT_FILE");
  if (path == NULL) return 0;
  int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return 0;
  char text[32];
  ssize_t got = read(fd, text, sizeof text - 1);
  close(fd);
  if (got <= 0) return 0;
  text[got] = '\0';
  return strtoll(text, NULL, 10);
}

static int follows_the_date(clockid_t clock) {
  return clock == CLOCK_REALTIME || clock == CLOCK_REALTIME_COARSE ||
         clock == CLOCK_REALTIME_ALARM || clock == CLOCK_TAI;
}

int clock_gettime(clockid_t clock, struct timespec* now) {
  static int (*real)(clockid_t, struct timespec*);
  if (real == NULL) real = (int (*)(clockid_t, struct timespec*))dlsym(RTLD_NEXT, "clock_gettime");
  int result = real(clock, now);
  if (result == 0 && follows_the_date(clock)) now->tv_sec += shift_seconds();
  return result;
}

int gettimeofday(struct timeval* now, void* zone) {
  struct timespec real_now;
  if (clock_gettime(CLOCK_REALTIME, &real_now) != 0) return -1;
  now->tv_sec = real_now.tv_sec;
  now->tv_usec = real_now.tv_nsec / 1000;
  if (zone != NULL) {
    struct timezone* utc = zone;
    utc->tz_minuteswest = 0;
    utc->tz_dsttime = 0;
  }
  return 0;
}

time_t time(time_t* out) {
  struct timespec now;
  if (clock_gettime(CLOCK_REALTIME, &now) != 0) return (time_t)-1;
  if (out != NULL) *out = now.tv_sec;
  return now.tv_sec;
}
