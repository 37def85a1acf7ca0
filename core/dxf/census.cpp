// Which layers of a drawing hold geometry, and how much: read when a run finds
// no contour on the chosen layers, so that the user is told which layer names
// would have given something to cut; and why a file is no ASCII drawing at all.
#include "dxf/dxf.h"
#include "geometry/base.h"
#include "run/run.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>

// Entities that can become part of a contour or a feed point: what the entity
// pass reads, less texts and the pieces of a polyline.
static bool isGeometry(const char* type) { return kDxfKinds[DxfEntityKind(type)].geometry; }

static void countLayer(DxfLayerCensus* c, const char* name) {
  for (int i = 0; i < c->count; ++i) {
    if (strcmp(c->layers[i].name, name) == 0) {
      ++c->layers[i].entities;
      return;
    }
  }
  if (c->count == kCensusLayers) {
    ++c->moreLayers;
    return;
  }
  KxCopy(c->layers[c->count].name, sizeof c->layers[c->count].name, name);
  c->layers[c->count].entities = 1;
  ++c->count;
}

int DxfCountLayerGeometry(KxRun& run, DxfLayerCensus* c) {
  memset(c, 0, sizeof *c);
  if (!DxfRewindDrawing(run)) return 0;
  char code[kDxfLineSize], value[kDxfLineSize];
  // A drawing without sections (entities only) is read as one entity section.
  bool inEntities = true, sectionName = false, inEntity = false, counted = false;
  while (DxfReadLine(run, code) && DxfReadLine(run, value)) {
    const int g = DxfCode(code);
    if (g == 0) {
      sectionName = strcmp(value, "SECTION") == 0;
      if (strcmp(value, "ENDSEC") == 0) inEntities = false;
      inEntity = inEntities && isGeometry(value);
      counted = false;
    } else if (g == 2 && sectionName) {
      inEntities = strcmp(value, "ENTITIES") == 0;
      sectionName = false;
    } else if (g == 8 && inEntity && !counted) {
      countLayer(c, value);
      counted = true;
    }
  }
  // Most entities first.
  qsort(c->layers, (size_t)c->count, sizeof c->layers[0], [](const void* a, const void* b) {
    const long x = ((const DxfLayerCensus::Layer*)a)->entities, y = ((const DxfLayerCensus::Layer*)b)->entities;
    return x > y ? -1 : x < y ? 1 : 0;
  });
  return c->count;
}

namespace {

// The first lines of a file looked at, and its first bytes: a drawing's start is there.
constexpr int kHeadLines = 64;
constexpr long kHeadBytes = 64 << 10;

// The next line of f as the reader hands it out (its first kDxfLineSize - 1
// bytes, a NUL ends its text, the rest is passed); false at the end of the
// file or of the bytes looked at.
bool headLine(FILE* f, char* buf, long& budget) {
  size_t n = 0;
  int c = EOF;
  bool any = false;
  while (budget > 0 && (c = getc(f)) != EOF) {
    --budget;
    any = true;
    if (c == '\n') break;
    if (n + 1 < (size_t)kDxfLineSize) buf[n++] = (char)c;
  }
  buf[n] = '\0';
  if (n >= 1 && buf[n - 1] == '\r') buf[n - 1] = '\0';
  return any;
}

}  // namespace

const char* DxfWhyNotADrawing(KxRun& run, const char* path, char* why, size_t size) {
  FILE* f = nullptr;
  if (path) {
    f = fopen(path, "rb");
    if (!f) {
      snprintf(why, size, "it cannot be opened (%s)", strerror(errno));
      return why;
    }
    // A pipe or a device would give away what the drawing's reading needs.
    struct stat st;
    if (fstat(fileno(f), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) {
      fclose(f);
      return nullptr;
    }
  } else if (!DxfRewindDrawing(run)) {
    return nullptr;
  }
  // An ASCII drawing starts with group code 0 and SECTION, perhaps after comments (999).
  char line[kDxfLineSize];
  long budget = kHeadBytes;
  int lines = 0;
  bool code0 = false, found = false, any = false, binary = false, utf16 = false;
  while (lines < kHeadLines && (f ? headLine(f, line, budget) : DxfReadLine(run, line))) {
    ++lines;
    if (lines == 1) {
      binary = strncmp(line, "AutoCAD Binary DXF", 18) == 0;
      const unsigned char b0 = (unsigned char)line[0], b1 = b0 ? (unsigned char)line[1] : 0;
      utf16 = (b0 == 0xff && b1 == 0xfe) || (b0 == 0xfe && b1 == 0xff);
    }
    char* s = line;
    while (*s == ' ' || *s == '\t') ++s;
    size_t n = strlen(s);
    while (n > 0 && (s[n - 1] == '\r' || s[n - 1] == ' ')) s[--n] = '\0';
    if (n == 0) continue;
    any = true;
    if (code0 && strcmp(s, "SECTION") == 0) {
      found = true;
      break;
    }
    code0 = strcmp(s, "0") == 0;
  }
  if (f) fclose(f);
  if (found) return nullptr;
  if (binary) snprintf(why, size, "it is a binary DXF file; korvex reads ASCII drawings");
  else if (utf16) snprintf(why, size, "it is a UTF-16 text file; korvex reads ASCII drawings");
  else if (!any) snprintf(why, size, "the file is empty");
  else snprintf(why, size, "it is no DXF drawing (no SECTION at its start)");
  return why;
}
