// Interface side of the kit: views placed by their frames, boxes, string views,
// and the controls (text fields, check boxes, radio buttons, buttons, pop-up
// menus) shown by Qt widgets; a control the user acts on posts its message to
// its window.
#include <QAbstractButton>
#include <QCheckBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPalette>
#include <QPushButton>
#include <QRadioButton>
#include <QWidget>
#include <algorithm>

#include "platform/glue.h"
#include "platform/kits.h"

static QRect toQRect(BRect r) {
  return QRect((int)r.left, (int)r.top, (int)(r.right - r.left), (int)(r.bottom - r.top));
}

static QString qs(const char* text) { return QString::fromUtf8(text ? text : ""); }

// --- BView ---

BView::BView(BRect frame, const char* name, uint32 resizingMode, uint32 /*flags*/)
    : BView(frame, name, resizingMode, new QWidget) {}

BView::BView(BRect frame, const char* name, uint32 resizingMode, QWidget* widget)
    : fWidget(widget), fName(name ? name : ""), fResizingMode(resizingMode) {
  fWidget->setObjectName(qs(fName.c_str()));
  fWidget->setGeometry(toQRect(frame));
}

BView::~BView() {
  for (BView* child : fChildren) delete child;
  fChildren.clear();
  delete fWidget;
}

void KxAdoptWidget(QWidget* child, QWidget* parent) {
  // The frame given at construction stays the widget's place in its new parent.
  QRect g = child->geometry();
  child->setParent(parent);
  child->setGeometry(g);
  child->show();
}

void BView::AddChild(BView* child) {
  if (!child || child->fParent) return;
  child->fParent = this;
  KxAdoptWidget(child->fWidget, fWidget);
  fChildren.push_back(child);
}

BView* BView::FindView(const char* name) const {
  if (!name) return nullptr;
  if (fName == name) return const_cast<BView*>(this);
  for (BView* child : fChildren)
    if (BView* found = child->FindView(name)) return found;
  return nullptr;
}

BWindow* BView::Window() const {
  const BView* v = this;
  while (v->fParent) v = v->fParent;
  return v->fWindow;
}

BRect BView::Frame() const {
  QRect g = fWidget->geometry();
  return BRect(g.x(), g.y(), g.x() + g.width(), g.y() + g.height());
}

BRect BView::Bounds() const { return BRect(0, 0, fWidget->width(), fWidget->height()); }

void BView::SetViewColor(uint8_t r, uint8_t g, uint8_t b) {
  QPalette pal = fWidget->palette();
  pal.setColor(QPalette::Window, QColor(r, g, b));
  fWidget->setPalette(pal);
  fWidget->setAutoFillBackground(true);
}

void BView::Invalidate() { fWidget->update(); }

void BView::MoveTo(float x, float y) { fWidget->move((int)x, (int)y); }

void BView::ResizeTo(float width, float height) { fWidget->resize((int)width, (int)height); }

void BView::TruncateString(BString* text, uint32 mode, float width) const {
  if (!text) return;
  Qt::TextElideMode how = mode == B_TRUNCATE_BEGINNING ? Qt::ElideLeft
                          : mode == B_TRUNCATE_MIDDLE  ? Qt::ElideMiddle
                                                       : Qt::ElideRight;
  QFontMetrics fm(fWidget->font());
  QString cut = fm.elidedText(qs(text->String()), how, std::max(1, (int)width));
  *text = cut.toUtf8().constData();
}

// --- BBox, BStringView ---

BBox::BBox(BRect frame, const char* name) : BView(frame, name, B_FOLLOW_LEFT_TOP, new QGroupBox) {}

void BBox::SetLabel(const char* label) {
  fLabel = label ? label : "";
  static_cast<QGroupBox*>(fWidget)->setTitle(qs(fLabel.c_str()));
}

BStringView::BStringView(BRect frame, const char* name, const char* text)
    : BView(frame, name, B_FOLLOW_LEFT_TOP, new QLabel) {
  SetText(text);
}

void BStringView::SetText(const char* text) {
  fText = text ? text : "";
  static_cast<QLabel*>(fWidget)->setText(qs(fText.c_str()));
  fWidget->setToolTip(qs(fText.c_str()));
}

// --- BControl ---

BControl::BControl(BRect frame, const char* name, const char* label, BMessage* message, QWidget* widget)
    : BView(frame, name, B_FOLLOW_LEFT_TOP, widget), fLabel(label ? label : ""), fMessage(message) {}

BControl::~BControl() { delete fMessage; }

void BControl::SetLabel(const char* label) {
  fLabel = label ? label : "";
  ShowLabel();
}

void BControl::SetValue(int32 value) {
  if (auto* b = dynamic_cast<QAbstractButton*>(fWidget); b && b->isCheckable()) b->setChecked(value != 0);
}

int32 BControl::Value() const {
  if (auto* b = dynamic_cast<QAbstractButton*>(fWidget); b && b->isCheckable()) return b->isChecked() ? 1 : 0;
  return 0;
}

void BControl::SetEnabled(bool on) { fWidget->setEnabled(on); }

bool BControl::IsEnabled() const { return fWidget->isEnabled(); }

status_t BControl::Invoke() {
  if (!fMessage) return B_BAD_VALUE;
  BWindow* w = Window();
  if (!w) return B_NO_INIT;
  BMessage copy(*fMessage);
  copy.AddPointer("source", this);
  return w->PostMessage(&copy);
}

// --- BTextControl ---

BTextControl::BTextControl(BRect frame, const char* name, const char* label, const char* text, BMessage* message)
    : BControl(frame, name, label, message, new QWidget),
      fLabelView(new QLabel(fWidget)),
      fField(new QLineEdit(fWidget)),
      fDivider(frame.Width() / 2) {
  auto* edit = static_cast<QLineEdit*>(fField);
  // Files dropped on a field belong to the window, not into the text.
  edit->setAcceptDrops(false);
  edit->setText(qs(text));
  QObject::connect(edit, &QLineEdit::editingFinished, edit, [this] { Invoke(); });
  ShowLabel();
  layOut();
}

void BTextControl::ShowLabel() { static_cast<QLabel*>(fLabelView)->setText(qs(fLabel.c_str())); }

void BTextControl::layOut() {
  int w = fWidget->width(), h = fWidget->height(), d = (int)fDivider;
  fLabelView->setGeometry(0, 0, d, h);
  fField->setGeometry(d, 0, std::max(1, w - d), h);
}

void BTextControl::SetText(const char* text) { static_cast<QLineEdit*>(fField)->setText(qs(text)); }

const char* BTextControl::Text() const {
  fText = static_cast<QLineEdit*>(fField)->text().toUtf8().constData();
  return fText.c_str();
}

void BTextControl::SetDivider(float x) {
  fDivider = x;
  layOut();
}

QWidget* BTextControl::QtField() const { return fField; }

// --- check box, radio button, button ---

BCheckBox::BCheckBox(BRect frame, const char* name, const char* label, BMessage* message)
    : BControl(frame, name, label, message, new QCheckBox) {
  QObject::connect(static_cast<QCheckBox*>(fWidget), &QCheckBox::clicked, fWidget, [this] { Invoke(); });
  ShowLabel();
}

void BCheckBox::ShowLabel() { static_cast<QCheckBox*>(fWidget)->setText(qs(fLabel.c_str())); }

BRadioButton::BRadioButton(BRect frame, const char* name, const char* label, BMessage* message)
    : BControl(frame, name, label, message, new QRadioButton) {
  QObject::connect(static_cast<QRadioButton*>(fWidget), &QRadioButton::clicked, fWidget, [this] { Invoke(); });
  ShowLabel();
}

void BRadioButton::ShowLabel() { static_cast<QRadioButton*>(fWidget)->setText(qs(fLabel.c_str())); }

BButton::BButton(BRect frame, const char* name, const char* label, BMessage* message)
    : BControl(frame, name, label, message, new QPushButton) {
  QObject::connect(static_cast<QPushButton*>(fWidget), &QPushButton::clicked, fWidget, [this] { Invoke(); });
  ShowLabel();
}

void BButton::ShowLabel() { static_cast<QPushButton*>(fWidget)->setText(qs(fLabel.c_str())); }

// --- menus ---

BMenuItem::BMenuItem(const char* label, BMessage* message) : fLabel(label ? label : ""), fMessage(message) {}

BMenuItem::~BMenuItem() { delete fMessage; }

void BMenuItem::SetMarked(bool on) {
  if (on && fMenu && fMenu->fRadio) {
    for (BMenuItem* other : fMenu->fItems) other->fMarked = false;
  }
  fMarked = on;
  if (fMenu) fMenu->changed();
}

BMenu::BMenu(const char* name) : fName(name ? name : "") {}

BMenu::~BMenu() {
  for (BMenuItem* item : fItems) delete item;
}

bool BMenu::AddItem(BMenuItem* item) {
  if (!item || item->fMenu) return false;
  item->fMenu = this;
  fItems.push_back(item);
  if (item->fMarked && fRadio) item->SetMarked(true);
  changed();
  return true;
}

BMenuItem* BMenu::RemoveItem(int32 index) {
  if (index < 0 || index >= CountItems()) return nullptr;
  BMenuItem* item = fItems[(size_t)index];
  fItems.erase(fItems.begin() + index);
  item->fMenu = nullptr;
  changed();
  return item;
}

BMenuItem* BMenu::ItemAt(int32 index) const {
  if (index < 0 || index >= CountItems()) return nullptr;
  return fItems[(size_t)index];
}

BMenuItem* BMenu::FindMarked() const {
  for (BMenuItem* item : fItems)
    if (item->fMarked) return item;
  return nullptr;
}

void BMenu::Invoke(BMenuItem* item) {
  if (!item || item->fMenu != this) return;
  if (fRadio) item->SetMarked(true);
  BWindow* w = fField ? fField->Window() : nullptr;
  if (!w || !item->fMessage) return;
  BMessage copy(*item->fMessage);
  copy.AddPointer("source", item);
  w->PostMessage(&copy);
}

void BMenu::changed() {
  if (fField) fField->refresh();
}

BMenuField::BMenuField(BRect frame, const char* name, const char* label, BMenu* menu)
    : BView(frame, name, B_FOLLOW_LEFT_TOP, new QWidget),
      fLabelView(new QLabel(fWidget)),
      fButton(new QPushButton(fWidget)),
      fMenu(menu),
      fLabel(label ? label : ""),
      fDivider(frame.Width() / 3) {
  static_cast<QLabel*>(fLabelView)->setText(qs(fLabel.c_str()));
  auto* button = static_cast<QPushButton*>(fButton);
  button->setStyleSheet("text-align: left; padding-left: 6px;");
  QObject::connect(button, &QPushButton::clicked, button, [this] { popUp(); });
  if (fMenu) fMenu->fField = this;
  layOut();
  refresh();
}

BMenuField::~BMenuField() { delete fMenu; }

void BMenuField::SetDivider(float x) {
  fDivider = x;
  layOut();
}

void BMenuField::layOut() {
  int w = fWidget->width(), h = fWidget->height(), d = (int)fDivider;
  fLabelView->setGeometry(0, 0, d, h);
  fButton->setGeometry(d, 0, std::max(1, w - d), h);
}

void BMenuField::ShowPopUpMarker() {
  fMarker = true;
  refresh();
}

void BMenuField::HidePopUpMarker() {
  fMarker = false;
  refresh();
}

const char* BMenuField::MenuText() const {
  if (!fMenu) return "";
  BMenuItem* marked = fMenu->FindMarked();
  if (marked && fMenu->fLabelFromMarked) return marked->Label();
  return fMenu->Name();
}

void BMenuField::refresh() {
  QString text = qs(MenuText());
  if (fMarker) text += QString::fromUtf8("  \u25BE");
  static_cast<QPushButton*>(fButton)->setText(text);
}

// The menu is shown without a nested event loop, so the window's queue keeps
// running; an item removed while the menu is open is simply no longer chosen.
void BMenuField::popUp() {
  if (!fMenu || fMenu->CountItems() == 0) return;
  auto* menu = new QMenu(fButton);
  menu->setAttribute(Qt::WA_DeleteOnClose);
  for (int32 i = 0; i < fMenu->CountItems(); ++i) {
    BMenuItem* item = fMenu->ItemAt(i);
    QAction* action = menu->addAction(qs(item->Label()));
    action->setCheckable(fMenu->IsRadioMode());
    action->setChecked(item->IsMarked());
    QObject::connect(action, &QAction::triggered, fButton, [this, item] {
      if (fMenu && std::find(fMenu->fItems.begin(), fMenu->fItems.end(), item) != fMenu->fItems.end())
        fMenu->Invoke(item);
    });
  }
  menu->popup(fButton->mapToGlobal(QPoint(0, fButton->height())));
}
