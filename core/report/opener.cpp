// Shows a finished file (statistics page, NC program, settings) to the user by
// handing its path to the desktop's opener as one argument of a spawned
// process: no shell ever sees the path, and the file itself is never executed.
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <mutex>

#include "geometry/base.h"
#include "report/report.h"
#include "run/run.h"

extern char** environ;


static const char* const kOpener = "xdg-open";

// Opener processes are not waited for; their exit status is collected later
// so that a long-running desktop program does not pile up zombies. They are the
// process's children, whichever run started them: one list, under a lock.
static pid_t gPendingOpeners[16];
static std::mutex gOpenersLock;

static void reapOpeners() {
  std::lock_guard<std::mutex> hold(gOpenersLock);
  for (pid_t& pid : gPendingOpeners) {
    if (pid > 0 && waitpid(pid, nullptr, WNOHANG) != 0) pid = 0;
  }
}

static void rememberOpener(pid_t pid) {
  std::lock_guard<std::mutex> hold(gOpenersLock);
  for (pid_t& slot : gPendingOpeners) {
    if (slot <= 0) {
      slot = pid;
      return;
    }
  }
}

static bool present(const char* value) { return value && value[0] != '\0'; }

int KxPlanOpen(const char* path, const char* display, const char* wayland, KxOpenPlan* plan) {
  if (!plan) return kxOPEN_NO_PATH;
  plan->path.clear();
  if (present(path)) {
    // A name that starts with '-' would be read as an option by the opener.
    if (path[0] == '-') plan->path = "./";
    plan->path += path;
  }
  plan->argv[0] = kOpener;
  plan->argv[1] = plan->path.c_str();
  plan->argv[2] = nullptr;
  if (!present(path)) return plan->verdict = kxOPEN_NO_PATH;
  if (!present(display) && !present(wayland)) return plan->verdict = kxOPEN_NO_SESSION;
  return plan->verdict = kxOPEN_SPAWNED;
}

int KxOpenForUser(KxRun& run, const char* path) {
  if (run.report.openHook) {
    run.report.openHook(path ? path : "");
    return kxOPEN_HOOKED;
  }
  reapOpeners();
  KxOpenPlan plan;
  int verdict = KxPlanOpen(path, getenv("DISPLAY"), getenv("WAYLAND_DISPLAY"), &plan);
  const char* shown = path ? path : "";
  switch (verdict) {
    case kxOPEN_NO_PATH:
      KxPrint(run, " -not opened: no file name given\n");
      return verdict;
    case kxOPEN_NO_SESSION:
      KxPrint(run, " -not opened (no graphical session): '%s'\n", shown);
      return verdict;
    default:
      break;
  }
  if (access(plan.path.c_str(), F_OK) != 0) {
    KxPrint(run, " -not opened (no such file): '%s'\n", shown);
    return kxOPEN_MISSING;
  }

  // The opener must not read the console's input.
  posix_spawn_file_actions_t actions;
  bool haveActions = posix_spawn_file_actions_init(&actions) == 0;
  if (haveActions) posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  pid_t pid = 0;
  int rc = posix_spawnp(&pid, kOpener, haveActions ? &actions : nullptr, nullptr,
                        const_cast<char* const*>(plan.argv), environ);
  if (haveActions) posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) {
    KxPrint(run, " -not opened (%s: %s): '%s'\n", kOpener, strerror(rc), shown);
    return kxOPEN_FAILED;
  }
  rememberOpener(pid);
  return kxOPEN_SPAWNED;
}
