// How long the written program keeps the machine busy, to quote a job and plan
// the night shift: every cut as the machine travels it over the feed of the
// technology line in force, the threadings and the positioning moves.
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "config/config.h"
#include "contours/contours.h"
#include "geometry/base.h"
#include "nc/nc.h"
#include "report/report.h"
#include "run/run.h"

namespace {

// The feed a cut is made with, 0 when the technology file gave none.
float feedOf(KxRun& run, const KxCutRun& c) {
  if (c.tech < 0 || (size_t)c.tech >= run.nc.techNotes.size()) return 0;
  const NcTechNote& n = run.nc.techNotes[(size_t)c.tech];
  return n.known && std::isfinite(n.feed) && n.feed > 0 ? n.feed : 0;
}

std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string format(const char* fmt, ...) {
  char buf[160];
  va_list ap;
  va_start(ap, fmt);
  vsnprintf(buf, sizeof buf, fmt, ap);
  va_end(ap);
  return buf;
}

std::string counted(long n, const char* one, const char* many) { return format("%ld %s", n, n == 1 ? one : many); }

// The contours named in a list; a long list names the first ones and counts the rest.
std::string names(const std::vector<int>& contours) {
  constexpr size_t kNamed = 12;
  std::string out;
  char name[16];
  for (size_t i = 0; i < contours.size() && i < kNamed; ++i) {
    KxContourName(name, sizeof name, contours[i]);
    out += (i ? ", " : "") + std::string(name);
  }
  if (contours.size() > kNamed) out += format(" and %zu more", contours.size() - kNamed);
  return out;
}

}  // namespace

void KxComputeMachineTime(KxRun& run, const KxToolpath& tp, KxMachineTime* mt) {
  *mt = KxMachineTime();
  mt->loops.assign(tp.loops.size(), KxLoopTime());
  for (const KxCutRun& c : tp.cutRuns) {
    if (c.loop < 0 || (size_t)c.loop >= mt->loops.size()) continue;
    KxLoopTime& l = mt->loops[(size_t)c.loop];
    ++l.cuts;
    l.threadings += c.threaded;
    const float feed = feedOf(run, c);
    if (feed > 0) l.minutes += c.length / feed;
    else l.known = 0;
  }
  for (size_t i = 0; i < mt->loops.size(); ++i) {
    const KxLoopTime& l = mt->loops[i];
    if (l.cuts == 0) continue;
    if (!l.known) {
      mt->unknown.push_back(KxBlockContour(tp.loops[i].block));
      continue;
    }
    ++mt->contours;
    mt->cuts += l.cuts;
    mt->threadings += l.threadings;
    mt->cutMinutes += l.minutes;
  }
  mt->threadMinutes = mt->threadings * (double)run.cfg.threadingTime;
  mt->rapidMinutes = run.cfg.rapidFeed > 0 ? tp.rapidLength / run.cfg.rapidFeed : 0;
  mt->total = mt->cutMinutes + mt->threadMinutes + mt->rapidMinutes;
  // The wire runs off while the generator cuts.
  mt->wireMetres = mt->cutMinutes * (double)run.cfg.wireSpeed;
  mt->valid = mt->contours > 0;
}

std::string KxDurationText(double minutes) {
  long m = std::isfinite(minutes) ? std::lround(minutes) : 0;
  if (m < 1) m = 1;
  if (m < 60) return format("about %ld min", m);
  return format("about %ld h %ld min", m / 60, m % 60);
}

std::string KxMachineTimeLine(KxRun& run, const KxMachineTime& mt) {
  if (!mt.valid) return mt.unknown.empty() ? "" : "machine time not known - no technology data: " + names(mt.unknown);
  std::string line = "machine time " + KxDurationText(mt.total) + " for " + counted(mt.contours, "contour", "contours") +
                     ", " + counted(mt.cuts, "cut", "cuts") + ", " + counted(mt.threadings, "threading", "threadings");
  if (run.cfg.wireSpeed > 0) line += format(", about %ld m of wire", std::lround(mt.wireMetres));
  if (!mt.unknown.empty()) line += " - left out, no technology data: " + names(mt.unknown);
  return line;
}

std::string KxMachineTimeText(KxRun& run) {
  KxMachineTime mt;
  KxComputeMachineTime(run, run.report.toolpath, &mt);
  return mt.valid ? KxDurationText(mt.total) : "";
}

void KxLogMachineTime(KxRun& run, const KxToolpath& tp) {
  if (!run.io.log_stream || tp.cutRuns.empty()) return;
  KxLog(run, "\n\nMachine time, cut by cut (length / feed = time):\n");
  std::vector<int> cutNumber(tp.loops.size(), 0);
  char name[16];
  for (const KxCutRun& c : tp.cutRuns) {
    if (c.loop < 0 || (size_t)c.loop >= tp.loops.size()) continue;
    const KxLoop& l = tp.loops[(size_t)c.loop];
    KxContourName(name, sizeof name, KxBlockContour(l.block));
    KxLog(run, " %s N%d cut %d: %.3f mm", name, l.block, ++cutNumber[(size_t)c.loop], c.length);
    const float feed = feedOf(run, c);
    if (feed > 0) KxLog(run, " / %.1f mm/min = %.1f min", feed, c.length / feed);
    else KxLog(run, ", no technology data");
    KxLog(run, "%s\n", c.threaded ? ", threaded" : "");
  }
  KxMachineTime mt;
  KxComputeMachineTime(run, tp, &mt);
  KxLog(run, " positioning: %.3f mm / %.0f mm/min = %.1f min\n", tp.rapidLength, run.cfg.rapidFeed, mt.rapidMinutes);
  KxLog(run, " threadings: %d x %.2f min = %.1f min\n", mt.threadings, run.cfg.threadingTime, mt.threadMinutes);
  KxLog(run, " %s\n", KxMachineTimeLine(run, mt).c_str());
}
