// Entry point of the desktop program korvex-gui: the core in its desktop
// flavour, one window, Qt's event loop. A drawing named as the first argument
// is opened as if it had been dropped on the window.
#include <QApplication>
#include <QStringList>
#include <memory>

#include "desktop.h"
#include "geometry/base.h"
#include "run/run.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("korvex-gui");
  QApplication::setOrganizationName("korvex");
  auto owned = std::make_unique<KxRun>(KxSettings(kxDESKTOP));   // the program's own lines, outside any conversion
  KxRun& console = *owned;
  KxPrint(console, "-KX_GUI begin-\n");
  int status = 0;
  {
    KxWindow window;
    window.show();
    const QStringList args = QApplication::arguments();
    if (args.size() > 1 && !args[1].isEmpty()) window.OpenDrawing(args[1]);
    status = QApplication::exec();
  }
  KxPrint(console, "\n-KX_GUI end-\n");
  KxFlushConsole(console);
  return status;
}
