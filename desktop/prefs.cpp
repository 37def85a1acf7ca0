// The desktop program's memory between runs: the window frame, the
// window-by-begin flag and the logo path, kept as typed attributes of the file
// korvex_settings in the user's settings folder. Every failure is reported and
// the program goes on with the defaults.
#include <cstdlib>
#include <cstring>

#include "frontend.h"
#include "geometry/base.h"
#include "kxrun.h"

static const char kPrefsFolder[] = "_LP_x-vnd.VL";
static const char kPrefsFile[] = "korvex_settings";
static const char kPrefsData[] = "Hello !\n";
static const char kRectName[] = "prefs_window_rect";
static const char kBoolName[] = "window_by_begin";
static const char kLogoName[] = "logo_fuji";
static const char kLogoDefault[] = "/boot/home/logoimage";

Prefs::Prefs() : frame(WIN_X, WIN_Y, WIN_X + WIN_W, WIN_Y + WIN_H), winByBegin(true) {
  InitCheck();
  fFile = new BFile(Path(), B_READ_WRITE | B_CREATE_FILE);
  LoadPrefs();
  if (error) {
    // A failed first load writes the values in hand once and reads them again.
    delete fFile;
    fFile = new BFile(Path(), B_READ_WRITE | B_CREATE_FILE);
    Save();
    LoadPrefs();
  }
  KxPrint(DeskRun(), "Prefs '%s' \n", Path());
}

Prefs::~Prefs() {
  delete fFile;
  free(logoPath);
}

void Prefs::InitCheck() {
  BPath dir;
  status_t err = find_directory(B_USER_SETTINGS_DIRECTORY, &dir);
  if (err != B_OK) {
    KxPrint(DeskRun(), ">> no settings folder: %s\n", kx_strerror(err));
    return;
  }
  dir.Append(kPrefsFolder);
  if (BEntry(dir.Path()).IsDirectory()) {
    KxPrint(DeskRun(), ">> schon da: %s\n", dir.Path());
  } else {
    err = create_directory(dir.Path(), 0755);
    KxPrint(DeskRun(), ">> musste machen: %s\n", dir.Path());
    if (err != B_OK) KxPrint(DeskRun(), ">> %s\n", kx_strerror(err));
  }

  fPath = dir;
  fPath.Append(kPrefsFile);
  KxPrint(DeskRun(), "[Path:%s]\n", Path());

  if (BEntry(Path()).Exists()) {
    BFile file(Path(), B_READ_WRITE);
    if (file.InitCheck() == B_OK) {
      KxPrint(DeskRun(), "[File found]\n");
      file.WriteAt(0, kPrefsData, strlen(kPrefsData));
    } else {
      KxPrint(DeskRun(), "[init error]\n");
    }
  } else {
    KxPrint(DeskRun(), "[File not found]\n");
    BFile file(Path(), B_READ_WRITE | B_CREATE_FILE);
    if (file.InitCheck() == B_OK) {
      // The file's data is the same greeting whether it was just made or found.
      file.WriteAt(0, kPrefsData, strlen(kPrefsData));
      KxPrint(DeskRun(), "[File created]\n");
    } else {
      KxPrint(DeskRun(), "[init error]\n");
    }
  }
}

bool Prefs::LoadPrefs() {
  // Each load starts with a clean slate, so the flag tells about this load.
  error = false;
  free(logoPath);
  logoPath = (char*)malloc(kLogoSize);
  if (!logoPath) {
    error = true;
    return false;
  }
  KxCopy(logoPath, kLogoSize, kLogoDefault);
  bool ok = GetRect(kRectName, &frame, BRect(100, 100, 415, 329));
  ok = GetBool(kBoolName, &winByBegin, false) && ok;
  ok = GetStr(kLogoName, logoPath, kLogoDefault) && ok;
  if (!ok) error = true;
  return ok;
}

bool Prefs::Save() {
  bool ok = PutRect(kRectName, frame);
  ok = PutBool(kBoolName, winByBegin) && ok;
  ok = PutStr(kLogoName, logoPath ? logoPath : kLogoDefault) && ok;
  if (ok) KxPrint(DeskRun(), "Prefs -Save ok\n");
  return ok;
}

bool Prefs::SaveWin() { return PutRect(kRectName, frame); }

bool Prefs::readFailed(const char* name, ssize_t got) {
  status_t err = got < 0 ? (status_t)got : B_BAD_VALUE;   // a read of another size: a value of the wrong size
  KxPrint(DeskRun(), "Unknown error reading %s:\n%s\n", name, kx_strerror(err));
  error = true;
  return false;
}

// --- reading: a missing attribute is written with its default ---

bool Prefs::GetBool(const char* name, bool* value, bool def) {
  char raw[2];
  ssize_t got = fFile->ReadAttr(name, B_BOOL_TYPE, 0, raw, sizeof raw);
  if (got == 1) {
    *value = raw[0] != 0;
    return true;
  }
  if (got != B_ENTRY_NOT_FOUND) return readFailed(name, got);
  *value = def;
  char byte = def ? 1 : 0;
  if (fFile->WriteAttr(name, B_BOOL_TYPE, 0, &byte, 1) == 1) return true;
  KxPrint(DeskRun(), "WriteAttr on %s died\n", name);
  error = true;
  return false;
}

// A rectangle is stored as its four floats, left, top, right, bottom.
bool Prefs::GetRect(const char* name, BRect* value, BRect def) {
  float f[4];
  char raw[sizeof f + 1];
  ssize_t got = fFile->ReadAttr(name, B_RECT_TYPE, 0, raw, sizeof raw);
  if (got == (ssize_t)sizeof f) {
    memcpy(f, raw, sizeof f);
    *value = BRect(f[0], f[1], f[2], f[3]);
    return true;
  }
  if (got != B_ENTRY_NOT_FOUND) return readFailed(name, got);
  *value = def;
  float d[4] = {def.left, def.top, def.right, def.bottom};
  if (fFile->WriteAttr(name, B_RECT_TYPE, 0, d, sizeof d) == (ssize_t)sizeof d) return true;
  KxPrint(DeskRun(), "WriteAttr on %s died\n", name);
  error = true;
  return false;
}

bool Prefs::GetStr(const char* name, char* value, const char* def) {
  char buf[kLogoSize];
  ssize_t got = fFile->ReadAttr(name, B_STRING_TYPE, 0, buf, sizeof buf);
  if (got > 0) {
    // The stored text carries its NUL; one cut short by the buffer is ended here.
    buf[(size_t)got < sizeof buf ? (size_t)got : sizeof buf - 1] = '\0';
    KxCopy(value, kLogoSize, buf);
    return true;
  }
  if (got != B_ENTRY_NOT_FOUND) return readFailed(name, got);
  KxCopy(value, kLogoSize, def);
  size_t len = strlen(value) + 1;
  if (fFile->WriteAttr(name, B_STRING_TYPE, 0, value, len) == (ssize_t)len) return true;
  KxPrint(DeskRun(), "WriteAttr on %s died\n", name);
  error = true;
  return false;
}

// --- writing ---

bool Prefs::PutBool(const char* name, bool value) {
  char byte = value ? 1 : 0;
  ssize_t put = fFile->WriteAttr(name, B_BOOL_TYPE, 0, &byte, 1);
  if (put == 1) return true;
  KxPrint(DeskRun(), "Unknown error writing %s:\n%s\n", name, kx_strerror(put < 0 ? (status_t)put : B_ERROR));
  error = true;
  return false;
}

bool Prefs::PutRect(const char* name, BRect value) {
  float f[4] = {value.left, value.top, value.right, value.bottom};
  ssize_t put = fFile->WriteAttr(name, B_RECT_TYPE, 0, f, sizeof f);
  if (put == (ssize_t)sizeof f) return true;
  KxPrint(DeskRun(), "Unknown error writing %s:\n%s\n", name, kx_strerror(put < 0 ? (status_t)put : B_ERROR));
  error = true;
  return false;
}

bool Prefs::PutStr(const char* name, const char* value) {
  if (!value) value = "";
  size_t len = strlen(value) + 1;
  ssize_t put = fFile->WriteAttr(name, B_STRING_TYPE, 0, value, len);
  if (put == (ssize_t)len) return true;
  KxPrint(DeskRun(), "Unknown error writing %s '%s' \n%s\n", name, value, kx_strerror(put < 0 ? (status_t)put : B_ERROR));
  error = true;
  return false;
}
