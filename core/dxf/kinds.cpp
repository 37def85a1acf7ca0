// The kinds of entity the entity pass reads, one row each: everything the reader,
// the scanners and the layer census know of a kind stands here, so a new kind is
// one more row (and its groups in the entity conversion).
#include "dxf/dxf.h"
#include "elements/elements.h"

const DxfKind kDxfKinds[dkKindCount] = {
    //  name          record   12-format  object coords  geometry
    {"ENTITY",      -1,      false,     false,         false},   // dkNONE: a type that is not read
    {"LINE",        etLINE,  true,      false,         true},
    {"ARC",         etARC,   true,      true,          true},
    {"CIRCLE",      etCIR,   true,      true,          true},
    {"POINT",       etPNT,   true,      false,         true},
    {"INSERT",      etINSE,  true,      true,          true},
    {"TEXT",        etTEXT,  true,      true,          false},
    {"MTEXT",       etTEXT,  true,      false,         false},
    {"POLYLINE",    etPOLY,  true,      true,          true},
    {"LWPOLYLINE",  etPOLY,  false,     true,          true},
    {"VERTEX",      etVERT,  true,      false,         false},
    {"SEQEND",      -1,      true,      false,         false},
    {"ELLIPSE",     -1,      true,      false,         true},
    {"SPLINE",      -1,      false,     false,         true},
};

int DxfEntityKind(const char* name) {
  // Every group 0 of the drawing comes by here: compared without library calls.
  for (int k = 1; k < dkKindCount; ++k) {
    const char* t = kDxfKinds[k].name;
    if (name[0] != t[0]) continue;
    int i = 1;
    while (t[i] != '\0' && name[i] == t[i]) ++i;
    if (t[i] == '\0' && name[i] == '\0') return k;
  }
  return dkNONE;
}

const DxfKind& DxfKindOf(int kind) { return kDxfKinds[kind > dkNONE && kind < dkKindCount ? kind : dkNONE]; }
