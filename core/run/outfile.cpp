// How the run's outputs reach the disk: each is composed in a temporary file of
// its own beside its target and renamed over it when complete, so no reader and
// no second run ever sees half of one; the log is opened without following a
// link at its name. Temporaries of an interrupted run are removed on the way out.
#include "geometry/runwide.h"
#include "run/run.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <mutex>
#include <pthread.h>
#include <sys/stat.h>
#include <string>
#include <unistd.h>

#include "geometry/limits.h"

// The temporaries open at this moment, for the signal handler: it may only read
// what is already complete, so each entry is set once its path is written and
// cleared before that path is freed.
static constexpr int kTempSlots = 4;
static std::atomic<char*> sTemps[kTempSlots];
static_assert(std::atomic<char*>::is_always_lock_free, "the signal handler reads the list without a lock");

static void removeTempsAndDie(int sig) {
  for (auto& slot : sTemps)
    if (char* p = slot.load()) unlink(p);
  // SA_RESETHAND restored the default action: the signal ends the process as it would have.
  raise(sig);
}

// Catches SIGINT and SIGTERM where they would end the process anyway; a signal
// the caller ignores (a background job) or handles itself is left as it is.
static void installWatch() {
  for (int sig : {SIGINT, SIGTERM}) {
    struct sigaction old;
    if (sigaction(sig, nullptr, &old) != 0 || (old.sa_flags & SA_SIGINFO) || old.sa_handler != SIG_DFL) continue;
    struct sigaction sa = {};
    sa.sa_handler = removeTempsAndDie;
    sigemptyset(&sa.sa_mask);
    sigaddset(&sa.sa_mask, SIGINT);
    sigaddset(&sa.sa_mask, SIGTERM);
    sa.sa_flags = SA_RESETHAND;
    sigaction(sig, &sa, nullptr);
  }
}

// Once per process, whichever run writes the first output.
static void watchSignals() {
  static std::once_flag once;
  std::call_once(once, installWatch);
}

static int registerTemp(char* path) {
  for (int i = 0; i < kTempSlots; ++i) {
    char* none = nullptr;
    if (sTemps[i].compare_exchange_strong(none, path)) return i;
  }
  return -1;   // more at once than foreseen: written all the same, only not removed on a signal
}

static void forgetTemp(KxOutFile* out) {
  if (out->slot >= 0) sTemps[out->slot].store(nullptr);
  out->slot = -1;
  free(out->temp);
  out->temp = nullptr;
}

// The mode fopen(..., "w") gives a new file; mkstemp's 0600 would hide the
// program from the other accounts that read it.
static mode_t newFileMode() {
  static const mode_t mode = [] {
    mode_t mask = umask(0);
    umask(mask);
    return (mode_t)(0666 & ~mask);
  }();
  return mode;
}

bool KxIsDrawing(KxRun& run, const char* path) {
  struct stat out, dxf;
  return path && stat(path, &out) == 0 && stat(run.io.in_filename.c_str(), &dxf) == 0 && out.st_dev == dxf.st_dev &&
         out.st_ino == dxf.st_ino;
}

FILE* KxOutOpen(KxRun& run, KxOutFile* out, const char* target) {
  *out = KxOutFile{};
  if (KxIsDrawing(run, target)) {
    out->drawing = true;
    return nullptr;
  }
  static const char suffix[] = ".kxtmp";
  const size_t n = strlen(target);
  char* temp = (char*)malloc(n + sizeof "-XXXXXX" - 1 + sizeof suffix);
  if (!temp) {
    out->error = ENOMEM;
    return nullptr;
  }
  memcpy(temp, target, n);
  memcpy(temp + n, "-XXXXXX", 7);
  memcpy(temp + n + 7, suffix, sizeof suffix);
  watchSignals();
  // No signal between the file's creation and its registration: it would stay behind.
  sigset_t block, saved;
  sigemptyset(&block);
  sigaddset(&block, SIGINT);
  sigaddset(&block, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &block, &saved);
  int fd = mkostemps(temp, sizeof suffix - 1, O_CLOEXEC);
  int err = errno;
  if (fd >= 0) out->slot = registerTemp(temp);
  pthread_sigmask(SIG_SETMASK, &saved, nullptr);
  out->temp = temp;
  if (fd < 0) {
    out->error = err;
    forgetTemp(out);
    return nullptr;
  }
  fchmod(fd, newFileMode());
  out->f = fdopen(fd, "w");
  if (!out->f) {
    out->error = errno;
    close(fd);
    KxOutAbort(out);
    return nullptr;
  }
  out->target = strdup(target);
  if (!out->target) {
    out->error = ENOMEM;
    KxOutAbort(out);
    return nullptr;
  }
  return out->f;
}

bool KxOutCommit(KxOutFile* out) {
  if (!out->f || !out->target) {
    KxOutAbort(out);
    return false;
  }
  int err = 0;
  errno = 0;
  if (fflush(out->f) != 0 || ferror(out->f)) err = errno ? errno : EIO;
  if (fclose(out->f) != 0 && !err) err = errno ? errno : EIO;
  out->f = nullptr;
  if (!err && rename(out->temp, out->target) != 0) err = errno;
  if (err) {
    KxOutAbort(out);
    out->error = err;
    return false;
  }
  forgetTemp(out);
  free(out->target);
  out->target = nullptr;
  return true;
}

void KxOutAbort(KxOutFile* out) {
  if (out->f) fclose(out->f);
  out->f = nullptr;
  // Removed before it leaves the list: a signal in between finds nothing to remove.
  if (out->temp) unlink(out->temp);
  forgetTemp(out);
  free(out->target);
  out->target = nullptr;
}

FILE* KxOpenLog(const char* path, std::string* why) {
  int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666);
  FILE* f = fd >= 0 ? fdopen(fd, "w") : nullptr;
  if (f) return f;
  const int err = errno;
  if (fd >= 0) close(fd);
  struct stat st;
  if (err == ELOOP && lstat(path, &st) == 0 && S_ISLNK(st.st_mode))
    *why = std::string("the log '") + path + "' is a symbolic link - not written through it";
  else
    *why = std::string("cannot write the log '") + path + "' (" + strerror(err) + ")";
  return nullptr;
}

// Opens a file to read without hanging: a folder is refused, a named pipe is waited
// for a writer a while (opening it blocking would wait for ever). The descriptor
// reads blocking; -1 with the reason in why.
