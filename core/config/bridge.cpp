// Placeholder of the front-end bridge until it lands.
#include "config/config.h"

void GuiBridge(int, char*, float*, long*) {}
void ContactInfo(FILE*) {}
