// The main window on the offscreen platform: range tests of the number fields,
// switches reaching the core, reloading the settings, the device and layer
// menus, dropped files, the conversion run, quitting and the next start.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <filesystem>

#include "config/config.h"
#include "dxf/dxf.h"
#include "geometry/base.h"
#include "gui_support.h"
#include "parts.h"
#include "support/dxf_text.h"

namespace fs = std::filesystem;

namespace {

class WindowTest : public GuiTest {
 protected:
  std::string Drawing(const char* name = "die_plate.dxf") {
    fs::copy_file(SourceDir() + "/examples/die_plate.dxf", prog.File(name));
    return prog.File(name);
  }
  const char* Text(KXWindow* w, const char* name) { return View<BTextControl>(w, name)->Text(); }
  bool MakeEnabled(KXWindow* w) { return View<BButton>(w, "MakeIt")->IsEnabled(); }
};

TEST_F(WindowTest, StartShowsTheCoreValuesInTheControls) {
  KXWindow* w = OpenWindow();
  EXPECT_STREQ(w->Title(), "KORVEX-GUI");
  const std::pair<const char*, const char*> fields[] = {{"nETol", "0.002"}, {"grRad", "2.605"}, {"anLen", "4.500"},
      {"hoOff", "-0.002"}, {"ofName", "_nwd_out"}, {"ofExtens", ".NC"}, {"dxfLayGrp", "EDMX_"}};
  for (const auto& [name, text] : fields) EXPECT_STREQ(Text(w, name), text) << name;
  EXPECT_STREQ(View<BTextControl>(w, "nETol")->Label(), "Element-Tolerance:");
  EXPECT_EQ(View<BRadioButton>(w, "G92Plate")->Value(), 1);
  EXPECT_STREQ(View<BBox>(w, "iniBox")->Label(), prog.File("korvex.ini").c_str());
  EXPECT_TRUE(View<BButton>(w, "iniOpen")->IsEnabled());
  EXPECT_FALSE(MakeEnabled(w));
  EXPECT_STREQ(View<BStringView>(w, "dxfStrV")->Text(), "-- not set -- please drag --");
  EXPECT_STREQ(View<BMenuField>(w, "dxfLayMF")->MenuText(), "DXF_MAIN");
  EXPECT_STREQ(getLabel(31), "unknown");   // a code without a label
}

TEST_F(WindowTest, NumberFieldsAcceptOnlyTheirOpenRanges) {
  KXWindow* w = OpenWindow();
  // Per field: typed text, then the text shown (nullptr: not checked) and the core's value.
  struct Step { const char* typed; const char* shown; float value; };
  const struct { const char* field; uint32 code; float* global; std::vector<Step> steps; } fields[] = {
      {"nETol", kxMSG_TOLERANCE, &gNpTolerance, {{"0.006", "0.002", 0.002f}, {"0.0059", nullptr, 0.0059f}, {"0", "0.006", 0.0059f}}},
      {"grRad", kxMSG_GRID_RADIUS, &gStartPosition, {{"6.01", "2.605", 2.605f}, {"6", nullptr, 6}, {"abc", "6.000", 6}}},
      {"anLen", kxMSG_ANCHOR, &gMaxAnkerLen, {{"6.01", "4.500", 4.5f}, {"-1", "4.500", 4.5f}, {"6", nullptr, 6}}},
      {"hoOff", kxMSG_HOLE_OFFSET, &ktechno.dHole,   // no number is 0, inside this range
       {{"-0.03", "-0.002", -0.002f}, {"0.03", "-0.002", -0.002f}, {"xyz", nullptr, 0}, {"-0.029", nullptr, -0.029f}}}};
  for (const auto& f : fields) {
    for (const Step& s : f.steps) {
      Type(View<BTextControl>(w, f.field), s.typed, f.code);
      if (s.shown) { EXPECT_STREQ(Text(w, f.field), s.shown) << s.typed; }
      EXPECT_FLOAT_EQ(*f.global, s.value) << s.typed;
    }
  }
  w->SetGuiValues();
  EXPECT_STREQ(Text(w, "hoOff"), "-0.029");
}

TEST_F(WindowTest, SwitchesNamesAndKeysReachTheCore) {
  KXWindow* w = OpenWindow();
  const struct { const char* label; uint32 code; int* global; } boxes[] = {
      {"GlobTextInfo", kxMSG_GLOB_INFO, &gGlobTextInfo}, {"AddDataInfo", kxMSG_DATA_INFO, &gDataInfo},
      {"RemTextInfo", kxMSG_REMARK_INFO, &gCancelTextInfo}, {"OpenDataFile", kxMSG_OPEN_DATA, &OpenDataFile}};
  // The four boxes share one view name; the first found is the first built.
  EXPECT_STREQ(View<BCheckBox>(w, "infoGlob")->Label(), "GlobTextInfo");
  for (int on : {1, 0}) {   // each box posts its own code; its value becomes the core's switch
    for (QCheckBox* q : w->QtWidget()->findChildren<QCheckBox*>()) q->setChecked(on);
    for (const auto& b : boxes) {
      Post(w, b.code);
      EXPECT_EQ(*b.global, on) << b.label;
    }
  }
  View<BRadioButton>(w, "G92Piece")->SetValue(1);
  Post(w, kxMSG_PIECE);
  EXPECT_EQ(ktechno.G92Mode, 1);
  View<BRadioButton>(w, "G92Plate")->SetValue(1);
  EXPECT_EQ(View<BRadioButton>(w, "G92Piece")->Value(), 0);
  Post(w, kxMSG_PLATE);
  EXPECT_EQ(ktechno.G92Mode, 0);

  Type(View<BTextControl>(w, "ofName"), "part7", kxMSG_OUT_NAME);
  Type(View<BTextControl>(w, "ofName"), "", kxMSG_OUT_NAME);   // an empty name is refused
  EXPECT_STREQ(data_filename, "part7");
  EXPECT_STREQ(Text(w, "ofName"), "part7");
  Type(View<BTextControl>(w, "ofExtens"), ".nc", kxMSG_EXTENSION);
  EXPECT_STREQ(mS.Extension, ".nc");
}

TEST_F(WindowTest, ReloadReadsTheSettingsFileAgain) {
  KXWindow* w = OpenWindow();
  std::string ini = ReadFile(prog.File("korvex.ini"));
  WriteFile(prog.File("korvex.ini"), ini.replace(ini.find("GridRadius: 2.605"), 17, "GridRadius: 1.5"));
  Post(w, kxMSG_INI_RELOAD);
  EXPECT_STREQ(Text(w, "grRad"), "1.500");
  Post(w, kxMSG_INI_OPEN);
  Post(w, kxMSG_DEV_OPEN);
  EXPECT_EQ(opened, (std::vector<std::string>{prog.File("korvex.ini"), prog.File("devices/MAK_EE3.SYN")}));
  // Without a settings file the defaults hold and there is nothing to open.
  fs::remove(prog.File("korvex.ini"));
  Post(w, kxMSG_INI_RELOAD);
  EXPECT_FLOAT_EQ(gStartPosition, 2.605f);
  EXPECT_FALSE(View<BButton>(w, "iniOpen")->IsEnabled());
}

TEST_F(WindowTest, SettingsMenuPlacesStartHoles) {
  std::string ini = ReadFile(prog.File("korvex.ini"));
  WriteFile(prog.File("korvex.ini"), ini + "\nAutoStartHoles: 1\n");
  KXWindow* w = OpenWindow();
  QAction* autoStart = w->Parts()->AutoStartAction();
  EXPECT_TRUE(autoStart->isChecked());
  autoStart->setChecked(false);
  Pump();
  EXPECT_EQ(gAutoStartHoles, 0);
  WriteFile(prog.File("square.dxf"), DxfText("AC1009").Layer("DXF_MAIN").Line("DXF_MAIN", 0, 0, 40, 0)
      .Line("DXF_MAIN", 40, 0, 40, 20).Line("DXF_MAIN", 40, 20, 0, 20).Line("DXF_MAIN", 0, 20, 0, 0).Str());
  Post(w, Drop({prog.File("square.dxf")}));
  autoStart->trigger();
  Pump();
  EXPECT_EQ(gAutoStartHoles, 1);
  EXPECT_TRUE(MakeEnabled(w));
  Post(w, kxMSG_MAKE);
  EXPECT_TRUE(Has(ReadFile(prog.File("_nwd_out.NC")), "AUTO START HOLE"));
  // The settings file wins again on reload.
  WriteFile(prog.File("korvex.ini"), ini);
  Post(w, kxMSG_INI_RELOAD);
  EXPECT_FALSE(autoStart->isChecked());
}

TEST_F(WindowTest, DeviceMenuListsTheSyntaxFiles) {
  WriteFile(prog.File("devices/OTHER.syn"), "$Extension   \".ISO\"\n");
  WriteFile(prog.File("devices/notes.txt"), "x");
  fs::create_directory(prog.File("devices/DIR.SYN"));
  KXWindow* w = OpenWindow();
  BMenuField* dev = View<BMenuField>(w, "devMenu");
  ASSERT_EQ(dev->Menu()->CountItems(), 2);
  EXPECT_TRUE(dev->IsPopUpMarkerShown());
  BMenuItem *mak = dev->Menu()->ItemAt(0), *other = dev->Menu()->ItemAt(1);
  const char* path = nullptr;
  ASSERT_EQ(other->Message()->FindString("kxPath", &path), B_OK);
  EXPECT_EQ(std::string(path), prog.File("devices/OTHER.syn"));
  EXPECT_TRUE(mak->IsMarked());
  dev->Menu()->Invoke(other);
  Pump();
  EXPECT_STREQ(gDevTarget, path);
  EXPECT_STREQ(Text(w, "ofExtens"), ".ISO");
  // The full path keeps its item marked although the label shows only the path's end.
  w->SetGuiValues();
  EXPECT_TRUE(other->IsMarked());
  EXPECT_TRUE(Has(dev->MenuText(), "OTHER.syn"));
  // Reloading reads the device of the settings file again.
  Post(w, kxMSG_INI_RELOAD);
  EXPECT_STREQ(gDevTarget, "MAK_EE3.SYN");
  EXPECT_TRUE(mak->IsMarked());
}

TEST_F(WindowTest, DeviceFolderWithoutSyntaxFilesLeavesTheMenuEmpty) {
  fs::remove(prog.File("devices/MAK_EE3.SYN"));
  BMenuField* dev = View<BMenuField>(OpenWindow(), "devMenu");
  EXPECT_EQ(dev->Menu()->CountItems(), 0);
  EXPECT_FALSE(dev->IsPopUpMarkerShown());
  EXPECT_STREQ(dev->MenuText(), "--not set--");
}

TEST_F(WindowTest, DroppedDrawingFillsTheLayerMenuAndEnablesMake) {
  KXWindow* w = OpenWindow();
  std::string dxf = Drawing();
  out.Clear();
  // Dropped from a file manager: a list of file URLs arrives at the window's widget.
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(QString::fromStdString(dxf))});
  QDragEnterEvent enter(QPoint(250, 300), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(w->QtWidget(), &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(250, 300), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(w->QtWidget(), &drop);
  Pump();
  EXPECT_STREQ(in_filename, dxf.c_str());
  EXPECT_TRUE(MakeEnabled(w));
  EXPECT_STREQ(View<BStringView>(w, "dxfStrV")->Text(), dxf.c_str());
  BMenu* menu = View<BMenuField>(w, "dxfLayMF")->Menu();
  std::string labels;
  for (int32 i = 0; i < menu->CountItems(); ++i) labels += std::string(menu->ItemAt(i)->Label()) + ";";
  EXPECT_EQ(labels, "0;DXF_MAIN;EDMX_POSITION;");
  EXPECT_STREQ(View<BMenuField>(w, "dxfLayMF")->MenuText(), "DXF_MAIN");
  EXPECT_TRUE(View<BMenuField>(w, "dxfLayMF")->IsPopUpMarkerShown());
  int32 pos = -1;
  EXPECT_EQ(menu->ItemAt(2)->Message()->FindInt32("dLayer", &pos), B_OK);
  EXPECT_EQ(pos, 2);
  for (const std::string& s : {" > 'die_plate.dxf' '" + dxf + "'\n", std::string("L:3 items\nL:3 items  (modus x - clear MenuItems)\n"),
                               "  INFILE: <" + dxf + "> ", std::string(" [1]\n")})
    EXPECT_TRUE(Has(out.Text(), s)) << s;

  menu->Invoke(menu->ItemAt(0));
  Pump();
  EXPECT_STREQ(edmLayer, "0");
  // A new optional-layer prefix reads the layers again.
  Type(View<BTextControl>(w, "dxfLayGrp"), "EDMY_", kxMSG_OPT_LAYER);
  EXPECT_STREQ(optLayer, "EDMY_");
  EXPECT_EQ(menu->CountItems(), 3);
  EXPECT_STREQ(View<BMenuField>(w, "dxfLayMF")->MenuText(), "0");
  // Upper-case extension: kind 2.
  std::string upper = Drawing("PLATE.DXF");
  Post(w, Drop({upper}));
  EXPECT_STREQ(in_filename, upper.c_str());
}

TEST_F(WindowTest, DroppedOtherFileOnlyShowsItsPath) {
  KXWindow* w = OpenWindow();
  WriteFile(prog.File("part.Dxf"), "x");
  Post(w, Drop({prog.File("part.Dxf")}));
  EXPECT_STREQ(View<BStringView>(w, "dxfStrV")->Text(), prog.File("part.Dxf").c_str());
  EXPECT_FALSE(MakeEnabled(w));
  EXPECT_STREQ(in_filename, "-not-set-");
  // After a good drop a stray file leaves Make enabled and the drawing chosen.
  std::string dxf = Drawing();
  Post(w, Drop({dxf}));
  Post(w, Drop({prog.File("korvex.ini")}));
  EXPECT_TRUE(MakeEnabled(w));
  // A drawing whose path does not fit the core's name is refused, not cut.
  std::string deep = prog.File(std::string(60, 'd'));
  fs::create_directory(deep);
  fs::copy_file(dxf, deep + "/long.dxf");
  Post(w, Drop({deep + "/long.dxf"}));
  EXPECT_STREQ(in_filename, dxf.c_str());
  EXPECT_TRUE(Has(out.Text(), " path too long"));
  // Files that are no readable drawing are refused with the reason; the chosen drawing stays.
  WriteFile(prog.File("notes.dxf"), "shopping list\nmilk\n");
  WriteFile(prog.File("empty.dxf"), "");
  for (auto [name, why] : {std::pair{"gone.dxf", "cannot be opened"}, {"notes.dxf", "no DXF drawing"},
                           {"empty.dxf", "the file is empty"}}) {
    Post(w, Drop({prog.File(name)}));
    std::string line = w->Parts()->ResultLine()->text().toStdString();
    EXPECT_TRUE(Has(line, std::string("'") + name + "' refused: ")) << line;
    EXPECT_TRUE(Has(line, why)) << line;
    EXPECT_STREQ(in_filename, dxf.c_str());
    EXPECT_TRUE(MakeEnabled(w));
  }
  // Without a drawing chosen before, Make stays off.
  KXWindow* fresh = OpenWindow();
  Post(fresh, Drop({prog.File("notes.dxf")}));
  EXPECT_FALSE(MakeEnabled(fresh));
}

TEST_F(WindowTest, DrawingOfVersion1012ReadsNoElements) {
  KXWindow* w = OpenWindow();
  WriteFile(prog.File("v12.dxf"), DxfText("AC1012").Layer("DXF_MAIN").Line("DXF_MAIN", 0, 0, 10, 0).Str());
  Post(w, Drop({prog.File("v12.dxf")}));
  Post(w, kxMSG_MAKE);
  EXPECT_TRUE(Has(out.Text(), "\n\t = 0 OUTLINES\n PLEASE CHECK THE EDM-LAYER \a"));
  EXPECT_TRUE(FileExists(prog.File("_results.htm")));
}

TEST_F(WindowTest, RealWidgetsTypeMakeAndQuit) {
  KXWindow* w = OpenWindow();
  auto* edit = static_cast<QLineEdit*>(View<BTextControl>(w, "grRad")->QtField());
  edit->setFocus();
  edit->selectAll();
  QTest::keyClicks(edit, "3.25");
  QTest::keyClick(edit, Qt::Key_Return);
  Pump();
  EXPECT_FLOAT_EQ(gStartPosition, 3.25f);

  std::string dxf = Drawing();
  Post(w, Drop({dxf}));
  out.Clear();
  BButton* make = View<BButton>(w, "MakeIt");
  QTest::mouseClick(make->QtWidget(), Qt::LeftButton);
  Pump();
  EXPECT_EQ(out.Text().rfind("\n\n:: MakeNwdFile() \n", 0), 0u);
  EXPECT_TRUE(Has(out.Text(), "\n LOGFILE: <" + prog.File("_outlog.txt") + "> "));
  EXPECT_FALSE(Has(out.Text(), " PLEASE CHECK THE EDM-LAYER"));
  EXPECT_STREQ(dataPath, prog.File("_nwd_out.NC").c_str());
  EXPECT_TRUE(Has(ReadFile(dataPath), "N10"));
  EXPECT_TRUE(Has(ReadFile(prog.File("_results.htm")), "DATAMODE: PLATE"));
  std::string log = ReadFile(prog.File("_outlog.txt"));
  EXPECT_EQ(log.substr(log.size() - 2), "\n\n");
  EXPECT_EQ(log_stream, nullptr);
  EXPECT_EQ(i_stream, nullptr);
  EXPECT_EQ(opened.back(), dataPath);
  // The drawing stays chosen and Make on, so a changed setting can be tried at once.
  EXPECT_TRUE(make->IsEnabled());
  EXPECT_STREQ(make->Label(), "Make");
  EXPECT_STREQ(in_filename, dxf.c_str());
  EXPECT_STREQ(View<BStringView>(w, "dxfStrV")->Text(), (dxf + " (done)").c_str());

  out.Clear();
  QTest::mouseClick(make->QtWidget(), Qt::LeftButton);
  Pump();
  fs::remove(dataPath);
  Post(w, kxMSG_MAKE);
  EXPECT_TRUE(FileExists(prog.File("_nwd_out.NC")));
  EXPECT_EQ(gAktLayEntry, 2);   // the layer list was rebuilt, not grown

  // The quit button asks the window, which closes the streams and asks the application.
  QTest::mouseClick(View<BButton>(w, "EndIt")->QtWidget(), Qt::LeftButton);
  Pump();
  EXPECT_EQ(BApplication::CountWindows(), 0);
  EXPECT_TRUE(Has(out.Text(), " bad LOG_STREAM\n bad IN_STREAM\n"));
}

TEST_F(WindowTest, QuitStoresTheFrameAndTheNextStartRestoresIt) {
  KXWindow* w = OpenWindow();
  EXPECT_EQ(w->Frame().left, 100);   // first start: the stored default
  w->MoveTo(222, 111);
  Pump();
  EXPECT_EQ(WIN_X, 222);
  EXPECT_EQ(WIN_Y, 111);
  Post(w, B_QUIT_REQUESTED);
  EXPECT_EQ(BApplication::CountWindows(), 0);
  KXWindow* again = OpenWindow();
  EXPECT_EQ(again->Frame().left, 222);
  EXPECT_EQ(again->Frame().top, 111);
  EXPECT_EQ(again->Frame().Width(), WIN_W + 460);   // room for the preview beside the controls
}

TEST_F(WindowTest, ProgramStartsAndQuitsWithItsBeginAndEndLines) {
  delete app;
  app = nullptr;
  QTimer::singleShot(0, [] {
    if (BWindow* w = BApplication::WindowAt(0)) w->PostMessage(B_QUIT_REQUESTED);
  });
  EXPECT_EQ(KorvexGuiMain(), 0);
  const std::string& t = out.Text();
  EXPECT_EQ(t.rfind("-KX_GUI begin-\n", 0), 0u);
  EXPECT_EQ(t.substr(t.size() - 14), "\n-KX_GUI end-\n");
  EXPECT_EQ(be_app, nullptr);
  EXPECT_EQ(BApplication::CountWindows(), 0);
  EXPECT_EQ(Prefs().frame.right, 100 + WIN_W + 460);   // the window's frame, written when it closed
}

}  // namespace