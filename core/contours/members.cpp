// The records of each contour by name, while the analysis runs: the steps that
// look for a contour's members, once per contour, would otherwise scan the whole
// table each time and take the square of the drawing's size.
#include <algorithm>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "contours/contours.h"
#include "elements/elements.h"
#include "run/run.h"

namespace {

struct MemberList {
  std::vector<long> ids;   // records filed under the name, ascending once sorted
  bool sorted = true;      // false after a record was added out of order
};

}  // namespace

// What a KxMemberIndex files.
struct KxMemberIndex::Lists {
  long filedUpTo = 0;                                      // records below this were filed (or are noted)
  bool withLater = false;                                  // records added after the filing are always candidates
  std::unordered_map<KxNameKey, MemberList, KxNameKeyHash> byName;  // records by their contour name
  Lists* outer = nullptr;                                  // the filing in use before this one
};

KxMemberIndex::KxMemberIndex(KxRun& run, bool withLater) : run_(run), lists_(new Lists) {
  lists_->withLater = withLater;
  const long n = run.table.eldsCounter;
  lists_->filedUpTo = n;
  for (long i = 0; i < n; ++i)
    if (run.table.marks[i].kontur[0] != '\0') lists_->byName[KxNameKey(run.table.marks[i].kontur)].ids.push_back(i);
  lists_->outer = run.contours.memberLists;
  run.contours.memberLists = lists_.get();
}

KxMemberIndex::~KxMemberIndex() { run_.contours.memberLists = lists_->outer; }

void KxNoteMember(KxRun& run, long i) {
  KxMemberIndex::Lists* lists = run.contours.memberLists;
  if (!lists || i < 0 || i >= run.table.eldsCounter || run.table.marks[i].kontur[0] == '\0') return;
  MemberList& list = lists->byName[KxNameKey(run.table.marks[i].kontur)];
  if (!list.ids.empty() && list.ids.back() >= i) list.sorted = false;
  list.ids.push_back(i);
}

void KxMemberCandidates(KxRun& run, const char* name, long n, std::vector<long>& out) {
  out.clear();
  KxMemberIndex::Lists* lists = run.contours.memberLists;
  if (!lists || !name) {
    for (long i = 0; i < n; ++i) out.push_back(i);
    return;
  }
  // Records added after the filing follow the filed ones.
  auto later = [&] {
    if (lists->withLater)
      for (long i = lists->filedUpTo; i < n; ++i) out.push_back(i);
  };
  auto it = lists->byName.find(KxNameKey(name));
  if (it == lists->byName.end()) {
    later();
    return;
  }
  MemberList& list = it->second;
  if (!list.sorted) {
    std::sort(list.ids.begin(), list.ids.end());
    list.ids.erase(std::unique(list.ids.begin(), list.ids.end()), list.ids.end());
    list.sorted = true;
  }
  for (long i : list.ids)
    if (i < n && (!lists->withLater || i < lists->filedUpTo)) out.push_back(i);
  later();
}
