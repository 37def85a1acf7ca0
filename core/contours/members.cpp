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

// What this file keeps of a run, owned by the run.
struct MembersState {
  bool membersIndexed = false;                             // the lists below are in use
  long membersFiledUpTo = 0;                               // records below this were filed (or are noted)
  bool membersWithLater = false;                           // records added after the filing are always candidates
  std::unordered_map<KxNameKey, MemberList, KxNameKeyHash> memberLists;  // records by their contour name
};

static MembersState& fileState(KxRun& run) { return run.membersState.get(); }


void KxIndexMembers(KxRun& run, bool withLater) {
  fileState(run).memberLists.clear();
  fileState(run).membersIndexed = true;
  fileState(run).membersWithLater = withLater;
  const long n = run.table.eldsCounter;
  fileState(run).membersFiledUpTo = n;
  for (long i = kWorkingRecords; i < n; ++i)
    if (run.table.elds[i].kontur[0] != '\0') fileState(run).memberLists[KxNameKey(run.table.elds[i].kontur)].ids.push_back(i);
}

void KxForgetMembers(KxRun& run) {
  fileState(run).membersIndexed = false;
  fileState(run).memberLists.clear();
}

void KxNoteMember(KxRun& run, long i) {
  if (!fileState(run).membersIndexed || i < kWorkingRecords || i >= run.table.eldsCounter || run.table.elds[i].kontur[0] == '\0')
    return;
  MemberList& list = fileState(run).memberLists[KxNameKey(run.table.elds[i].kontur)];
  if (!list.ids.empty() && list.ids.back() >= i) list.sorted = false;
  list.ids.push_back(i);
}

void KxMemberCandidates(KxRun& run, const char* name, long n, std::vector<long>& out) {
  out.clear();
  if (!fileState(run).membersIndexed || !name) {
    for (long i = 0; i < n; ++i) out.push_back(i);
    return;
  }
  for (long i = 0; i < kWorkingRecords && i < n; ++i) out.push_back(i);
  // Records added after the filing follow the filed ones.
  auto later = [&] {
    if (fileState(run).membersWithLater)
      for (long i = std::max(fileState(run).membersFiledUpTo, kWorkingRecords); i < n; ++i) out.push_back(i);
  };
  auto it = fileState(run).memberLists.find(KxNameKey(name));
  if (it == fileState(run).memberLists.end()) {
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
    if (i < n && (!fileState(run).membersWithLater || i < fileState(run).membersFiledUpTo)) out.push_back(i);
  later();
}
