// Loopers of the kit: the application and its windows on Qt's event loop.
// Messages posted to a looper wait in Qt's queue and are handled one at a time
// by DispatchMessage; a window turns moves, resizes, its close box, dropped
// files and unmapped keys into messages of its own.
#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMimeData>
#include <QUrl>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

#include "geometry/base.h"
#include "platform/glue.h"
#include "platform/kits.h"

BApplication* be_app = nullptr;

// Windows not yet deleted, in the order they were made.
static std::vector<BWindow*> sWindows;
static std::string sAppPath;

static bool isOpenWindow(BWindow* w) { return std::find(sWindows.begin(), sWindows.end(), w) != sWindows.end(); }

QEvent::Type KxMessageEvent::Kind() {
  static const QEvent::Type kind = (QEvent::Type)QEvent::registerEventType();
  return kind;
}

void KxLooperObject::customEvent(QEvent* event) {
  if (event->type() != KxMessageEvent::Kind()) return;
  BMessage msg = static_cast<KxMessageEvent*>(event)->message;
  fOwner->DispatchMessage(&msg);
}

// --- BLooper, BMessenger ---

BLooper::BLooper() : fQueue(new KxLooperObject(this)) {}

BLooper::~BLooper() { delete fQueue; }

status_t BLooper::PostMessage(uint32 code) {
  BMessage msg(code);
  return PostMessage(&msg);
}

status_t BLooper::PostMessage(const BMessage* msg) {
  if (!msg) return B_BAD_VALUE;
  if (!QCoreApplication::instance()) return B_NO_INIT;
  QCoreApplication::postEvent(fQueue, new KxMessageEvent(*msg));
  return B_OK;
}

void BLooper::DispatchMessage(BMessage* msg) {
  if (msg->what == B_QUIT_REQUESTED) {
    if (QuitRequested()) Quit();
    return;
  }
  MessageReceived(msg);
}

void BLooper::MessageReceived(BMessage*) {}

bool BLooper::QuitRequested() { return true; }

status_t BMessenger::SendMessage(uint32 code) const {
  if (!fTarget) return B_NO_INIT;
  return fTarget->PostMessage(code);
}

status_t BMessenger::SendMessage(const BMessage* msg) const {
  if (!fTarget) return B_NO_INIT;
  return fTarget->PostMessage(msg);
}

// --- BApplication ---

void set_app_path(const char* path) { sAppPath = path ? path : ""; }

static int sQtArgc = 1;
static char sQtArg0[] = "korvex-gui";
static char* sQtArgv[] = {sQtArg0, nullptr};

BApplication::BApplication(const char* signature) : fSignature(signature ? signature : "") {
  if (!QApplication::instance()) fOwnQt = new QApplication(sQtArgc, sQtArgv);
  // Only a quit request ends the program, never the last hidden window.
  QApplication::setQuitOnLastWindowClosed(false);
  be_app = this;
}

BApplication::~BApplication() {
  while (!sWindows.empty()) delete sWindows.back();
  if (be_app == this) be_app = nullptr;
  delete fOwnQt;
}

void BApplication::Run() { QApplication::exec(); }

void BApplication::Quit() { QCoreApplication::exit(0); }

status_t BApplication::GetAppInfo(app_info* info) const {
  if (!info) return B_BAD_VALUE;
  std::string path = sAppPath;
  if (path.empty()) {
    char* exe = realpath("/proc/self/exe", nullptr);
    if (!exe) return B_ENTRY_NOT_FOUND;
    path = exe;
    free(exe);
  }
  BEntry entry(path.c_str());
  status_t err = entry.GetRef(&info->ref);
  if (err != B_OK) return err;
  KxCopy(info->signature, sizeof info->signature, fSignature.c_str());
  return B_OK;
}

int32 BApplication::CountWindows() { return (int32)sWindows.size(); }

BWindow* BApplication::WindowAt(int32 index) {
  if (index < 0 || (size_t)index >= sWindows.size()) return nullptr;
  return sWindows[(size_t)index];
}

// --- BWindow ---

static QRect toQRect(BRect r) {
  return QRect((int)r.left, (int)r.top, (int)(r.right - r.left), (int)(r.bottom - r.top));
}

BWindow::BWindow(BRect frame, const char* title, int32 /*type*/, uint32 flags, uint32 /*workspace*/)
    : fWidget(new KxWindowWidget(this)), fTitle(title ? title : "") {
  fWidget->setWindowTitle(QString::fromUtf8(fTitle.c_str()));
  fWidget->setGeometry(toQRect(frame));
  if (flags & B_NOT_RESIZABLE) fWidget->setFixedSize(fWidget->size());
  if (flags & B_NOT_CLOSABLE) fWidget->setWindowFlag(Qt::WindowCloseButtonHint, false);
  sWindows.push_back(this);
}

BWindow::~BWindow() {
  sWindows.erase(std::remove(sWindows.begin(), sWindows.end(), this), sWindows.end());
  for (BView* v : fViews) delete v;
  fViews.clear();
  delete fWidget;
}

void BWindow::Show() { fWidget->show(); }

// The window is deleted once the message that asked for it has been handled,
// not in the middle of it.
void BWindow::Quit() {
  if (fQuitting) return;
  fQuitting = true;
  fWidget->hide();
  BWindow* self = this;
  if (QCoreApplication::instance())
    QMetaObject::invokeMethod(QCoreApplication::instance(), [self] { if (isOpenWindow(self)) delete self; },
                              Qt::QueuedConnection);
}

void BWindow::DispatchMessage(BMessage* msg) {
  if (fQuitting) return;
  switch (msg->what) {
    case B_WINDOW_MOVED: {
      BPoint where;
      if (msg->FindPoint("where", &where) == B_OK) FrameMoved(where);
      return;
    }
    case B_WINDOW_RESIZED: {
      float w = 0, h = 0;
      msg->FindFloat("width", &w);
      msg->FindFloat("height", &h);
      FrameResized(w, h);
      return;
    }
    default:
      BLooper::DispatchMessage(msg);
  }
}

void BWindow::FrameMoved(BPoint) {}

void BWindow::FrameResized(float, float) {}

void BWindow::AddChild(BView* view) {
  if (!view || view->fParent || view->fWindow) return;
  view->fWindow = this;
  KxAdoptWidget(view->fWidget, fWidget);
  fViews.push_back(view);
  layOutViews();
}

BView* BWindow::FindView(const char* name) const {
  for (BView* v : fViews)
    if (BView* found = v->FindView(name)) return found;
  return nullptr;
}

BRect BWindow::Frame() const {
  QRect g = fWidget->geometry();
  return BRect(g.x(), g.y(), g.x() + g.width(), g.y() + g.height());
}

BRect BWindow::Bounds() const { return BRect(0, 0, fWidget->width(), fWidget->height()); }

void BWindow::MoveTo(float x, float y) {
  QRect g = fWidget->geometry();
  g.moveTo((int)x, (int)y);
  fWidget->setGeometry(g);
}

void BWindow::ResizeTo(float width, float height) { fWidget->resize((int)width, (int)height); }

void BWindow::SetSizeLimits(float minW, float maxW, float minH, float maxH) {
  auto clamp = [](float v) { return (int)std::min<float>(std::max<float>(v, 0), QWIDGETSIZE_MAX); };
  fWidget->setMinimumSize(clamp(minW), clamp(minH));
  fWidget->setMaximumSize(clamp(maxW), clamp(maxH));
}

QWidget* BWindow::QtWidget() const { return fWidget; }

// Views that follow all sides keep their left and top and grow with the window.
void BWindow::layOutViews() {
  for (BView* v : fViews) {
    if (v->ResizingMode() != B_FOLLOW_ALL) continue;
    QRect g = v->fWidget->geometry();
    v->fWidget->setGeometry(g.x(), g.y(), std::max(1, fWidget->width() - g.x()),
                            std::max(1, fWidget->height() - g.y()));
  }
}

// --- the window's widget ---

KxWindowWidget::KxWindowWidget(BWindow* owner) : QWidget(nullptr), fOwner(owner) { setAcceptDrops(true); }

void KxWindowWidget::moveEvent(QMoveEvent*) {
  BMessage msg(B_WINDOW_MOVED);
  msg.AddPoint("where", BPoint((float)geometry().x(), (float)geometry().y()));
  fOwner->PostMessage(&msg);
}

void KxWindowWidget::resizeEvent(QResizeEvent*) {
  fOwner->layOutViews();
  BMessage msg(B_WINDOW_RESIZED);
  msg.AddFloat("width", (float)width());
  msg.AddFloat("height", (float)height());
  fOwner->PostMessage(&msg);
}

// The close box asks the window, which decides in its own time.
void KxWindowWidget::closeEvent(QCloseEvent* event) {
  event->ignore();
  fOwner->PostMessage(B_QUIT_REQUESTED);
}

static bool hasLocalFiles(const QMimeData* data) {
  if (!data || !data->hasUrls()) return false;
  for (const QUrl& url : data->urls())
    if (url.isLocalFile()) return true;
  return false;
}

void KxWindowWidget::dragEnterEvent(QDragEnterEvent* event) {
  if (hasLocalFiles(event->mimeData())) event->acceptProposedAction();
}

void KxWindowWidget::dragMoveEvent(QDragMoveEvent* event) {
  if (hasLocalFiles(event->mimeData())) event->acceptProposedAction();
}

// Every dropped file becomes one "refs" entry of a 'DATA' message.
void KxWindowWidget::dropEvent(QDropEvent* event) {
  if (!hasLocalFiles(event->mimeData())) return;
  BMessage msg(B_SIMPLE_DATA);
  for (const QUrl& url : event->mimeData()->urls()) {
    if (!url.isLocalFile()) continue;
    QFileInfo info(url.toLocalFile());
    entry_ref ref(info.absolutePath().toUtf8().constData(), info.fileName().toUtf8().constData());
    msg.AddRef("refs", &ref);
  }
  fOwner->PostMessage(&msg);
  event->acceptProposedAction();
}

// Keys that produce no character (the system keys among them) are reported as
// unmapped keys with the modifiers held and the key's number.
void KxWindowWidget::keyPressEvent(QKeyEvent* event) {
  if (event->text().isEmpty()) {
    uint32 mods = 0;
    Qt::KeyboardModifiers m = event->modifiers();
    if (m & Qt::ShiftModifier) mods |= B_SHIFT_KEY;
    if (m & Qt::ControlModifier) mods |= B_CONTROL_KEY;
    if (m & Qt::AltModifier) mods |= B_LEFT_OPTION_KEY;
    int32 key = (int32)event->nativeScanCode();
    if (event->key() == Qt::Key_Super_L || event->key() == Qt::Key_Meta) key = 102;
    if (event->key() == Qt::Key_Super_R) key = 103;
    BMessage msg(B_UNMAPPED_KEY_DOWN);
    msg.AddInt32("modifiers", (int32)mods);
    msg.AddInt32("key", key);
    fOwner->PostMessage(&msg);
  }
  QWidget::keyPressEvent(event);
}
