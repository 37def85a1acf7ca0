// The desktop program on the offscreen platform, driven as a person would: the
// number fields' ranges, switches reaching the core, the settings and device
// menus, dropped files, Make with its result line, preview and NC view, quitting
// and the next start; and the preferences store below the window. One Qt
// application serves the whole run; every case has fresh core and desktop
// state, a program folder of its own and a settings folder of its own.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDropEvent>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <QWheelEvent>
#include <cstdlib>
#include <filesystem>
#include <sys/xattr.h>

#include "config/config.h"
#include "dxf/dxf.h"
#include "frontend.h"
#include "geometry/base.h"
#include "parts.h"
#include "preview.h"
#include "report/report.h"
#include "support/dxf_text.h"
#include "support/support.h"
#include "kxrun.h"

namespace fs = std::filesystem;

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  ::testing::InitGoogleTest(&argc, argv);
  QApplication qt(argc, argv);
  return RUN_ALL_TESTS();
}

static std::vector<std::string>* sOpened = nullptr;

// Path of korvex_settings below a settings folder.
static std::string SettingsFile(const std::string& dir) { return dir + "/_LP_x-vnd.VL/korvex_settings"; }
// A frame's edges: left, top, right, bottom.
static std::vector<float> Edges(const BRect& r) { return {r.left, r.top, r.right, r.bottom}; }

class GuiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FreshCore(kxDESKTOP);
    ResetDesktopState();
    setenv("XDG_CONFIG_HOME", config.Path().c_str(), 1);
    fs::copy_file(SourceDir() + "/korvex.ini", prog.File("korvex.ini"));
    fs::copy(SourceDir() + "/devices", prog.File("devices"));
    set_app_path(prog.File("korvex-gui").c_str());
    sOpened = &opened;
    gOpenHook = [](const char* path) { sOpened->push_back(path); };
    app = new BApplication("application/x-vnd.korvex-test");
  }
  void TearDown() override {
    delete app;
    Pump();
    gOpenHook = nullptr;
    ResetDesktopState();
    FreshCore(1);
  }
  // A shown window at the frame of the run.
  KXWindow* OpenWindow() {
    KXWindow* w = new KXWindow(BRect(WIN_X, WIN_Y, WIN_X + WIN_W, WIN_Y + WIN_H));
    w->Show();
    Pump();
    return w;
  }
  // Handles every message waiting in the queues.
  static void Pump() {
    for (int i = 0; i < 5; ++i) {
      QCoreApplication::sendPostedEvents();
      QCoreApplication::processEvents();
    }
  }
  // Posts a message and handles it.
  static void Post(BLooper* looper, uint32 code) {
    looper->PostMessage(code);
    Pump();
  }
  // A file dropped on the window from a file manager: its URL arrives at the window's widget.
  static void Drop(KXWindow* w, const std::string& path) {
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(path))});
    QDragEnterEvent enter(QPoint(250, 300), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w->QtWidget(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(250, 300), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w->QtWidget(), &drop);
    Pump();
  }
  // New text typed into a field with the keys and ended with Return.
  void Type(KXWindow* w, const char* name, const char* text) {
    auto* edit = static_cast<QLineEdit*>(View<BTextControl>(w, name)->QtField());
    edit->setFocus();
    edit->clear();
    QTest::keyClicks(edit, text);
    QTest::keyClick(edit, Qt::Key_Return);
    Pump();
  }
  template <class T> T* View(KXWindow* w, const char* name) { return dynamic_cast<T*>(w->FindView(name)); }
  std::string Drawing(const char* name = "die_plate.dxf") {
    fs::copy_file(SourceDir() + "/examples/die_plate.dxf", prog.File(name));
    return prog.File(name);
  }
  const char* Text(KXWindow* w, const char* name) { return View<BTextControl>(w, name)->Text(); }
  bool MakeEnabled(KXWindow* w) { return View<BButton>(w, "MakeIt")->IsEnabled(); }
  std::string Line(KXWindow* w) { return w->Parts()->ResultLine()->text().toStdString(); }
  bool Red(KXWindow* w) { return Has(w->Parts()->ResultLine()->styleSheet().toStdString(), "#c00000"); }
  // Pixels that are not the pane's white inside the box of drawing coordinates.
  static int inked(KxPreview* p, const QImage& img, QRectF box) {
    QRect r = p->ViewTransform().mapRect(box).toAlignedRect().adjusted(-2, -2, 2, 2).intersected(img.rect());
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
      for (int x = r.left(); x <= r.right(); ++x) n += img.pixelColor(x, y) != QColor(Qt::white);
    return n;
  }
  // The preferences file and its raw attributes.
  std::string File() { return SettingsFile(config.Path()); }
  // Reads the raw attribute, or first stores the given raw bytes.
  std::string Attr(const char* name, const std::string& raw = "") {
    std::string attr = std::string("user.") + name;
    EXPECT_TRUE(raw.empty() || setxattr(File().c_str(), attr.c_str(), raw.data(), raw.size(), 0) == 0) << name;
    char buf[512];
    ssize_t n = getxattr(File().c_str(), attr.c_str(), buf, sizeof buf);
    return n < 0 ? std::string() : std::string(buf, (size_t)n);
  }

  ConsoleCapture out;
  TempDir prog;      // the program folder: korvex.ini and devices/
  TempDir config;    // the user's settings folder
  std::vector<std::string> opened;   // paths handed to the opener
  BApplication* app = nullptr;
};
using WindowTest = GuiTest;
using PrefsTest = GuiTest;

TEST_F(WindowTest, FieldsAcceptOnlyTheirOpenRangesAndSwitchesReachTheCore) {
  KXWindow* w = OpenWindow();
  EXPECT_STREQ(View<BBox>(w, "iniBox")->Label(), prog.File("korvex.ini").c_str());
  EXPECT_STREQ(View<BStringView>(w, "dxfStrV")->Text(), "-- not set -- please drag --");

  // Per field: typed text, then the text shown and the core's value; a refused value shows the one
  // before, at first the settings file's.
  struct Step { const char* typed; const char* shown; float value; };
  const struct { const char* field; float* global; std::vector<Step> steps; } fields[] = {
      {"nETol", &DeskRun().cfg.gNpTolerance, {{"0.006", "0.002", 0.002f}, {"0.0059", "0.0059", 0.0059f}, {"0", "0.006", 0.0059f}}},
      {"grRad", &DeskRun().cfg.gStartPosition, {{"6.01", "2.605", 2.605f}, {"6", "6", 6}, {"abc", "6.000", 6}}},
      {"anLen", &DeskRun().cfg.gMaxAnkerLen, {{"6.01", "4.500", 4.5f}, {"-1", "4.500", 4.5f}, {"6", "6", 6}}},
      {"hoOff", &DeskRun().cfg.ktechno.dHole,   // no number is 0, inside this range
       {{"-0.03", "-0.002", -0.002f}, {"0.03", "-0.002", -0.002f}, {"xyz", "xyz", 0}, {"-0.029", "-0.029", -0.029f}}}};
  for (const auto& f : fields) {
    for (const Step& s : f.steps) {
      Type(w, f.field, s.typed);
      EXPECT_STREQ(Text(w, f.field), s.shown) << s.typed;
      EXPECT_FLOAT_EQ(*f.global, s.value) << s.typed;
    }
  }
  EXPECT_FLOAT_EQ(DeskRun().cfg.fMinusTol, -0.0059f);   // the chaining's band follows the typed tolerance

  const struct { const char* label; uint32 code; int* global; } boxes[] = {
      {"GlobTextInfo", kxMSG_GLOB_INFO, &DeskRun().cfg.gGlobTextInfo}, {"AddDataInfo", kxMSG_DATA_INFO, &DeskRun().cfg.gDataInfo},
      {"RemTextInfo", kxMSG_REMARK_INFO, &DeskRun().cfg.gCancelTextInfo}, {"OpenDataFile", kxMSG_OPEN_DATA, &DeskRun().cfg.OpenDataFile}};
  for (int on : {1, 0}) {   // each box posts its own code; its value becomes the core's switch
    for (QCheckBox* q : w->QtWidget()->findChildren<QCheckBox*>()) q->setChecked(on);
    for (const auto& b : boxes) {
      Post(w, b.code);
      EXPECT_EQ(*b.global, on) << b.label;
    }
  }
  for (auto [name, code, mode] : {std::tuple{"G92Piece", kxMSG_PIECE, 1}, {"G92Plate", kxMSG_PLATE, 0}}) {
    View<BRadioButton>(w, name)->SetValue(1);
    Post(w, code);
    EXPECT_EQ(DeskRun().cfg.ktechno.G92Mode, mode) << name;
  }

  Type(w, "ofName", "part7");
  Type(w, "ofName", "");   // an empty name is refused
  EXPECT_EQ(DeskRun().cfg.data_filename, "part7");
  EXPECT_STREQ(Text(w, "ofName"), "part7");
  Type(w, "ofExtens", ".longextension");
  EXPECT_STREQ(DeskRun().cfg.mS.Extension, ".longex");   // held to its field
}

TEST_F(WindowTest, StartHoleMenuAndReloadFollowTheSettingsFile) {
  std::string ini = ReadFile(prog.File("korvex.ini"));
  WriteFile(prog.File("korvex.ini"), ini + "\nAutoStartHoles: 1\n");
  KXWindow* w = OpenWindow();
  Post(w, kxMSG_INI_OPEN);
  Post(w, kxMSG_DEV_OPEN);
  EXPECT_EQ(opened, (std::vector<std::string>{prog.File("korvex.ini"), prog.File("devices/MAK_EE3.SYN")}));
  QAction* autoStart = w->Parts()->AutoStartAction();
  EXPECT_TRUE(autoStart->isChecked());
  autoStart->setChecked(false);
  Pump();
  EXPECT_EQ(DeskRun().cfg.gAutoStartHoles, 0);
  WriteFile(prog.File("square.dxf"),
            DxfText().Layer("DXF_MAIN").Polyline("DXF_MAIN", {{0, 0}, {40, 0}, {40, 20}, {0, 20}}).Str());
  Drop(w, prog.File("square.dxf"));
  Post(w, kxMSG_MAKE);
  EXPECT_EQ(Line(w), "1 contour, 0 holes, 1 start hole missing, 0 open contours\n" + prog.File("_nwd_out.NC") +
                        "\nstatus 5: nothing to cut: no contour has a start hole");
  EXPECT_TRUE(Red(w));
  // The uncut contour is in the preview, in the warning colour.
  ASSERT_FALSE(w->Parts()->Preview()->Items().empty());
  EXPECT_EQ(w->Parts()->Preview()->Items()[0].color, QColor(0xe0, 0, 0));
  autoStart->trigger();
  Pump();
  EXPECT_EQ(DeskRun().cfg.gAutoStartHoles, 1);
  Post(w, kxMSG_MAKE);
  EXPECT_TRUE(Has(ReadFile(prog.File("_nwd_out.NC")), "AUTO START HOLE"));
  EXPECT_FALSE(Red(w));
  // The settings file wins again on reload.
  WriteFile(prog.File("korvex.ini"), ini.replace(ini.find("GridRadius: 2.605"), 17, "GridRadius: 1.5"));
  Post(w, kxMSG_INI_RELOAD);
  EXPECT_FALSE(autoStart->isChecked());
  EXPECT_STREQ(Text(w, "grRad"), "1.500");
  // Without a settings file the defaults hold and there is nothing to open.
  fs::remove(prog.File("korvex.ini"));
  Post(w, kxMSG_INI_RELOAD);
  EXPECT_FLOAT_EQ(DeskRun().cfg.gStartPosition, 2.605f);
  EXPECT_FALSE(View<BButton>(w, "iniOpen")->IsEnabled());
}

TEST_F(WindowTest, DeviceMenuListsTheSyntaxFiles) {
  WriteFile(prog.File("devices/OTHER.syn"), "$Extension   \".ISO\"\n");
  WriteFile(prog.File("devices/notes.txt"), "x");
  fs::create_directory(prog.File("devices/DIR.SYN"));
  KXWindow* w = OpenWindow();
  BMenuField* dev = View<BMenuField>(w, "devMenu");
  ASSERT_EQ(dev->Menu()->CountItems(), 2);
  BMenuItem *mak = dev->Menu()->ItemAt(0), *other = dev->Menu()->ItemAt(1);
  EXPECT_TRUE(mak->IsMarked());
  dev->Menu()->Invoke(other);
  Pump();
  EXPECT_EQ(DeskRun().cfg.gDevTarget, prog.File("devices/OTHER.syn"));
  EXPECT_STREQ(Text(w, "ofExtens"), ".ISO");
  // The full path keeps its item marked although the label shows only the path's end.
  w->SetGuiValues();
  EXPECT_TRUE(other->IsMarked());
  EXPECT_TRUE(Has(dev->MenuText(), "OTHER.syn"));
  // Reloading reads the device of the settings file again.
  Post(w, kxMSG_INI_RELOAD);
  EXPECT_EQ(DeskRun().cfg.gDevTarget, "MAK_EE3.SYN");
  EXPECT_TRUE(mak->IsMarked());
  // A devices folder without syntax files leaves the menu empty.
  fs::remove(prog.File("devices/MAK_EE3.SYN"));
  fs::remove(prog.File("devices/OTHER.syn"));
  dev = View<BMenuField>(OpenWindow(), "devMenu");
  EXPECT_EQ(dev->Menu()->CountItems(), 0);
  EXPECT_STREQ(dev->MenuText(), "--not set--");
}

TEST_F(WindowTest, DroppedDrawingFillsTheLayerMenuAndWhatIsNoDrawingIsRefused) {
  KXWindow* w = OpenWindow();
  WriteFile(prog.File("notes.dxf"), "shopping list\nmilk\n");
  WriteFile(prog.File("empty.dxf"), "");
  WriteFile(prog.File("part.Dxf"), "x");
  // Without a drawing chosen before, Make stays off.
  Drop(w, prog.File("notes.dxf"));
  EXPECT_FALSE(MakeEnabled(w));
  EXPECT_EQ(DeskRun().in_filename, "-not-set-");
  std::string dxf = Drawing();
  Drop(w, dxf);
  EXPECT_EQ(DeskRun().in_filename, dxf);
  EXPECT_TRUE(MakeEnabled(w));
  EXPECT_STREQ(View<BStringView>(w, "dxfStrV")->Text(), dxf.c_str());
  BMenu* menu = View<BMenuField>(w, "dxfLayMF")->Menu();
  std::string labels;
  for (int32 i = 0; i < menu->CountItems(); ++i) labels += std::string(menu->ItemAt(i)->Label()) + ";";
  EXPECT_EQ(labels, "0;DXF_MAIN;EDMX_POSITION;");
  EXPECT_STREQ(View<BMenuField>(w, "dxfLayMF")->MenuText(), "DXF_MAIN");
  menu->Invoke(menu->ItemAt(0));
  Pump();
  EXPECT_STREQ(DeskRun().cfg.edmLayer, "0");
  // A new optional-layer prefix reads the layers again.
  Type(w, "dxfLayGrp", "EDMY_");
  EXPECT_STREQ(DeskRun().cfg.optLayer, "EDMY_");
  EXPECT_EQ(menu->CountItems(), 3);
  EXPECT_STREQ(View<BMenuField>(w, "dxfLayMF")->MenuText(), "0");

  // Files that are no drawing are refused with the reason; the chosen drawing stays, and stays shown.
  for (auto [name, why] : {std::pair{"notes.dxf", "no DXF drawing"}, {"empty.dxf", "the file is empty"},
                           {"part.Dxf", "the name does not end in .dxf"}}) {
    Drop(w, prog.File(name));
    std::string line = Line(w);
    EXPECT_TRUE(Has(line, std::string("'") + name + "' refused: ")) << line;
    EXPECT_TRUE(Has(line, why)) << line;
    EXPECT_EQ(DeskRun().in_filename, dxf);
    EXPECT_STREQ(View<BStringView>(w, "dxfStrV")->Text(), dxf.c_str());
    EXPECT_TRUE(MakeEnabled(w));
  }
  std::string upper = Drawing("PLATE.DXF");   // the upper-case ending is a drawing too
  Drop(w, upper);
  EXPECT_EQ(DeskRun().in_filename, upper);
}

// A drawing 300 characters deep, with blanks and umlauts, is read and made when dropped or opened; a drawing that
// cannot be opened is chosen all the same, says why, and leaves nothing of the drawing before to Make.
TEST_F(WindowTest, LongPathsAreMadeAndAnUnreadableDrawingLeavesNothingOfTheOneBefore) {
  KXWindow* w = OpenWindow();
  std::string deep = prog.Path();
  for (int i = 1; deep.size() < 280; ++i) deep += "/Zeichnungen für Kunden/Übergröße " + std::to_string(i);
  fs::create_directories(deep);
  const std::string dxf = deep + "/Teil für Kunde Ö.dxf";
  fs::copy_file(Drawing(), dxf);
  ASSERT_GE(dxf.size(), 300u);
  const std::string other = Drawing("other.dxf");
  BMenu* menu = View<BMenuField>(w, "dxfLayMF")->Menu();
  for (bool dropped : {true, false}) {
    Drop(w, other);
    if (dropped) Drop(w, dxf);
    else w->Parts()->OpenDrawing(dxf.c_str());
    Pump();
    EXPECT_EQ(DeskRun().in_filename, dxf);
    EXPECT_STREQ(View<BStringView>(w, "dxfStrV")->Text(), dxf.c_str());
    EXPECT_EQ(menu->CountItems(), 3);
    Post(w, kxMSG_MAKE);
    EXPECT_EQ(Line(w), "6 contours, 2 holes, 0 start holes missing, 0 open contours\n" + prog.File("_nwd_out.NC") +
                          "\nstatus 0: done");
  }
  EXPECT_TRUE(Has(ReadFile(prog.File("_results.htm")), "Teil für Kunde Ö.dxf"));

  fs::remove(prog.File("_nwd_out.NC"));
  const std::string gone = deep + "/gone.dxf";
  Drop(w, gone);
  EXPECT_EQ(Line(w), "'" + gone + "' cannot be opened (No such file or directory) - no drawing chosen");
  EXPECT_TRUE(Red(w));
  EXPECT_FALSE(MakeEnabled(w));
  EXPECT_STREQ(View<BStringView>(w, "dxfStrV")->Text(), gone.c_str());
  EXPECT_EQ(menu->CountItems(), 0);
  EXPECT_TRUE(w->Parts()->Preview()->Items().empty());
  Post(w, kxMSG_MAKE);   // even when asked, the drawing before is not made
  EXPECT_FALSE(FileExists(prog.File("_nwd_out.NC")));
  EXPECT_EQ(Line(w), "0 contours, 0 holes, 0 start holes missing, 0 open contours\nno NC program written\n"
                    "status 2: the drawing could not be opened");
  EXPECT_TRUE(w->Parts()->Preview()->Items().empty());
}

TEST_F(WindowTest, MakeShowsTheResultThePreviewAndTheProgram) {
  std::string dxf = Drawing();
  gStartDrawing = dxf.c_str();   // named on the command line
  KXWindow* w = OpenWindow();
  KxPreview* pane = w->Parts()->Preview();
  EXPECT_EQ(pane->Items().size(), 16u + 6u + 6u);   // before Make: the main layer's lines, arcs and circles
  BButton* make = View<BButton>(w, "MakeIt");
  auto clickMake = [&] {
    QTest::mouseClick(make->QtWidget(), Qt::LeftButton);
    Pump();
  };
  clickMake();
  const std::string counts = "6 contours, 2 holes, 0 start holes missing, 0 open contours\n";
  EXPECT_EQ(Line(w), counts + prog.File("_nwd_out.NC") + "\nstatus 0: done");
  EXPECT_FALSE(Red(w));
  EXPECT_TRUE(Has(ReadFile(prog.File("_results.htm")), "DATAMODE: PLATE"));
  EXPECT_TRUE(ReadFile(prog.File("_outlog.txt")).ends_with("\n\n"));
  EXPECT_EQ(DeskRun().i_stream, nullptr);   // the drawing is not held open between Makes
  EXPECT_EQ(opened.back(), prog.File("_nwd_out.NC"));
  // The drawing stays chosen and Make on, so a changed setting can be tried at once.
  EXPECT_TRUE(make->IsEnabled());
  EXPECT_EQ(DeskRun().in_filename, dxf);
  EXPECT_STREQ(View<BStringView>(w, "dxfStrV")->Text(), (dxf + " (done)").c_str());

  // After Make: every cut loop of the program is drawn where it lies, nothing outside the drawing.
  ASSERT_EQ(DeskRun().gToolpath.loopCount, 6);
  QImage img = pane->grab().toImage();
  for (int l = 0; l < DeskRun().gToolpath.loopCount; ++l) {
    const KxLoop& lp = DeskRun().gToolpath.loops[l];
    QRectF box;
    for (int m = lp.firstMove; m < lp.firstMove + lp.moveCount; ++m)
      box |= QRectF(QPointF(DeskRun().gToolpath.moves[m].x0, DeskRun().gToolpath.moves[m].y0), QSizeF(0.001, 0.001));
    EXPECT_GT(inked(pane, img, box), 20) << "N" << lp.block;
  }
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
  KxDesktopOpener(DeskRun().dataPath.c_str());
  QPlainTextEdit* view = w->Parts()->ProgramView();
  EXPECT_TRUE(view->isVisible());
  EXPECT_TRUE(view->isReadOnly());
  std::string nc = view->toPlainText().toStdString();
  EXPECT_TRUE(Has(nc, "(KORVEX WIRE EDM);\nG21;\nG40G50G69"));   // the shipped device's head
  EXPECT_TRUE(Has(nc, "N10(-- contour: $K01 --);"));

  // A failed run is forgotten by the next one: each Make starts from the same state.
  Type(w, "ofName", "no-such-folder/part");
  clickMake();
  EXPECT_TRUE(Line(w).ends_with("\nno NC program written\nstatus 4: the NC program could not be written"))
      << Line(w);
  EXPECT_TRUE(Red(w));
  // Named after the drawing by a device whose extension is the drawing's: refused, the drawing kept.
  const std::string drawing = ReadFile(dxf), device = ReadFile(prog.File("devices/MAK_EE3.SYN"));
  std::string asDrawing = device;
  WriteFile(prog.File("devices/MAK_EE3.SYN"), asDrawing.replace(asDrawing.find("\".NC\""), 5, "\".dxf\""));
  Type(w, "ofName", "*infile*");
  clickMake();
  EXPECT_TRUE(Line(w).ends_with("\nstatus 4: the NC program would be the drawing itself - not written, the drawing is "
                                "left as it is")) << Line(w);
  EXPECT_EQ(ReadFile(dxf), drawing);
  WriteFile(prog.File("devices/MAK_EE3.SYN"), device);
  Type(w, "ofName", "_nwd_out");
  fs::remove(prog.File("_nwd_out.NC"));
  clickMake();
  EXPECT_TRUE(FileExists(prog.File("_nwd_out.NC")));
  EXPECT_EQ(Line(w), counts + prog.File("_nwd_out.NC") + "\nstatus 0: done");
  EXPECT_EQ(DeskRun().gAktLayEntry, 2);   // the layer list was rebuilt, not grown
  QTest::mouseClick(View<BButton>(w, "EndIt")->QtWidget(), Qt::LeftButton);
  Pump();
  EXPECT_EQ(BApplication::CountWindows(), 0);
}

TEST_F(WindowTest, PolylinesArePreviewedBeforeAndAfterAMake) {
  KXWindow* w = OpenWindow();
  // A larger drawing first: nothing of it may stay in the bracket's preview.
  w->Parts()->OpenDrawing(Drawing().c_str());
  Pump();
  for (int run = 0; run < 2; ++run) {
    w->Parts()->OpenDrawing((SourceDir() + "/examples/bracket_2000.dxf").c_str());
    Pump();
    // The outline's polyline as lines, slot and window arcs, three start holes.
    EXPECT_GE(w->Parts()->Preview()->Items().size(), 6u + 2u + 3u + 3u);
    EXPECT_NEAR(w->Parts()->Preview()->Extent().left(), 0, 0.01);
    EXPECT_NEAR(w->Parts()->Preview()->Extent().bottom(), 60, 0.01);   // the upright leg of the L
    EXPECT_NEAR(w->Parts()->Preview()->Extent().right(), 80, 0.01);
    Post(w, kxMSG_MAKE);
  }
  // The head record of a 12-format polyline is no line of the drawing (it runs from the last point read to the origin).
  DxfText far("AC1009");
  far.Layer("DXF_MAIN").VertexPolyline("DXF_MAIN", {{50, 50, 0}, {60, 60, 0}}, 8, false);
  WriteFile(prog.File("far.dxf"), far.VertexPolyline("DXF_MAIN", {{70, 50, 0}, {80, 60, 0}}, 8, false).Str());
  w->Parts()->OpenDrawing(prog.File("far.dxf").c_str());
  Pump();
  EXPECT_NEAR(w->Parts()->Preview()->Extent().left(), 50, 0.01);
}

// A program longer than any fixed list: the preview draws every loop, lead and
// positioning move of it, the last one as the first.
TEST_F(WindowTest, PreviewDrawsEveryLoopOfALongProgram) {
  DeskRun().cfg.homepath = prog.Path() + "/";
  SetDevSyntax(DeskRun(), "MAK_EE3.SYN");
  const int n = 4200;   // squares in a row, each a block with its start hole, cut loop and leads
  std::string nc = "G92 X0.000 Y0.000;\n", blocks;
  for (int b = 1; b <= n; ++b) {
    const int x = b * 20;
    nc += "M98P" + std::to_string(b * 10) + ";\n";
    char block[400];
    snprintf(block, sizeof block,
             "N%d;\nG00 X%d.000 Y2.000;\nM60;\nG90G42G44G52;\nG01 X%d.000 Y0.000;\nG01 X%d.000 Y0.000;\n"
             "G01 X%d.000 Y10.000;\nG01 X%d.000 Y10.000;\nG01 X%d.000 Y0.000;\nG01 X%d.000 Y0.000;\n"
             "G01 X%d.000 Y2.000;\nG40G43G50;\nM99;\n",
             b * 10, x + 5, x + 5, x, x, x + 10, x + 10, x + 5, x + 5);
    blocks += block;
  }
  WriteFile(prog.File("long.NC"), nc + "M30;\n" + blocks);
  ASSERT_EQ(ReadToolpath(DeskRun(), prog.File("long.NC").c_str(), &DeskRun().gToolpath), 1);
  EXPECT_EQ(DeskRun().gToolpath.loopCount, n);
  EXPECT_EQ(DeskRun().gToolpath.rapidCount, n);
  EXPECT_EQ(DeskRun().gToolpath.moveCount, 7 * n);
  KxPreview pane;
  pane.resize(800, 400);
  pane.ShowProgram(DeskRun().gToolpath);
  EXPECT_EQ(pane.Items().size(), 7u * n);   // per loop: cut, wire side, arrow, lead-in, lead-out, start hole; and its G00
  EXPECT_GE(pane.Extent().right(), n * 20 + 10);
  const QImage img = pane.grab().toImage();
  EXPECT_GT(inked(&pane, img, QRectF(n * 20, 0, 10, 10)), 0);
}

TEST_F(WindowTest, QuitStoresTheFrameAndTheNextStartRestoresIt) {
  KXWindow* w = OpenWindow();
  w->MoveTo(222, 111);
  Pump();
  Post(w, B_QUIT_REQUESTED);
  EXPECT_EQ(BApplication::CountWindows(), 0);

  // The whole program: started at the stored place and quit, its window's frame is stored when it closes.
  delete app;
  app = nullptr;
  QTimer::singleShot(0, [] {
    if (BWindow* w = BApplication::WindowAt(0)) w->PostMessage(B_QUIT_REQUESTED);
  });
  EXPECT_EQ(KorvexGuiMain(), 0);
  EXPECT_EQ(be_app, nullptr);
  EXPECT_EQ(BApplication::CountWindows(), 0);
  // Room for the preview beside the controls.
  EXPECT_EQ(Edges(Prefs().frame), (std::vector<float>{222, 111, 222 + WIN_W + 460, 111 + WIN_H + 130}));
}

TEST_F(PrefsTest, FirstStartWritesTheDefaultsAndFailuresLeaveThem) {
  {
    Prefs prefs;
    EXPECT_FALSE(prefs.error);
    EXPECT_EQ(Edges(prefs.frame), (std::vector<float>{100, 100, 415, 329}));
    EXPECT_FALSE(prefs.winByBegin);
    EXPECT_STREQ(prefs.logoPath, "/boot/home/logoimage");
  }
  EXPECT_EQ(ReadFile(File()), "Hello !\n");
  // Each value is its type code, most significant byte first, then the data.
  EXPECT_EQ(Attr("prefs_window_rect").substr(0, 4), "RECT");
  EXPECT_EQ(Attr("prefs_window_rect").size(), 20u);
  EXPECT_EQ(Attr("window_by_begin"), std::string("BOOL\0", 5));
  EXPECT_EQ(Attr("logo_fuji"), std::string("CSTR/boot/home/logoimage\0", 25));
  {
    Prefs again;   // the second start finds everything in place; stored values read back exactly
    EXPECT_FALSE(again.error);
    EXPECT_TRUE(again.PutStr("logo_fuji", "/x"));
  }
  {
    Prefs prefs;
    EXPECT_STREQ(prefs.logoPath, "/x");
  }
  // A rectangle stored as a string and a flag of two bytes: the first load fails, the values in hand
  // (not the stored defaults) are written once and read back.
  Attr("prefs_window_rect", std::string("CSTRoops") + '\0');
  Attr("window_by_begin", "BOOL\1\1");
  {
    Prefs prefs;
    EXPECT_FALSE(prefs.error);
    EXPECT_EQ(prefs.frame.left, WIN_X);
    EXPECT_TRUE(prefs.winByBegin);
    EXPECT_EQ(Attr("window_by_begin"), std::string("BOOL\1", 5));
  }

  // The settings "folder" is a plain file: nothing can be made below it.
  WriteFile(config.File("blocked"), "x");
  setenv("XDG_CONFIG_HOME", config.File("blocked").c_str(), 1);
  {
    Prefs prefs;
    EXPECT_TRUE(prefs.error);
    EXPECT_EQ(Edges(prefs.frame), (std::vector<float>{WIN_X, WIN_Y, WIN_X + WIN_W, WIN_Y + WIN_H}));
    EXPECT_TRUE(prefs.winByBegin);
    EXPECT_STREQ(prefs.logoPath, "/boot/home/logoimage");
  }
  // Without XDG_CONFIG_HOME the settings folder is ~/.config.
  unsetenv("XDG_CONFIG_HOME");
  std::string home = getenv("HOME") ? getenv("HOME") : "";
  setenv("HOME", prog.Path().c_str(), 1);
  { Prefs byHome; }
  setenv("HOME", home.c_str(), 1);
  EXPECT_EQ(ReadFile(SettingsFile(prog.Path() + "/.config")), "Hello !\n");
}
