// The last step of every conversion: the HTML statistics page "_results.htm"
// with the run's data, element counts, contour lengths, used layers and
// warnings, and the opening of the page and the NC program for the user.
#include <cstring>

#include "config/config.h"
#include "contours/contours.h"
#include "dxf/dxf.h"
#include "elements/elements.h"
#include "geometry/base.h"
#include "nc/nc.h"
#include "report/report.h"
#include "run/run.h"

void KxHtmlText(FILE* out, const char* text) {
  if (!out || !text) return;
  for (const char* c = text; *c; ++c) {
    switch (*c) {
      case '&': fputs("&amp;", out); break;
      case '<': fputs("&lt;", out); break;
      case '>': fputs("&gt;", out); break;
      case '"': fputs("&quot;", out); break;
      case '\'': fputs("&#39;", out); break;
      default: fputc(*c, out); break;
    }
  }
}

// Fixed-size text field of a record, terminated even when the record is not.
static const char* field(const char* f, size_t size, char* buf, size_t bufSize) {
  size_t n = strnlen(f, size);
  if (n >= bufSize) n = bufSize - 1;
  memcpy(buf, f, n);
  buf[n] = '\0';
  return buf;
}

struct RowCount {
  long sum;
  long used;
};

struct PageCounts {
  RowCount lines, arcs, circles, small, inserts, points, texts, unknown;
  long orphans;
};

static void countRecords(KxRun& run, PageCounts& c) {
  memset(&c, 0, sizeof c);
  long top = run.table.eldsCounter;
  for (long i = 0; i < top; ++i) {
    const elementdaten& e = run.table.elds[i];
    // Start holes korvex placed are no drawing elements; the drill list shows them.
    if (e.type == etCIR && KxHolePlaced(run, i)) continue;
    char name[sizeof(KxMarks::kontur) + 1];
    if (strcmp(field(run.table.marks[i].kontur, sizeof(KxMarks::kontur), name, sizeof name), run.contours.orphan) == 0) ++c.orphans;
    RowCount* row = nullptr;
    switch (e.type) {
      case etLINE:
      case etPOLY:
      case etVERT: row = &c.lines; break;
      case etARC: row = &c.arcs; break;
      case etCIR: row = e.r > run.cfg.gridRadius ? &c.circles : &c.small; break;
      case etINSE: row = &c.inserts; break;
      case etPNT: row = &c.points; break;
      case etTEXT: row = &c.texts; break;
      case etDELETE: break;
      default: row = &c.unknown; break;  // copy slots, erased records and anything unknown
    }
    if (!row) continue;
    ++row->sum;
    if (run.table.marks[i].used != 0) ++row->used;
  }
}

// The contour's drawn name remark (from its text record, -1 for none), escaped like every other name on the page.
static void writeContourName(KxRun& run, FILE* page, long textElem) {
  char remark[160];
  memset(remark, 0, sizeof remark);
  FILE* mem = fmemopen(remark, sizeof remark - 1, "w");
  if (!mem) {
    PutKonturName(run, textElem, page);
    return;
  }
  PutKonturName(run, textElem, mem);
  fclose(mem);
  remark[sizeof remark - 1] = '\0';
  KxHtmlText(page, remark);
}

static void writeRow(FILE* page, const char* fmt, const RowCount& r) { KxFilePrint(page, fmt, r.sum, r.used); }

// Writes the page body, in these steps: record counts; head (date, drawing,
// version, layer, device, technology file, data mode, log); the table of element
// types; contours with their lengths and the one-cut sum; the drill list; the
// used layers; the warnings; the version line; the tool-path picture. Returns
// the number of warning lines.
static int writePage(KxRun& run, FILE* page) {
  PageCounts c;
  countRecords(run, c);

  fputs("<html>\n<head>\n", page);
  fputs("<META http-equiv='Content-Type' content='text/html; charset=UTF-8'>\n", page);
  fputs("<title> KORVEX-Statistics </title>\n", page);
  fputs("</head>\n", page);
  fputs("<body bgcolor='#ebf5ed'><basefont size='4' face='verdana,arial'><pre>\n", page);

  KxFilePrint(page, "     DATE: %s \n", run.io.fAktDate);
  fputs("     FILE: ", page); KxHtmlText(page, run.io.in_filename.c_str()); fputs(" \n", page);
  fputs("  VERSION: ", page); KxHtmlText(page, run.dxf.acad_VersInfo); fputs(" \t", page);
  fputs("\tEDMLAYER: ", page); KxHtmlText(page, run.cfg.edmLayer); fputs(" \n", page);
  fputs("   DEVICE: ", page); KxHtmlText(page, run.cfg.devTarget.c_str()); fputs(" \n", page);
  fputs(" TECHFILE: ", page); KxHtmlText(page, run.cfg.mS.TechFile); fputs(" \t", page);
  KxFilePrint(page, "\tDATAMODE: %s \n", run.nc.techno.G92Mode != 0 ? "PIECES" : "PLATE");
  if (const std::string units = KxUnitsText(run); !units.empty()) {
    fputs("    UNITS: ", page); KxHtmlText(page, units.c_str()); fputs(" \n", page);
  }
  fputs("  LOGFILE: <A HREF='", page); KxHtmlText(page, run.cfg.log_filename.c_str()); fputs("'> ", page);
  KxHtmlText(page, run.cfg.log_filename.c_str()); fputs(" </A>\n", page);

  fputs("\nTYPE     :    SUM |   USED \n", page);
  fputs("---------------------------\n", page);
  writeRow(page, "LINES    : %6ld | %6ld \n", c.lines);
  writeRow(page, "ARC      : %6ld | %6ld \n", c.arcs);
  writeRow(page, "CIRCLE   : %6ld | %6ld \n", c.circles);
  writeRow(page, "CIR-SP   : %6ld | %6ld \n", c.small);
  writeRow(page, "INSERT   : %6ld | %6ld \n", c.inserts);
  writeRow(page, "POINTS   : %6ld | %6ld \n", c.points);
  writeRow(page, "TEXT     : %6ld | %6ld \n", c.texts);
  fputs("---------------------------\n", page);
  writeRow(page, "unknown  : %6ld | %6ld \n", c.unknown);
  fputs("---------------------------\n", page);
  KxFilePrint(page, KxConsole(run) ? "CONTOURS  : %6d " : "CONTOURES : %6d ", run.contours.count);
  KxFilePrint(page, ", with %d HOLES \n", run.nc.holesCounter);
  fputs("\n", page);

  // Contours with their lengths: the integer part right-aligned in four
  // places; longer lengths widen the field instead of losing digits.
  float cutSum = 0;
  for (int k = 1; k <= run.contours.count; ++k) {
    const KxContour& c = run.contours.all[(size_t)k];
    const float len = c.region >= 0 ? c.length : 0.0f;
    cutSum += len;
    fputs("\n", page); KxHtmlText(page, c.name); fputs(" ", page);
    KxFilePrint(page, KxConsole(run) ? " %+8.3f " : " %8.3f ", len);
    writeContourName(run, page, c.nameText);
  }
  KxFilePrint(page, "\n1-cut sum: %.3f mm\n\n", cutSum);
  KxWriteDrillList(run, page);

  if (run.dxf.aktLayEntry > 1) {
    fputs("\tused Layer: \n", page);
    int layers = run.dxf.aktLayEntry;
    for (int i = 0; i < layers; ++i) {
      if (!run.dxf.fLL[i].GlobUsed) continue;
      char name[sizeof run.dxf.fLL[i].Name + 1];
      KxFilePrint(page, " %02d '", i);
      KxHtmlText(page, field(run.dxf.fLL[i].Name, sizeof run.dxf.fLL[i].Name, name, sizeof name));
      fputs("' \n", page);
    }
    fputs("\n", page);
  }

  int warnings = 0;
  if (run.table.maxElemBarrier > 0) {
    KxFilePrint(page, " Abbruch, mehr als %ld DXF-Elemente \n", run.table.eldsMaximum);
    warnings = 1;
  }
  if (run.contours.count < 1) {
    fputs("  ..pruefe EDMLAYER ", page);
    ++warnings;
  }
  if (run.nc.openKoCounter > 0) {
    KxFilePrint(page, " OOPS - %d offene Kontur(en) \n", run.nc.openKoCounter);
    ++warnings;
  }
  if (run.nc.missETechnologie > 0) {
    KxFilePrint(page, " OOPS - %d vermisste Technologie(n)\n", run.nc.missETechnologie);
    ++warnings;
  }
  if (run.nc.bigTrouble != 0) {
    KxFilePrint(page, " OOPS - %d Fehlende Startpunkte \n", run.nc.bigTrouble);
    ++warnings;
  }
  if (c.orphans > 0) KxFilePrint(page, " Verwaiste Elemente: %ld \n", c.orphans);
  if (run.table.killedElements > 0) {
    KxFilePrint(page, " %d %s (&lt;%.4f)\n", run.table.killedElements,
            run.table.killedElements == 1 ? "ignoriertes Element" : "ignorierte Elemente", run.cfg.elementTolerance);
    ++warnings;
  }
  if (run.table.duplicateElements > 0) {
    KxFilePrint(page, " %d doppelt gezeichnete(s) Element(e) ignoriert \n", run.table.duplicateElements);
    ++warnings;
  }
  if (run.dxf.refusedEntities > 0) {
    KxFilePrint(page, " NOTE - %d entit%s refused for %s numbers (see the log) \n", run.dxf.refusedEntities,
            run.dxf.refusedEntities == 1 ? "y" : "ies", run.dxf.refusedEntities == 1 ? "its" : "their");
    ++warnings;
  }
  if (const std::string doubt = KxUnitsWarning(run); !doubt.empty()) {
    fputs(" NOTE - ", page); KxHtmlText(page, doubt.c_str()); fputs(" \n", page);
    ++warnings;
  }
  if (run.nc.insetTechIgnored > 0) {
    KxFilePrint(page, " NOTE - %d inset contour(s): own technology not used, cut with the parent's cuts \n", run.nc.insetTechIgnored);
    ++warnings;
  }
  if (run.nc.piecesUncalled > 0) {
    KxFilePrint(page, " NOTE - piece mode: the main program calls the last piece only, %d piece(s) not called \n",
            run.nc.piecesUncalled);
    ++warnings;
  }

  ContactInfo(run.cfg, page);
  // The picture follows the program as written; without a program it shows what was left uncut.
  if (run.contours.count < 1 || run.nc.ncWriteFailed || !ReadToolpath(run, run.io.dataPath.c_str(), &run.report.toolpath)) ReadToolpath(run, nullptr, &run.report.toolpath);
  KxLogMachineTime(run, run.report.toolpath);
  WriteToolpathFigure(run, page, run.report.toolpath);
  fputs("</pre></font></body></html>\n", page);
  return warnings;
}

void SaveStatistic(KxRun& run) {
  const std::string pageFile = KxOutputFolder(run.cfg) + run.io.namePrefix + "_results.htm";
  const char* pagePath = pageFile.c_str();

  // Composed beside its target and renamed over it: a link there is replaced, not written through.
  int warnings = 0;
  KxOutFile out;
  FILE* page = KxOutOpen(run, &out, pagePath);
  if (!page) {
    KxPrint(run, " -result page not written: '%s' (%s)\n", pagePath,
            out.drawing ? "it is the drawing itself" : strerror(out.error));
  } else {
    warnings = writePage(run, page);
    if (!KxOutCommit(&out)) KxPrint(run, " -result page not written: '%s' (%s)\n", pagePath, strerror(out.error));
    else if (!KxConsole(run)) KxPrint(run, " -saved (result)-\n");

    if (warnings > 0) {
      if (KxConsole(run)) {
        KxPrint(run, "'%s' \n", pagePath);
        KxPrint(run, "oops win: '%s' \n", pagePath);
      } else {
        KxPrint(run, "'%s' \n", pagePath);
      }
      KxOpenForUser(run, pagePath);
    }
  }

  if (run.cfg.OpenDataFile == 0) {
    KxPrint(run, "SaveStatistic() end\n");
    return;
  }
  if (!KxConsole(run)) KxPrint(run, "(BeOS) '%s' \n", run.io.dataPath.c_str());
  // A program that could not be written is not shown: the file there, if any, is an older one.
  if (!run.nc.ncWriteFailed) KxOpenForUser(run, run.io.dataPath.c_str());
  KxPrint(run, "SaveStatistic() end\n");
}
