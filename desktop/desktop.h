// The desktop program korvex-gui in Qt 6 Widgets: the main window with the
// settings of korvex.ini as fields, the device and layer choice, Make on a
// worker thread with its result line, and the preview of the drawing or of the
// program just written.
#pragma once

#include <functional>

#include <QColor>
#include <QFutureWatcher>
#include <QMainWindow>
#include <QPainterPath>
#include <QString>
#include <QStringList>
#include <QTransform>
#include <QWidget>
#include <memory>
#include <string>

#include "run/run.h"   // KxRun, and KxResult, what a Make hands back
#include <vector>

class QAction;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;

// The window's hand-off of the conversion settings to the core: korvex.ini and
// the devices folder of programFolder (ending in "/") read into run.cfg.
void KxDeskLoadSettings(KxRun& run, const std::string& programFolder);

// The result line of a finished Make: counts, the program written, the start
// holes to drill, the status in words.
struct KxMakeResult {
  int status;          // the status the console program ends with for such a run
  bool error;          // shown in red, and in a message box when serious
  bool dialog;         // worth a message box: the program or a device file could not be used
  QString words;       // the result line
};
KxMakeResult KxDescribeMake(const KxResult& r);   // the result line of a Make's result
KxResult KxMakeRun(KxRun& run);   // one Make on its own run: log, drawing, conversion, streams closed; its result

// The preview pane: the drawing's elements on the chosen layer before Make, the
// program just written after it, drawn with QPainter in the drawing's
// coordinates (Y up); wheel zooms, dragging pans, double-click fits.
class KxPreview : public QWidget {
 public:
  explicit KxPreview(QWidget* parent = nullptr);

  void ShowDrawing(KxRun& run);   // the elements of run's element table (lines, arcs, circles)
  void ShowProgram(KxRun& run);   // run's program read back: cut loops, leads, start holes, positioning, what was not cut
  void Clear();                   // nothing shown

  struct Item {
    QPainterPath path;     // in drawing coordinates
    QColor color;
    double width;          // pen width in pixels
    bool dashed;
    QString contour;       // "$K01" for the parts of a contour, else empty
    bool filled = false;   // arrows are filled with their colour
  };
  const std::vector<Item>& Items() const { return fItems; }   // what is drawn, in drawing coordinates
  QRectF Extent() const { return fExtent; }   // the box around all items
  QTransform ViewTransform() const;   // drawing coordinates to pixels of the pane
  void Fit();                         // the whole extent in view

 protected:
  void paintEvent(QPaintEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void add(const QPainterPath& path, QColor color, double width, bool dashed, const QString& contour = QString());
  void finish();
  std::vector<Item> fItems;
  std::vector<std::pair<QPointF, QString>> fLabels;
  QRectF fExtent;
  double fScale = 1;      // pixels per millimetre
  QPointF fOffset;        // pixel position of the drawing's origin
  QPoint fDragFrom;
  bool fFitted = false;
};

// The one window of the desktop program.
class KxWindow : public QMainWindow {
 public:
  // The settings file and devices folder are looked for in programFolder
  // (default: the program's own folder).
  explicit KxWindow(const QString& programFolder = QString());
  ~KxWindow() override;

  void OpenDrawing(const QString& path);   // as if dropped: checked, layers listed, preview shown
  void ChooseLayer(const QString& name);   // the layer to cut
  void Make();                             // converts the chosen drawing; while one runs, the next waits
  bool Making() const;                     // a Make runs or waits
  KxRun& Settings() { return *fRun; }      // the run holding the window's settings (the core's values)
  KxRun* LastMake() { return fLastMake.get(); }   // the run of the last finished Make, null before
  KxPreview* Preview() const { return fPreview; }        // the drawing or the program
  QLabel* ResultLine() const { return fResult; }         // the line under the buttons
  QPlainTextEdit* ProgramView() const { return fProgram; }   // the read-only NC program
  QComboBox* LayerChoice() const { return fLayers; }     // the layers with what they hold
  QStringList RecentFiles() const;         // the drawings opened last, the newest first
  void ShowProgramText(const QString& path);   // the NC program in the read-only view
  void OpenForUser(const QString& path);   // the NC program into the view, the rest to the desktop
  void SetOpener(std::function<void(const QString&)> opener) { fOpener = std::move(opener); }   // where a Make's open requests go instead of OpenForUser

 protected:
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void openRequested(const QString& path);  // a Make's open request: kept while it runs, then to fOpener or OpenForUser
  void buildMenus();                        // File, Settings, Help
  QWidget* buildControls();                 // the panel left of the preview
  void loadSettings();                      // korvex.ini read again, its values shown
  QString outputFolder() const;             // where a Make writes: the folder chosen, else (installed) the drawing's; "" as the layout says
  void showValues();                        // the core's values in the controls
  void listDevices();                       // the devices folder's syntax files in the device choice
  void fieldDone(QLineEdit* field);         // range test of a typed value
  void listLayers();                        // the drawing's layers with what they hold
  void previewDrawing();                    // the chosen layer's elements in the preview
  void forgetDrawing(const QString& path, const QString& reason);   // the chosen drawing cannot be read
  void refuse(const QString& text);         // result line in red and a message box
  void startMake();                         // hands a copy of the settings to a worker
  void makeDone();                          // the worker's run shown; a waiting Make started
  void showResult(const QString& text, bool error);   // the result line, red for an error
  void remember(const QString& path);       // into the recent drawings
  void fillRecent();                        // File > Open Recent from the settings

  std::unique_ptr<KxRun> fRun;              // the window's settings and the drawing chosen
  std::unique_ptr<KxRun> fMaking;           // the run of the Make on the worker thread
  std::unique_ptr<KxRun> fLastMake;         // the run of the last finished Make
  QFutureWatcher<KxResult> fWatcher;
  bool fMakeWaits = false;                  // Make pressed while one runs
  QStringList fOpenWaits;                   // open requests of the running Make
  std::function<void(const QString&)> fOpener;   // takes a Make's open requests when set (an embedding program, the tests)
  std::string fFolder;                      // the program folder, ending in "/"
  QString fDrawing;                         // the chosen drawing, empty when none
  QGroupBox* fIniBox = nullptr;
  QLineEdit *fTolerance, *fGridRadius, *fAnchor, *fHoleOffset, *fOutName, *fExtension, *fOptLayer;
  QCheckBox *fGlobInfo, *fDataInfo, *fRemarkInfo, *fOpenData;
  QRadioButton *fPlate, *fPiece;
  QPushButton *fIniOpen, *fMake;
  QComboBox *fDevices, *fLayers;
  QLabel *fDxfView, *fResult;
  QProgressBar* fBusy;
  KxPreview* fPreview;
  QPlainTextEdit* fProgram;
  QMenu* fRecent;
  QAction* fAutoStart;
};
