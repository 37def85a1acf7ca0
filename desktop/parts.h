// The parts of the desktop window written in plain Qt around the classic
// controls: the File menu, the result line under the buttons, the preview pane
// and the read-only view of the NC program.
#pragma once

#include <QObject>
#include <cstddef>

class QAction;
class QLabel;
class QMenuBar;
class QPlainTextEdit;
class QWidget;
class KXWindow;
class KxPreview;

// The outcome of the last Make in numbers and words, from the core's counters.
struct KxRunResult {
  int status;            // exit status the console program gives for such a run
  bool error;            // shown in red
  char words[512];       // the result line
};
// drawingRead: the drawing could be opened for the run.
void KxDescribeRun(bool drawingRead, KxRunResult* result);

// Why path is no readable ASCII DXF drawing, or nullptr when it is one.
const char* KxWhyNoDrawing(const char* path, char* why, size_t size);

extern const char* gStartDrawing;   // drawing named on the command line, opened once the window is up

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
  KxPreview* Preview() const { return fPreview; }
  QLabel* ResultLine() const { return fResult; }
  QPlainTextEdit* ProgramView() const { return fProgram; }
  QAction* OpenAction() const { return fOpen; }

 private:
  KXWindow* fWindow;
  QMenuBar* fMenu = nullptr;
  QLabel* fResult = nullptr;
  KxPreview* fPreview = nullptr;
  QPlainTextEdit* fProgram = nullptr;
  QAction* fOpen = nullptr;
};

void KxDesktopOpener(const char* path);   // opener of the desktop: NC programs in the own view, the rest by the system
