// The preview pane: draws the element table (before Make) or the program read
// back from its file (after Make) with QPainter, in the same colours as the
// picture on the statistics page.
#include "desktop.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <cmath>
#include <cstring>

#include "contours/contours.h"
#include "elements/elements.h"
#include "geometry/base.h"
#include "report/report.h"
#include "run/run.h"

namespace {

const QColor kCut(0x10, 0x40, 0xc0), kLead(0x10, 0x80, 0x30), kRapid(0x66, 0x66, 0x66), kWarn(0xe0, 0, 0),
    kHold(0xd0, 0x20, 0x90), kElement(0x20, 0x20, 0x20), kSide(0xc0, 0x70, 0x00), kUpper(0x80, 0x40, 0xc0);

// An arc as short straight pieces, enough to look round at any zoom the pane offers.
void arcTo(QPainterPath& p, double cx, double cy, double r, double a0, double sweep) {
  int n = std::max(8, (int)(std::fabs(sweep) / (2 * M_PI) * 128));
  for (int i = 1; i <= n; ++i) {
    double a = a0 + sweep * i / n;
    p.lineTo(cx + r * std::cos(a), cy + r * std::sin(a));
  }
}

void addMove(QPainterPath& p, const KxMove& m) {
  if (m.g < 2) {
    p.lineTo(m.x1, m.y1);
    return;
  }
  double a0, sweep;
  KxArcSweep(m, &a0, &sweep);
  arcTo(p, m.cx, m.cy, std::hypot((double)m.x0 - m.cx, (double)m.y0 - m.cy), a0, sweep);
}

// The move shifted by d toward the side the compensation puts the wire (41 left, 42 right).
void addSide(QPainterPath& p, const KxMove& m, int side, double d) {
  double s = side == 41 ? 1.0 : -1.0;
  if (m.g < 2) {
    double dx = m.x1 - m.x0, dy = m.y1 - m.y0, len = std::hypot(dx, dy);
    if (len <= 0) return;
    double nx = -dy / len * d * s, ny = dx / len * d * s;
    p.moveTo(m.x0 + nx, m.y0 + ny);
    p.lineTo(m.x1 + nx, m.y1 + ny);
    return;
  }
  double r = std::hypot((double)m.x0 - m.cx, (double)m.y0 - m.cy);
  double r2 = r + (m.g == 3 ? -s * d : s * d);
  if (r <= 0 || r2 <= 0) return;
  double a0, sweep;
  KxArcSweep(m, &a0, &sweep);
  p.moveTo(m.cx + r2 * std::cos(a0), m.cy + r2 * std::sin(a0));
  arcTo(p, m.cx, m.cy, r2, a0, sweep);
}

// A filled arrow just after the split point, pointing the way the wire cuts.
QPainterPath arrow(const KxMove& m, double size) {
  QPainterPath p;
  if (m.x0 == m.x1 && m.y0 == m.y1 && m.g < 2) return p;
  double dx, dy;
  KxMoveStartTangent(m, &dx, &dy);
  double ax = m.x0 + dx * size * 2, ay = m.y0 + dy * size * 2, a = size * 1.6;
  p.moveTo(ax + dx * a, ay + dy * a);
  p.lineTo(ax - dy * a * 0.5, ay + dx * a * 0.5);
  p.lineTo(ax + dy * a * 0.5, ay - dx * a * 0.5);
  p.closeSubpath();
  return p;
}

bool finite(const elementdaten& e) {
  return std::isfinite(e.sx) && std::isfinite(e.sy) && std::isfinite(e.ex) && std::isfinite(e.ey) &&
         std::isfinite(e.cx) && std::isfinite(e.cy) && std::isfinite(e.r) && std::fabs(e.r) < 1e7 &&
         std::fabs(e.sx) < 1e7 && std::fabs(e.sy) < 1e7 && std::fabs(e.cx) < 1e7 && std::fabs(e.cy) < 1e7;
}

QPainterPath elementPath(const elementdaten& e) {
  QPainterPath p;
  if (e.type == etLINE) {
    p.moveTo(e.sx, e.sy);
    p.lineTo(e.ex, e.ey);
  } else if (e.type == etCIR) {
    p.moveTo(e.cx + e.r, e.cy);
    arcTo(p, e.cx, e.cy, e.r, 0, 2 * M_PI);
  } else if (e.type == etARC) {
    double a0 = e.sw / RAD2DEG;
    p.moveTo(e.cx + e.r * std::cos(a0), e.cy + e.r * std::sin(a0));
    arcTo(p, e.cx, e.cy, e.r, a0, BOGENWINKEL(e.sw, e.ew) / RAD2DEG);
  }
  return p;
}

}  // namespace

KxPreview::KxPreview(QWidget* parent) : QWidget(parent) {
  setObjectName("preview");
  setMinimumSize(320, 300);
  setAutoFillBackground(true);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, Qt::white);
  setPalette(pal);
  setToolTip("Wheel: zoom, drag: pan, double-click: fit");
}

void KxPreview::add(const QPainterPath& path, QColor color, double width, bool dashed, const QString& contour) {
  if (path.isEmpty()) return;
  fItems.push_back({path, color, width, dashed, contour, false});
}

void KxPreview::Clear() {
  fItems.clear();
  fLabels.clear();
  fExtent = QRectF();
  update();
}

void KxPreview::finish() {
  QRectF box;
  for (const Item& it : fItems) box = box.isNull() ? it.path.boundingRect() : box.united(it.path.boundingRect());
  fExtent = box;
  fFitted = false;
  Fit();
}

void KxPreview::ShowDrawing(KxRun& run) {
  Clear();
  long top = run.table.eldsCounter;
  for (long i = 0; i < top; ++i) {
    const elementdaten& e = run.table.elds[i];
    if ((e.type != etLINE && e.type != etARC && e.type != etCIR) || !finite(e)) continue;
    // A polyline's head record is no geometry of the drawing: its ends are left-over values.
    if (strncmp(run.table.marks[i].kontur, "xPF", sizeof(KxMarks::kontur)) == 0) continue;
    add(elementPath(e), kElement, 1.2, false);
  }
  finish();
}

void KxPreview::ShowProgram(KxRun& run) {
  Clear();
  const KxToolpath& tp = run.report.toolpath;
  for (int r = 0; r < tp.rapidCount; ++r) {
    QPainterPath p;
    p.moveTo(tp.rapids[r].x0, tp.rapids[r].y0);
    p.lineTo(tp.rapids[r].x1, tp.rapids[r].y1);
    add(p, kRapid, 1, true);
  }
  // Four-axis: the upper guide's path dashed, and the wire at corners and sync points.
  if (!tp.upper.empty()) {
    QPainterPath top, wire;
    for (const KxRapid& u : tp.upper) {
      top.moveTo(u.x0, u.y0);
      top.lineTo(u.x1, u.y1);
    }
    for (const KxWirePair& p : KxRulingLines(run)) {
      wire.moveTo(p.bx, p.by);
      wire.lineTo(p.tx, p.ty);
    }
    add(top, kUpper, 1.2, true);
    add(wire, kUpper, 0.5, false);
  }
  double mark = 0;
  {
    QRectF box;
    for (int m = 0; m < tp.moveCount; ++m) box |= QRectF(QPointF(tp.moves[m].x0, tp.moves[m].y0), QSizeF(1e-3, 1e-3));
    mark = std::max(box.width(), box.height()) * 0.008;
    if (mark <= 0) mark = 0.5;
  }
  for (int l = 0; l < tp.loopCount; ++l) {
    const KxLoop& lp = tp.loops[l];
    char contour[16];
    KxContourName(contour, sizeof contour, KxBlockContour(lp.block));
    QString name = QString::fromLatin1(contour);
    if (lp.moveCount > 0 && lp.firstMove < tp.moveCount) {
      QPainterPath p;
      p.moveTo(tp.moves[lp.firstMove].x0, tp.moves[lp.firstMove].y0);
      for (int m = lp.firstMove; m < lp.firstMove + lp.moveCount && m < tp.moveCount; ++m) addMove(p, tp.moves[m]);
      add(p, kCut, 1.8, false, name);
      QPainterPath side;
      for (int m = lp.firstMove; m < lp.firstMove + lp.moveCount && m < tp.moveCount; ++m)
        addSide(side, tp.moves[m], lp.side, mark * 0.8);
      add(side, kSide, 0.8, false, name);
      add(arrow(tp.moves[lp.firstMove], mark), kCut, 1, false, name);
      if (!fItems.empty()) fItems.back().filled = true;
    }
    for (int lead : {lp.leadIn, lp.leadOut}) {
      if (lead < 0 || lead >= tp.moveCount) continue;
      QPainterPath p;
      p.moveTo(tp.moves[lead].x0, tp.moves[lead].y0);
      addMove(p, tp.moves[lead]);
      add(p, kLead, 1.2, false, name);
    }
    QPainterPath hole;
    hole.addEllipse(QPointF(lp.holeX, lp.holeY), mark, mark);
    add(hole, kLead, 1.2, false, name);
    if (lp.hold) {
      QPainterPath h;
      h.addRect(QRectF(lp.holdX - mark * 0.6, lp.holdY - mark * 0.6, mark * 1.2, mark * 1.2));
      add(h, kHold, 3, false, name);
    }
    fLabels.push_back({QPointF(lp.holeX + mark * 1.5, lp.holeY + mark * 1.5),
                       QString("%1 \u00d7%2").arg(name).arg(lp.cuts)});
  }
  // Contours the program does not cut, from the element table, in the warning colour.
  long top = run.table.eldsCounter;
  std::vector<char> cut((size_t)std::max(run.contours.count, 0) + 1, 0);
  for (int l = 0; l < tp.loopCount; ++l) {
    const int k = KxBlockContour(tp.loops[l].block);
    if (k >= 1 && k <= run.contours.count) cut[(size_t)k] = 1;
  }
  for (int k = 1; k <= run.contours.count; ++k) {
    if (cut[(size_t)k]) continue;
    const char* name = run.contours.all[(size_t)k].name;
    for (long i : KxContourRecords(run.contours.all[(size_t)k])) {
      const elementdaten& e = run.table.elds[i];
      if (!finite(e)) continue;
      add(elementPath(e), kWarn, 2, true, name);
    }
  }
  for (long i = 0; i < top; ++i) {
    const elementdaten& e = run.table.elds[i];
    const char* name = run.table.marks[i].kontur;
    if (!finite(e) || (strncmp(name, run.contours.orphan, sizeof(KxMarks::kontur)) != 0 && strcmp(name, "-del-") != 0)) continue;
    add(elementPath(e), kWarn, 2, true);
  }
  finish();
}

QTransform KxPreview::ViewTransform() const {
  return QTransform(fScale, 0, 0, -fScale, fOffset.x(), fOffset.y());
}

void KxPreview::Fit() {
  if (fExtent.isNull() || width() < 20 || height() < 20) return;
  double w = std::max(fExtent.width(), 1e-3), h = std::max(fExtent.height(), 1e-3);
  fScale = std::min((width() - 24) / w, (height() - 24) / h);
  if (!(fScale > 0) || !std::isfinite(fScale)) fScale = 1;
  QPointF c = fExtent.center();
  fOffset = QPointF(width() / 2.0 - c.x() * fScale, height() / 2.0 + c.y() * fScale);
  fFitted = true;
  update();
}

void KxPreview::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  if (fItems.empty()) {
    p.setPen(QColor(0x88, 0x88, 0x88));
    p.drawText(rect(), Qt::AlignCenter, "Drop a DXF drawing or use File \u25b8 Open");
    return;
  }
  const QTransform t = ViewTransform();
  for (const Item& it : fItems) {
    QPen pen(it.color, it.width);
    pen.setCosmetic(true);
    if (it.dashed) pen.setStyle(Qt::DashLine);
    p.setPen(pen);
    p.setBrush(it.filled ? QBrush(it.color) : QBrush(Qt::NoBrush));
    p.drawPath(t.map(it.path));
  }
  p.setPen(QColor(0x22, 0x22, 0x22));
  for (const auto& [at, text] : fLabels) p.drawText(t.map(at), text);
}

void KxPreview::wheelEvent(QWheelEvent* event) {
  double steps = event->angleDelta().y() / 120.0;
  if (steps == 0) return;
  double f = std::pow(1.25, steps);
  QPointF at = event->position();
  // The point under the cursor stays where it is.
  fOffset = at + (fOffset - at) * f;
  fScale *= f;
  update();
  event->accept();
}

void KxPreview::mousePressEvent(QMouseEvent* event) { fDragFrom = event->pos(); }

void KxPreview::mouseMoveEvent(QMouseEvent* event) {
  if (!(event->buttons() & Qt::LeftButton)) return;
  fOffset += QPointF(event->pos() - fDragFrom);
  fDragFrom = event->pos();
  update();
}

void KxPreview::mouseDoubleClickEvent(QMouseEvent*) { Fit(); }

void KxPreview::resizeEvent(QResizeEvent*) {
  if (fFitted || !fExtent.isNull()) Fit();
}
