// Entry point of the desktop program korvex-gui: the core in its desktop
// flavour, one window, the message loop. Command-line arguments are not read.
#include "frontend.h"

int main() { return KorvexGuiMain(); }
