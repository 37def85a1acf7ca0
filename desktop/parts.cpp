// The plain-Qt parts of the desktop window: File menu (open a drawing, show the
// NC program and the page), the result line after each Make, the preview pane
// beside the controls and the read-only NC program view.
#include "parts.h"

#include <QAction>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGridLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QSignalBlocker>
#include <cstdio>
#include <cstring>

#include "config/config.h"
#include "contours/contours.h"
#include "dxf/dxf.h"
#include "frontend.h"
#include "geometry/base.h"
#include "nc/nc.h"
#include "preview.h"
#include "report/report.h"
#include "kxrun.h"

const char* gStartDrawing = nullptr;

static KxDesktopParts* sParts = nullptr;   // the window's parts, for the opener

void KxDescribeRun(int status, KxRunResult* r) {
  const char* how;
  // The same statuses the console program ends with.
  switch (status) {
    case kxSTATUS_OK: how = "done"; break;
    case kxSTATUS_NO_DRAWING: how = "the drawing could not be opened"; break;
    case kxSTATUS_NO_PROGRAM:
      how = DeskRun().gNcWriteFailed == kxNC_ONTO_DRAWING
                ? "the NC program would be the drawing itself - not written, the drawing is left as it is"
                : "the NC program could not be written";
      break;
    case kxSTATUS_BAD_CONFIG:
      // Which file, and why, as the console's summary says it.
      how = ConfigRefusal(DeskRun().cfg)[0] ? ConfigRefusal(DeskRun().cfg) : "a settings, device syntax or technology file could not be used";
      break;
    case kxSTATUS_NOTHING_CUT:
      how = DeskRun().gKonturCounter < 1 ? "nothing to cut: no contour found on the layer"
                               : "nothing to cut: no contour has a start hole";
      break;
    default: how = "not converted"; break;
  }
  r->status = status;
  r->error = status != kxSTATUS_OK;
  const bool written = status != kxSTATUS_NO_DRAWING && status != kxSTATUS_NO_PROGRAM && DeskRun().gKonturCounter >= 1;
  auto count = [](int n, const char* what) { return std::to_string(n) + " " + what + (n == 1 ? "" : "s"); };
  r->words = count(DeskRun().gKonturCounter, "contour") + ", " + count(DeskRun().gHolesCounter, "hole") + ", " +
             count(DeskRun().gBigTrouble, "start hole") + " missing, " + count(DeskRun().gOpenKoCounter, "open contour") + "\n" +
             (written ? DeskRun().dataPath : std::string("no NC program written")) + "\nstatus " + std::to_string(r->status) +
             ": " + how;
}

void KxDesktopOpener(const char* path) {
  if (sParts && path && DeskRun().dataPath == path) {
    sParts->ShowProgramText(path);
    return;
  }
  // Everything else goes to the desktop's own opener.
  KxOpenFn keep = gOpenHook;
  gOpenHook = nullptr;
  KxOpenForUser(DeskRun(), path);
  gOpenHook = keep;
}

KxDesktopParts::KxDesktopParts(KXWindow* window, QWidget* top, QWidget* back) : QObject(top), fWindow(window) {
  sParts = this;
  auto* grid = new QGridLayout(top);
  grid->setContentsMargins(0, 0, 6, 6);
  grid->setSpacing(6);

  fMenu = new QMenuBar(top);
  QMenu* file = fMenu->addMenu("&File");
  fOpen = file->addAction("&Open drawing\u2026");
  fOpen->setShortcut(QKeySequence::Open);
  fOpen->setShortcutContext(Qt::ApplicationShortcut);
  connect(fOpen, &QAction::triggered, this, [this] { ChooseDrawing(); });
  QAction* program = file->addAction("Show &NC program");
  program->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
  connect(program, &QAction::triggered, this, [this] { ShowProgramText(DeskRun().dataPath.c_str()); });
  QAction* page = file->addAction("Show statistics &page");
  connect(page, &QAction::triggered, this, [] {
    KxDesktopOpener((DeskRun().cfg.homepath + "_results.htm").c_str());
  });
  file->addSeparator();
  QAction* quit = file->addAction("&Quit");
  quit->setShortcut(QKeySequence::Quit);
  connect(quit, &QAction::triggered, this, [this] { fWindow->PostMessage(B_QUIT_REQUESTED); });
  top->addAction(fOpen);
  // Settings of korvex.ini that have no place among the classic controls.
  QMenu* settings = fMenu->addMenu("&Settings");
  fAutoStart = settings->addAction("Place &start holes where the drawing has none");
  fAutoStart->setCheckable(true);
  fAutoStart->setToolTip("AutoStartHoles: every closed contour without a drawn start hole gets one; "
                         "the statistics page lists them to drill");
  connect(fAutoStart, &QAction::toggled, this, [this](bool on) {
    DeskRun().cfg.gAutoStartHoles = on ? 1 : 0;
    fWindow->PostMessage(kxMSG_AUTO_START);
  });
  grid->setMenuBar(fMenu);

  back->setFixedSize(back->size());
  grid->addWidget(back, 0, 0, Qt::AlignLeft | Qt::AlignTop);
  fResult = new QLabel(top);
  fResult->setObjectName("resultLine");
  fResult->setWordWrap(true);
  fResult->setTextInteractionFlags(Qt::TextSelectableByMouse);
  fResult->setFixedWidth(back->width());
  fResult->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  fResult->setContentsMargins(8, 2, 8, 2);
  fResult->setText("Drop a DXF drawing on the window or use File \u25b8 Open (Ctrl+O).");
  grid->addWidget(fResult, 1, 0);
  fPreview = new KxPreview(top);
  grid->addWidget(fPreview, 0, 1, 2, 1);
  grid->setColumnStretch(1, 1);
  grid->setRowStretch(1, 1);

  fProgram = new QPlainTextEdit(top);
  fProgram->setObjectName("ncView");
  fProgram->setWindowFlag(Qt::Window);
  fProgram->setReadOnly(true);
  fProgram->setLineWrapMode(QPlainTextEdit::NoWrap);
  fProgram->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  fProgram->resize(560, 640);
  fProgram->hide();
}

KxDesktopParts::~KxDesktopParts() {
  if (sParts == this) sParts = nullptr;
}

void KxDesktopParts::OpenDrawing(const char* path) {
  if (!path || !path[0]) return;
  QFileInfo info(QString::fromLocal8Bit(path));
  BMessage msg(B_SIMPLE_DATA);
  entry_ref ref(info.absolutePath().toLocal8Bit().constData(), info.fileName().toLocal8Bit().constData());
  msg.AddRef("refs", &ref);
  fWindow->PostMessage(&msg);
}

void KxDesktopParts::ChooseDrawing() {
  QString start = QFileInfo(QString::fromLocal8Bit(DeskRun().in_filename.c_str())).absolutePath();
  QString path = QFileDialog::getOpenFileName(fPreview->window(), "Open drawing", start,
                                              "DXF drawings (*.dxf *.DXF);;All files (*)");
  if (!path.isEmpty()) OpenDrawing(path.toLocal8Bit().constData());
}

void KxDesktopParts::ShowSettings() {
  QSignalBlocker quiet(fAutoStart);
  fAutoStart->setChecked(DeskRun().cfg.gAutoStartHoles != 0);
}

void KxDesktopParts::ShowResult(const char* text, bool error) {
  fResult->setStyleSheet(error ? "color: #c00000;" : "color: #1a5e20;");
  fResult->setText(QString::fromLocal8Bit(text));
}

void KxDesktopParts::ShowProgramText(const char* path) {
  QFile f(QString::fromLocal8Bit(path));
  fProgram->setWindowTitle(QString("NC program \u2013 %1").arg(QString::fromLocal8Bit(path)));
  if (!f.open(QIODevice::ReadOnly)) {
    fProgram->setPlainText(QString("The NC program '%1' cannot be read: %2").arg(QString::fromLocal8Bit(path), f.errorString()));
  } else {
    // Programs of a few megabytes at most come out of one drawing; more is cut off.
    QByteArray text = f.read(32 * 1024 * 1024);
    fProgram->setPlainText(QString::fromLocal8Bit(text));
  }
  fProgram->show();
  fProgram->raise();
}
