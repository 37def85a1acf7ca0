// What is the program's own rather than a run's: which program it is (console
// or desktop flavour, name, version) and the fast printf-exact formatting that
// the run's channel and its files are written with.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

// --- flavour of the core ---
// Which program a run works for is the run's own: its settings carry it
// (KxSettings::flavour), so every run made from the desktop's settings is a desktop run.
enum KxFlavour { kxCONSOLE = 0, kxDESKTOP = 1 };

// --- program identity ---
extern const char gAPPNAME[];   // program name
const char* KxVersionText(int flavour);    // version text of the banner of that flavour

// --- formatting ---
bool KxScaledDecimal(double v, int prec, uint64_t* scaled);  // |v| rounded to prec (0-9) decimals as printf rounds it, times 10^prec; false where that is not certain
int KxFormat(char* out, size_t size, const char* fmt, va_list ap);  // printf's text for common formats (consumes ap); -1 where vsnprintf must do it
void KxFilePrint(FILE* f, const char* fmt, ...) __attribute__((format(printf, 2, 3)));  // fprintf through KxFormat: the same text, written faster
void KxFilePrintV(FILE* f, const char* fmt, va_list ap);  // the same with a va_list (consumes ap)
bool KxQuickText(const char* fmt, va_list ap, char* buf, size_t size, const char** text, size_t* len);  // fmt's text without vsnprintf when it is plain or KxFormat can make it in buf; ap left as it was

// --- inputs ---
struct stat;
int KxOpenInput(const std::string& path, struct stat* st, std::string* why);  // a descriptor reading path (blocking), a named pipe waited for a writer a while; -1 with the reason in why (a folder, no writer, errno)
