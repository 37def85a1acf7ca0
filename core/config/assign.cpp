// Placeholder of the technology assignment until it lands.
#include "config/config.h"

void HolesAndTechno() {}
void TextToFeedPointKontur(long) {}
void GetKonturName(const char*, FILE*) {}
