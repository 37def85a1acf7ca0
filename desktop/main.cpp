// Entry point of the desktop program korvex-gui: the core in its desktop
// flavour, one window, the message loop. A drawing named as the first argument
// is opened as if it had been dropped on the window.
#include "frontend.h"
#include "parts.h"

int main(int argc, char** argv) {
  if (argc > 1 && argv[1][0] != '\0') gStartDrawing = argv[1];
  return KorvexGuiMain();
}
