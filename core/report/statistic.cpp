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

// A name as a record holds it: at most its field's size, as strncmp compares it.
static std::string recordName(const char* name) { return std::string(name, strnlen(name, sizeof(elementdaten::kontur))); }

KxContourRecords::KxContourRecords(long top) {
  for (long i = 0; i < top; ++i) of_[recordName(elds[i].kontur)].push_back(i);
}

const std::vector<long>& KxContourRecords::Of(const char* name) const {
  const auto at = of_.find(recordName(name));
  return at == of_.end() ? none_ : at->second;
}

long KxContourRecords::Region(const char* name) const {
  const std::vector<long>& m = Of(name);
  for (auto i = m.rbegin(); i != m.rend() && *i >= 1; ++i)
    if (strcmp(elds[*i].text, gtRegInfo) == 0) return *i;
  return -1;
}

long KxContourRecords::NameText(const char* name) const {
  for (long i : Of(name))
    if (elds[i].type == etTEXT && strchr(elds[i].text, '*')) return i;
  return -1;
}

long KxContourRecords::AutoStartHole(const char* name) const {
  const std::vector<long>& m = Of(name);
  for (auto i = m.rbegin(); i != m.rend(); ++i)
    if (elds[*i].type == etCIR && elds[*i].kElemX == kAutoStartMark) return *i;
  return -1;
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

static void countRecords(PageCounts& c) {
  memset(&c, 0, sizeof c);
  long top = eldsCounter;
  for (long i = 0; i < top; ++i) {
    const elementdaten& e = elds[i];
    // Start holes korvex placed are no drawing elements; the drill list shows them.
    if (e.type == etCIR && e.kElemX == kAutoStartMark) continue;
    char name[sizeof e.kontur + 1];
    if (strcmp(field(e.kontur, sizeof e.kontur, name, sizeof name), gOrphan) == 0) ++c.orphans;
    RowCount* row = nullptr;
    switch (e.type) {
      case etLINE:
      case etPOLY:
      case etVERT: row = &c.lines; break;
      case etARC: row = &c.arcs; break;
      case etCIR: row = e.r > gStartPosition ? &c.circles : &c.small; break;
      case etINSE: row = &c.inserts; break;
      case etPNT: row = &c.points; break;
      case etTEXT: row = &c.texts; break;
      case etDELETE: break;
      default: row = &c.unknown; break;  // copy slots, erased records and anything unknown
    }
    if (!row) continue;
    ++row->sum;
    if (e.used != 0) ++row->used;
  }
}

// The contour's drawn name remark (from its text record, -1 for none), escaped like every other name on the page.
static void writeContourName(FILE* page, long textElem) {
  char remark[160];
  memset(remark, 0, sizeof remark);
  FILE* mem = fmemopen(remark, sizeof remark - 1, "w");
  if (!mem) {
    PutKonturName(textElem, page);
    return;
  }
  PutKonturName(textElem, mem);
  fclose(mem);
  remark[sizeof remark - 1] = '\0';
  KxHtmlText(page, remark);
}

static void writeRow(FILE* page, const char* fmt, const RowCount& r) { fprintf(page, fmt, r.sum, r.used); }

// Writes the page body, in these steps: record counts; head (date, drawing,
// version, layer, device, technology file, data mode, log); the table of element
// types; contours with their lengths and the one-cut sum; the drill list; the
// used layers; the warnings; the version line; the tool-path picture. Returns
// the number of warning lines.
static int writePage(FILE* page) {
  PageCounts c;
  countRecords(c);

  fputs("<html>\n<head>\n", page);
  fputs("<META http-equiv='Content-Type' content='text/html; charset=UTF-8'>\n", page);
  fputs("<title> KORVEX-Statistics </title>\n", page);
  fputs("</head>\n", page);
  fputs("<body bgcolor='#ebf5ed'><basefont size='4' face='verdana,arial'><pre>\n", page);

  fprintf(page, "     DATE: %s \n", fAktDate);
  fputs("     FILE: ", page); KxHtmlText(page, in_filename.c_str()); fputs(" \n", page);
  fputs("  VERSION: ", page); KxHtmlText(page, acad_VersInfo); fputs(" \t", page);
  fputs("\tEDMLAYER: ", page); KxHtmlText(page, edmLayer); fputs(" \n", page);
  fputs("   DEVICE: ", page); KxHtmlText(page, gDevTarget.c_str()); fputs(" \n", page);
  fputs(" TECHFILE: ", page); KxHtmlText(page, mS.TechFile); fputs(" \t", page);
  fprintf(page, "\tDATAMODE: %s \n", ktechno.G92Mode != 0 ? "PIECES" : "PLATE");
  fputs("  LOGFILE: <A HREF='", page); KxHtmlText(page, log_filename.c_str()); fputs("'> ", page);
  KxHtmlText(page, log_filename.c_str()); fputs(" </A>\n", page);

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
  fprintf(page, KxConsole() ? "CONTOURS  : %6d " : "CONTOURES : %6d ", gKonturCounter);
  fprintf(page, ", with %d HOLES \n", gHolesCounter);
  fputs("\n", page);

  // Contours with their lengths: the integer part right-aligned in four
  // places; longer lengths widen the field instead of losing digits.
  float cutSum = 0;
  const KxContourRecords records(eldsCounter);
  for (int k = 1; k <= gKonturCounter; ++k) {
    char kn[16];
    KxContourName(kn, sizeof kn, k);
    long reg = records.Region(kn);
    float len = reg >= 0 ? elds[reg].len : 0.0f;
    cutSum += len;
    fputs("\n", page); KxHtmlText(page, kn); fputs(" ", page);
    fprintf(page, KxConsole() ? " %+8.3f " : " %8.3f ", len);
    writeContourName(page, records.NameText(kn));
  }
  fprintf(page, "\n1-cut sum: %.3f mm\n\n", cutSum);
  KxWriteDrillList(page);

  if (gAktLayEntry > 1) {
    fputs("\tused Layer: \n", page);
    int layers = gAktLayEntry;
    for (int i = 0; i < layers; ++i) {
      if (!fLL[i].GlobUsed) continue;
      char name[sizeof fLL[i].Name + 1];
      fprintf(page, " %02d '", i);
      KxHtmlText(page, field(fLL[i].Name, sizeof fLL[i].Name, name, sizeof name));
      fputs("' \n", page);
    }
    fputs("\n", page);
  }

  int warnings = 0;
  if (gMaxELemBarrier > 0) {
    fprintf(page, " Abbruch, mehr als %ld DXF-Elemente \n", eldsMaximum);
    warnings = 1;
  }
  if (gKonturCounter < 1) {
    fputs("  ..pruefe EDMLAYER ", page);
    ++warnings;
  }
  if (gOpenKoCounter > 0) {
    fprintf(page, " OOPS - %d offene Kontur(en) \n", gOpenKoCounter);
    ++warnings;
  }
  if (gMissETechnologie > 0) {
    fprintf(page, " OOPS - %d vermisste Technologie(n)\n", gMissETechnologie);
    ++warnings;
  }
  if (gBigTrouble != 0) {
    fprintf(page, " OOPS - %d Fehlende Startpunkte \n", gBigTrouble);
    ++warnings;
  }
  if (c.orphans > 0) fprintf(page, " Verwaiste Elemente: %ld \n", c.orphans);
  if (gKilledElements > 0) {
    fprintf(page, " %d %s (&lt;%.4f)\n", gKilledElements,
            gKilledElements == 1 ? "ignoriertes Element" : "ignorierte Elemente", gNpTolerance);
    ++warnings;
  }
  if (gDuplicateElements > 0) {
    fprintf(page, " %d doppelt gezeichnete(s) Element(e) ignoriert \n", gDuplicateElements);
    ++warnings;
  }
  if (gRefusedEntities > 0) {
    fprintf(page, " NOTE - %d entit%s refused for %s numbers (see the log) \n", gRefusedEntities,
            gRefusedEntities == 1 ? "y" : "ies", gRefusedEntities == 1 ? "its" : "their");
    ++warnings;
  }
  if (gInsetTechIgnored > 0) {
    fprintf(page, " NOTE - %d inset contour(s): own technology not used, cut with the parent's cuts \n", gInsetTechIgnored);
    ++warnings;
  }
  if (gPiecesUncalled > 0) {
    fprintf(page, " NOTE - piece mode: the main program calls the last piece only, %d piece(s) not called \n",
            gPiecesUncalled);
    ++warnings;
  }

  ContactInfo(page);
  // The picture follows the program as written; without a program it shows what was left uncut.
  if (gKonturCounter < 1 || gNcWriteFailed || !ReadToolpath(dataPath.c_str(), &gToolpath)) ReadToolpath(nullptr, &gToolpath);
  WriteToolpathFigure(page, gToolpath);
  fputs("</pre></font></body></html>\n", page);
  return warnings;
}

void SaveStatistic() {
  const std::string pageFile = homepath + "_results.htm";
  const char* pagePath = pageFile.c_str();

  // Composed beside its target and renamed over it: a link there is replaced, not written through.
  int warnings = 0;
  KxOutFile out;
  FILE* page = KxOutOpen(&out, pagePath);
  if (!page) {
    KxPrint(" -result page not written: '%s' (%s)\n", pagePath,
            out.drawing ? "it is the drawing itself" : strerror(out.error));
  } else {
    warnings = writePage(page);
    if (!KxOutCommit(&out)) KxPrint(" -result page not written: '%s' (%s)\n", pagePath, strerror(out.error));
    else if (!KxConsole()) KxPrint(" -saved (result)-\n");

    if (warnings > 0) {
      if (KxConsole()) {
        KxPrint("'%s' \n", pagePath);
        KxPrint("oops win: '%s' \n", pagePath);
      } else {
        KxPrint("'%s' \n", pagePath);
      }
      KxOpenForUser(pagePath);
    }
  }

  if (OpenDataFile == 0) {
    KxPrint("SaveStatistic() end\n");
    return;
  }
  if (!KxConsole()) KxPrint("(BeOS) '%s' \n", dataPath.c_str());
  // A program that could not be written is not shown: the file there, if any, is an older one.
  if (!gNcWriteFailed) KxOpenForUser(dataPath.c_str());
  KxPrint("SaveStatistic() end\n");
}
