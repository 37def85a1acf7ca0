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

namespace {

// AddReservedElements puts seven working records in front of the drawing's; the
// analysis copies members into them at any time, so they are always looked at.
constexpr long kWorkingRecords = 7;

struct MemberList {
  std::vector<long> ids;   // records filed under the name, ascending once sorted
  bool sorted = true;      // false after a record was added out of order
};

}  // namespace

static bool gMembersIndexed = false;                             // the lists below are in use
static long gMembersFiledUpTo = 0;                               // records below this were filed (or are noted)
static bool gMembersWithLater = false;                           // records added after the filing are always candidates
static std::unordered_map<std::string, MemberList> gMemberLists;  // records by their contour name

static std::string nameOf(const elementdaten& e) { return std::string(e.kontur, strnlen(e.kontur, sizeof e.kontur)); }

void KxIndexMembers(bool withLater) {
  gMemberLists.clear();
  gMembersIndexed = true;
  gMembersWithLater = withLater;
  const long n = eldsCounter;
  gMembersFiledUpTo = n;
  for (long i = kWorkingRecords; i < n; ++i)
    if (elds[i].kontur[0] != '\0') gMemberLists[nameOf(elds[i])].ids.push_back(i);
}

void KxForgetMembers() {
  gMembersIndexed = false;
  gMemberLists.clear();
}

void KxNoteMember(long i) {
  if (!gMembersIndexed || i < kWorkingRecords || i >= eldsCounter || elds[i].kontur[0] == '\0')
    return;
  MemberList& list = gMemberLists[nameOf(elds[i])];
  if (!list.ids.empty() && list.ids.back() >= i) list.sorted = false;
  list.ids.push_back(i);
}

void KxMemberCandidates(const char* name, long n, std::vector<long>& out) {
  out.clear();
  if (!gMembersIndexed || !name) {
    for (long i = 0; i < n; ++i) out.push_back(i);
    return;
  }
  for (long i = 0; i < kWorkingRecords && i < n; ++i) out.push_back(i);
  // Records added after the filing follow the filed ones.
  auto later = [&] {
    if (gMembersWithLater)
      for (long i = std::max(gMembersFiledUpTo, kWorkingRecords); i < n; ++i) out.push_back(i);
  };
  auto it = gMemberLists.find(std::string(name, strnlen(name, sizeof elds[0].kontur)));
  if (it == gMemberLists.end()) {
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
    if (i < n && (!gMembersWithLater || i < gMembersFiledUpTo)) out.push_back(i);
  later();
}
