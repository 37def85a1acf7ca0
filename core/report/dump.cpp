// Diagnostic dump of the whole element table into a text file in the program
// folder ("-bulk" on the console): every record with its type, contour, marks,
// layer, points, circle data, length and text.
#include <cstring>
#include <unordered_map>

#include "dxf/dxf.h"
#include "config/config.h"
#include "contours/contours.h"
#include "elements/elements.h"
#include "geometry/base.h"
#include "run/run.h"

static const char* dumpTypeName(int t) {
  switch (t) {
    case etLINE: return "LINE";
    case etPOLY: return "POLY";
    case etVERT: return "VERT";
    case etARC: return "ARC";
    case etCIR: return "CIRC";
    case etINSE: return "INSE";
    case etTEXT: return "TEXT";
    case etPNT: return "POINT";
    case etDELETE: return "DELETE";
    case etCPY: return "aCOPY";
    default: return "****";
  }
}

// Layer name of a record; records that name no layer of the list show none.
static const char* layerName(KxRun& run, int index, char* buf, size_t size) {
  buf[0] = '\0';
  int layers = run.dxf.aktLayEntry;
  if (index < 0 || index >= layers) return buf;
  size_t n = strnlen(run.dxf.fLL[index].Name, sizeof run.dxf.fLL[index].Name);
  if (n >= size) n = size - 1;
  memcpy(buf, run.dxf.fLL[index].Name, n);
  buf[n] = '\0';
  return buf;
}

static void dumpRecord(KxRun& run, FILE* f, const elementdaten& e, const KxMarks& m) {
  const bool console = KxConsole(run);
  char lay[sizeof run.dxf.fLL[0].Name + 1];
  KxFilePrint(f, "\n [%ld]  (T:%s) (K:%.*s)  IsFirst:%d  used:%d ", e.num, dumpTypeName(e.type),
          (int)sizeof m.kontur, m.kontur, m.IsFirst, m.used);
  fputs(e.type == etCPY ? "(orgElem:" : " (kElemX:", f);
  KxFilePrint(f, "%4ld) ", (long)m.kElemX);
  KxFilePrint(f, " LAY: '%s' (%d)\n", layerName(run, e.fLayer, lay, sizeof lay), e.fLayer);
  KxFilePrint(f, console ? "SP x:%.5f y:%.5f" : "SP x:%.3f y:%.3f", e.sx, e.sy);
  KxFilePrint(f, console ? " EP x:%.5f y:%.5f" : " EP x:%.3f y:%.3f", e.ex, e.ey);
  if (e.type == etINSE || e.type == etARC || e.type == etCIR || e.type == etCPY)
    KxFilePrint(f, console ? " CP x:%.5f y:%.3f| Rad:%.5f \n" : "CP x:%.3f y:%.3f| Rad:%.3f \n", e.cx, e.cy, e.r);
  if (e.type == etARC || e.type == etCIR || e.type == etCPY)
    KxFilePrint(f, " sw:%.3f ew:%.3f | bw:%.3f \n", e.sw, e.ew, BOGENWINKEL(e.sw, e.ew));
  if (e.type == etPNT || e.type == etDELETE)
    KxFilePrint(f, console ? " CP x:%.5f y:%.5f  \n" : "CP x:%.3f y:%.3f  \n", e.cx, e.cy);
  KxFilePrint(f, " LEN: %.5f ", e.len);
  if (m.child != 0) KxFilePrint(f, "Child %d | ", m.child);
  KxFilePrint(f, " text:'%.*s' \n", (int)sizeof e.text, KxRecordText(e, m));
}

void SaveStructs(KxRun& run, const char* fname, const char* info) {
  if (!fname) fname = "";
  const std::string file = KxOutputFolder(run.cfg) + fname;
  const char* path = file.c_str();
  KxOutFile out;
  FILE* f = KxOutOpen(run, &out, path);
  if (!f) {
    KxPrint(run, " -dump not written: '%s' (%s)\n", path, out.drawing ? "it is the drawing itself" : strerror(out.error));
    return;
  }
  KxFilePrint(f, " Info: %s \n", info ? info : "");
  // A region row shows its contour's facts, as the traces print it.
  std::unordered_map<long, const KxContour*> regionOf;
  for (const KxContour& c : run.contours.all)
    if (c.region >= 0) regionOf[c.region] = &c;
  long top = run.table.eldsCounter;
  for (long i = 0; i < top; ++i) {
    auto row = regionOf.find(i);
    if (row == regionOf.end()) {
      dumpRecord(run, f, run.table.elds[i], run.table.marks[i]);
    } else {
      const KxRecordView v = KxRegionRow(run, *row->second);
      dumpRecord(run, f, v.record, v.marks);
    }
  }
  if (!KxOutCommit(&out)) {
    KxPrint(run, " -dump not written: '%s' (%s)\n", path, strerror(out.error));
    return;
  }
  KxPrint(run, " -saved (%s)-\n", fname);
}
