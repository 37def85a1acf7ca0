// Inside of the kit: the Qt objects that carry a looper's message queue and a
// window's events (moves, resizes, the close box, dropped files, keys) back
// into messages. Only the kit's own sources include this.
#pragma once

#include <QEvent>
#include <QObject>
#include <QWidget>

#include "platform/kits.h"

// Moves child into parent at the position it already had, and shows it.
void KxAdoptWidget(QWidget* child, QWidget* parent);

// One queued message on its way to a looper.
class KxMessageEvent : public QEvent {
 public:
  static QEvent::Type Kind();   // the registered event type
  explicit KxMessageEvent(const BMessage& msg) : QEvent(Kind()), message(msg) {}
  BMessage message;
};

// The queue of a looper: Qt's event loop hands it the posted messages one at a time.
class KxLooperObject : public QObject {
 public:
  explicit KxLooperObject(BLooper* owner) : fOwner(owner) {}
 protected:
  void customEvent(QEvent* event) override;
 private:
  BLooper* fOwner;
};

// The top-level widget of a window.
class KxWindowWidget : public QWidget {
 public:
  explicit KxWindowWidget(BWindow* owner);
 protected:
  void moveEvent(QMoveEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
 private:
  BWindow* fOwner;
};
