// Storage side of the kit: paths, folder entries, files, the user's settings
// folder, and typed file attributes kept as "user." extended attributes whose
// value starts with the four-byte type code.
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include "geometry/base.h"
#include "platform/kits.h"

static status_t fromErrno(int err) {
  if (err == ENOENT || err == ENODATA) return B_ENTRY_NOT_FOUND;
  if (err == EEXIST) return B_FILE_EXISTS;
  return err > 0 ? -err : B_ERROR;
}

// --- entry_ref ---

entry_ref::entry_ref(const char* dirPath, const char* leaf) : directory(dirPath ? dirPath : "") {
  set_name(leaf);
}

entry_ref::entry_ref(const entry_ref& other) : directory(other.directory) { set_name(other.name); }

entry_ref& entry_ref::operator=(const entry_ref& other) {
  if (this != &other) {
    directory = other.directory;
    set_name(other.name);
  }
  return *this;
}

entry_ref::~entry_ref() { free(name); }

void entry_ref::set_name(const char* leaf) {
  char* copy = leaf ? strdup(leaf) : nullptr;
  free(name);
  name = copy;
}

// --- BPath ---

BPath::BPath(const char* dir, const char* leaf) { SetTo(dir, leaf); }

status_t BPath::SetTo(const char* dir, const char* leaf) {
  fPath.clear();
  fInit = B_NO_INIT;
  if (!dir || !dir[0]) return fInit = B_BAD_VALUE;
  fPath = dir;
  // Trailing separators say nothing; the root keeps its one.
  while (fPath.size() > 1 && fPath.back() == '/') fPath.pop_back();
  fInit = B_OK;
  if (leaf) return Append(leaf);
  return B_OK;
}

status_t BPath::Append(const char* leaf) {
  if (fInit != B_OK) return fInit;
  if (!leaf || !leaf[0] || leaf[0] == '/') return B_BAD_VALUE;
  if (fPath != "/") fPath += '/';
  fPath += leaf;
  while (fPath.size() > 1 && fPath.back() == '/') fPath.pop_back();
  return B_OK;
}

status_t BPath::GetParent(BPath* parent) const {
  if (!parent) return B_BAD_VALUE;
  if (fInit != B_OK) return fInit;
  size_t slash = fPath.rfind('/');
  if (slash == std::string::npos || fPath == "/") return B_ENTRY_NOT_FOUND;
  std::string up = slash == 0 ? "/" : fPath.substr(0, slash);
  return parent->SetTo(up.c_str());
}

const char* BPath::Path() const { return fInit == B_OK ? fPath.c_str() : nullptr; }

const char* BPath::Leaf() const {
  if (fInit != B_OK) return nullptr;
  size_t slash = fPath.rfind('/');
  return slash == std::string::npos ? fPath.c_str() : fPath.c_str() + slash + 1;
}

// --- BEntry ---

BEntry::BEntry(const char* path) { SetTo(path); }

BEntry::BEntry(const entry_ref* ref) {
  if (!ref || !ref->name) return;
  BPath p(ref->directory.c_str(), ref->name);
  if (p.InitCheck() == B_OK) SetTo(p.Path());
}

status_t BEntry::SetTo(const char* path) {
  fPath = path ? path : "";
  return fInit = fPath.empty() ? B_BAD_VALUE : B_OK;
}

bool BEntry::Exists() const {
  struct stat st;
  return fInit == B_OK && lstat(fPath.c_str(), &st) == 0;
}

bool BEntry::IsFile() const {
  struct stat st;
  return fInit == B_OK && stat(fPath.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool BEntry::IsDirectory() const {
  struct stat st;
  return fInit == B_OK && stat(fPath.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

status_t BEntry::GetPath(BPath* path) const {
  if (!path) return B_BAD_VALUE;
  if (fInit != B_OK) return fInit;
  return path->SetTo(fPath.c_str());
}

status_t BEntry::GetName(char* buffer) const {
  if (!buffer) return B_BAD_VALUE;
  if (fInit != B_OK) return fInit;
  BPath p(fPath.c_str());
  KxCopy(buffer, B_FILE_NAME_LENGTH, p.Leaf() ? p.Leaf() : "");
  return B_OK;
}

status_t BEntry::GetRef(entry_ref* ref) const {
  if (!ref) return B_BAD_VALUE;
  if (fInit != B_OK) return fInit;
  BPath p(fPath.c_str()), dir;
  if (p.GetParent(&dir) != B_OK) return B_ENTRY_NOT_FOUND;
  *ref = entry_ref(dir.Path(), p.Leaf());
  return B_OK;
}

// --- BDirectory ---

BDirectory::BDirectory(const char* path) { SetTo(path); }

status_t BDirectory::SetTo(const char* path) {
  fNames.clear();
  fNext = 0;
  fPath = path ? path : "";
  DIR* d = fPath.empty() ? nullptr : opendir(fPath.c_str());
  if (!d) return fInit = fPath.empty() ? B_BAD_VALUE : fromErrno(errno);
  while (dirent* e = readdir(d)) {
    if (strcmp(e->d_name, ".") == 0 || strcmp(e->d_name, "..") == 0) continue;
    fNames.push_back(e->d_name);
  }
  closedir(d);
  // The folder's own order is arbitrary; menus built from it should not be.
  std::sort(fNames.begin(), fNames.end());
  return fInit = B_OK;
}

status_t BDirectory::GetNextEntry(BEntry* entry) {
  if (fInit != B_OK) return fInit;
  if (!entry) return B_BAD_VALUE;
  if (fNext >= fNames.size()) return B_ENTRY_NOT_FOUND;
  BPath p(fPath.c_str(), fNames[fNext++].c_str());
  return entry->SetTo(p.Path());
}

status_t create_directory(const char* path, mode_t mode) {
  if (!path || !path[0]) return B_BAD_VALUE;
  std::string p(path);
  for (size_t i = 1; i <= p.size(); ++i) {
    if (i < p.size() && p[i] != '/') continue;
    std::string part = p.substr(0, i);
    if (mkdir(part.c_str(), mode) != 0 && errno != EEXIST) return fromErrno(errno);
  }
  struct stat st;
  if (stat(path, &st) != 0) return fromErrno(errno);
  return S_ISDIR(st.st_mode) ? B_OK : B_FILE_EXISTS;
}

status_t find_directory(directory_which which, BPath* path, bool create) {
  if (which != B_USER_SETTINGS_DIRECTORY || !path) return B_BAD_VALUE;
  std::string dir;
  const char* xdg = getenv("XDG_CONFIG_HOME");
  if (xdg && xdg[0] == '/') {
    dir = xdg;
  } else {
    const char* home = getenv("HOME");
    if (!home || !home[0]) {
      const passwd* pw = getpwuid(getuid());
      home = pw ? pw->pw_dir : nullptr;
    }
    if (!home || !home[0]) return B_ENTRY_NOT_FOUND;
    dir = std::string(home) + "/.config";
  }
  if (create) {
    status_t err = create_directory(dir.c_str(), 0700);
    if (err != B_OK) return err;
  }
  return path->SetTo(dir.c_str());
}

// --- BNode ---

BNode::BNode(const char* path) { SetTo(path); }

BNode::~BNode() { Unset(); }

status_t BNode::SetTo(const char* path) {
  Unset();
  if (!path || !path[0]) return fInit = B_BAD_VALUE;
  struct stat st;
  if (stat(path, &st) != 0) return fInit = fromErrno(errno);
  fPath = path;
  return fInit = B_OK;
}

void BNode::Unset() {
  if (fFd >= 0) close(fFd);
  fFd = -1;
  fPath.clear();
  fInit = B_NO_INIT;
}

static std::string attrName(const char* name) { return std::string("user.") + name; }

ssize_t BNode::ReadAttr(const char* name, type_code type, off_t offset, void* buffer, size_t length) const {
  if (fInit != B_OK) return fInit;
  if (!name || !buffer || offset < 0) return B_BAD_VALUE;
  std::string key = attrName(name);
  ssize_t size = fFd >= 0 ? fgetxattr(fFd, key.c_str(), nullptr, 0) : getxattr(fPath.c_str(), key.c_str(), nullptr, 0);
  if (size < 0) return fromErrno(errno);
  std::string value((size_t)size, '\0');
  size = fFd >= 0 ? fgetxattr(fFd, key.c_str(), value.data(), value.size())
                  : getxattr(fPath.c_str(), key.c_str(), value.data(), value.size());
  if (size < 0) return fromErrno(errno);
  if (size < 4) return B_BAD_TYPE;
  type_code stored = 0;
  for (int i = 0; i < 4; ++i) stored = (stored << 8) | (unsigned char)value[(size_t)i];
  if (stored != type) return B_BAD_TYPE;
  size_t data = (size_t)size - 4;
  if ((size_t)offset >= data) return 0;
  size_t n = std::min(length, data - (size_t)offset);
  memcpy(buffer, value.data() + 4 + offset, n);
  return (ssize_t)n;
}

ssize_t BNode::WriteAttr(const char* name, type_code type, off_t offset, const void* buffer, size_t length) {
  if (fInit != B_OK) return fInit;
  // Attributes are always written whole; a partial write would leave a mixed value.
  if (!name || (!buffer && length) || offset != 0) return B_BAD_VALUE;
  std::string value(4 + length, '\0');
  for (int i = 0; i < 4; ++i) value[(size_t)i] = (char)((type >> (24 - 8 * i)) & 0xff);
  if (length) memcpy(value.data() + 4, buffer, length);
  std::string key = attrName(name);
  int rc = fFd >= 0 ? fsetxattr(fFd, key.c_str(), value.data(), value.size(), 0)
                    : setxattr(fPath.c_str(), key.c_str(), value.data(), value.size(), 0);
  if (rc != 0) return fromErrno(errno);
  return (ssize_t)length;
}

status_t BNode::RemoveAttr(const char* name) {
  if (fInit != B_OK) return fInit;
  if (!name) return B_BAD_VALUE;
  std::string key = attrName(name);
  int rc = fFd >= 0 ? fremovexattr(fFd, key.c_str()) : removexattr(fPath.c_str(), key.c_str());
  return rc == 0 ? B_OK : fromErrno(errno);
}

// --- BFile ---

BFile::BFile(const char* path, uint32 openMode) { SetTo(path, openMode); }

status_t BFile::SetTo(const char* path, uint32 openMode) {
  Unset();
  if (!path || !path[0]) return fInit = B_BAD_VALUE;
  int flags = O_CLOEXEC;
  switch (openMode & 0x3) {
    case B_WRITE_ONLY: flags |= O_WRONLY; break;
    case B_READ_WRITE: flags |= O_RDWR; break;
    default: flags |= O_RDONLY; break;
  }
  if (openMode & B_CREATE_FILE) flags |= O_CREAT;
  if (openMode & B_FAIL_IF_EXISTS) flags |= O_EXCL;
  if (openMode & B_ERASE_FILE) flags |= O_TRUNC;
  int fd = open(path, flags, 0644);
  if (fd < 0) return fInit = fromErrno(errno);
  fFd = fd;
  fPath = path;
  return fInit = B_OK;
}

ssize_t BFile::Write(const void* buffer, size_t size) {
  if (fInit != B_OK) return fInit;
  ssize_t n = write(fFd, buffer, size);
  return n < 0 ? fromErrno(errno) : n;
}

ssize_t BFile::WriteAt(off_t position, const void* buffer, size_t size) {
  if (fInit != B_OK) return fInit;
  ssize_t n = pwrite(fFd, buffer, size, position);
  return n < 0 ? fromErrno(errno) : n;
}

