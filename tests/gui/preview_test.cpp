// The plain-Qt parts of the window on the offscreen platform: the drawing named
// on the command line, the preview before and after Make (rendered to an image
// and looked at where each contour lies), the result line, File > Open and the
// NC program view.
#include <gtest/gtest.h>

#include <QAction>
#include <QImage>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTest>
#include <QWheelEvent>
#include <filesystem>

#include "config/config.h"
#include "geometry/base.h"
#include "gui_support.h"
#include "parts.h"
#include "preview.h"
#include "report/report.h"
#include "support/dxf_text.h"

namespace fs = std::filesystem;

namespace {

class PreviewTest : public GuiTest {
 protected:
  std::string Line(KXWindow* w) { return w->Parts()->ResultLine()->text().toStdString(); }
  // Pixels that are not the pane's white inside the box of drawing coordinates.
  static int inked(KxPreview* p, const QImage& img, QRectF box) {
    QRect r = p->ViewTransform().mapRect(box).toAlignedRect().adjusted(-2, -2, 2, 2).intersected(img.rect());
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
      for (int x = r.left(); x <= r.right(); ++x) n += img.pixelColor(x, y) != QColor(Qt::white);
    return n;
  }
};

TEST_F(PreviewTest, CommandLineDrawingPreviewMakeAndResultLine) {
  fs::copy_file(SourceDir() + "/examples/die_plate.dxf", prog.File("die_plate.dxf"));
  std::string dxf = prog.File("die_plate.dxf");
  gStartDrawing = dxf.c_str();
  KXWindow* w = OpenWindow();
  Pump();
  EXPECT_STREQ(in_filename, dxf.c_str());
  KxPreview* pane = w->Parts()->Preview();
  EXPECT_EQ(w->Parts()->OpenAction()->shortcut(), QKeySequence(QKeySequence::Open));
  // Before Make: the drawing's lines, arcs and circles of the main layer.
  EXPECT_EQ(pane->Items().size(), 16u + 6u + 6u);
  EXPECT_FALSE(pane->Extent().isNull());

  Post(w, kxMSG_MAKE);
  std::string line = Line(w);
  EXPECT_TRUE(Has(line, "6 contours, 2 holes, 0 start holes missing, 0 open contours")) << line;
  EXPECT_TRUE(Has(line, dataPath)) << line;
  EXPECT_TRUE(Has(line, "status 0: done")) << line;
  EXPECT_FALSE(Has(w->Parts()->ResultLine()->styleSheet().toStdString(), "#c00000"));

  // After Make: every cut loop of the program is drawn where it lies.
  ASSERT_EQ(gToolpath.loopCount, 6);
  QImage img = pane->grab().toImage();
  ASSERT_FALSE(img.isNull());
  for (int l = 0; l < gToolpath.loopCount; ++l) {
    const KxLoop& lp = gToolpath.loops[l];
    QRectF box;
    for (int m = lp.firstMove; m < lp.firstMove + lp.moveCount; ++m)
      box |= QRectF(QPointF(gToolpath.moves[m].x0, gToolpath.moves[m].y0), QSizeF(0.001, 0.001));
    SCOPED_TRACE("N" + std::to_string(lp.block));
    EXPECT_GT(inked(pane, img, box), 20);
  }
  // Nothing outside the drawing's extent is inked.
  EXPECT_EQ(inked(pane, img, QRectF(pane->Extent().right() + 30, pane->Extent().top(), 5, 5)), 0);

  // Wheel zooms about the cursor, double-click fits again.
  QTransform before = pane->ViewTransform();
  QWheelEvent wheel(QPointF(100, 100), pane->mapToGlobal(QPointF(100, 100)), QPoint(), QPoint(0, 120), Qt::NoButton,
                    Qt::NoModifier, Qt::NoScrollPhase, false);
  QCoreApplication::sendEvent(pane, &wheel);
  EXPECT_GT(pane->ViewTransform().m11(), before.m11() * 1.2);
  QTest::mouseDClick(pane, Qt::LeftButton);
  EXPECT_DOUBLE_EQ(pane->ViewTransform().m11(), before.m11());

  // The NC program opens in the window's own read-only view.
  KxDesktopOpener(dataPath);
  QPlainTextEdit* view = w->Parts()->ProgramView();
  EXPECT_TRUE(view->isVisible());
  EXPECT_TRUE(view->isReadOnly());
  EXPECT_TRUE(Has(view->toPlainText().toStdString(), "N10(-- contour: $K01 --);"));
}

TEST_F(PreviewTest, PolylinesOfTheDrawingArePreviewedAsLines) {
  KXWindow* w = OpenWindow();
  for (int run = 0; run < 2; ++run) {   // the second time after a Make
    w->Parts()->OpenDrawing((SourceDir() + "/examples/bracket_2000.dxf").c_str());
    Pump();
    // The outline's polyline as lines, slot and window arcs, three start holes.
    EXPECT_GE(w->Parts()->Preview()->Items().size(), 6u + 2u + 3u + 3u);
    QRectF e = w->Parts()->Preview()->Extent();
    EXPECT_NEAR(e.left(), 0, 0.01);
    EXPECT_NEAR(e.bottom(), 60, 0.01);   // the upright leg of the L
    Post(w, kxMSG_MAKE);
  }
}

TEST_F(PreviewTest, NothingToCutIsSaidInRed) {
  DxfText d;
  d.Layer("DXF_MAIN");
  d.Line("DXF_MAIN", 0, 0, 20, 0).Line("DXF_MAIN", 20, 0, 20, 20).Line("DXF_MAIN", 20, 20, 0, 20).Line("DXF_MAIN", 0, 20, 0, 0);
  WriteFile(prog.File("nohole.dxf"), d.Str());
  KXWindow* w = OpenWindow();
  w->Parts()->OpenDrawing(prog.File("nohole.dxf").c_str());
  Pump();
  Post(w, kxMSG_MAKE);
  std::string line = Line(w);
  EXPECT_TRUE(Has(line, "1 contour, 0 holes, 1 start hole missing")) << line;
  EXPECT_TRUE(Has(line, "status 5: nothing to cut: no contour has a start hole")) << line;
  EXPECT_TRUE(Has(w->Parts()->ResultLine()->styleSheet().toStdString(), "#c00000"));
  // The uncut contour is in the preview, in the warning colour.
  ASSERT_FALSE(w->Parts()->Preview()->Items().empty());
  EXPECT_EQ(w->Parts()->Preview()->Items()[0].color, QColor(0xe0, 0, 0));
}

}  // namespace
