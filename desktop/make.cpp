// The drawing in the window and Make: a chosen drawing is checked, its layers
// listed with what they hold and the chosen layer previewed, each on a run of
// its own; Make converts on a worker thread with its own run, so the window
// stays responsive, and shows the result line and the program it wrote.
#include <QApplication>
#include <QComboBox>
#include <QDesktopServices>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QStatusBar>
#include <QUrl>
#include <QtConcurrent/QtConcurrentRun>
#include <cerrno>
#include <cstring>
#include <unistd.h>

#include "config/config.h"
#include "contours/contours.h"
#include "desktop.h"
#include "dxf/dxf.h"
#include "geometry/base.h"
#include "report/report.h"
#include "kxrun.h"

// The window that receives the core's open requests (set while it lives).
static KxWindow* sOpenerWindow = nullptr;

// The core's opener hook: called on the thread of the run, answered on the window's.
static void deskOpener(const char* path) {
  const QString p = QString::fromLocal8Bit(path);
  if (KxWindow* w = sOpenerWindow) QMetaObject::invokeMethod(w, [w, p] { w->OpenForUser(p); }, Qt::QueuedConnection);
}

int KxMakeRun(KxRun& run) {
  KxPrint(run, "\n\n:: MakeNwdFile() \n");
  const char* log = run.cfg.log_filename.c_str();
  KxPrint(run, "\n LOGFILE: <%s> ", log);
  // Never over the drawing, never through a link at its name; the run goes on without a log.
  std::string why;
  if (KxIsDrawing(run, log))
    why = "the log '" + run.cfg.log_filename + "' is the drawing itself - not opened, the drawing is left as it is";
  else run.log_stream = KxOpenLog(log, &why);
  if (!run.log_stream) KxPrint(run, "open error: %s\n", why.c_str());

  // Each Make reads the drawing anew from disk: it may have been changed since it was chosen.
  int status = kxSTATUS_NO_DRAWING;
  if (DxfOpenDrawing(run, run.in_filename.c_str())) status = KxConvertDrawing(run);
  else KxPrint(run, "open error\n");
  if (run.log_stream) {
    fprintf(run.log_stream, "\n\n");
    fflush(run.log_stream);
    fclose(run.log_stream);
  } else {
    KxPrint(run, " bad LOG_STREAM\n");
  }
  run.log_stream = nullptr;
  if (run.i_stream) DxfCloseDrawing(run);
  else KxPrint(run, " bad IN_STREAM\n");
  return status;
}

KxMakeResult KxDescribeMake(KxRun& run, int status) {
  QString how;
  bool dialog = false;
  // The same statuses the console program ends with.
  switch (status) {
    case kxSTATUS_OK: how = "done"; break;
    case kxSTATUS_NO_DRAWING: how = "the drawing could not be opened"; dialog = true; break;
    case kxSTATUS_NO_PROGRAM:
      how = run.gNcWriteFailed == kxNC_ONTO_DRAWING
                ? "the NC program would be the drawing itself - not written, the drawing is left as it is"
                : "the NC program could not be written" +
                      (run.gNcWriteErrno ? QString(" (%1)").arg(strerror(run.gNcWriteErrno)) : QString());
      // A folder the user may not write to (the examples of an installed korvex,
      // a CD): another folder is what helps.
      if (run.gNcWriteErrno == EACCES || run.gNcWriteErrno == EROFS)
        how += "\n- choose another folder for the outputs with Settings \u25b8 Output folder\u2026";
      dialog = true;
      break;
    case kxSTATUS_BAD_CONFIG:
      // Which file, and why, as the console's summary says it.
      how = ConfigRefusal(run.cfg)[0] ? ConfigRefusal(run.cfg) : "a settings, device syntax or technology file could not be used";
      dialog = true;
      break;
    case kxSTATUS_NOTHING_CUT:
      how = run.gKonturCounter < 1 ? "nothing to cut: no contour found on the layer" : "nothing to cut: no contour has a start hole";
      break;
    default: how = "not converted"; break;
  }
  auto count = [](int n, const char* what) { return QString("%1 %2%3").arg(n).arg(what).arg(n == 1 ? "" : "s"); };
  QString words = count(run.gKonturCounter, "contour") + ", " + count(run.gHolesCounter, "hole") + ", " +
                  count(run.gBigTrouble, "start hole") + " missing, " + count(run.gOpenKoCounter, "open contour");
  // How long the machine will be busy, when the program was written and its feeds are known.
  const std::string time = status == kxSTATUS_NO_PROGRAM ? "" : KxMachineTimeText(run);
  if (!time.empty()) words += ", " + QString::fromStdString(time);
  // A drawing in other units than millimetres, and how large its parts came out.
  const std::string units = KxUnitsText(run);
  if (!units.empty()) words += "; " + QString::fromStdString(units);
  words += "\n";
  if (const std::string doubt = KxUnitsWarning(run); !doubt.empty()) words += "warning: " + QString::fromStdString(doubt) + "\n";
  // The start holes korvex placed itself, to be drilled before the wire is threaded.
  if (run.gAutoStartCount > 0) {
    words += count(run.gAutoStartCount, "start hole") + " to drill:";
    KxKeepContours(run);
    for (int k = 1; k <= run.gKonturCounter; ++k) {
      const KxContour& c = run.contours[(size_t)k];
      if (c.holePlaced) words += QString::asprintf(" %s at X%.3f Y%.3f \u00d8%.3f;", c.name, c.holeX, c.holeY, 2 * c.holeR);
    }
    words.chop(1);
    words += "\n";
  }
  const bool written = status != kxSTATUS_NO_DRAWING && status != kxSTATUS_NO_PROGRAM && run.gKonturCounter >= 1;
  words += (written ? QString::fromLocal8Bit(run.dataPath.c_str()) : QString("no NC program written")) +
           QString("\nstatus %1: ").arg(status) + how;
  return {status, status != kxSTATUS_OK, dialog, words};
}

void KxWindow::OpenDrawing(const QString& path) {
  const QFileInfo info(path);
  const QByteArray local = path.toLocal8Bit();
  KxPrint(*fRun, " > '%s'\n", local.constData());
  // What is refused leaves the chosen drawing as it is, and shown as it is.
  if (info.suffix().compare("dxf", Qt::CaseInsensitive) != 0) {
    refuse("'" + info.fileName() + "' refused: the name does not end in .dxf");
    return;
  }
  // A drawing that cannot be opened is chosen all the same: it must not leave the one before to a Make.
  if (access(local.constData(), R_OK) != 0) {
    forgetDrawing(path, QString::fromLocal8Bit(strerror(errno)));
    return;
  }
  // Refused before it replaces the chosen drawing: a text file or an empty one is no drawing.
  std::string why(256, '\0');
  if (DxfWhyNotADrawing(*fRun, local.constData(), why.data(), why.size())) {
    refuse("'" + info.fileName() + "' refused: " + QString::fromLocal8Bit(why.c_str()));
    return;
  }
  // (a run is large: kept off the stack)
  auto probe = std::make_unique<KxRun>(fRun->cfg);
  if (!DxfOpenDrawing(*probe, local.constData())) {
    const char* r = DxfOpenRefusal(*probe);
    forgetDrawing(path, r ? QString::fromLocal8Bit(r) : QString::fromLocal8Bit(strerror(errno)));
    return;
  }
  DxfCloseDrawing(*probe);
  fDrawing = path;
  fRun->in_filename = local.toStdString();
  fDxfView->setText(path);
  setWindowTitle(info.fileName() + " \u2013 korvex");
  fMake->setEnabled(true);
  remember(info.absoluteFilePath());
  listLayers();
  showResult("Drawing read; choose the layer and press Make.", false);
  previewDrawing();
}

// The drawing named is the one chosen now, but unreadable: Make stays off, and
// neither its name nor its layers nor its picture are left of the drawing before.
void KxWindow::forgetDrawing(const QString& path, const QString& reason) {
  fDrawing.clear();
  fRun->in_filename = path.toStdString();
  fMake->setEnabled(false);
  fLayers->clear();
  fDxfView->setText(path);
  fPreview->Clear();
  refuse("'" + path + "' cannot be opened (" + reason + ") - no drawing chosen");
}

// Each layer with the number of its drawn elements; the settings' layer is
// chosen, or, when it holds nothing, the layer that holds most.
void KxWindow::listLayers() {
  auto owned = std::make_unique<KxRun>(fRun->cfg);
  KxRun& run = *owned;
  run.in_filename = fRun->in_filename;
  QStringList names;
  run.gLayerNameHook = [&names](const char* name) { names << QString::fromUtf8(name); };
  auto census = std::make_unique<DxfLayerCensus>();
  if (DxfOpenDrawing(run, run.in_filename.c_str()) && KxReadLayers(run) == kxSTATUS_OK) DxfCountLayerGeometry(run, census.get());
  auto held = [&](const QString& name) {
    for (int i = 0; i < census->count; ++i)
      if (name == QString::fromUtf8(census->layers[i].name)) return census->layers[i].entities;
    return 0L;
  };
  for (int i = 0; i < census->count; ++i)
    if (!names.contains(QString::fromUtf8(census->layers[i].name))) names << QString::fromUtf8(census->layers[i].name);
  fLayers->clear();
  for (const QString& name : names) {
    const long n = held(name);
    fLayers->addItem(QString("%1 - %2 element%3").arg(name).arg(n).arg(n == 1 ? "" : "s"), name);
  }
  QString chosen = QString::fromUtf8(fRun->cfg.edmLayer);
  if (held(chosen) == 0 && census->count > 0) chosen = QString::fromUtf8(census->layers[0].name);
  const int at = fLayers->findData(chosen);
  fLayers->setCurrentIndex(at);
  if (at >= 0 && chosen != QString::fromUtf8(fRun->cfg.edmLayer)) {
    KxCopy(fRun->cfg.edmLayer, sizeof fRun->cfg.edmLayer, chosen.toUtf8().constData());
    KxPrint(*fRun, "edmLayer: '%s'\n", fRun->cfg.edmLayer);
  }
}

void KxWindow::ChooseLayer(const QString& name) {
  KxCopy(fRun->cfg.edmLayer, sizeof fRun->cfg.edmLayer, name.toUtf8().constData());
  KxPrint(*fRun, "edmLayer: '%s'\n", fRun->cfg.edmLayer);
  const int at = fLayers->findData(name);
  if (at >= 0) fLayers->setCurrentIndex(at);
  QSettings("korvex", "korvex-gui").setValue("lastLayer", name);
  previewDrawing();
}

// The elements of the chosen layer as the conversion reads them, before anything is cut.
void KxWindow::previewDrawing() {
  if (fDrawing.isEmpty()) return;
  auto owned = std::make_unique<KxRun>(fRun->cfg);
  KxRun& run = *owned;
  run.in_filename = fRun->in_filename;
  if (DxfOpenDrawing(run, run.in_filename.c_str()) && KxReadDrawing(run) == kxSTATUS_OK) fPreview->ShowDrawing(run);
  else fPreview->Clear();
}

KxWindow::~KxWindow() {
  fWatcher.waitForFinished();
  // Closing moves the focus, and a field that loses it reports to a window half gone.
  for (QLineEdit* f : findChildren<QLineEdit*>()) f->disconnect(this);
  if (sOpenerWindow == this) sOpenerWindow = nullptr;
  if (gOpenHook == deskOpener) gOpenHook = nullptr;
}

bool KxWindow::Making() const { return fMaking != nullptr || fMakeWaits; }

void KxWindow::Make() {
  if (fDrawing.isEmpty() && !fMaking) return;
  if (fMaking) {
    fMakeWaits = true;   // started once this one is done
    statusBar()->showMessage("Make waits for the one under way\u2026");
    return;
  }
  startMake();
}

void KxWindow::startMake() {
  fMakeWaits = false;
  fMaking = std::make_unique<KxRun>(fRun->cfg);
  fMaking->in_filename = fRun->in_filename;
  const QString out = outputFolder();
  if (!out.isEmpty()) KxPlaceOutputs(fMaking->cfg, out.toLocal8Bit().toStdString());
  if (!gOpenHook) gOpenHook = deskOpener;
  sOpenerWindow = this;
  fBusy->show();
  statusBar()->showMessage("Making " + QFileInfo(QString::fromStdString(fMaking->in_filename)).fileName() + "\u2026");
  fMake->setText("Make (running)");
  KxRun* run = fMaking.get();
  fWatcher.setFuture(QtConcurrent::run([run] { return KxMakeRun(*run); }));
}

void KxWindow::makeDone() {
  if (!fMaking) return;
  const int status = fWatcher.result();
  fLastMake = std::move(fMaking);
  KxRun& run = *fLastMake;
  fBusy->hide();
  statusBar()->clearMessage();
  fMake->setText("Make");
  const KxMakeResult r = KxDescribeMake(run, status);
  if (r.dialog) refuse(r.words);
  else showResult(r.words, r.error);
  const QString made = QString::fromStdString(run.in_filename);
  if (made == fDrawing) fDxfView->setText(made + " (done)");
  if (status == kxSTATUS_NO_DRAWING) fPreview->Clear();
  else fPreview->ShowProgram(run);
  // The run's open requests, now that its program is complete.
  const QStringList opens = std::exchange(fOpenWaits, {});
  for (const QString& p : opens) OpenForUser(p);
  if (fMakeWaits) startMake();
}

void KxWindow::OpenForUser(const QString& path) {
  if (fMaking) {
    fOpenWaits << path;
    return;
  }
  if (fLastMake && path == QString::fromLocal8Bit(fLastMake->dataPath.c_str())) ShowProgramText(path);
  else QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}
