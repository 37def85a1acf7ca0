// Reports of a run: the HTML statistics page, opening the page and the NC
// program for the user without any shell, and the one reset that brings the
// whole core back to a fresh process's state.
#pragma once

#include <cstdio>

int ConvertDrawingElements();   // entity pass, structure check, contours and NC program; the number of contours
void SaveStatistic();            // writes the statistics page into the program folder and opens what is due

// --- opening a file for the user (opener.cpp) ---
inline constexpr int kxOPEN_SPAWNED = 0;      // the desktop opener was started for the path
inline constexpr int kxOPEN_NO_SESSION = 1;   // no graphical session: nothing was started
inline constexpr int kxOPEN_NO_PATH = 2;      // empty or missing path: nothing was started
inline constexpr int kxOPEN_FAILED = 3;       // the opener could not be started (not installed, ...)
inline constexpr int kxOPEN_HOOKED = 4;       // the request went to gOpenHook instead
inline constexpr int kxOPEN_TOO_LONG = 5;     // the path does not fit the plan: nothing was started
inline constexpr int kxOPEN_MISSING = 6;      // there is no such file: nothing was started

struct KxOpenPlan {
  int verdict;            // kxOPEN_SPAWNED when the opener is to be started, else the reason not to
  char path[1024];         // the path as handed over; "./" put before a leading '-' so it is never an option
  const char* argv[3];    // opener, path, terminating null: for posix_spawnp, never for a shell
};

typedef void (*KxOpenFn)(const char* path);
extern KxOpenFn gOpenHook;  // receives open requests instead of the desktop opener when set (tests, front ends)

int KxPlanOpen(const char* path, const char* display, const char* wayland, KxOpenPlan* plan);  // decides and builds the argument vector
int KxOpenForUser(const char* path);   // starts the desktop opener for path without waiting; kxOPEN_... result

// --- page helpers (statistic.cpp) ---
void KxHtmlText(FILE* out, const char* text);   // writes text with &, <, >, quotes as HTML entities

void ResetAllState();            // restores every subsystem's globals to their initial values (tests, fuzzing)
