// The program's identity and flavour, and the formatted writing of the files a
// run makes, which needs nothing of the run itself.
#include "geometry/runwide.h"

#include <cstring>

int gFlavour = kxCONSOLE;

const char gAPPNAME[] = "korvex";

const char* KxVersionText() { return KxConsole() ? "_081024" : "_081112"; }



void KxSetFlavour(int flavour) {
  gFlavour = flavour == kxDESKTOP ? kxDESKTOP : kxCONSOLE;
}

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

