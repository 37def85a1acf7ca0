// Support of the desktop tests: a program folder with settings and devices, a
// settings folder of its own, the application object, and delivering
// messages through the window's queue.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "frontend.h"
#include "support/support.h"

class GuiTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  KXWindow* OpenWindow();                  // a shown window at the frame of the run
  static void Pump();                      // handles every message waiting in the queues
  static void Post(BLooper* looper, const BMessage& msg);   // posts and handles
  static void Post(BLooper* looper, uint32 code);
  static BMessage Drop(const std::vector<std::string>& paths);   // a 'DATA' message of dropped files
  void Type(BTextControl* field, const char* text, uint32 code);   // new text, then its message

  template <class T> T* View(KXWindow* w, const char* name) { return dynamic_cast<T*>(w->FindView(name)); }

  ConsoleCapture out;
  TempDir prog;      // the program folder: korvex.ini and devices/
  TempDir config;    // the user's settings folder
  std::vector<std::string> opened;   // paths handed to the opener
  BApplication* app = nullptr;
};

std::string SettingsFile(const std::string& folder);   // path of korvex_settings below a settings folder
