// Support and runner of the desktop tests: one Qt application for the whole run
// (offscreen unless another platform is asked for), fresh core and desktop state
// per case, a temporary program and settings folder, and a queue emptied on demand.
#include "gui_support.h"

#include <QApplication>
#include <cstdlib>
#include <filesystem>

#include "geometry/base.h"
#include "report/report.h"

namespace fs = std::filesystem;

static std::vector<std::string>* sOpened = nullptr;
static void recordOpen(const char* path) {
  if (sOpened) sOpened->push_back(path);
}

void GuiTest::SetUp() {
  FreshCore(kxDESKTOP);
  ResetDesktopState();
  setenv("XDG_CONFIG_HOME", config.Path().c_str(), 1);
  fs::copy_file(SourceDir() + "/korvex.ini", prog.File("korvex.ini"));
  fs::create_directory(prog.File("devices"));
  for (const char* f : {"MAK_EE3.SYN", "DEFAULT.TCH"})
    fs::copy_file(SourceDir() + "/devices/" + f, prog.File("devices/" + std::string(f)));
  set_app_path(prog.File("korvex-gui").c_str());
  sOpened = &opened;
  gOpenHook = recordOpen;
  app = new BApplication("application/x-vnd.korvex-test");
}

void GuiTest::TearDown() {
  delete app;
  Pump();
  gOpenHook = nullptr;
  sOpened = nullptr;
  unsetenv("XDG_CONFIG_HOME");
  ResetDesktopState();
  ResetAllState();
}

KXWindow* GuiTest::OpenWindow() {
  KXWindow* w = new KXWindow(BRect(WIN_X, WIN_Y, WIN_X + WIN_W, WIN_Y + WIN_H));
  w->Show();
  Pump();
  return w;
}

void GuiTest::Pump() {
  for (int i = 0; i < 5; ++i) {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
  }
}

void GuiTest::Post(BLooper* looper, const BMessage& msg) {
  looper->PostMessage(&msg);
  Pump();
}

void GuiTest::Post(BLooper* looper, uint32 code) { Post(looper, BMessage(code)); }

BMessage GuiTest::Drop(const std::vector<std::string>& paths) {
  BMessage msg(B_SIMPLE_DATA);
  for (const std::string& p : paths) {
    fs::path fp(p);
    entry_ref ref(fp.parent_path().c_str(), fp.filename().c_str());
    msg.AddRef("refs", &ref);
  }
  return msg;
}

void GuiTest::Type(BTextControl* field, const char* text, uint32 code) {
  field->SetText(text);
  Post(field->Window(), code);
}

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  ::testing::InitGoogleTest(&argc, argv);
  QApplication qt(argc, argv);
  return RUN_ALL_TESTS();
}

std::string SettingsFile(const std::string& folder) { return folder + "/_LP_x-vnd.VL/korvex_settings"; }
