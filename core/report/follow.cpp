// Reads a written NC program as a control does (words, modal motion, the device's
// words, blocks and calls) and follows it the way the machine does, in bounded
// time whatever the file holds. The page's picture, the machine time and the
// check all see the program through this one reader.
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdarg>
#include <cstring>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

#include "config/config.h"
#include "geometry/limits.h"
#include "geometry/runwide.h"
#include "report/report.h"

std::string KxNcText(const char* f, ...) {
  va_list ap;
  va_start(ap, f);
  char small[256];
  va_list copy;
  va_copy(copy, ap);
  int n = vsnprintf(small, sizeof small, f, copy);
  va_end(copy);
  std::string out;
  if (n < (int)sizeof small) {
    out = small;
  } else {
    out.resize((size_t)n + 1);
    vsnprintf(&out[0], (size_t)n + 1, f, ap);
    out.resize((size_t)n);
  }
  va_end(ap);
  return out;
}

namespace {

// Characters shown as they are where they are plain text, else escaped (a program's
// control characters must not steer the terminal that shows its faults).
std::string shownChar(char c) {
  const unsigned char u = (unsigned char)c;
  if (u >= 0x20 && u < 0x7f) return std::string(1, c);
  if (c == '\t') return "\\t";
  return KxNcText("\\x%02X", u);
}

// A word of a block: its address letter (upper case) and its number.
struct Word {
  char letter;
  double value;
  bool variable;   // the number is a register (#3): its value is not known here
};

// A block taken apart: its words in order; false with the reason when it is not
// made of words (an unknown character, a letter without its number).
bool splitWords(const char* p, const char* e, std::vector<Word>* out, bool* skip, std::string* why) {
  out->clear();
  *skip = false;
  auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (p < e && blank(*p)) ++p;
  if (p < e && *p == '/') {   // block skip, perhaps with its level: followed as if the switch were off
    *skip = true;
    ++p;
    while (p < e && *p >= '0' && *p <= '9') ++p;
  }
  while (p < e && blank(*p)) ++p;
  if (p < e && *p == '#') {   // a register set: #3=#1+0.125
    for (const char* q = p; q < e; ++q)
      if (!strchr("#0123456789.+-*/=[] \t", *q)) {
        *why = KxNcText("'%s' in a register line", shownChar(*q).c_str());
        return false;
      }
    return true;
  }
  while (p < e) {
    while (p < e && blank(*p)) ++p;
    if (p >= e) break;
    const char c = *p;
    if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))) {
      *why = KxNcText("'%s' where a word should begin", shownChar(c).c_str());
      return false;
    }
    Word w = {(char)(c & ~0x20), 0, false};
    ++p;
    while (p < e && blank(*p)) ++p;
    if (p < e && *p == '#') {
      const char* q = ++p;
      while (p < e && *p >= '0' && *p <= '9') ++p;
      if (p == q) {
        *why = KxNcText("%c# without a register number", w.letter);
        return false;
      }
      w.variable = true;
      out->push_back(w);
      continue;
    }
    bool negative = false;
    if (p < e && (*p == '+' || *p == '-')) negative = *p++ == '-';
    int digits = 0;
    double v = 0;
    for (; p < e && *p >= '0' && *p <= '9'; ++p, ++digits) v = v * 10 + (*p - '0');
    if (p < e && *p == '.') {
      double scale = 0.1;
      for (++p; p < e && *p >= '0' && *p <= '9'; ++p, ++digits, scale /= 10) v += (*p - '0') * scale;
    }
    if (digits == 0) {
      *why = KxNcText("%c without a number", w.letter);
      return false;
    }
    if (!std::isfinite(v)) {
      *why = KxNcText("%c with a number out of range", w.letter);
      return false;
    }
    w.value = negative ? -v : v;
    out->push_back(w);
  }
  return true;
}

// The number of a G or M word, -1 when it is no whole number a control knows (a register, 2.5, 1e90).
int wordNumber(const Word& w) {
  if (w.variable || w.value < 0 || w.value > 9999 || w.value != floor(w.value)) return -1;
  return (int)w.value;
}

// A word the device names for a task: its letter and number, or its text when it is no word.
struct Role {
  char letter = 0;
  double value = 0;
  char address = 0;        // the letter whose number follows (a call's P)
  std::string text;        // upper case, when the device's word is not letter and number

  void take(const char* device) {
    std::string t;
    for (const char* p = device; *p && *p != '\n' && *p != '\r'; ++p) t += (char)toupper((unsigned char)*p);
    if (t == "(NA)") t.clear();
    if (t.size() >= 2 && t[0] >= 'A' && t[0] <= 'Z' && t[1] >= '0' && t[1] <= '9') {
      size_t k = 1;
      while (k < t.size() && t[k] >= '0' && t[k] <= '9') ++k;
      letter = t[0];
      value = atof(t.substr(1, k - 1).c_str());
      if (k + 1 == t.size() && t[k] >= 'A' && t[k] <= 'Z') address = t[k];
      if (k == t.size() || address) return;
    }
    letter = 0;
    text = t;
  }
  bool is(const Word& w) const { return letter && w.letter == letter && !w.variable && w.value == value; }
};

// Why the first bytes of a program show it is no text, or null.
const char* notText(const std::string& head) {
  if (head.size() >= 2 && (((unsigned char)head[0] == 0xff && (unsigned char)head[1] == 0xfe) ||
                           ((unsigned char)head[0] == 0xfe && (unsigned char)head[1] == 0xff)))
    return "it is UTF-16 text; korvex reads programs in ASCII";
  size_t control = 0;
  for (char c : head) {
    const unsigned char u = (unsigned char)c;
    if ((u < 0x20 && c != '\n' && c != '\r' && c != '\t' && c != '\f') || u == 0x7f) ++control;
  }
  if (control * 10 > head.size()) return "it is no text (binary data)";
  return nullptr;
}

// Whether the block's text (after its skip mark) starts with a device word that is no letter and number.
bool startsWith(const char* p, const char* e, const std::string& upper) {
  while (p < e && (*p == ' ' || *p == '\t' || *p == '/')) ++p;
  if (upper.empty() || (size_t)(e - p) < upper.size()) return false;
  for (size_t k = 0; k < upper.size(); ++k)
    if (toupper((unsigned char)p[k]) != upper[k]) return false;
  return p + upper.size() == e || !(p[upper.size()] >= '0' && p[upper.size()] <= '9');
}

}  // namespace

std::string KxNcShown(const char* p, size_t n, size_t most) {
  std::string out;
  size_t k = 0;
  for (; k < n && out.size() < most; ++k) out += shownChar(p[k]);
  if (k < n) out += "...";
  return out;
}

// The reader's state while it takes the program's lines: the device's words and
// what one line leaves for the next.
struct KxNcFollower::Reading {
  KxNcFollower& f;
  std::string afterRapid;                 // the first line of the device's after-rapid word
  std::string remarkOn, remarkOff, hold, noCutLine;
  Role feedWord, cutWord, returnWord, endWord, callWord;
  std::set<std::pair<char, int>> deviceWords;   // the G and M words the device's texts use
  char upperU = 'U', upperV = 'V';        // the letters of the upper guide's axes
  std::vector<int> pendingRapids;         // rapids not yet followed by another line
  int others = 0;                         // technology and register lines so far
  bool opened = false;                    // the program's opening '%' was met
  size_t counted = 0;                     // steps that count against the followed steps (no hold or mark)

  // The device's words the reader knows the program by.
  explicit Reading(KxNcFollower& follower) : f(follower) {
    const devSyntax& d = f.dev_;
    f.eol = d.EOL;
    f.upperAbsolute_ = strcmp(d.UVAbsolute, "1") == 0;
    upperU = (char)toupper((unsigned char)(d.UpperAxes[0] ? d.UpperAxes[0] : 'U'));
    upperV = (char)toupper((unsigned char)(d.UpperAxes[0] && d.UpperAxes[1] ? d.UpperAxes[1] : 'V'));
    remarkOn = d.RemarkOn;
    remarkOff = d.RemarkOff;
    hold = d.HoldPoint;
    if (hold == "(na)") hold.clear();
    noCutLine = remarkOn + "NoCut" + remarkOff;
    feedWord.take(d.WireFeed);
    cutWord.take(d.WireCut);
    returnWord.take(d.SubReturn);
    endWord.take(d.PrgEnd);
    callWord.take(d.SubJump);
    std::string a = d.AfterRapid;
    if (size_t nl = a.find('\n'); nl != std::string::npos) a.resize(nl);
    if (a != "(na)") afterRapid = a;
    // Every G and M word the device's texts hold is one of its words.
    for (const char* t : {d.WireFeed, d.WireCut, d.OptStop, d.HoldPoint, d.PrgEnd, d.SubJump, d.SubReturn, d.GenOn,
                          d.GenOff, d.AfterRapid, d.RotateOn, d.RotateOff, d.MirrorOn, d.MirrorOff, d.SingleIsoRad,
                          d.PrgPlane, d.HlpPlane, d.TopPlane, d.Header, d.Footer, d.FourAxisOn, d.FourAxisOff})
      for (const char* p = t; *p; ++p) {
        const char c = (char)toupper((unsigned char)*p);
        if ((c == 'G' || c == 'M') && p[1] >= '0' && p[1] <= '9' && (p == t || !isalpha((unsigned char)p[-1])))
          deviceWords.insert({c, atoi(p + 1)});
      }
  }

  // The line as faults name it: its block end left out, control characters escaped, long ones cut short.
  int quote(int line, const std::string& raw) {
    std::deque<KxNcQuote>& quotes = f.quotes;
    if (!f.quoteTexts) return line;   // no quote kept: the step names its line itself
    if (!quotes.empty() && quotes.back().line == line) return (int)quotes.size() - 1;   // no quote kept: the step names its line itself
    size_t n = raw.size();
    const std::string& eol = f.eol;
    if (!eol.empty() && n >= eol.size() && raw.compare(n - eol.size(), eol.size(), eol) == 0) n -= eol.size();
    const std::string t = KxNcShown(raw.data(), n, 72);
    quotes.push_back({line, f.quoted.size(), (unsigned)t.size()});
    f.quoted += t;
    return (int)quotes.size() - 1;
  }

  KxNcStep& add(KxNcKind kind, int q) {
    if (kind == kxNC_MOVE) ++f.moves;
    if (kind != kxNC_HOLD && kind != kxNC_MARK) ++counted;
    KxNcStep s;
    s.kind = kind;
    s.quote = q;
    f.steps.push_back(s);
    ++f.blocks.back().count;
    return f.steps.back();
  }

  void fault(int q, const char* kind, const std::string& what) { f.Fault(q, kind, what); }

  // One block of a line: its words as the control takes them (compensation and
  // settings, then the move or moves, then the M words). Steps:
  //  1. an N word at its head opens a block of that number;
  //  2. the G words: motion, compensation, the words that own X and Y (G92, G28, ...)
  //     and the words the check cannot follow (G91, G20);
  //  3. X, Y, I, J as moves (a second X or Y in the block begins a second move);
  //  4. the M words by the device's names for them, unknown ones a fault.
  void takeBlock(const char* p, const char* e, int line, const std::string& raw) {
    std::vector<Word> words;
    bool skip;
    std::string why;
    const char* t = p;
    while (t < e && (*t == ' ' || *t == '\t')) ++t;
    if (t == e) return;
    if (e - t == 1 && *t == '%') {
      if (!opened && f.steps.empty() && f.blocks.size() == 1) opened = true;
      else add(kxNC_END, quote(line, raw)).g = 1;
      return;
    }
    if (!splitWords(p, e, &words, &skip, &why)) {
      fault(quote(line, raw), "unread", "block not understood (" + why + "): the check cannot follow it");
      return;
    }
    if (words.empty()) return;   // a register line
    // No machine reaches a kilometre: larger coordinates are no place the check can follow.
    const auto far = [](const Word& w) { return strchr("XYIJ", w.letter) && fabs(w.value) > kMaxCoordinate; };
    for (const Word& w : words)
      if (far(w)) fault(quote(line, raw), "unread", KxNcText("%c beyond %.0f mm: the check cannot follow it", w.letter, kMaxCoordinate));
    words.erase(std::remove_if(words.begin(), words.end(), far), words.end());
    if (words.empty()) return;
    size_t w0 = 0;
    if (!skip && words[0].letter == 'N' && !words[0].variable) {
      const int q = quote(line, raw);
      const double n = words[0].value;
      if (n != floor(n) || n < 0 || n > INT_MAX) {
        fault(q, "number", KxNcText("block number %s is no block number the control knows", KxNcShown(p, (size_t)(e - p), 24).c_str()));
      } else {
        f.blockOf.emplace((long long)n, (int)f.blocks.size());
        KxNcBlock b;
        b.number = (long long)n;
        b.quote = q;
        b.first = (int)f.steps.size();
        f.blocks.push_back(b);
      }
      w0 = 1;
    }
    int owner = -1;   // the G word that owns X and Y
    for (size_t k = w0; k < words.size(); ++k) {
      const Word& w = words[k];
      if (w.letter != 'G') continue;
      const int q = quote(line, raw);
      const int g = wordNumber(w);
      if (g < 0) {
        fault(q, "unread", "G word with a value the check cannot follow");
        continue;
      }
      if (g == 40) add(kxNC_COMPOFF, q);
      else if (g == 41 || g == 42) add(kxNC_COMP, q).g = g;
      else if (g == 4 || g == 10 || g == 28 || g == 70 || g == 71 || g == 92) owner = g;
      else if (g == 91) fault(q, "g91", "G91 (incremental): every later move would be read wrongly; the check follows absolute programs (G90)");
      else if (g == 20) fault(q, "g20", "G20 (inch): the check follows programs in millimetres (G21)");
      else if (g <= 3 || g == 21 || g == 90 || g == 43 || g == 44 || (g >= 50 && g <= 52) || (g >= 54 && g <= 59) ||
               deviceWords.count({'G', g}))
        ;
      else fault(q, "unknown", KxNcText("G%d is no word of the device: the check cannot follow it", g));
    }
    // The move words, or the coordinates of the word that owns them.
    if (owner >= 0) {
      const int q = quote(line, raw);
      if (owner == 92 || owner == 28) {
        KxNcStep& s = add(owner == 92 ? kxNC_G92 : kxNC_HOME, q);
        for (size_t k = w0; k < words.size(); ++k) {
          const Word& w = words[k];
          if (w.letter == 'X') s.x = w.value, s.hasX = !w.variable;
          if (w.letter == 'Y') s.y = w.value, s.hasY = !w.variable;
        }
      }
    } else {
      KxNcStep cur{kxNC_MOVE};
      bool started = false, hasUV = false;
      std::pair<double, double> uv{0, 0};
      int g = -1;
      auto flush = [&]() {
        if (!started) return;
        started = false;
        if (!cur.hasX && !cur.hasY) return;
        KxNcStep& s = add(kxNC_MOVE, quote(line, raw));
        s = cur;
        s.quote = quote(line, raw);
        s.g = g;
        if (g <= 0) pendingRapids.push_back((int)f.steps.size() - 1);
        if (hasUV) f.upper[(int)f.steps.size() - 1] = uv;
        cur = KxNcStep{kxNC_MOVE};
        hasUV = false;
      };
      int movesHere = 0;
      for (size_t k = w0; k < words.size(); ++k) {
        const Word& w = words[k];
        const char L = w.letter;
        if (L == 'G' && w.value >= 0 && w.value <= 3 && w.value == (int)w.value && !w.variable) {
          if (cur.hasX || cur.hasY) flush(), ++movesHere;
          g = (int)w.value;
          started = true;
          continue;
        }
        if ((L == upperU || L == upperV) && !w.variable) {
          // The upper guide's words go with the move they stand in.
          if (!hasUV) uv = {NAN, NAN};   // a word left out keeps its value in force
          (L == upperU ? uv.first : uv.second) = w.value;
          hasUV = true;
          continue;
        }
        if (L != 'X' && L != 'Y' && L != 'I' && L != 'J') continue;
        if ((L == 'X' && cur.hasX) || (L == 'Y' && cur.hasY)) flush(), ++movesHere;
        if (w.variable) {
          fault(quote(line, raw), "unread", KxNcText("%c# (a register): the check cannot follow the move", L));
          continue;
        }
        started = true;
        if (L == 'X') cur.x = w.value, cur.hasX = true;
        if (L == 'Y') cur.y = w.value, cur.hasY = true;
        if (L == 'I') cur.i = w.value, cur.ij = true;
        if (L == 'J') cur.j = w.value, cur.ij = true;
      }
      if (cur.hasX || cur.hasY) ++movesHere;
      flush();
      if (movesHere > 1) fault(quote(line, raw), "twice", "more than one move in one block");
    }
    // The M words.
    for (size_t k = w0; k < words.size(); ++k) {
      const Word& w = words[k];
      if (w.letter != 'M') continue;
      const int q = quote(line, raw);
      const int m = wordNumber(w);
      if (callWord.is(w)) {
        KxNcStep& s = add(kxNC_CALL, q);
        s.others = others;
        s.n = -1;
        for (size_t a = k + 1; a < words.size(); ++a)
          if (words[a].letter == callWord.address) {
            const Word& number = words[a];
            s.n = number.variable || number.value < 0 || number.value > INT_MAX || number.value != floor(number.value)
                      ? -2
                      : (long long)number.value;
            break;
          }
      } else if (feedWord.is(w)) add(kxNC_FEED, q);
      else if (cutWord.is(w)) add(kxNC_WIRECUT, q);
      else if (returnWord.is(w)) add(kxNC_RETURN, q), f.blocks.back().returns = true;
      else if (endWord.is(w) || m == 2 || m == 30) add(kxNC_END, q);
      else if (m == 0) add(kxNC_STOP, q);
      else if (m == 1 || (m > 0 && deviceWords.count({'M', m})))
        ;
      else fault(q, "unknown", KxNcText("M%s is no word of the device (%s): the check cannot follow it",
                                        w.variable ? "#" : KxNcText("%g", w.value).c_str(),
                                        KxNcShown(f.dev_.Device, strlen(f.dev_.Device), 32).c_str()));
    }
    // Device words that are no letter and number are known by their text.
    if (!feedWord.letter && startsWith(t, e, feedWord.text)) add(kxNC_FEED, quote(line, raw));
    if (!cutWord.letter && startsWith(t, e, cutWord.text)) add(kxNC_WIRECUT, quote(line, raw));
    if (!returnWord.letter && startsWith(t, e, returnWord.text)) add(kxNC_RETURN, quote(line, raw)), f.blocks.back().returns = true;
    if (!endWord.letter && startsWith(t, e, endWord.text)) add(kxNC_END, quote(line, raw));
  }

  // One line. Steps: the user's mark (the line is then only that); the markers the
  // writer leaves in remarks; the rapids the after-rapid word asks for; the remarks
  // removed; the hold point's words; each block up to the device's block end; a
  // technology or register line counted.
  void takeLine(std::string& raw, int line, long at, bool cut) {
    while (!raw.empty() && raw.back() == '\r') raw.pop_back();
    if (const int mark = f.Mark(at, raw); mark >= 0) {
      add(kxNC_MARK, quote(line, raw)).g = mark;
      return;
    }
    if (cut) fault(quote(line, raw), "long", KxNcText("line longer than %zu characters: its rest is not read", kMaxProgramLine));
    if (raw.empty()) {
      pendingRapids.clear();
      return;
    }
    KxNcBlock& b = f.blocks.back();
    const bool hole = raw.find("HOLE TROUBLE") != std::string::npos;
    b.trouble = b.trouble || hole;
    if (hole || raw.find("NO FEED-POINT FOUND") != std::string::npos || raw.find("FOUR-AXIS REFUSED") != std::string::npos)
      b.uncut = true;
    if (raw.find("OPEN CONTOUR TROUBLE") != std::string::npos) b.open = true;
    if (raw.find("-Teilemodus-") != std::string::npos) f.pieceMode = true;
    // A rapid inside a cut the drawing asks for: the writer puts the device's
    // after-rapid word in front of the feed move that follows it.
    if (!afterRapid.empty() && raw.compare(0, afterRapid.size(), afterRapid) == 0) {
      for (int k : pendingRapids) f.steps[(size_t)k].asked = true;
      pendingRapids.clear();
    } else if (raw.compare(0, 3, "G00") != 0) {
      pendingRapids.clear();
    }
    // Remarks out, in one pass.
    std::string text;
    bool noCutHere = false;
    if (remarkOn.empty() || remarkOff.empty()) {
      text = raw;
    } else {
      size_t from = 0;
      while (from < raw.size()) {
        const size_t on = raw.find(remarkOn, from);
        if (on == std::string::npos) {
          text.append(raw, from, std::string::npos);
          break;
        }
        text.append(raw, from, on - from);
        const size_t off = raw.find(remarkOff, on + remarkOn.size());
        if (off == std::string::npos) break;
        if (raw.compare(on, off + remarkOff.size() - on, noCutLine) == 0) noCutHere = true;
        from = off + remarkOff.size();
      }
    }
    const size_t stepsBefore = f.steps.size(), blocksBefore = f.blocks.size();
    const char* p = text.data();
    const char* e = p + text.size();
    while (p < e && (*p == ' ' || *p == '\t')) ++p;
    bool held = false;
    if (!hold.empty() && (size_t)(e - p) >= hold.size() && text.compare((size_t)(p - text.data()), hold.size(), hold) == 0 &&
        !(p + hold.size() < e && p[hold.size()] >= '0' && p[hold.size()] <= '9'))
      p += hold.size(), held = true;   // the hold point: an optional stop the operator may use
    while (p < e) {
      const char* end = e;
      if (!f.eol.empty())
        if (const char* found = (const char*)memmem(p, (size_t)(e - p), f.eol.data(), f.eol.size())) end = found;
      takeBlock(p, end, line, raw);
      p = end == e ? e : end + f.eol.size();
    }
    if (noCutHere) add(kxNC_NOCUT, quote(line, raw));
    // What is left of a line without remarks and block end: a technology or register
    // line; a cut without technology data still has its line, then only the block end.
    if (f.steps.size() == stepsBefore && f.blocks.size() == blocksBefore) {
      std::string rest = text;
      const std::string& eol = f.eol;
      if (!eol.empty() && rest.size() >= eol.size() && rest.compare(rest.size() - eol.size(), eol.size(), eol) == 0)
        rest.resize(rest.size() - eol.size());
      if (rest.find_first_not_of(" \t") != std::string::npos || raw == eol) ++others;
    }
    if (held) add(kxNC_HOLD, quote(line, raw));
  }
};

// Reads the program: a regular file whole, a pipe or a device up to a bound; a
// named pipe is waited for a writer a while; a folder and binary data are refused,
// with the reason in why. Steps: open; read in chunks, the first sniffed for text;
// cut the bytes into lines (each at most kMaxProgramLine long) and take each; take
// the last line without its line end; set the bound of steps followed.
bool KxNcFollower::Read(const std::string& path, std::string* why) {
  struct stat st;
  const int fd = KxOpenInput(path, &st, why);
  if (fd < 0) return false;
  struct FdCloser {
    int fd;
    ~FdCloser() { close(fd); }
  } closer{fd};
  const bool stream = !S_ISREG(st.st_mode);
  Reading r(*this);
  blocks.push_back(KxNcBlock{-1, -1});
  std::string head, line;
  bool sniffed = false, cut = false;
  int at = 0;
  long lineAt = 0, offset = 0;   // where the line being read starts in the file, and where the bytes taken end
  std::vector<char> buf(1 << 16);
  auto takeBytes = [&](const char* p, size_t n) {
    while (n > 0) {
      const char* nl = (const char*)memchr(p, '\n', n);
      const size_t part = nl ? (size_t)(nl - p) : n;
      const size_t room = kMaxProgramLine > line.size() ? kMaxProgramLine - line.size() : 0;
      line.append(p, std::min(part, room));
      if (part > room) cut = true;
      offset += (long)part;
      if (!nl) return;
      if (at == INT_MAX) return;   // refused below
      r.takeLine(line, at++, lineAt, cut);
      lineAt = ++offset;
      line.clear();
      cut = false;
      p = nl + 1;
      n -= part + 1;
    }
  };
  for (;;) {
    const ssize_t got = ::read(fd, buf.data(), buf.size());
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      *why = strerror(errno);
      return false;
    }
    if (got == 0) break;
    bytes += (unsigned long long)got;
    if (stream && bytes > kMaxStreamProgram) {
      *why = KxNcText("it holds more than %llu MiB, more than a program to check", kMaxStreamProgram >> 20);
      return false;
    }
    if (!sniffed) {
      head.append(buf.data(), (size_t)got);
      if (head.size() < buf.size()) continue;
      if (const char* no = notText(head)) {
        *why = no;
        return false;
      }
      sniffed = true;
      takeBytes(head.data(), head.size());
      head.clear();
      continue;
    }
    takeBytes(buf.data(), (size_t)got);
  }
  if (!sniffed) {
    if (const char* no = notText(head)) {
      *why = no;
      return false;
    }
    takeBytes(head.data(), head.size());
  }
  if (at == INT_MAX) {
    *why = KxNcText("it has more than %d lines", INT_MAX - 1);
    return false;
  }
  if (!line.empty() || cut) r.takeLine(line, at++, lineAt, cut);
  maxExecuted_ = std::max(kMaxFollowedSteps, kFollowedPerStep * (long)r.counted);
  seen_.assign(steps.size(), 0);
  active_.assign(blocks.size(), 0);
  return true;
}

// Whether a step after k in the block still does something: an end word there stops the program too early.
bool KxNcFollower::runsAfter(const KxNcBlock& b, int k) const {
  for (int r = k + 1; r < b.first + b.count; ++r) {
    const KxNcKind s = steps[(size_t)r].kind;
    if (s == kxNC_CALL || s == kxNC_MOVE || s == kxNC_FEED || s == kxNC_COMP || s == kxNC_WIRECUT) return true;
  }
  return false;
}

// Steps: each step of the block in order until a return, the end or the bound of
// steps followed; a call follows its block unless that is missing, running
// already (a cycle) or too deep; a move takes the motion word in force.
void KxNcFollower::Follow(int block, int depth) {
  KxNcBlock& b = blocks[(size_t)block];
  b.reached = true;
  active_[(size_t)block] = 1;
  std::unordered_map<long long, int> calledAt;   // callee -> technology lines before its last call
  for (int k = b.first; k < b.first + b.count && !halted; ++k) {
    KxNcStep& st = steps[(size_t)k];
    if (st.kind != kxNC_HOLD && st.kind != kxNC_MARK && ++executed_ > maxExecuted_) {
      Fault(-2, "steps", KxNcText("more than %ld steps followed without reaching the program's end: its calls repeat too often to be followed", maxExecuted_));
      halted = true;
      break;
    }
    const bool first = !seen_[(size_t)k];
    seen_[(size_t)k] = 1;
    switch (st.kind) {
      case kxNC_CALL: {
        if (st.n < 0) {
          Fault(st.quote, "call", st.n == -1 ? "call without the number of its block" : "call of a block number the control cannot hold");
          break;
        }
        auto callee = blockOf.find(st.n);
        if (callee == blockOf.end()) {
          Fault(st.quote, "call", KxNcText("call of N%lld, a block the program does not have", st.n));
          break;
        }
        if (active_[(size_t)callee->second]) {
          Fault(st.quote, "cycle", KxNcText("N%lld is called while it runs already: the calls never end", st.n));
          break;
        }
        if (depth + 1 > kMaxCallDepth) {
          Fault(st.quote, "cycle", KxNcText("calls nested deeper than %d: not followed", kMaxCallDepth));
          break;
        }
        auto prev = calledAt.find(st.n);
        if (prev != calledAt.end() && prev->second == st.others)
          Fault(st.quote, "twice", KxNcText("N%lld called again with no technology line between: its cuts are made twice in one cut", st.n));
        calledAt[st.n] = st.others;
        Called(st, callee->second, first);
        Follow(callee->second, depth + 1);
        break;
      }
      case kxNC_G92:
        if (st.hasX) px = st.x;
        if (st.hasY) py = st.y;
        break;
      case kxNC_MOVE: {
        if (st.g >= 0) motion = st.g;
        int g = motion;
        if (g < 0) {
          Fault(st.quote, "motion", "move without a motion word (G00 to G03) in force: followed as G01");
          g = 1;
        }
        if (g >= 2 && !st.ij) {
          Fault(st.quote, "centre", KxNcText("G%02d without its centre (I, J): followed as a straight move", g));
          g = 1;
        }
        KxNcMove m = {g, px, py, st.hasX ? st.x : px, st.hasY ? st.y : py, 0, 0, st.quote};
        if (g >= 2) m.cx = px + st.i, m.cy = py + st.j;
        // U and V stand off the lower guide; an absolute device's are taken back to that.
        const double u0 = pu, v0 = pv;
        if (auto uv = upper.find(k); uv != upper.end()) {
          if (!std::isnan(uv->second.first)) pu = uv->second.first - (upperAbsolute_ ? m.x1 : 0);
          if (!std::isnan(uv->second.second)) pv = uv->second.second - (upperAbsolute_ ? m.y1 : 0);
        }
        m.tilted = u0 != 0 || v0 != 0 || pu != 0 || pv != 0;
        m.tx0 = m.x0 + u0, m.ty0 = m.y0 + v0, m.tx1 = m.x1 + pu, m.ty1 = m.y1 + pv;
        Moved(st, m, first);
        px = m.x1;
        py = m.y1;
        break;
      }
      case kxNC_FEED: feedX = px; feedY = py; fed = threaded = true; noCut = false; Stepped(k, st, block); break;
      case kxNC_WIRECUT: threaded = false; noCut = false; Stepped(k, st, block); break;
      case kxNC_COMP: {
        auto known = loopOf_.find(k);
        record = known == loopOf_.end();
        loop = record ? (loopOf_[k] = loopCount++) : known->second;
        Stepped(k, st, block);
        break;
      }
      case kxNC_COMPOFF: Stepped(k, st, block); loop = -1; record = false; fed = false; break;
      case kxNC_NOCUT: noCut = true; break;
      case kxNC_RETURN:
        if (depth == 0 && !byHand) {
          Fault(st.quote, "return", KxNcText("%s in the main program: it starts again from its first line, for ever", dev_.SubReturn));
          halted = true;
        }
        active_[(size_t)block] = 0;
        return;
      case kxNC_END:
        if (byHand) break;
        if (depth > 0) Fault(st.quote, "end", KxNcText("the program ends here, inside N%lld: what follows its call never runs", b.number));
        else if (runsAfter(b, k)) Fault(st.quote, "end", "the program ends here: the moves and calls after it never run");
        ended = true;
        halted = true;
        break;
      default: Stepped(k, st, block); break;
    }
  }
  active_[(size_t)block] = 0;
}
