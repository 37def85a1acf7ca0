// Many drawings converted side by side: each on a run of its own on one of a few
// threads, its outputs named after it in the batch's folder, its console text
// kept for its log; the results in input order and the job sheet _jobs.htm.

#include <atomic>
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <memory>
#include <mutex>
#include <thread>

#include "config/config.h"
#include "geometry/base.h"
#include "report/report.h"
#include "run/run.h"

namespace fs = std::filesystem;

int KxWorstStatus(const std::vector<KxResult>& results) {
  int worst = kxSTATUS_OK;
  for (const KxResult& r : results)
    if (r.status > worst) worst = r.status;
  return worst;
}

std::string KxBatchStem(const std::vector<std::string>& drawings, size_t i) {
  auto stem = [](const std::string& path) {
    std::string name = path.substr(path.rfind('/') + 1);
    if (KxEndsWith(name.c_str(), ".dxf") || KxEndsWith(name.c_str(), ".DXF")) name.resize(name.size() - 4);
    return name.empty() ? std::string("drawing") : name;
  };
  const std::string own = stem(drawings[i]);
  int same = 0;
  for (size_t k = 0; k < i; ++k) same += stem(drawings[k]) == own;
  return same ? own + "-" + std::to_string(same + 1) : own;
}

// One drawing of the batch: its outputs named after it, nothing opened for the
// user, its console text appended to its log.
static KxResult convertOne(const KxJob& base, const std::vector<std::string>& drawings, size_t i) {
  const std::string stem = KxBatchStem(drawings, i);
  KxJob job = base;
  job.drawing = drawings[i];
  std::string folder = base.output.empty() ? std::string("./") : base.output;
  if (folder.back() != '/') folder.push_back('/');
  job.output = folder;
  job.log = folder + stem + "_outlog.txt";
  job.programName = stem;
  job.namePrefix = stem;
  job.openFiles = false;
  job.opener = nullptr;
  job.pause = nullptr;
  auto run = std::make_unique<KxRun>();   // large: kept off the stack
  std::string console;
  run->io.consoleSink = [&console](const char* text, size_t len) { console.append(text, len); };
  KxResult r = KxConvert(*run, job);
  if (r.status != kxSTATUS_NO_LOG && !console.empty()) {
    if (FILE* log = fopen(job.log.c_str(), "a")) {
      fputs("\n--- console ---\n", log);
      fwrite(console.data(), 1, console.size(), log);
      fclose(log);
    }
  }
  r.log = job.log;
  // The job sheet needs the counts only: a batch of large drawings would
  // otherwise hold every drawing's contours to its end.
  std::vector<KxContour>().swap(r.outlines);
  return r;
}

std::vector<KxResult> KxConvertBatch(const KxJob& base, const std::vector<std::string>& drawings, int threads,
                                     const std::function<void(const KxResult&)>& done) {
  // A batch names a folder for its many outputs; one that is not there yet is
  // made (its parent must exist). Where that fails, each drawing says why.
  if (!base.output.empty()) {
    std::error_code ec;
    fs::create_directory(base.output, ec);
  }
  std::vector<KxResult> results(drawings.size());
  std::vector<char> finished(drawings.size(), 0);
  std::mutex lock;
  std::condition_variable ready;
  // The largest drawings first: one begun last would keep a thread busy alone at the end.
  std::vector<size_t> order(drawings.size());
  std::vector<uintmax_t> size(drawings.size(), 0);
  for (size_t i = 0; i < drawings.size(); ++i) {
    std::error_code ec;
    order[i] = i;
    size[i] = fs::is_regular_file(drawings[i], ec) ? fs::file_size(drawings[i], ec) : 0;
  }
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return size[a] > size[b]; });
  std::atomic<size_t> next{0};
  auto work = [&] {
    for (size_t n; (n = next++) < drawings.size();) {
      const size_t i = order[n];
      KxResult r = convertOne(base, drawings, i);
      std::lock_guard<std::mutex> hold(lock);
      results[i] = std::move(r);
      finished[i] = 1;
      ready.notify_all();
    }
  };
  const size_t count = std::min<size_t>((size_t)std::max(threads, 1), drawings.size());
  std::vector<std::thread> pool;
  for (size_t t = 0; t < count; ++t) pool.emplace_back(work);
  // Told in input order as soon as a drawing and all before it are done.
  for (size_t i = 0; i < drawings.size(); ++i) {
    std::unique_lock<std::mutex> hold(lock);
    ready.wait(hold, [&] { return finished[i] != 0; });
    const KxResult r = results[i];
    hold.unlock();
    if (done) done(r);
  }
  for (std::thread& t : pool) t.join();
  return results;
}

// Text with &, <, >, quotes as HTML entities.
static std::string html(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default: out += c;
    }
  }
  return out;
}

// A path relative to the sheet's folder as a link: folders kept, everything
// but plain letters, digits and a few marks percent-encoded.
static std::string link(const std::string& path, const fs::path& sheetFolder) {
  std::error_code ec;
  fs::path rel = fs::absolute(path, ec).lexically_normal().lexically_relative(fs::absolute(sheetFolder, ec).lexically_normal());
  const std::string text = rel.empty() ? path : rel.string();
  std::string out;
  char hex[4];
  for (unsigned char c : text) {
    if (isalnum(c) || strchr("-_.~/", c)) out += (char)c;
    else {
      snprintf(hex, sizeof hex, "%%%02X", c);
      out += hex;
    }
  }
  return out;
}

bool KxWriteJobSheet(const std::string& path, const std::vector<KxResult>& results, std::string* why) {
  const fs::path folder = fs::path(path).parent_path().empty() ? fs::path(".") : fs::path(path).parent_path();
  const std::string temp = path + ".part";
  FILE* f = fopen(temp.c_str(), "w");
  if (!f) {
    if (why) *why = strerror(errno);
    return false;
  }
  char date[32];
  const time_t now = time(nullptr);
  strftime(date, sizeof date, "%Y-%m-%d %H:%M:%S", localtime(&now));
  int converted = 0;
  for (const KxResult& r : results) converted += r.status == kxSTATUS_OK;
  fputs("<html>\n<head>\n<META http-equiv='Content-Type' content='text/html; charset=UTF-8'>\n"
        "<title> KORVEX-Jobs </title>\n<style>\n"
        ".kxtab{border-collapse:collapse;font-family:verdana,arial,sans-serif;font-size:13px}\n"
        ".kxtab td,.kxtab th{border:1px solid #9ab;padding:2px 8px;text-align:left}\n"
        ".kxtab td.n{text-align:right}\n.kxtab tr.bad td{color:#c00000}\n"
        "</style>\n</head>\n<body bgcolor='#ebf5ed'><basefont size='4' face='verdana,arial'><pre>\n", f);
  fprintf(f, "     DATE: %s \n DRAWINGS: %zu \nCONVERTED: %d \n   STATUS: %d \n</pre>\n", date, results.size(), converted,
          KxWorstStatus(results));
  fputs("<table class='kxtab'>\n<tr><th>#</th><th>drawing</th><th>status</th><th>contours</th>"
        "<th>start holes to drill</th><th>machine time</th><th>NC program</th><th>log</th></tr>\n", f);
  for (size_t i = 0; i < results.size(); ++i) {
    const KxResult& r = results[i];
    const std::string status = std::to_string(r.status) + " " + KxStatusName(r.status) + (r.failure.empty() ? "" : ": " + r.failure);
    fprintf(f, "<tr%s><td class='n'>%zu</td><td>%s</td><td>%s</td>", r.status ? " class='bad'" : "", i + 1,
            html(r.drawing).c_str(), html(status).c_str());
    fprintf(f, "<td class='n'>%d</td><td class='n'>%d</td><td>%s</td>", r.contours, r.toDrill,
            html(r.machineTime.empty() ? "-" : r.machineTime).c_str());
    if (r.programWritten)
      fprintf(f, "<td><a href='%s'>%s</a></td>", html(link(r.program, folder)).c_str(), html(r.program).c_str());
    else fputs("<td>-</td>", f);
    if (r.status != kxSTATUS_NO_LOG && fs::exists(r.log))
      fprintf(f, "<td><a href='%s'>log</a></td></tr>\n", html(link(r.log, folder)).c_str());
    else fputs("<td>-</td></tr>\n", f);
  }
  fputs("</table>\n</font></body></html>\n", f);
  const bool ok = fflush(f) == 0 && !ferror(f);
  if (fclose(f) != 0 || !ok || rename(temp.c_str(), path.c_str()) != 0) {
    if (why) *why = strerror(errno);
    remove(temp.c_str());
    return false;
  }
  return true;
}
