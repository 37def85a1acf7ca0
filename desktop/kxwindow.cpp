// The main window of the desktop program: its controls for the global
// settings, the device and the drawing, and the handling of every message they
// send. Values typed into the fields are range-tested and reach the core only
// through the bridge; the work behind the buttons is in kxactions.cpp.
#include <cstdlib>
#include <cstring>

#include "config/config.h"
#include "dxf/dxf.h"
#include "frontend.h"
#include "geometry/base.h"
#include "parts.h"
#include "preview.h"
#include "report/report.h"
#include "kxrun.h"

static const char* const eLabel[kLabelCount] = {
    "KORVEX",       "TagNum",       "Open",          "Save",
    "Last: ",       "In: ",         "Make",          "Quit",
    "done",         "reload",       "open",          "G92Plate",
    "G92Piece",     "Element-Tolerance:", "GridRadius:", "AnchorLength:",
    "HoleOffset:",  "GlobTextInfo", "AddDataInfo",   "RemTextInfo",
    "OpenDataFile", "DevTarget:",   "Def.Layer:",    "Optional Layer:",
    "Outfile-Name:", "Extension:",  "26",            "unknown",
    "28",           "29",           "30"};

const char* getLabel(int index) {
  if (index < 0 || index >= kLabelCount) return eLabel[kxLBL_UNKNOWN];
  return eLabel[index];
}

// Layout of the window's content (500 x 370): the settings box on top, the
// device box and the drawing box below it, the two big buttons at the bottom.
static const float kFieldH = 24;
static const float kLabelW = 128;   // divider of the number fields

static BTextControl* numberField(BRect r, const char* name, int label, const char* text, uint32 code) {
  BTextControl* t = new BTextControl(r, name, getLabel(label), text, new BMessage(code));
  t->SetDivider(kLabelW);
  return t;
}

// The window, in these steps: the program folder from the application's file;
// the settings file read (SetGlobals) and the layer hook set; the preferences and
// the window's place; the classic controls (settings box, device box, drawing
// box, Make and Quit); the plain-Qt parts and the window's size; the device menu
// and the values shown; a drawing named on the command line opened.
KXWindow::KXWindow(BRect frame) : BWindow(frame, "KORVEX-GUI", B_DOCUMENT_WINDOW, 0x20001000, B_CURRENT_WORKSPACE) {
  SetSizeLimits(WIN_W, 4096, WIN_H, 4096);

  // The program folder is where the settings file and the devices folder are looked for.
  std::string folder;
  app_info info;
  if (be_app && be_app->GetAppInfo(&info) == B_OK) {
    BEntry entry(&info.ref);
    BPath path;
    entry.GetPath(&path);
    KxPrint(DeskRun(), " %s (fPath)\n", path.Path());
    BPath parent;
    if (path.GetParent(&parent) == B_OK) {
      KxPrint(DeskRun(), " %s (fPath)\n", parent.Path());
      folder = std::string(parent.Path()) + "/";
    }
  }
  fProgramFolder = strdup(folder.c_str());
  fIniPath = folder + DeskRun().cfg.ini_filename;
  KxPrint(DeskRun(), "GUI-sPath: %s\nGUI-ini_path: %s\n", folder.c_str(), fIniPath.c_str());

  SetGlobals(DeskRun(), folder.c_str());
  DeskRun().gLayerNameHook = AddDrawingLayer;

  fPrefs = new Prefs();
  MoveTo(fPrefs->frame.left, fPrefs->frame.top);

  // The classic controls keep their size; the preview beside them takes what the window grows.
  fBack = new BView(Bounds(), "bview", B_FOLLOW_LEFT_TOP, B_WILL_DRAW);
  fBack->SetViewColor(216, 216, 216);
  AddChild(fBack);

  // --- settings ---
  fIniBox = new BBox(BRect(6, 4, 494, 206), "iniBox");
  fIniBox->SetLabel(fIniPath.c_str());
  float y = 24;
  fTolerance = numberField(BRect(10, y, 262, y + kFieldH), "nETol", kxLBL_TOLERANCE, "---", kxMSG_TOLERANCE);
  y += 28;
  fGridRadius = numberField(BRect(10, y, 262, y + kFieldH), "grRad", kxLBL_GRID_RADIUS, "", kxMSG_GRID_RADIUS);
  y += 28;
  fAnchor = numberField(BRect(10, y, 262, y + kFieldH), "anLen", kxLBL_ANCHOR, "", kxMSG_ANCHOR);
  y += 28;
  fHoleOffset = numberField(BRect(10, y, 262, y + kFieldH), "hoOff", kxLBL_HOLE_OFFSET, "", kxMSG_HOLE_OFFSET);
  y += 28;
  fOutName = numberField(BRect(10, y, 262, y + kFieldH), "ofName", kxLBL_OUT_NAME, "", kxMSG_OUT_NAME);
  y += 28;
  fExtension = numberField(BRect(10, y, 262, y + kFieldH), "ofExtens", kxLBL_EXTENSION, "", kxMSG_EXTENSION);
  fIniBox->AddChild(fTolerance);
  fIniBox->AddChild(fGridRadius);
  fIniBox->AddChild(fAnchor);
  fIniBox->AddChild(fHoleOffset);
  fIniBox->AddChild(fOutName);
  fIniBox->AddChild(fExtension);

  float x = 282;
  fGlobInfo = new BCheckBox(BRect(x, 22, 478, 44), "infoGlob", getLabel(kxLBL_GLOB_INFO), new BMessage(kxMSG_GLOB_INFO));
  fDataInfo = new BCheckBox(BRect(x, 44, 478, 66), "infoGlob", getLabel(kxLBL_DATA_INFO), new BMessage(kxMSG_DATA_INFO));
  fRemarkInfo = new BCheckBox(BRect(x, 66, 478, 88), "infoGlob", getLabel(kxLBL_REMARK_INFO), new BMessage(kxMSG_REMARK_INFO));
  fOpenData = new BCheckBox(BRect(x, 88, 478, 110), "infoGlob", getLabel(kxLBL_OPEN_DATA), new BMessage(kxMSG_OPEN_DATA));
  fPlate = new BRadioButton(BRect(x, 116, 478, 138), "G92Plate", getLabel(kxLBL_PLATE), new BMessage(kxMSG_PLATE));
  fPiece = new BRadioButton(BRect(x, 138, 478, 160), "G92Piece", getLabel(kxLBL_PIECE), new BMessage(kxMSG_PIECE));
  fIniOpen = new BButton(BRect(x, 166, 376, 194), "iniOpen", getLabel(kxLBL_OPEN), new BMessage(kxMSG_INI_OPEN));
  fIniReload = new BButton(BRect(384, 166, 478, 194), "iniReload", getLabel(kxLBL_RELOAD), new BMessage(kxMSG_INI_RELOAD));
  fIniBox->AddChild(fGlobInfo);
  fIniBox->AddChild(fDataInfo);
  fIniBox->AddChild(fRemarkInfo);
  fIniBox->AddChild(fOpenData);
  fIniBox->AddChild(fPlate);
  fIniBox->AddChild(fPiece);
  fIniBox->AddChild(fIniOpen);
  fIniBox->AddChild(fIniReload);
  fBack->AddChild(fIniBox);

  // --- device ---
  fDevBox = new BBox(BRect(6, 210, 494, 262), "devBox");
  fDevBox->SetLabel(" device: ");
  BMenu* devMenu = new BMenu("--not set--");
  devMenu->SetRadioMode(true);
  devMenu->SetLabelFromMarked(true);
  fDevField = new BMenuField(BRect(10, 20, 376, 46), "devMenu", getLabel(kxLBL_DEVICE), devMenu);
  fDevField->SetDivider(kLabelW);
  fDevOpen = new BButton(BRect(384, 19, 478, 47), "devOpen", getLabel(kxLBL_OPEN), new BMessage(kxMSG_DEV_OPEN));
  fDevBox->AddChild(fDevField);
  fDevBox->AddChild(fDevOpen);
  fBack->AddChild(fDevBox);

  // --- drawing ---
  fDxfBox = new BBox(BRect(6, 266, 494, 334), "dxfBox");
  fDxfBox->SetLabel(" dxffile: ");
  fDxfView = new BStringView(BRect(10, 18, 478, 36), "dxfStrV", "-- not set -- please drag --");
  BMenu* layMenu = new BMenu("--not set--");
  layMenu->SetRadioMode(true);
  layMenu->SetLabelFromMarked(true);
  fLayerField = new BMenuField(BRect(10, 38, 236, 64), "dxfLayMF", getLabel(kxLBL_LAYER), layMenu);
  fLayerField->SetDivider(76);
  fOptLayer = new BTextControl(BRect(244, 39, 478, 63), "dxfLayGrp", getLabel(kxLBL_OPT_LAYER), "", new BMessage(kxMSG_OPT_LAYER));
  fOptLayer->SetDivider(104);
  fDxfBox->AddChild(fDxfView);
  fDxfBox->AddChild(fLayerField);
  fDxfBox->AddChild(fOptLayer);
  fBack->AddChild(fDxfBox);

  // --- run ---
  fMake = new BButton(BRect(6, 338, 246, 366), "MakeIt", getLabel(kxLBL_MAKE), new BMessage(kxMSG_MAKE));
  fEnd = new BButton(BRect(254, 338, 494, 366), "EndIt", getLabel(kxLBL_QUIT), new BMessage(B_QUIT_REQUESTED));
  // Nothing to convert until a drawing has been dropped.
  fMake->SetEnabled(false);
  fBack->AddChild(fMake);
  fBack->AddChild(fEnd);

  fParts = new KxDesktopParts(this, QtWidget(), fBack->QtWidget());
  SetSizeLimits(WIN_W + 330, 4096, WIN_H + 110, 4096);
  ResizeTo(WIN_W + 460, WIN_H + 130);
  // NC programs open in the window's own view; tests and front ends may have their own opener.
  if (!gOpenHook) gOpenHook = KxDesktopOpener;

  LookForSynFiles();
  SetGuiValues(nullptr);
  KxPrint(DeskRun(), "-- StartUp Window-End--\n");
  fBack->Invalidate();
  if (gStartDrawing) fParts->OpenDrawing(gStartDrawing);
}

KXWindow::~KXWindow() {
  if (gOpenHook == KxDesktopOpener) gOpenHook = nullptr;
  if (fPrefs) fPrefs->SaveWin();
  delete fPrefs;
  fPrefs = nullptr;
  free(fProgramFolder);
  fProgramFolder = nullptr;
  DeskRun().gLayerNameHook = nullptr;
  ClearDrawingLayers();
}

void KXWindow::FrameMoved(BPoint where) {
  WIN_X = where.x;
  WIN_Y = where.y;
  if (fPrefs) fPrefs->frame = Frame();
}

void KXWindow::FrameResized(float, float) {
  KxPrint(DeskRun(), "KXWindow FrameResized\n");
  Frame().PrintToStream();
  if (fBack) fBack->Invalidate();
}

void KXWindow::AddOptionalByWinKey(BMessage* msg) {
  int32 mods = 0, key = 0;
  msg->FindInt32("modifiers", &mods);
  msg->FindInt32("key", &key);
  if ((mods & B_LEFT_OPTION_KEY) || (mods & B_CONTROL_KEY)) KxPrint(DeskRun(), ".. B_LEFT_OPTION_KEY || B_CONTROL_KEY\n");
  if (key == 102 || key == 103) {
    KxPrint(DeskRun(), " key 102 oder 103 \n");
  } else {
    KxPrint(DeskRun(), "use Left-Win-Key ");
    KxPrint(DeskRun(), "KState: %ld KKey %ld \n", (long)mods, (long)key);
  }
}

void KXWindow::AboutRequested() {}

// A typed number is accepted inside its open range and handed to the core;
// otherwise the value in force is read back and shown again.
void KXWindow::fieldChanged(uint32 code) {
  BTextControl* field = nullptr;
  int setAsk = 0, getAsk = 0;   // KxBridgeAsk requests of the field's value
  float low = 0, high = 0;
  const char* format = "%.3f";
  switch (code) {
    case kxMSG_TOLERANCE: field = fTolerance; setAsk = kxSET_TOLERANCE; getAsk = kxASK_TOLERANCE; low = 0; high = 0.006f; break;
    case kxMSG_GRID_RADIUS: field = fGridRadius; setAsk = kxSET_GRID_RADIUS; getAsk = kxASK_GRID_RADIUS; low = 0; high = 6.01f; break;
    case kxMSG_ANCHOR: field = fAnchor; setAsk = kxSET_ANCHOR; getAsk = kxASK_ANCHOR; low = 0; high = 6.01f; break;
    default: field = fHoleOffset; setAsk = kxSET_HOLE_OFFSET; getAsk = kxASK_HOLE_OFFSET; low = -0.03f; high = 0.03f; format = "%+.3f"; break;
  }
  float value = ConfigFloat(field->Text());
  KxPrint(DeskRun(), " >> float: %.3f \n", value);
  if (value > low && value < high) {
    GuiBridge(DeskRun(), setAsk, nullptr, &value, nullptr);
    return;
  }
  float inForce = 0;
  GuiBridge(DeskRun(), getAsk, nullptr, &inForce, nullptr);
  char text[64];
  snprintf(text, sizeof text, format, inForce);
  field->SetText(text);
}

void KXWindow::MessageReceived(BMessage* msg) {
  switch (msg->what) {
    case kxMSG_TOLERANCE:
    case kxMSG_GRID_RADIUS:
    case kxMSG_ANCHOR:
    case kxMSG_HOLE_OFFSET:
      fieldChanged(msg->what);
      refreshMake();
      break;
    case kxMSG_OUT_NAME:
      // An empty name would make a file of the extension alone; the name in force stays.
      if (fOutName->Text()[0] == '\0') {
        fOutName->SetText(DeskRun().cfg.data_filename.c_str());
        break;
      }
      DeskRun().cfg.data_filename = fOutName->Text();
      KxPrint(DeskRun(), " new OutFilename: '%s'\n", DeskRun().cfg.data_filename.c_str());
      refreshMake();
      break;
    case kxMSG_EXTENSION: {
      char ext[sizeof DeskRun().cfg.mS.Extension];
      KxCopy(ext, sizeof ext, fExtension->Text());
      GuiBridge(DeskRun(), kxSET_EXTENSION, ext, nullptr, nullptr);
      refreshMake();
      break;
    }
    case kxMSG_GLOB_INFO: DeskRun().cfg.gGlobTextInfo = fGlobInfo->Value(); refreshMake(); break;
    case kxMSG_DATA_INFO: DeskRun().cfg.gDataInfo = fDataInfo->Value(); refreshMake(); break;
    case kxMSG_REMARK_INFO: DeskRun().cfg.gCancelTextInfo = fRemarkInfo->Value(); refreshMake(); break;
    case kxMSG_OPEN_DATA: DeskRun().cfg.OpenDataFile = fOpenData->Value(); refreshMake(); break;
    case kxMSG_AUTO_START: refreshMake(); break;
    case kxMSG_PLATE:
    case kxMSG_PIECE: {
      long mode = fPiece->Value() ? 1 : 0;
      GuiBridge(DeskRun(), kxSET_DATA_MODE, nullptr, nullptr, &mode);
      refreshMake();
      break;
    }
    case kxMSG_OPT_LAYER:
      LookDxfLayers(0);
      KxCopy(DeskRun().cfg.optLayer, sizeof DeskRun().cfg.optLayer, fOptLayer->Text());
      LookDxfLayers(1);
      refreshMake();
      previewDrawing();
      break;
    case kxMSG_DEVICE: deviceChosen(msg); refreshMake(); break;
    case kxMSG_LAYER: layerChosen(msg); refreshMake(); previewDrawing(); break;
    case B_SIMPLE_DATA: filesDropped(msg); break;
    case kxMSG_MAKE: MakeNwdFile(); break;
    case kxMSG_INI_RELOAD:
      SetGlobals(DeskRun(), DeskRun().cfg.homepath.c_str());
      SetGuiValues(nullptr);
      LookDxfLayers(0);
      refreshMake();
      break;
    case kxMSG_INI_OPEN: openSettingsFile(); break;
    case kxMSG_DEV_OPEN: openDeviceFile(); break;
    case kxMSG_RELOAD_PREFS: fPrefs->LoadPrefs(); break;
    case B_UNMAPPED_KEY_DOWN: AddOptionalByWinKey(msg); break;
    case 'TICK': case '_MCH': case '_DPD': case '_KYD': case '_KDN': case '_KYU':
    case '_MWC': case '_MMV': case '_MDN': case '_MUP': case '_PBL': case '_UKU':
      break;
    default:
      KxPrint(DeskRun(), "KX_Window::MessageReceived\n");
      msg->PrintToStream();
      BWindow::MessageReceived(msg);
      break;
  }
}
