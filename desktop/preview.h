// The preview pane of the desktop program: the drawing's elements on the chosen
// layer before Make, the program just written after it, drawn with QPainter in
// the drawing's coordinates (Y up); wheel zooms, dragging pans, double-click fits.
#pragma once

#include <QColor>
#include <QPainterPath>
#include <QString>
#include <QTransform>
#include <QWidget>
#include <vector>

struct KxToolpath;

class KxPreview : public QWidget {
 public:
  explicit KxPreview(QWidget* parent = nullptr);

  void ShowDrawing();                          // the elements of the element table (lines, arcs, circles)
  void ShowProgram(const KxToolpath& tp);      // cut loops, leads, start holes, positioning, what was not cut
  void Clear();

  struct Item {
    QPainterPath path;     // in drawing coordinates
    QColor color;
    double width;          // pen width in pixels
    bool dashed;
    QString contour;       // "$K01" for the parts of a contour, else empty
    bool filled = false;   // arrows are filled with their colour
  };
  const std::vector<Item>& Items() const { return fItems; }
  QRectF Extent() const { return fExtent; }
  QTransform ViewTransform() const;            // drawing coordinates to pixels of the pane
  void Fit();                                  // the whole extent in view

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
