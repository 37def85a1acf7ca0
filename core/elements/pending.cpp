// Placeholder of the structure check, reorganisation and dump until they land.
#include "elements/elements.h"

int gKilledElements = 0;
int sPKonturCounter = 0;
void CheckStructs() {}
void ReorgStructs() {}
void SaveStructs(const char*, const char*) {}
