// The main window on the offscreen platform: range tests of the number fields,
// switches reaching the core, reloading the settings, the device and layer
// menus, dropped files, the conversion run, quitting and the next start.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <cstring>
#include <filesystem>

#include "config/config.h"
#include "dxf/dxf.h"
#include "geometry/base.h"
#include "gui_support.h"
#include "support/dxf_text.h"

namespace fs = std::filesystem;

namespace {

class WindowTest : public GuiTest {
 protected:
  std::string Drawing(const char* name = "die_plate.dxf") {
    fs::copy_file(SourceDir() + "/examples/die_plate.dxf", prog.File(name));
    return prog.File(name);
  }
  std::vector<std::string> MenuLabels(BMenuField* f) {
    std::vector<std::string> labels;
    for (int32 i = 0; i < f->Menu()->CountItems(); ++i) labels.push_back(f->Menu()->ItemAt(i)->Label());
    return labels;
  }
};

TEST_F(WindowTest, StartShowsTheCoreValuesInTheControls) {
  KXWindow* w = OpenWindow();
  EXPECT_STREQ(w->Title(), "KORVEX-GUI");
  EXPECT_STREQ(View<BTextControl>(w, "nETol")->Text(), "0.002");
  EXPECT_STREQ(View<BTextControl>(w, "grRad")->Text(), "2.605");
  EXPECT_STREQ(View<BTextControl>(w, "anLen")->Text(), "4.500");
  EXPECT_STREQ(View<BTextControl>(w, "hoOff")->Text(), "-0.002");
  EXPECT_STREQ(View<BTextControl>(w, "ofName")->Text(), "_nwd_out");
  EXPECT_STREQ(View<BTextControl>(w, "ofExtens")->Text(), ".NC");
  EXPECT_STREQ(View<BTextControl>(w, "dxfLayGrp")->Text(), "EDMX_");
  EXPECT_STREQ(View<BTextControl>(w, "nETol")->Label(), "Element-Tolerance:");
  EXPECT_EQ(View<BRadioButton>(w, "G92Plate")->Value(), 1);
  EXPECT_EQ(View<BRadioButton>(w, "G92Piece")->Value(), 0);
  EXPECT_STREQ(View<BBox>(w, "iniBox")->Label(), prog.File("korvex.ini").c_str());
  EXPECT_TRUE(View<BButton>(w, "iniOpen")->IsEnabled());
  EXPECT_FALSE(View<BButton>(w, "MakeIt")->IsEnabled());
  EXPECT_STREQ(View<BStringView>(w, "dxfStrV")->Text(), "-- not set -- please drag --");
  EXPECT_STREQ(View<BMenuField>(w, "dxfLayMF")->MenuText(), "DXF_MAIN");
  EXPECT_STREQ(homepath, (prog.Path() + "/").c_str());
  const std::string& t = out.Text();
  EXPECT_NE(t.find("GUI-sPath: " + prog.Path() + "/\nGUI-ini_path: " + prog.File("korvex.ini") + "\n"),
            std::string::npos);
  EXPECT_NE(t.find("-- StartUp Window-End--\n"), std::string::npos);
  EXPECT_STREQ(getLabel(8), "done");
  EXPECT_STREQ(getLabel(31), "unknown");
}

TEST_F(WindowTest, NumberFieldsAcceptOnlyTheirOpenRanges) {
  KXWindow* w = OpenWindow();
  BTextControl* tol = View<BTextControl>(w, "nETol");
  Type(tol, "0.006", kxMSG_TOLERANCE);
  EXPECT_STREQ(tol->Text(), "0.002");
  EXPECT_FLOAT_EQ(gNpTolerance, 0.002f);
  EXPECT_NE(out.Text().find(" >> float: 0.006 \n"), std::string::npos);
  Type(tol, "0.0059", kxMSG_TOLERANCE);
  EXPECT_FLOAT_EQ(gNpTolerance, 0.0059f);
  Type(tol, "0", kxMSG_TOLERANCE);
  EXPECT_STREQ(tol->Text(), "0.006");   // the value in force, three decimals

  BTextControl* grid = View<BTextControl>(w, "grRad");
  Type(grid, "6.01", kxMSG_GRID_RADIUS);
  EXPECT_STREQ(grid->Text(), "2.605");
  Type(grid, "6", kxMSG_GRID_RADIUS);
  EXPECT_FLOAT_EQ(gStartPosition, 6.0f);
  Type(grid, "abc", kxMSG_GRID_RADIUS);
  EXPECT_STREQ(grid->Text(), "6.000");

  BTextControl* anchor = View<BTextControl>(w, "anLen");
  Type(anchor, "6.01", kxMSG_ANCHOR);
  EXPECT_STREQ(anchor->Text(), "4.500");
  Type(anchor, "-1", kxMSG_ANCHOR);
  EXPECT_STREQ(anchor->Text(), "4.500");
  Type(anchor, "6", kxMSG_ANCHOR);
  EXPECT_FLOAT_EQ(gMaxAnkerLen, 6.0f);

  BTextControl* hole = View<BTextControl>(w, "hoOff");
  Type(hole, "-0.03", kxMSG_HOLE_OFFSET);
  EXPECT_STREQ(hole->Text(), "-0.002");
  Type(hole, "0.03", kxMSG_HOLE_OFFSET);
  EXPECT_STREQ(hole->Text(), "-0.002");
  Type(hole, "-0.029", kxMSG_HOLE_OFFSET);
  EXPECT_FLOAT_EQ(ktechno.dHole, -0.029f);
  w->SetGuiValues();
  EXPECT_STREQ(hole->Text(), "-0.029");
  Type(hole, "xyz", kxMSG_HOLE_OFFSET);   // no number is 0, inside this range
  EXPECT_FLOAT_EQ(ktechno.dHole, 0.0f);
}

TEST_F(WindowTest, SwitchesNamesAndKeysReachTheCore) {
  KXWindow* w = OpenWindow();
  const struct { const char* label; uint32 code; int* global; } boxes[] = {
      {"GlobTextInfo", kxMSG_GLOB_INFO, &gGlobTextInfo}, {"AddDataInfo", kxMSG_DATA_INFO, &gDataInfo},
      {"RemTextInfo", kxMSG_REMARK_INFO, &gCancelTextInfo}, {"OpenDataFile", kxMSG_OPEN_DATA, &OpenDataFile}};
  // The four boxes share one view name; the first found is the first built.
  BCheckBox* glob = View<BCheckBox>(w, "infoGlob");
  ASSERT_NE(glob, nullptr);
  EXPECT_STREQ(glob->Label(), "GlobTextInfo");
  ASSERT_EQ(w->QtWidget()->findChildren<QCheckBox*>().size(), 4);

  // Each box posts its own code; its value becomes the core's switch.
  for (int on : {1, 0}) {
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
  EXPECT_STREQ(data_filename, "part7");
  EXPECT_NE(out.Text().find(" new OutFilename: 'part7'\n"), std::string::npos);
  Type(View<BTextControl>(w, "ofName"), "", kxMSG_OUT_NAME);
  EXPECT_STREQ(data_filename, "part7");
  EXPECT_STREQ(View<BTextControl>(w, "ofName")->Text(), "part7");
  Type(View<BTextControl>(w, "ofExtens"), ".nc", kxMSG_EXTENSION);
  EXPECT_STREQ(mS.Extension, ".nc");

  out.Clear();
  BMessage key(B_UNMAPPED_KEY_DOWN);
  key.AddInt32("modifiers", B_CONTROL_KEY);
  key.AddInt32("key", 102);
  Post(w, key);
  EXPECT_EQ(out.Text(), ".. B_LEFT_OPTION_KEY || B_CONTROL_KEY\n key 102 oder 103 \n");
  out.Clear();
  Post(w, 'TICK');
  EXPECT_EQ(out.Text(), "");
  Post(w, 'zzzz');
  EXPECT_EQ(out.Text().rfind("KX_Window::MessageReceived\nBMessage('zzzz') {\n", 0), 0u);
}

TEST_F(WindowTest, ReloadReadsTheSettingsFileAgain) {
  KXWindow* w = OpenWindow();
  std::string ini = ReadFile(prog.File("korvex.ini"));
  ini.replace(ini.find("GridRadius: 2.605"), 17, "GridRadius: 1.5");
  WriteFile(prog.File("korvex.ini"), ini);
  Post(w, kxMSG_INI_RELOAD);
  EXPECT_FLOAT_EQ(gStartPosition, 1.5f);
  EXPECT_STREQ(View<BTextControl>(w, "grRad")->Text(), "1.500");
  EXPECT_TRUE(View<BButton>(w, "iniOpen")->IsEnabled());

  Post(w, kxMSG_INI_OPEN);
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0], prog.File("korvex.ini"));
  Post(w, kxMSG_DEV_OPEN);
  ASSERT_EQ(opened.size(), 2u);
  EXPECT_EQ(opened[1], prog.File("devices/MAK_EE3.SYN"));
  EXPECT_NE(out.Text().find(" >OPEN: 'MAK_EE3.SYN'\n"), std::string::npos);

  // Without a settings file the defaults hold and there is nothing to open.
  fs::remove(prog.File("korvex.ini"));
  Post(w, kxMSG_INI_RELOAD);
  EXPECT_FLOAT_EQ(gStartPosition, 2.605f);
  EXPECT_FALSE(View<BButton>(w, "iniOpen")->IsEnabled());
}

TEST_F(WindowTest, DeviceMenuListsTheSyntaxFiles) {
  WriteFile(prog.File("devices/OTHER.syn"), "$Extension   \".ISO\"\n");
  WriteFile(prog.File("devices/notes.txt"), "x");
  fs::create_directory(prog.File("devices/DIR.SYN"));
  KXWindow* w = OpenWindow();
  BMenuField* dev = dynamic_cast<BMenuField*>(w->FindView("devMenu"));
  ASSERT_NE(dev, nullptr);
  ASSERT_EQ(dev->Menu()->CountItems(), 2);
  EXPECT_TRUE(dev->IsPopUpMarkerShown());
  BMenuItem* mak = dev->Menu()->ItemAt(0);
  BMenuItem* other = dev->Menu()->ItemAt(1);
  const char* path = nullptr;
  ASSERT_EQ(other->Message()->FindString("kxPath", &path), B_OK);
  EXPECT_EQ(std::string(path), prog.File("devices/OTHER.syn"));
  EXPECT_NE(std::string(other->Label()).find("OTHER.syn"), std::string::npos);
  EXPECT_TRUE(mak->IsMarked());

  dev->Menu()->Invoke(other);
  Pump();
  EXPECT_STREQ(gDevTarget, prog.File("devices/OTHER.syn").c_str());
  EXPECT_STREQ(View<BTextControl>(w, "ofExtens")->Text(), ".ISO");
  EXPECT_NE(out.Text().find(" > gDevTarget :'" + prog.File("devices/OTHER.syn") + "'\n"), std::string::npos);
  // The full path keeps its item marked although the label shows only the path's end.
  w->SetGuiValues();
  EXPECT_TRUE(other->IsMarked());
  EXPECT_STREQ(dev->MenuText(), other->Label());
  // Reloading reads the device of the settings file again.
  Post(w, kxMSG_INI_RELOAD);
  EXPECT_STREQ(gDevTarget, "MAK_EE3.SYN");
  EXPECT_TRUE(mak->IsMarked());
}

TEST_F(WindowTest, DeviceFolderWithoutSyntaxFilesLeavesTheMenuEmpty) {
  fs::remove(prog.File("devices/MAK_EE3.SYN"));
  KXWindow* w = OpenWindow();
  BMenuField* dev = dynamic_cast<BMenuField*>(w->FindView("devMenu"));
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
  EXPECT_TRUE(View<BButton>(w, "MakeIt")->IsEnabled());
  EXPECT_STREQ(View<BStringView>(w, "dxfStrV")->Text(), dxf.c_str());
  BMenuField* layers = View<BMenuField>(w, "dxfLayMF");
  EXPECT_EQ(MenuLabels(layers), (std::vector<std::string>{"0", "DXF_MAIN", "EDMX_POSITION"}));
  EXPECT_STREQ(layers->MenuText(), "DXF_MAIN");
  EXPECT_TRUE(layers->IsPopUpMarkerShown());
  int32 pos = -1;
  EXPECT_EQ(layers->Menu()->ItemAt(2)->Message()->FindInt32("dLayer", &pos), B_OK);
  EXPECT_EQ(pos, 2);
  const std::string& t = out.Text();
  EXPECT_NE(t.find(" > 'die_plate.dxf' '" + dxf + "'\n"), std::string::npos);
  EXPECT_NE(t.find("L:3 items\nL:3 items  (modus x - clear MenuItems)\n"), std::string::npos);
  EXPECT_NE(t.find("  INFILE: <" + dxf + "> "), std::string::npos);
  EXPECT_NE(t.find(" [1]\n"), std::string::npos);

  layers->Menu()->Invoke(layers->Menu()->ItemAt(0));
  Pump();
  EXPECT_STREQ(edmLayer, "0");
  EXPECT_NE(out.Text().find("edmLayer: '0'\n"), std::string::npos);

  // A new optional-layer prefix reads the layers again.
  Type(View<BTextControl>(w, "dxfLayGrp"), "EDMY_", kxMSG_OPT_LAYER);
  EXPECT_STREQ(optLayer, "EDMY_");
  EXPECT_EQ(MenuLabels(layers).size(), 3u);
  EXPECT_STREQ(layers->MenuText(), "0");

  // Upper-case extension: kind 2.
  std::string upper = Drawing("PLATE.DXF");
  out.Clear();
  Post(w, Drop({upper}));
  EXPECT_STREQ(in_filename, upper.c_str());
  EXPECT_NE(out.Text().find(" [2]\n"), std::string::npos);
}

TEST_F(WindowTest, DroppedOtherFileOnlyShowsItsPath) {
  KXWindow* w = OpenWindow();
  WriteFile(prog.File("part.Dxf"), "x");
  Post(w, Drop({prog.File("part.Dxf")}));
  EXPECT_STREQ(View<BStringView>(w, "dxfStrV")->Text(), prog.File("part.Dxf").c_str());
  EXPECT_FALSE(View<BButton>(w, "MakeIt")->IsEnabled());
  EXPECT_STREQ(in_filename, "-not-set-");
  EXPECT_NE(out.Text().find(" [0]\n"), std::string::npos);

  // After a good drop a stray file leaves Make enabled and the drawing chosen.
  std::string dxf = Drawing();
  Post(w, Drop({dxf}));
  Post(w, Drop({prog.File("korvex.ini")}));
  EXPECT_TRUE(View<BButton>(w, "MakeIt")->IsEnabled());
  EXPECT_STREQ(in_filename, dxf.c_str());

  // A drawing whose path does not fit the core's name is refused, not cut.
  std::string deep = prog.File(std::string(60, 'd'));
  fs::create_directory(deep);
  fs::copy_file(dxf, deep + "/long.dxf");
  Post(w, Drop({deep + "/long.dxf"}));
  EXPECT_STREQ(in_filename, dxf.c_str());
  EXPECT_NE(out.Text().find(" path too long"), std::string::npos);

  // A drawing that cannot be read disables Make.
  Post(w, Drop({prog.File("gone.dxf")}));
  EXPECT_NE(out.Text().find("open error"), std::string::npos);
  EXPECT_FALSE(View<BButton>(w, "MakeIt")->IsEnabled());
}

TEST_F(WindowTest, MakeWritesTheProgramAndThePageAndDisablesItself) {
  KXWindow* w = OpenWindow();
  std::string dxf = Drawing();
  Post(w, Drop({dxf}));
  out.Clear();
  Post(w, kxMSG_MAKE);
  const std::string& t = out.Text();
  EXPECT_EQ(t.rfind("\n\n:: MakeNwdFile() \n", 0), 0u);
  EXPECT_NE(t.find("\n LOGFILE: <" + prog.File("_outlog.txt") + "> "), std::string::npos);
  EXPECT_EQ(t.find(" PLEASE CHECK THE EDM-LAYER"), std::string::npos);
  EXPECT_STREQ(dataPath, prog.File("_nwd_out.NC").c_str());
  std::string nc = ReadFile(dataPath);
  EXPECT_NE(nc.find("N10"), std::string::npos);
  EXPECT_NE(ReadFile(prog.File("_results.htm")).find("DATAMODE: PLATE"), std::string::npos);
  std::string log = ReadFile(prog.File("_outlog.txt"));
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(log.substr(log.size() - 2), "\n\n");
  EXPECT_EQ(log_stream, nullptr);
  EXPECT_EQ(i_stream, nullptr);
  ASSERT_FALSE(opened.empty());
  EXPECT_EQ(opened.back(), dataPath);

  BButton* make = View<BButton>(w, "MakeIt");
  EXPECT_FALSE(make->IsEnabled());
  EXPECT_STREQ(make->Label(), "done");
  EXPECT_STREQ(in_filename, "-drag new-");
  EXPECT_STREQ(View<BStringView>(w, "dxfStrV")->Text(), (dxf + " (done)").c_str());

  // A second run needs a new drop; the drop gives the button back its label.
  out.Clear();
  QTest::mouseClick(make->QtWidget(), Qt::LeftButton);
  Pump();
  EXPECT_EQ(out.Text().find("MakeNwdFile"), std::string::npos);
  Post(w, Drop({dxf}));
  EXPECT_TRUE(make->IsEnabled());
  EXPECT_STREQ(make->Label(), "Make");
  fs::remove(dataPath);
  Post(w, kxMSG_MAKE);
  EXPECT_TRUE(FileExists(prog.File("_nwd_out.NC")));   // the layer list was rebuilt, not grown
  EXPECT_EQ(gAktLayEntry, 2);
}

TEST_F(WindowTest, DrawingOfVersion1012ReadsNoElements) {
  KXWindow* w = OpenWindow();
  std::string text = DxfText("AC1012").Layer("DXF_MAIN").Line("DXF_MAIN", 0, 0, 10, 0).Str();
  WriteFile(prog.File("v12.dxf"), text);
  Post(w, Drop({prog.File("v12.dxf")}));
  out.Clear();
  Post(w, kxMSG_MAKE);
  EXPECT_NE(out.Text().find("\n\t = 0 OUTLINES\n PLEASE CHECK THE EDM-LAYER \a"), std::string::npos);
  EXPECT_TRUE(FileExists(prog.File("_results.htm")));
}

TEST_F(WindowTest, RealWidgetsTypeAndClick) {
  KXWindow* w = OpenWindow();
  auto* edit = static_cast<QLineEdit*>(View<BTextControl>(w, "grRad")->QtField());
  edit->setFocus();
  edit->selectAll();
  QTest::keyClicks(edit, "3.25");
  QTest::keyClick(edit, Qt::Key_Return);
  Pump();
  EXPECT_FLOAT_EQ(gStartPosition, 3.25f);

  Post(w, Drop({Drawing()}));
  QTest::mouseClick(View<BButton>(w, "MakeIt")->QtWidget(), Qt::LeftButton);
  Pump();
  EXPECT_TRUE(FileExists(prog.File("_nwd_out.NC")));
  EXPECT_FALSE(View<BButton>(w, "MakeIt")->IsEnabled());

  // The quit button asks the window, which closes the streams and asks the application.
  QTest::mouseClick(View<BButton>(w, "EndIt")->QtWidget(), Qt::LeftButton);
  Pump();
  EXPECT_EQ(BApplication::CountWindows(), 0);
  EXPECT_NE(out.Text().find(" bad LOG_STREAM\n bad IN_STREAM\n"), std::string::npos);
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
  EXPECT_EQ(again->Frame().Width(), WIN_W);
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
  Prefs stored;
  EXPECT_EQ(stored.frame.left, 100);
  EXPECT_EQ(stored.frame.right, 600);   // the window's frame, written when it closed
}

}  // namespace
