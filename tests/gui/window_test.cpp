// The desktop program on the offscreen platform, driven as a person would: the
// fields' ranges reaching the core, a drawing opened or dropped with its layer
// list and preview, Make on its worker thread with the result line and the
// program, refusals in a message box, and what the window keeps for the next
// start. Every case has a program folder of its own and fresh window settings.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <QUrl>
#include <filesystem>

#include "config/config.h"
#include "desktop.h"
#include "dxf/dxf.h"
#include "report/report.h"
#include "support/dxf_text.h"
#include "support/support.h"
#include "run/run.h"

namespace fs = std::filesystem;

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  // The window's own settings live in a folder of this test run alone.
  static TempDir config;
  setenv("XDG_CONFIG_HOME", config.Path().c_str(), 1);
  ::testing::InitGoogleTest(&argc, argv);
  QApplication qt(argc, argv);
  return RUN_ALL_TESTS();
}

static std::vector<std::string> sOpened;   // paths a Make asked the window to open

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FreshCore(kxDESKTOP);
    QSettings("korvex", "korvex-gui").clear();
    fs::copy_file(SourceDir() + "/korvex.ini", prog.File("korvex.ini"));
    fs::copy(SourceDir() + "/devices", prog.File("devices"));
    sOpened.clear();
  }
  void TearDown() override {
    w.reset();
    FreshCore(1);
  }
  KxWindow& Open() {
    w = std::make_unique<KxWindow>(QString::fromStdString(prog.Path()));
    w->SetOpener([](const QString& path) { sOpened.push_back(path.toStdString()); });
    w->show();
    return *w;
  }
  std::string Drawing(const char* name = "die_plate.dxf") {
    fs::copy_file(SourceDir() + "/examples/die_plate.dxf", prog.File(name), fs::copy_options::overwrite_existing);
    return prog.File(name);
  }
  // Make, and back once it is done (the window handles its events meanwhile).
  void MakeAndWait() {
    w->Make();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !w->Making(); }, 60000));
  }
  std::string Line() { return w->ResultLine()->text().toStdString(); }
  std::string Layers() {
    std::string s;
    for (int i = 0; i < w->LayerChoice()->count(); ++i) s += w->LayerChoice()->itemText(i).toStdString() + ";";
    return s;
  }
  QLineEdit* Field(const char* name) { return w->findChild<QLineEdit*>(name); }
  void Type(const char* name, const char* text) {
    QLineEdit* f = Field(name);
    f->setFocus();
    f->clear();
    QTest::keyClicks(f, text);
    QTest::keyClick(f, Qt::Key_Return);
  }
  // The message box the window shows, closed; its text, empty when there is none.
  std::string Box() {
    QMessageBox* box = w->findChild<QMessageBox*>();
    if (!box) return "";
    std::string text = box->text().toStdString();
    box->close();
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return text;
  }
  static void Drop(QWidget* target, const std::string& path) {
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(path))});
    QDragEnterEvent enter(QPoint(300, 200), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(300, 200), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &drop);
  }

  TempDir prog;   // the program folder: korvex.ini and devices/
  std::unique_ptr<KxWindow> w;
};

TEST_F(WindowTest, FieldsAcceptOnlyTheirOpenRangesAndSwitchesReachTheCore) {
  Open();
  KxSettings& cfg = w->Settings().cfg;
  // Per field: typed text, then the text shown and the core's value; a refused value shows the one before.
  struct Step { const char* typed; const char* shown; float value; };
  const struct { const char* field; float* value; std::vector<Step> steps; } fields[] = {
      {"nETol", &cfg.elementTolerance, {{"0.006", "0.002", 0.002f}, {"0.0059", "0.0059", 0.0059f}, {"0", "0.006", 0.0059f}}},
      {"grRad", &cfg.gridRadius, {{"6.01", "2.605", 2.605f}, {"6", "6", 6}, {"abc", "6.000", 6}}},
      {"anLen", &cfg.anchorLength, {{"-1", "4.500", 4.5f}, {"6", "6", 6}}},
      {"hoOff", &cfg.ktechno.dHole, {{"-0.03", "-0.002", -0.002f}, {"xyz", "xyz", 0}, {"-0.029", "-0.029", -0.029f}}}};
  for (const auto& f : fields) {
    for (const Step& s : f.steps) {
      Type(f.field, s.typed);
      EXPECT_EQ(Field(f.field)->text().toStdString(), s.shown) << s.typed;
      EXPECT_FLOAT_EQ(*f.value, s.value) << s.typed;
    }
  }
  EXPECT_FLOAT_EQ(cfg.fMinusTol, -0.0059f);   // the chaining's band follows the typed tolerance
  for (QCheckBox* box : w->findChildren<QCheckBox*>()) box->setChecked(!box->isChecked());
  EXPECT_EQ(std::vector<int>({cfg.globTextInfo, cfg.dataInfo, cfg.cancelTextInfo, cfg.OpenDataFile}),
            std::vector<int>({1, 1, 0, 0}));
  for (QAbstractButton* b : w->findChildren<QAbstractButton*>())
    if (b->text() == "G92Piece") b->click();
  EXPECT_EQ(cfg.ktechno.G92Mode, 1);
  Type("ofName", "part7");
  Type("ofName", "");   // an empty name is refused
  EXPECT_EQ(cfg.data_filename, "part7");
  Type("ofExtens", ".longextension");
  EXPECT_STREQ(cfg.mS.Extension, ".longex");   // held to the core's field

  // The device choice lists the syntax files of the devices folder and sets device and extension.
  WriteFile(prog.File("devices/OTHER.syn"), "$Extension   \".ISO\"\n");
  WriteFile(prog.File("devices/notes.txt"), "x");
  Open();
  QComboBox* dev = w->findChild<QComboBox*>("devMenu");
  ASSERT_EQ(dev->count(), 2);
  EXPECT_EQ(dev->currentText().toStdString(), "MAK_EE3.SYN");
  dev->setCurrentIndex(1);
  emit dev->activated(1);
  EXPECT_EQ(w->Settings().cfg.devTarget, prog.File("devices/OTHER.syn"));
  EXPECT_EQ(Field("ofExtens")->text().toStdString(), ".ISO");
  // Reloading reads the settings file's device again.
  w->findChild<QPushButton*>("iniReload")->click();
  EXPECT_EQ(w->Settings().cfg.devTarget, "MAK_EE3.SYN");
  EXPECT_EQ(dev->currentText().toStdString(), "MAK_EE3.SYN");
  EXPECT_EQ(Field("ofExtens")->text().toStdString(), ".NC");
}

TEST_F(WindowTest, ADrawingOpenedOrDroppedListsItsLayersAndShowsItsPreview) {
  const std::string dxf = Drawing();
  Open().OpenDrawing(QString::fromStdString(dxf));   // as main does with its argument
  EXPECT_EQ(Layers(), "0 - 0 elements;DXF_MAIN - 25 elements;EDMX_POSITION - 3 elements;");
  EXPECT_EQ(w->LayerChoice()->currentText().toStdString(), "DXF_MAIN - 25 elements");
  EXPECT_EQ(Line(), "Drawing read; choose the layer and press Make.");
  EXPECT_FALSE(w->Preview()->Items().empty());
  EXPECT_EQ(w->findChild<QLabel*>("dxfStrV")->text().toStdString(), dxf);

  // A drawing whose main layer holds nothing: the layer with geometry is chosen; any case of the ending is a drawing.
  WriteFile(prog.File("Other Part.Dxf"),
            DxfText().Layer("DXF_MAIN").Layer("CUT").Polyline("CUT", {{0, 0}, {40, 0}, {40, 20}, {0, 20}}).Str());
  Drop(w.get(), prog.File("Other Part.Dxf"));
  EXPECT_EQ(Layers(), "DXF_MAIN - 0 elements;CUT - 1 element;");
  EXPECT_STREQ(w->Settings().cfg.edmLayer, "CUT");
  EXPECT_EQ(w->Preview()->Items().size(), 4u);
  EXPECT_EQ(Box(), "");
  EXPECT_EQ(w->RecentFiles(), QStringList({QString::fromStdString(prog.File("Other Part.Dxf")), QString::fromStdString(dxf)}));
}

// Refused files keep the drawing chosen before; an unreadable one leaves nothing of it. Each says why, in a box too.
TEST_F(WindowTest, WhatCannotBeUsedIsToldInAMessageBox) {
  Open().OpenDrawing(QString::fromStdString(Drawing()));
  WriteFile(prog.File("notes.dxf"), "shopping list\nmilk\n");
  WriteFile(prog.File("photo.dxf"), std::string("AutoCAD Binary DXF\r\n\x1a\0\0", 23));
  WriteFile(prog.File("part.txt"), "x");
  for (auto [name, why] : {std::pair{"notes.dxf", "no DXF drawing"}, {"photo.dxf", "binary"},
                           {"part.txt", "the name does not end in .dxf"}}) {
    Drop(w.get(), prog.File(name));
    EXPECT_TRUE(Has(Line(), std::string("'") + name + "' refused: ")) << Line();
    EXPECT_TRUE(Has(Line(), why)) << Line();
    EXPECT_EQ(Box(), Line());
    EXPECT_EQ(w->Settings().io.in_filename, prog.File("die_plate.dxf"));
  }
  // The NC program cannot be written: told after Make.
  Type("ofName", "no-such-folder/part");
  MakeAndWait();
  EXPECT_TRUE(Line().ends_with("\nno NC program written\nstatus 4: the NC program could not be written (No such file or directory)"))
      << Line();
  EXPECT_EQ(Box(), Line());
  // A folder the user may not write to (sysfs refuses even root): the line points to another one.
  Type("ofName", "_nwd_out");
  QSettings("korvex", "korvex-gui").setValue("outputFolder", "/sys");
  MakeAndWait();
  QSettings("korvex", "korvex-gui").remove("outputFolder");
  EXPECT_TRUE(Line().ends_with("(Permission denied)\n- choose another folder for the outputs with Settings \u25b8 Output folder\u2026"))
      << Line();
  EXPECT_EQ(Box(), Line());
  // A device file the core refuses.
  Type("ofName", "_nwd_out");
  WriteFile(prog.File("devices/MAK_EE3.SYN"), "nothing of a device here\n");
  MakeAndWait();
  EXPECT_TRUE(Has(Line(), "status 7: ")) << Line();
  EXPECT_EQ(Box(), Line());
  const std::string gone = prog.File("gone.dxf");
  w->OpenDrawing(QString::fromStdString(gone));
  EXPECT_EQ(Box(), "'" + gone + "' cannot be opened (No such file or directory) - no drawing chosen");
  EXPECT_EQ(w->LayerChoice()->count(), 0);
  EXPECT_TRUE(w->Preview()->Items().empty());
  w->Make();   // even when asked, the drawing before is not made
  EXPECT_FALSE(w->Making());
}

TEST_F(WindowTest, MakeWritesTheProgramOfTheCoreAndShowsItsResult) {
  // A long path with blanks and umlauts.
  std::string deep = prog.Path();
  for (int i = 1; deep.size() < 280; ++i) deep += "/Zeichnungen für Kunden/Übergröße " + std::to_string(i);
  fs::create_directories(deep);
  const std::string dxf = deep + "/Teil für Kunde Ö.dxf";
  fs::copy_file(Drawing(), dxf);
  Open().OpenDrawing(QString::fromStdString(dxf));
  MakeAndWait();
  const std::string nc = prog.File("_nwd_out.NC");
  EXPECT_EQ(Line(), "6 contours, 2 holes, 0 start holes missing, 0 open contours, about 5 h 38 min\n" + nc + "\nstatus 0: done");
  EXPECT_EQ(w->findChild<QLabel*>("dxfStrV")->text().toStdString(), dxf + " (done)");
  EXPECT_EQ(sOpened, std::vector<std::string>({nc}));
  ASSERT_EQ(w->LastMake()->report.toolpath.loopCount, 6);
  EXPECT_GE(w->Preview()->Items().size(), 6u * 6u);   // per loop: cut, wire side, arrow, leads, start hole
  w->OpenForUser(QString::fromStdString(nc));
  EXPECT_TRUE(w->ProgramView()->isVisible());
  EXPECT_TRUE(Has(w->ProgramView()->toPlainText().toStdString(), "N10(-- contour: $K01 --);"));

  // The same conversion without the window, in the desktop flavour, writes the same program.
  const std::string program = ReadFile(nc);
  auto owned = std::make_unique<KxRun>();
  KxRun& run = *owned;
  KxDeskLoadSettings(run, prog.Path() + "/");
  run.cfg.data_filename = "direct";
  ASSERT_TRUE(DxfOpenDrawing(run, dxf.c_str()));
  EXPECT_EQ(KxConvertDrawing(run), kxSTATUS_OK);
  DxfCloseDrawing(run);
  EXPECT_EQ(ReadFile(prog.File("direct.NC")), program);

  // Start holes korvex places are named in the result line.
  WriteFile(prog.File("square.dxf"),
            DxfText().Layer("DXF_MAIN").Polyline("DXF_MAIN", {{0, 0}, {40, 0}, {40, 20}, {0, 20}}).Str());
  w->OpenDrawing(QString::fromStdString(prog.File("square.dxf")));
  for (QAction* a : w->findChildren<QAction*>())
    if (a->text().startsWith("Place &start holes")) a->setChecked(true);
  MakeAndWait();
  EXPECT_TRUE(Has(Line(), "\n1 start hole to drill: $K01 at X")) << Line();
}

TEST_F(WindowTest, AMakeWhileOneRunsWaitsForIt) {
  Open().OpenDrawing(QString::fromStdString(Drawing()));
  Type("ofName", "first");
  w->Make();
  EXPECT_TRUE(w->Making());
  Type("ofName", "second");   // the window answers while the first runs; its run has its own settings
  w->Make();
  w->Make();   // waits once, not twice
  EXPECT_TRUE(w->Making());
  ASSERT_TRUE(QTest::qWaitFor([&] { return !w->Making(); }, 60000));
  EXPECT_EQ(sOpened, std::vector<std::string>({prog.File("first.NC"), prog.File("second.NC")}));
  EXPECT_EQ(ReadFile(prog.File("first.NC")), ReadFile(prog.File("second.NC")));
  EXPECT_TRUE(Has(Line(), prog.File("second.NC")));
}

TEST_F(WindowTest, TheNextStartHasTheSizeTheRecentDrawingsAndTheChoicesOfTheLast) {
  Open().resize(1111, 777);
  WriteFile(prog.File("devices/OTHER.SYN"), "$Extension   \".ISO\"\n");
  for (int i = 0; i < 12; ++i) w->OpenDrawing(QString::fromStdString(Drawing(("part" + std::to_string(i) + ".dxf").c_str())));
  w->ChooseLayer("EDMX_POSITION");
  Open();   // (the devices folder is read when the window is made)
  QComboBox* dev = w->findChild<QComboBox*>("devMenu");
  dev->setCurrentIndex(dev->findText("OTHER.SYN"));
  emit dev->activated(dev->currentIndex());
  w->resize(1111, 777);
  w->close();
  Open();
  EXPECT_EQ(w->size(), QSize(1111, 777));
  const QStringList recent = w->RecentFiles();
  ASSERT_EQ(recent.size(), 10);
  EXPECT_EQ(recent.first().toStdString(), prog.File("part11.dxf"));
  EXPECT_EQ(w->Settings().cfg.devTarget, prog.File("devices/OTHER.SYN"));
  EXPECT_STREQ(w->Settings().cfg.edmLayer, "EDMX_POSITION");
}

// A program longer than any fixed list: the preview draws every loop, lead and
// positioning move of it, the last one as the first.
TEST_F(WindowTest, PreviewDrawsEveryLoopOfALongProgram) {
  auto owned = std::make_unique<KxRun>();
  KxRun& run = *owned;
  KxDeskLoadSettings(run, prog.Path() + "/");
  SetDevSyntax(run, run.cfg.devTarget.c_str());
  const int n = 4200;   // squares in a row, each a block with its start hole, cut loop and leads
  std::string nc = "G92 X0.000 Y0.000;\n", blocks;
  for (int b = 1; b <= n; ++b) {
    const int x = b * 20;
    nc += "M98P" + std::to_string(b * 10) + ";\n";
    blocks += QString::asprintf("N%d;\nG00 X%d.000 Y2.000;\nM60;\nG90G42G44G52;\nG01 X%d.000 Y0.000;\nG01 X%d.000 Y0.000;\n"
                                "G01 X%d.000 Y10.000;\nG01 X%d.000 Y10.000;\nG01 X%d.000 Y0.000;\nG01 X%d.000 Y0.000;\n"
                                "G01 X%d.000 Y2.000;\nG40G43G50;\nM99;\n",
                                b * 10, x + 5, x + 5, x, x, x + 10, x + 10, x + 5, x + 5).toStdString();
  }
  WriteFile(prog.File("long.NC"), nc + "M30;\n" + blocks);
  ASSERT_EQ(ReadToolpath(run, prog.File("long.NC").c_str(), &run.report.toolpath), 1);
  EXPECT_EQ(run.report.toolpath.loopCount, n);
  KxPreview pane;
  pane.resize(800, 400);
  pane.ShowProgram(run);
  EXPECT_EQ(pane.Items().size(), 7u * n);   // per loop: cut, wire side, arrow, lead-in, lead-out, start hole; and its G00
  EXPECT_GE(pane.Extent().right(), n * 20 + 10);
}
