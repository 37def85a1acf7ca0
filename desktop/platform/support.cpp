// Support pieces of the kit that the window's messages are made of: status
// texts, rectangles, lists and the typed fields of a message with their
// printout.
#include <cstring>
#include <ctime>

#include "geometry/base.h"
#include "frontend.h"
#include "kxrun.h"
#include "platform/kits.h"

const char* kx_strerror(status_t err) {
  switch (err) {
    case B_OK: return "No error";
    case B_ERROR: return "General error";
    case B_NO_INIT: return "Not initialised";
    case B_BAD_TYPE: return "Attribute holds another type";
    case B_BAD_VALUE: return "Bad value";
    case B_NAME_NOT_FOUND: return "Name not found";
    case B_ENTRY_NOT_FOUND: return "Entry not found";
    case B_FILE_EXISTS: return "File exists";
    default: break;
  }
  if (err < 0 && err > -4096) return strerror(-err);
  return "Unknown error";
}

void snooze(bigtime_t microseconds) {
  if (microseconds <= 0) return;
  timespec ts;
  ts.tv_sec = (time_t)(microseconds / 1000000);
  ts.tv_nsec = (long)(microseconds % 1000000) * 1000;
  while (nanosleep(&ts, &ts) != 0) {
  }
}

void BRect::PrintToStream() const {
  KxPrint(DeskRun(), "BRect(l:%.1f, t:%.1f, r:%.1f, b:%.1f)\n", left, top, right, bottom);
}

// --- BList ---

bool BList::AddItem(void* item) {
  fItems.push_back(item);
  return true;
}

void* BList::ItemAt(int32 index) const {
  if (index < 0 || (size_t)index >= fItems.size()) return nullptr;
  return fItems[(size_t)index];
}

void* BList::RemoveItem(int32 index) {
  if (index < 0 || (size_t)index >= fItems.size()) return nullptr;
  void* item = fItems[(size_t)index];
  fItems.erase(fItems.begin() + index);
  return item;
}

int32 BList::CountItems() const { return (int32)fItems.size(); }

void BList::MakeEmpty() { fItems.clear(); }

// --- BMessage ---

BMessage::Field& BMessage::add(const char* name, type_code type) {
  fFields.emplace_back();
  Field& f = fFields.back();
  f.name = name ? name : "";
  f.type = type;
  return f;
}

status_t BMessage::AddString(const char* name, const char* text) {
  add(name, B_STRING_TYPE).text = text ? text : "";
  return B_OK;
}

status_t BMessage::AddInt32(const char* name, int32 value) {
  add(name, B_INT32_TYPE).i = value;
  return B_OK;
}

status_t BMessage::AddFloat(const char* name, float value) {
  add(name, B_FLOAT_TYPE).f[0] = value;
  return B_OK;
}

status_t BMessage::AddPoint(const char* name, BPoint value) {
  Field& f = add(name, B_POINT_TYPE);
  f.f[0] = value.x;
  f.f[1] = value.y;
  return B_OK;
}

status_t BMessage::AddPointer(const char* name, const void* pointer) {
  add(name, B_POINTER_TYPE).p = pointer;
  return B_OK;
}

status_t BMessage::AddRef(const char* name, const entry_ref* ref) {
  if (!ref || !ref->name) return B_BAD_VALUE;
  Field& f = add(name, B_REF_TYPE);
  f.text = ref->directory;
  f.leaf = ref->name;
  return B_OK;
}

const BMessage::Field* BMessage::find(const char* name, type_code type, int32 index) const {
  if (!name || index < 0) return nullptr;
  int32 seen = 0;
  for (const Field& f : fFields) {
    if (f.type != type || f.name != name) continue;
    if (seen++ == index) return &f;
  }
  return nullptr;
}

status_t BMessage::FindString(const char* name, const char** text) const {
  return FindString(name, 0, text);
}

status_t BMessage::FindString(const char* name, int32 index, const char** text) const {
  const Field* f = find(name, B_STRING_TYPE, index);
  if (!f) return B_NAME_NOT_FOUND;
  if (text) *text = f->text.c_str();
  return B_OK;
}

status_t BMessage::FindInt32(const char* name, int32* value) const {
  const Field* f = find(name, B_INT32_TYPE, 0);
  if (!f) return B_NAME_NOT_FOUND;
  if (value) *value = f->i;
  return B_OK;
}

status_t BMessage::FindFloat(const char* name, float* value) const {
  const Field* f = find(name, B_FLOAT_TYPE, 0);
  if (!f) return B_NAME_NOT_FOUND;
  if (value) *value = f->f[0];
  return B_OK;
}

status_t BMessage::FindPoint(const char* name, BPoint* value) const {
  const Field* f = find(name, B_POINT_TYPE, 0);
  if (!f) return B_NAME_NOT_FOUND;
  if (value) *value = BPoint(f->f[0], f->f[1]);
  return B_OK;
}

status_t BMessage::FindRef(const char* name, entry_ref* ref) const { return FindRef(name, 0, ref); }

status_t BMessage::FindRef(const char* name, int32 index, entry_ref* ref) const {
  const Field* f = find(name, B_REF_TYPE, index);
  if (!f) return B_NAME_NOT_FOUND;
  if (ref) *ref = entry_ref(f->text.c_str(), f->leaf.c_str());
  return B_OK;
}

bool BMessage::HasString(const char* name, int32 index) const {
  return find(name, B_STRING_TYPE, index) != nullptr;
}

// A four-character code as its characters, most significant first.
static void codeText(uint32 code, char out[5]) {
  for (int i = 0; i < 4; ++i) {
    char c = (char)((code >> (24 - 8 * i)) & 0xff);
    out[i] = (c >= 32 && c < 127) ? c : '.';
  }
  out[4] = '\0';
}

void BMessage::PrintToStream() const {
  char code[5];
  codeText(what, code);
  KxPrint(DeskRun(), "BMessage('%s') {\n", code);
  for (const Field& f : fFields) {
    char type[5];
    codeText(f.type, type);
    switch (f.type) {
      case B_STRING_TYPE:
        KxPrint(DeskRun(), "        %s = string(\"%s\")\n", f.name.c_str(), f.text.c_str());
        break;
      case B_INT32_TYPE:
        KxPrint(DeskRun(), "        %s = int32(%d)\n", f.name.c_str(), (int)f.i);
        break;
      case B_FLOAT_TYPE:
        KxPrint(DeskRun(), "        %s = float(%.4f)\n", f.name.c_str(), f.f[0]);
        break;
      case B_POINT_TYPE:
        KxPrint(DeskRun(), "        %s = BPoint(x:%.1f, y:%.1f)\n", f.name.c_str(), f.f[0], f.f[1]);
        break;
      case B_REF_TYPE:
        KxPrint(DeskRun(), "        %s = entry_ref(\"%s\", \"%s\")\n", f.name.c_str(), f.text.c_str(), f.leaf.c_str());
        break;
      default:
        KxPrint(DeskRun(), "        %s = type '%s'\n", f.name.c_str(), type);
        break;
    }
  }
  KxPrint(DeskRun(), "}\n");
}
