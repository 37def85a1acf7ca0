// The main window of the desktop program: menus, the controls for the settings
// of korvex.ini (range-tested, handed to the core through its bridge), device
// and drawing, result line and preview, and what the window remembers between
// starts (QSettings). The drawing and Make are in make.cpp.
#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSignalBlocker>
#include <QSplitter>
#include <QStatusBar>
#include <QUrl>
#include <QVBoxLayout>
#include <sys/stat.h>
#include <unistd.h>

#include "config/config.h"
#include "desktop.h"
#include "geometry/base.h"
#include "report/report.h"
#include "run/run.h"

static const int kRecentMax = 10;   // drawings in File > Open Recent

// The window's own preferences, in $XDG_CONFIG_HOME/korvex/korvex-gui.conf.
static QSettings prefs() { return QSettings("korvex", "korvex-gui"); }

void KxDeskLoadSettings(KxRun& run, const std::string& programFolder) {
  run.cfg.flavour = kxDESKTOP;   // every run made from these settings works for the desktop
  SetGlobals(run, programFolder.c_str());
}

// A program folder keeps the outputs, as the console program does; installed,
// they go beside the drawing, never below the installation.
QString KxWindow::outputFolder() const {
  const QString chosen = prefs().value("outputFolder").toString();
  if (!chosen.isEmpty()) return chosen;
  if (!fRun->cfg.installed || fDrawing.isEmpty()) return "";
  return QFileInfo(fDrawing).absolutePath();
}

KxWindow::KxWindow(const QString& programFolder) : fRun(std::make_unique<KxRun>(KxSettings(kxDESKTOP))) {
  setWindowTitle("korvex");
  setAcceptDrops(true);
  QString folder = programFolder.isEmpty() ? QCoreApplication::applicationDirPath() : programFolder;
  fFolder = QDir(folder).absolutePath().toStdString() + "/";
  KxDeskLoadSettings(*fRun, fFolder);
  // The device and layer chosen last time take the place of the settings file's.
  QSettings p = prefs();
  const QString device = p.value("lastDevice").toString(), layer = p.value("lastLayer").toString();
  if (!device.isEmpty() && QFileInfo(device).isFile()) fRun->cfg.devTarget = device.toStdString();
  if (!layer.isEmpty()) KxCopy(fRun->cfg.edmLayer, sizeof fRun->cfg.edmLayer, layer.toUtf8().constData());

  buildMenus();
  auto* split = new QSplitter(this);
  split->addWidget(buildControls());
  fPreview = new KxPreview(split);
  split->addWidget(fPreview);
  split->setStretchFactor(1, 1);
  split->setChildrenCollapsible(false);
  setCentralWidget(split);
  fBusy = new QProgressBar(this);
  fBusy->setRange(0, 0);   // busy, no progress known
  fBusy->setMaximumWidth(160);
  fBusy->hide();
  statusBar()->addPermanentWidget(fBusy);

  fProgram = new QPlainTextEdit(this);
  fProgram->setObjectName("ncView");
  fProgram->setWindowFlag(Qt::Window);
  fProgram->setReadOnly(true);
  fProgram->setLineWrapMode(QPlainTextEdit::NoWrap);
  fProgram->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  fProgram->resize(560, 640);

  connect(&fWatcher, &QFutureWatcher<KxResult>::finished, this, [this] { makeDone(); });
  listDevices();
  showValues();
  resize(1000, 620);
  restoreGeometry(p.value("geometry").toByteArray());
  restoreState(p.value("state").toByteArray());
}

void KxWindow::buildMenus() {
  QMenu* file = menuBar()->addMenu("&File");
  QAction* open = file->addAction("&Open drawing\u2026", this, [this] {
    QString start = prefs().value("lastFolder", QDir::homePath()).toString();
    QString path = QFileDialog::getOpenFileName(this, "Open drawing", start, "DXF drawings (*.dxf *.DXF);;All files (*)");
    if (!path.isEmpty()) OpenDrawing(path);
  });
  open->setShortcut(QKeySequence::Open);
  fRecent = file->addMenu("Open &Recent");
  fillRecent();
  QAction* make = file->addAction("&Make", this, [this] { Make(); });
  make->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_E), QKeySequence(Qt::Key_F5)});
  file->addAction("Show &NC program", this, [this] {
    if (fLastMake) ShowProgramText(QString::fromStdString(fLastMake->io.dataPath));
  });
  file->addAction("Show statistics &page", this, [this] {
    const KxSettings& made = fLastMake ? fLastMake->cfg : fRun->cfg;
    KxOpenForUser(*fRun, (KxOutputFolder(made) + "_results.htm").c_str());
  });
  file->addSeparator();
  file->addAction("&Quit", this, [this] { close(); })->setShortcut(QKeySequence::Quit);

  QMenu* settings = menuBar()->addMenu("&Settings");
  fAutoStart = settings->addAction("Place &start holes where the drawing has none");
  fAutoStart->setCheckable(true);
  fAutoStart->setToolTip(QString("AutoStartHoles: ") + KxSettingKeyNamed("AutoStartHoles")->help);
  connect(fAutoStart, &QAction::toggled, this, [this](bool on) { fRun->cfg.autoStartHoles = on ? 1 : 0; });
  // Installed, the shipped settings are read-only: the user edits a copy in their own folder.
  settings->addAction("&Open settings file", this, [this] {
    std::string why;
    const std::string path = KxEditableSettingsFile(*fRun, &why);
    if (path.empty()) refuse(QString::fromStdString("The settings file cannot be opened for editing: " + why));
    else KxOpenForUser(*fRun, path.c_str());
  });
  settings->addAction("Output &folder\u2026", this, [this] {
    const QString dir = QFileDialog::getExistingDirectory(this, "Folder for the NC program, log and page", outputFolder());
    if (!dir.isEmpty()) prefs().setValue("outputFolder", dir);
  });
  settings->addAction("Output &beside the drawing", this, [] { prefs().remove("outputFolder"); });
  settings->addAction("&Reload settings file", this, [this] { loadSettings(); });

  QMenu* help = menuBar()->addMenu("&Help");
  help->addAction("&About korvex", this, [this] {
    QMessageBox::about(this, "About korvex",
                       QString("<b>korvex</b> - turns a 2-D DXF drawing into a wire EDM NC program.<br>Version: %1%2")
                           .arg(gAPPNAME, KxVersionText(kxDESKTOP)));
  });
}

// A line edit for a number or name, range-tested when its editing ends; a number
// field names the settings key whose window range, format and bridge request it uses.
static QLineEdit* field(QFormLayout* form, const char* name, const char* label, const char* key = nullptr) {
  auto* edit = new QLineEdit;
  edit->setObjectName(name);
  if (key) edit->setProperty("settingsKey", QByteArray(key));
  form->addRow(label, edit);
  return edit;
}

// The settings key of a number field, null for the other fields.
static const KxSettingKey* keyOf(const QLineEdit* f) {
  const QByteArray key = f->property("settingsKey").toByteArray();
  return key.isEmpty() ? nullptr : KxSettingKeyNamed(key.constData());
}

// A number field's value in force, as the core holds it, in its key's format.
static QString valueInForce(KxRun& run, const KxSettingKey& key) {
  float inForce = 0;
  GuiBridge(run, key.window.ask, nullptr, &inForce, nullptr);
  return QString::asprintf(key.window.format, inForce);
}

QWidget* KxWindow::buildControls() {
  auto* panel = new QWidget;
  auto* box = new QVBoxLayout(panel);

  fIniBox = new QGroupBox;
  auto* ini = new QHBoxLayout(fIniBox);
  auto* form = new QFormLayout;
  fTolerance = field(form, "nETol", "Element-Tolerance:", "NextElemTol");
  fGridRadius = field(form, "grRad", "GridRadius:", "GridRadius");
  fAnchor = field(form, "anLen", "AnchorLength:", "AnchorLength");
  fHoleOffset = field(form, "hoOff", "HoleOffset:", "HoleOffset");
  fOutName = field(form, "ofName", "Outfile-Name:");
  fExtension = field(form, "ofExtens", "Extension:");
  for (QLineEdit* f : {fTolerance, fGridRadius, fAnchor, fHoleOffset, fOutName, fExtension})
    connect(f, &QLineEdit::editingFinished, this, [this, f] { fieldDone(f); });
  ini->addLayout(form);
  auto* switches = new QVBoxLayout;
  const struct { QCheckBox** box; const char* label; int KxSettings::*value; } checks[] = {
      {&fGlobInfo, "GlobTextInfo", &KxSettings::globTextInfo}, {&fDataInfo, "AddDataInfo", &KxSettings::dataInfo},
      {&fRemarkInfo, "RemTextInfo", &KxSettings::cancelTextInfo}, {&fOpenData, "OpenDataFile", &KxSettings::OpenDataFile}};
  for (const auto& c : checks) {
    *c.box = new QCheckBox(c.label);
    switches->addWidget(*c.box);
    connect(*c.box, &QCheckBox::toggled, this, [this, v = c.value](bool on) { fRun->cfg.*v = on ? 1 : 0; });
  }
  fPlate = new QRadioButton("G92Plate");
  fPiece = new QRadioButton("G92Piece");
  auto* mode = new QButtonGroup(this);
  mode->addButton(fPlate);
  mode->addButton(fPiece);
  connect(fPiece, &QRadioButton::toggled, this, [this](bool piece) {
    long m = piece ? 1 : 0;
    GuiBridge(*fRun, kxSET_DATA_MODE, nullptr, nullptr, &m);
  });
  switches->addWidget(fPlate);
  switches->addWidget(fPiece);
  auto* iniButtons = new QHBoxLayout;
  fIniOpen = new QPushButton("open");
  fIniOpen->setToolTip("Shows the settings file");
  auto* reload = new QPushButton("reload");
  reload->setObjectName("iniReload");
  reload->setToolTip("Reads the settings file again");
  connect(fIniOpen, &QPushButton::clicked, this, [this] { KxOpenForUser(*fRun, GuiBridgeText(*fRun, kxASK_SETTINGS_PATH).c_str()); });
  connect(reload, &QPushButton::clicked, this, [this] { loadSettings(); });
  iniButtons->addWidget(fIniOpen);
  iniButtons->addWidget(reload);
  switches->addLayout(iniButtons);
  switches->addStretch();
  ini->addLayout(switches);
  box->addWidget(fIniBox);

  auto* dev = new QGroupBox("Device");
  auto* devRow = new QHBoxLayout(dev);
  fDevices = new QComboBox;
  fDevices->setObjectName("devMenu");
  fDevices->setPlaceholderText("--not set--");
  fDevices->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  connect(fDevices, &QComboBox::activated, this, [this](int i) {
    const QString path = fDevices->itemData(i).toString();
    fRun->cfg.devTarget = path.toStdString();
    KxPrint(*fRun, " > gDevTarget :'%s'\n", fRun->cfg.devTarget.c_str());
    SetDevSyntax(*fRun, fRun->cfg.devTarget.c_str());
    fExtension->setText(QString::fromLocal8Bit(fRun->cfg.mS.Extension));
    prefs().setValue("lastDevice", path);
  });
  auto* devOpen = new QPushButton("open");
  devOpen->setToolTip("Shows the device syntax file");
  connect(devOpen, &QPushButton::clicked, this, [this] {
    KxOpenForUser(*fRun, DeviceFilePath(fRun->cfg, fRun->cfg.devTarget.c_str(), "devices/").c_str());
  });
  devRow->addWidget(new QLabel("DevTarget:"));
  devRow->addWidget(fDevices, 1);
  devRow->addWidget(devOpen);
  box->addWidget(dev);

  auto* dxf = new QGroupBox("Drawing");
  auto* dxfForm = new QFormLayout(dxf);
  fDxfView = new QLabel("-- not set -- drop a DXF drawing or use File \u25b8 Open --");
  fDxfView->setObjectName("dxfStrV");
  fDxfView->setWordWrap(true);
  fDxfView->setTextInteractionFlags(Qt::TextSelectableByMouse);
  dxfForm->addRow(fDxfView);
  fLayers = new QComboBox;
  fLayers->setObjectName("dxfLayMF");
  fLayers->setPlaceholderText("--not set--");
  connect(fLayers, &QComboBox::activated, this, [this](int i) { ChooseLayer(fLayers->itemData(i).toString()); });
  dxfForm->addRow("Def.Layer:", fLayers);
  fOptLayer = new QLineEdit;
  fOptLayer->setObjectName("dxfLayGrp");
  connect(fOptLayer, &QLineEdit::editingFinished, this, [this] {
    if (fOptLayer->text().toStdString() == fRun->cfg.optLayer) return;
    KxCopy(fRun->cfg.optLayer, sizeof fRun->cfg.optLayer, fOptLayer->text().toUtf8().constData());
    listLayers();
    previewDrawing();
  });
  dxfForm->addRow("Optional Layer:", fOptLayer);
  box->addWidget(dxf);

  auto* run = new QHBoxLayout;
  fMake = new QPushButton("Make");
  fMake->setObjectName("MakeIt");
  fMake->setDefault(true);
  fMake->setEnabled(false);   // nothing to convert until a drawing is chosen
  connect(fMake, &QPushButton::clicked, this, [this] { Make(); });
  auto* quit = new QPushButton("Quit");
  connect(quit, &QPushButton::clicked, this, [this] { close(); });
  run->addWidget(fMake, 1);
  run->addWidget(quit, 1);
  box->addLayout(run);
  fResult = new QLabel("Drop a DXF drawing on the window or use File \u25b8 Open (Ctrl+O).");
  fResult->setObjectName("resultLine");
  fResult->setWordWrap(true);
  fResult->setTextInteractionFlags(Qt::TextSelectableByMouse);
  box->addWidget(fResult);
  box->addStretch();
  return panel;
}

void KxWindow::loadSettings() {
  KxDeskLoadSettings(*fRun, fFolder);
  listDevices();
  showValues();
  if (!fDrawing.isEmpty()) {
    listLayers();
    previewDrawing();
  }
}

void KxWindow::showValues() {
  const KxSettings& c = fRun->cfg;
  for (QLineEdit* f : {fTolerance, fGridRadius, fAnchor, fHoleOffset}) f->setText(valueInForce(*fRun, *keyOf(f)));
  fOutName->setText(QString::fromStdString(c.data_filename));
  const QSignalBlocker b1(fGlobInfo), b2(fDataInfo), b3(fRemarkInfo), b4(fOpenData), b5(fPiece), b6(fAutoStart);
  fGlobInfo->setChecked(c.globTextInfo);
  fDataInfo->setChecked(c.dataInfo);
  fRemarkInfo->setChecked(c.cancelTextInfo);
  fOpenData->setChecked(c.OpenDataFile);
  fAutoStart->setChecked(c.autoStartHoles != 0);
  (c.ktechno.G92Mode ? fPiece : fPlate)->setChecked(true);
  fOptLayer->setText(QString::fromUtf8(c.optLayer));
  SetDevSyntax(*fRun, c.devTarget.c_str());
  fExtension->setText(QString::fromLocal8Bit(c.mS.Extension));

  const QString ini = QString::fromLocal8Bit(GuiBridgeText(*fRun, kxASK_SETTINGS_PATH).c_str());
  fIniBox->setTitle("Settings: " + ini);
  // Looked at, not opened: opening a pipe would wait for a writer.
  struct stat st;
  const QByteArray path = ini.toLocal8Bit();
  fIniOpen->setEnabled(stat(path.constData(), &st) == 0 && S_ISREG(st.st_mode) && access(path.constData(), R_OK) == 0);

  // The device in force: its full path, or a name that the path of an item ends in.
  const QString device = QString::fromStdString(c.devTarget);
  int at = -1;
  for (int i = 0; i < fDevices->count() && at < 0 && !device.isEmpty(); ++i) {
    const QString path = fDevices->itemData(i).toString();
    if (path == device || path.endsWith("/" + device)) at = i;
  }
  fDevices->setCurrentIndex(at);
  if (fDrawing.isEmpty()) {
    // Until a drawing is read, the layer choice offers the main layer alone.
    fLayers->clear();
    fLayers->addItem(QString::fromUtf8(c.edmLayer), QString::fromUtf8(c.edmLayer));
    fLayers->setCurrentIndex(0);
  }
}

void KxWindow::listDevices() {
  fDevices->clear();
  // A device beside the settings file hides the shipped one of the same name.
  for (const std::string& folder : KxDeviceFolders(fRun->cfg)) {
    const QDir dir(QString::fromStdString(folder));
    for (const QFileInfo& f : dir.entryInfoList(QDir::Files, QDir::Name))
      if ((f.fileName().contains(".SYN") || f.fileName().contains(".syn")) && fDevices->findText(f.fileName()) < 0)
        fDevices->addItem(f.fileName(), f.absoluteFilePath());
  }
}

// A typed number is accepted inside its open range and handed to the core;
// otherwise the value in force is shown again.
void KxWindow::fieldDone(QLineEdit* f) {
  KxSettings& c = fRun->cfg;
  if (f == fOutName) {
    // An empty name would make a file of the extension alone; the name in force stays.
    if (f->text().isEmpty()) f->setText(QString::fromStdString(c.data_filename));
    else if (c.data_filename != f->text().toStdString()) {
      c.data_filename = f->text().toStdString();
      KxPrint(*fRun, " new OutFilename: '%s'\n", c.data_filename.c_str());
    }
    return;
  }
  if (f == fExtension) {
    std::string ext = f->text().toStdString();
    GuiBridge(*fRun, kxSET_EXTENSION, ext.data(), nullptr, nullptr);
    return;
  }
  const KxSettingKey* key = keyOf(f);
  if (!key) return;
  float value = ConfigFloat(f->text().toUtf8().constData());
  KxPrint(*fRun, " >> float: %.3f \n", value);
  if (value > key->window.low && value < key->window.high) GuiBridge(*fRun, kxSET + key->window.ask, nullptr, &value, nullptr);
  else f->setText(valueInForce(*fRun, *key));
}

void KxWindow::showResult(const QString& text, bool error) {
  fResult->setStyleSheet(error ? "color: #c00000;" : "color: #1a5e20;");
  fResult->setText(text);
}

void KxWindow::refuse(const QString& text) {
  showResult(text, true);
  auto* box = new QMessageBox(QMessageBox::Warning, "korvex", text, QMessageBox::Ok, this);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->open();
}

QStringList KxWindow::RecentFiles() const { return prefs().value("recentFiles").toStringList(); }

void KxWindow::remember(const QString& path) {
  QSettings p = prefs();
  QStringList recent = p.value("recentFiles").toStringList();
  recent.removeAll(path);
  recent.prepend(path);
  while (recent.size() > kRecentMax) recent.removeLast();
  p.setValue("recentFiles", recent);
  p.setValue("lastFolder", QFileInfo(path).absolutePath());
  fillRecent();
}

void KxWindow::fillRecent() {
  fRecent->clear();
  const QStringList recent = RecentFiles();
  for (int i = 0; i < recent.size(); ++i) {
    const QString path = recent[i];
    QAction* a = fRecent->addAction(QString("&%1 %2").arg((i + 1) % 10).arg(path), this, [this, path] { OpenDrawing(path); });
    a->setEnabled(QFileInfo::exists(path));
  }
  fRecent->addSeparator();
  fRecent->addAction("&Clear list", this, [this] {
    prefs().remove("recentFiles");
    fillRecent();
  })->setEnabled(!recent.isEmpty());
}

void KxWindow::closeEvent(QCloseEvent* event) {
  // A Make under way finishes first: its files are not left half written.
  fMakeWaits = false;
  fWatcher.waitForFinished();
  QSettings p = prefs();
  p.setValue("geometry", saveGeometry());
  p.setValue("state", saveState());
  event->accept();
}

void KxWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls() && event->mimeData()->urls().first().isLocalFile()) event->acceptProposedAction();
}

void KxWindow::dropEvent(QDropEvent* event) {
  for (const QUrl& url : event->mimeData()->urls())
    if (url.isLocalFile()) OpenDrawing(url.toLocalFile());
  event->acceptProposedAction();
}

void KxWindow::ShowProgramText(const QString& path) {
  QFile f(path);
  fProgram->setWindowTitle("NC program \u2013 " + path);
  if (!f.open(QIODevice::ReadOnly)) {
    fProgram->setPlainText(QString("The NC program '%1' cannot be read: %2").arg(path, f.errorString()));
  } else {
    // Programs of a few megabytes at most come out of one drawing; more is cut off.
    fProgram->setPlainText(QString::fromLocal8Bit(f.read(32 * 1024 * 1024)));
  }
  fProgram->show();
  fProgram->raise();
}
