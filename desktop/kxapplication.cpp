// The application object of the desktop program: it opens the one window at
// the frame of the run and carries the message loop until the window asks it
// to quit; also the frame globals and the program's begin and end lines.
#include "frontend.h"
#include "geometry/base.h"
#include "parts.h"
#include "kxrun.h"

float WIN_X = 30.0f;
float WIN_Y = 50.0f;
float WIN_W = 500.0f;
float WIN_H = 370.0f;

KXApplication::KXApplication() : BApplication("application/KX_BeOS") {
  fWindow = new KXWindow(BRect(WIN_X, WIN_Y, WIN_X + WIN_W, WIN_Y + WIN_H));
  fWindow->Show();
}

KXApplication::~KXApplication() {}

void KXApplication::MessageReceived(BMessage* msg) {
  KxPrint(DeskRun(), "KX_gui: ");
  msg->PrintToStream();
  BApplication::MessageReceived(msg);
}

int KorvexGuiMain() {
  KxSetFlavour(kxDESKTOP);
  KxPrint(DeskRun(), "-KX_GUI begin-\n");
  KXApplication* app = new KXApplication();
  app->Run();
  KxPrint(DeskRun(), "\n-KX_GUI end-\n");
  delete app;
  KxFlushConsole(DeskRun());
  return 0;
}

void ResetDesktopState() {
  WIN_X = 30.0f;
  WIN_Y = 50.0f;
  WIN_W = 500.0f;
  WIN_H = 370.0f;
  ClearDrawingLayers();
  set_app_path(nullptr);
  gStartDrawing = nullptr;
  ForgetDeskRun();
}
