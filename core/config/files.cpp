// Opening the settings, device syntax and technology files: only a readable
// regular file is read, so that a folder, a device such as /dev/zero or a pipe
// never hangs a run or passes for an empty file; what cannot be used is
// recorded once per run with its path and the reason.
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "config/config.h"
#include "geometry/base.h"
#include "run/run.h"

// The first refusal of the run as a sentence; empty while every file could be used.

void ConfigRefuse(KxRun& run, const char* what, const char* path, const char* reason) {
  if (!run.cfg.configRefusal.empty()) return;
  run.cfg.configRefusal.append("the ").append(what).append(" '").append(path ? path : "").append("' cannot be used (");
  run.cfg.configRefusal.append(reason).append(")");
  KxSay(run, "\n %s\n", run.cfg.configRefusal.c_str());
  KxLog(run, "\n %s\n", run.cfg.configRefusal.c_str());
}

const char* ConfigRefusal(KxSettings& cfg) { return cfg.configRefusal.c_str(); }

void ConfigClearRefusal(KxSettings& cfg) { cfg.configRefusal.clear(); }

FILE* ConfigOpenFile(KxRun& run, const char* path, const char* what) {
  if (!path || !path[0]) return nullptr;
  // Not blocking: a pipe without a writer must not stop the run at its opening.
  const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    if (errno != ENOENT && errno != ENOTDIR) ConfigRefuse(run, what, path, strerror(errno));
    return nullptr;
  }
  struct stat st;
  const char* why = nullptr;
  if (fstat(fd, &st) != 0) why = strerror(errno);
  else if (S_ISDIR(st.st_mode)) why = "it is a folder";
  else if (!S_ISREG(st.st_mode)) why = "it is not a regular file";
  FILE* f = why ? nullptr : fdopen(fd, "r");
  if (!f) {
    if (!why) why = strerror(errno);
    close(fd);
    ConfigRefuse(run, what, path, why);
  }
  return f;
}
