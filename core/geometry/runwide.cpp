// The program's identity, the formatted writing of the files a run makes and
// the opening of inputs that may be pipes: what needs nothing of the run itself.
#include "geometry/runwide.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "geometry/limits.h"

const char gAPPNAME[] = "korvex";

const char* KxVersionText(int flavour) { return flavour == kxCONSOLE ? "_081024" : "_081112"; }


// The text of fmt with ap, into *text and *len, when it is plain text (many
// messages are: the nesting test prints single letters) or KxFormat can make it
// in buf; false when vsnprintf must do it. ap is left as it was.
bool KxQuickText(const char* fmt, va_list ap, char* buf, size_t size, const char** text, size_t* len) {
  if (!strchr(fmt, '%')) {
    *text = fmt;
    *len = strlen(fmt);
    return true;
  }
  va_list copy;
  va_copy(copy, ap);
  const int n = KxFormat(buf, size, fmt, copy);
  va_end(copy);
  if (n < 0) return false;
  *text = buf;
  *len = (size_t)n;
  return true;
}

// The program, log, page and picture are written line by line in the tens of
// thousands; glibc's vfprintf spends most of that time in its general number
// formatting, so the common formats go through KxFormat and one fwrite.
void KxFilePrintV(FILE* f, const char* fmt, va_list ap) {
  if (!f) return;
  char buf[1024];
  const char* text;
  size_t len;
  if (KxQuickText(fmt, ap, buf, sizeof buf, &text, &len)) fwrite_unlocked(text, 1, len, f);
  else vfprintf(f, fmt, ap);
}

void KxFilePrint(FILE* f, const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  KxFilePrintV(f, fmt, ap);
  va_end(ap);
}

int KxOpenInput(const std::string& path, struct stat* st, std::string* why) {
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    *why = strerror(errno);
    return -1;
  }
  if (fstat(fd, st) != 0) *why = strerror(errno);
  else if (S_ISDIR(st->st_mode)) *why = "it is a folder";
  else if (S_ISFIFO(st->st_mode)) {
    pollfd pf = {fd, POLLIN, 0};
    if (poll(&pf, 1, kPipeWriterWaitMs) <= 0) *why = "it is a pipe nothing was written into for " + std::to_string(kPipeWriterWaitMs / 1000) + " seconds";
  }
  if (!why->empty()) {
    close(fd);
    return -1;
  }
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}
