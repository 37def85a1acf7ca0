// Which layers of a drawing hold geometry, and how much: read when a run finds
// no contour on the chosen layers, so that the user is told which layer names
// would have given something to cut.
#include "dxf/dxf.h"
#include "geometry/base.h"

#include <cstdlib>
#include <cstring>

// Entities that can become part of a contour or a feed point: what the entity
// pass reads, less texts and the pieces of a polyline.
static bool isGeometry(const char* type) {
  switch (DxfEntityKind(type)) {
    case dkNONE: case dkTEXT: case dkMTEXT: case dkVERTEX: case dkSEQEND: return false;
    default: return true;
  }
}

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

int DxfCountLayerGeometry(DxfLayerCensus* c) {
  memset(c, 0, sizeof *c);
  if (!DxfRewindDrawing()) return 0;
  char code[kDxfLineSize], value[kDxfLineSize];
  // A drawing without sections (entities only) is read as one entity section.
  bool inEntities = true, sectionName = false, inEntity = false, counted = false;
  while (DxfReadLine(code) && DxfReadLine(value)) {
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
