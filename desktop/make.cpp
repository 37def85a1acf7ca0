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
#include "run/run.h"

KxResult KxMakeRun(KxRun& run) {
  KxJob job;
  job.drawing = run.io.in_filename;
  job.readSettings = false;   // the window's settings, read into the run
  return KxConvert(run, job);
}

KxMakeResult KxDescribeMake(const KxResult& r) {
  return {r.status, r.status != kxSTATUS_OK, KxResultSerious(r), QString::fromUtf8(KxResultWords(r).c_str())};
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
  fRun->io.in_filename = local.toStdString();
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
  fRun->io.in_filename = path.toStdString();
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
  run.io.in_filename = fRun->io.in_filename;
  QStringList names;
  run.dxf.layerNameHook = [&names](const char* name) { names << QString::fromUtf8(name); };
  auto census = std::make_unique<DxfLayerCensus>();
  if (DxfOpenDrawing(run, run.io.in_filename.c_str()) && KxReadLayers(run) == kxSTATUS_OK) DxfCountLayerGeometry(run, census.get());
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
  run.io.in_filename = fRun->io.in_filename;
  if (DxfOpenDrawing(run, run.io.in_filename.c_str()) && KxReadDrawing(run) == kxSTATUS_OK) fPreview->ShowDrawing(run);
  else fPreview->Clear();
}

KxWindow::~KxWindow() {
  fWatcher.waitForFinished();
  // Closing moves the focus, and a field that loses it reports to a window half gone.
  for (QLineEdit* f : findChildren<QLineEdit*>()) f->disconnect(this);
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
  fMaking->io.in_filename = fRun->io.in_filename;
  const QString out = outputFolder();
  if (!out.isEmpty()) KxPlaceOutputs(fMaking->cfg, out.toLocal8Bit().toStdString());
  // The run's open requests, made on its thread, are answered on the window's
  // (the window waits for a Make under way before it goes).
  fMaking->report.openHook = [this](const char* path) {
    const QString p = QString::fromLocal8Bit(path);
    QMetaObject::invokeMethod(this, [this, p] { openRequested(p); }, Qt::QueuedConnection);
  };
  fBusy->show();
  statusBar()->showMessage("Making " + QFileInfo(QString::fromStdString(fMaking->io.in_filename)).fileName() + "\u2026");
  fMake->setText("Make (running)");
  KxRun* run = fMaking.get();
  fWatcher.setFuture(QtConcurrent::run([run] { return KxMakeRun(*run); }));
}

void KxWindow::makeDone() {
  if (!fMaking) return;
  const KxResult result = fWatcher.result();
  const int status = result.status;
  fLastMake = std::move(fMaking);
  KxRun& run = *fLastMake;
  fBusy->hide();
  statusBar()->clearMessage();
  fMake->setText("Make");
  const KxMakeResult r = KxDescribeMake(result);
  if (r.dialog) refuse(r.words);
  else showResult(r.words, r.error);
  const QString made = QString::fromStdString(run.io.in_filename);
  if (made == fDrawing) fDxfView->setText(made + " (done)");
  if (status == kxSTATUS_NO_DRAWING) fPreview->Clear();
  else fPreview->ShowProgram(run);
  // The run's open requests, now that its program is complete.
  const QStringList opens = std::exchange(fOpenWaits, {});
  for (const QString& p : opens) openRequested(p);
  if (fMakeWaits) startMake();
}

void KxWindow::openRequested(const QString& path) {
  if (fMaking) {
    fOpenWaits << path;
    return;
  }
  if (fOpener) fOpener(path);
  else OpenForUser(path);
}

void KxWindow::OpenForUser(const QString& path) {
  if (fMaking) {
    fOpenWaits << path;
    return;
  }
  if (fLastMake && path == QString::fromLocal8Bit(fLastMake->io.dataPath.c_str())) ShowProgramText(path);
  else QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}
