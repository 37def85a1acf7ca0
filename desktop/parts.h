// The parts of the desktop window written in plain Qt around the classic
// controls: the File menu, the result line under the buttons, the preview pane
// and the read-only view of the NC program.
#pragma once

#include <QObject>

#include "frontend.h"

class QAction;
class QLabel;
class QMenuBar;
class QPlainTextEdit;
class QWidget;
class KXWindow;
class KxPreview;

class KxDesktopParts : public QObject {
 public:
  // Lays out top: the menu bar, the classic controls (back) with the result line
  // under them, the preview to their right.
  KxDesktopParts(KXWindow* window, QWidget* top, QWidget* back);
  ~KxDesktopParts() override;

  void OpenDrawing(const char* path);         // hands a drawing to the window as if it had been dropped
  void ChooseDrawing();                       // File > Open: a file dialog for DXF drawings
  void ShowResult(const char* text, bool error);   // the result line
  void ShowProgramText(const char* path);     // the NC program in the read-only view
  void ShowSettings();                        // the Settings menu's checks from the core's values
  KxPreview* Preview() const { return fPreview; }
  QLabel* ResultLine() const { return fResult; }
  QPlainTextEdit* ProgramView() const { return fProgram; }
  QAction* OpenAction() const { return fOpen; }
  QAction* AutoStartAction() const { return fAutoStart; }

 private:
  KXWindow* fWindow;
  QMenuBar* fMenu = nullptr;
  QLabel* fResult = nullptr;
  KxPreview* fPreview = nullptr;
  QPlainTextEdit* fProgram = nullptr;
  QAction* fOpen = nullptr;
  QAction* fAutoStart = nullptr;
};

