// The desktop front end: the preferences kept as attributes of a settings
// file, the main window with its controls and the conversion run started from
// it, and the application object that opens the window.
#pragma once

#include "platform/kits.h"

class KxDesktopParts;
struct KxRun;

KxRun& DeskRun();      // the window's run: its settings, the drawing shown and what the last reading or Make found
void ForgetDeskRun();  // the next DeskRun starts from the settings of a fresh program (tests)
void NewDeskRun();     // replaces it by a new run on the same settings, drawing name, sink and layer hook (before every reading)

// --- window frame of the run (moved along by the window) ---
extern float WIN_X;   // left edge of the window's frame
extern float WIN_Y;   // top edge
extern float WIN_W;   // width the window is created with
extern float WIN_H;   // height the window is created with

// --- drawing layers ---
extern BList pLayList;                 // names (BString*) of the drawing's layers found by the last layer pass
void AddDrawingLayer(const char* name);   // layer pass hook: appends a copy of name to pLayList
void ClearDrawingLayers();             // frees and forgets every name of pLayList

// Message codes of the window and its controls.
enum : uint32 {
  kxMSG_TOLERANCE = '_nET',
  kxMSG_GRID_RADIUS = '_gRd',
  kxMSG_ANCHOR = '_gLn',
  kxMSG_HOLE_OFFSET = '_hOf',
  kxMSG_OUT_NAME = '_ofN',
  kxMSG_EXTENSION = '_ofE',
  kxMSG_GLOB_INFO = '_iGl',
  kxMSG_DATA_INFO = '_iDa',
  kxMSG_REMARK_INFO = '_iRe',
  kxMSG_OPEN_DATA = '_oDa',
  kxMSG_PLATE = 'g92p',
  kxMSG_PIECE = 'g92t',
  kxMSG_OPT_LAYER = '_oLy',
  kxMSG_DEVICE = 'dSyn',
  kxMSG_LAYER = 'dLAY',
  kxMSG_MAKE = 'MAKE',
  kxMSG_INI_RELOAD = 'oIRe',
  kxMSG_INI_OPEN = 'oIni',
  kxMSG_DEV_OPEN = 'oDev',
  kxMSG_RELOAD_PREFS = 'rPrf',
  kxMSG_AUTO_START = 'aStH'   // Settings > start holes where the drawing has none: toggled
};

// The preferences of the desktop program: attributes of the file
// korvex_settings in the folder _LP_x-vnd.VL of the user's settings folder.
class Prefs {
 public:
  Prefs();    // finds or makes the file and loads the three preferences
  ~Prefs();   // releases the file and the logo buffer

  void InitCheck();    // makes sure the folder and the file exist
  bool LoadPrefs();    // reads frame, flag and logo path (writing defaults that are missing)
  bool Save();         // writes frame, flag and logo path
  bool SaveWin();      // writes the frame alone

  bool GetBool(const char* name, bool* value, bool def);        // 'BOOL', 1 byte
  bool GetRect(const char* name, BRect* value, BRect def);      // 'RECT', 16 bytes
  bool GetStr(const char* name, char* value, const char* def);  // 'CSTR', at most 256 bytes into value
  bool PutBool(const char* name, bool value);
  bool PutRect(const char* name, BRect value);
  bool PutStr(const char* name, const char* value);

  const char* Path() const { return fPath.Path() ? fPath.Path() : ""; }   // the settings file

  BRect frame;                 // the window frame
  bool winByBegin = true;      // the window-by-begin flag
  char* logoPath = nullptr;    // 256 bytes, allocated by LoadPrefs
  bool error = false;          // set by any failed read or write

 private:
  bool readFailed(const char* name, ssize_t got);   // reports a failed read and sets the error flag
  BPath fPath;
  BFile* fFile = nullptr;
};

inline constexpr size_t kLogoSize = 256;            // bytes of the logo path buffer
// Indices of the label table (the entries without a name are unused).
enum KxLabel {
  kxLBL_TITLE = 0,         // "KORVEX"
  kxLBL_MAKE = 6,          // "Make": the conversion button
  kxLBL_QUIT = 7,          // "Quit"
  kxLBL_RELOAD = 9,        // "reload": reads the settings file again
  kxLBL_OPEN = 10,         // "open": shows the settings or device file
  kxLBL_PLATE = 11,        // "G92Plate"
  kxLBL_PIECE = 12,        // "G92Piece"
  kxLBL_TOLERANCE = 13,    // "Element-Tolerance:"
  kxLBL_GRID_RADIUS = 14,  // "GridRadius:"
  kxLBL_ANCHOR = 15,       // "AnchorLength:"
  kxLBL_HOLE_OFFSET = 16,  // "HoleOffset:"
  kxLBL_GLOB_INFO = 17,    // "GlobTextInfo"
  kxLBL_DATA_INFO = 18,    // "AddDataInfo"
  kxLBL_REMARK_INFO = 19,  // "RemTextInfo"
  kxLBL_OPEN_DATA = 20,    // "OpenDataFile"
  kxLBL_DEVICE = 21,       // "DevTarget:"
  kxLBL_LAYER = 22,        // "Def.Layer:"
  kxLBL_OPT_LAYER = 23,    // "Optional Layer:"
  kxLBL_OUT_NAME = 24,     // "Outfile-Name:"
  kxLBL_EXTENSION = 25,    // "Extension:"
  kxLBL_UNKNOWN = 27       // "unknown": the text of every index outside the table
};
inline constexpr int kLabelCount = 31;              // entries of the label table
const char* getLabel(int index);                    // text of the label table; "unknown" outside it

// The one window of the desktop program.
class KXWindow : public BWindow {
 public:
  explicit KXWindow(BRect frame);
  ~KXWindow() override;

  void MessageReceived(BMessage* msg) override;
  bool QuitRequested() override;
  void FrameMoved(BPoint where) override;
  void FrameResized(float width, float height) override;

  virtual void AddOptionalByWinKey(BMessage* msg);   // reports the system keys; changes nothing
  virtual void LookForSynFiles();                    // fills the device menu from the devices folder
  virtual void SetGuiValues(BMessage* msg = nullptr);   // shows the core's values in the controls
  virtual void LookDxfLayers(int mode);              // 0: empties the layer menu; else reads the drawing's layers into it
  virtual void MakeNwdFile();                        // runs one conversion of the dropped drawing
  virtual void AboutRequested();                     // nothing

  Prefs* GetPrefs() const { return fPrefs; }
  KxDesktopParts* Parts() const { return fParts; }   // menu, result line, preview, NC view

 private:
  void fieldChanged(uint32 code);        // range test of a number field
  void deviceChosen(BMessage* msg);      // 'dSyn'
  void layerChosen(BMessage* msg);       // 'dLAY'
  void filesDropped(BMessage* msg);      // 'DATA'
  void openSettingsFile();               // 'oIni'
  void openDeviceFile();                 // 'oDev'
  void closeStreams();                   // closes log and drawing, reporting a missing one
  void markDevice();                     // marks the device item of gDevTarget
  void refreshMake();                    // Make is on whenever a drawing is chosen
  void previewDrawing();                 // reads the chosen layer's elements and shows them in the preview
  void showRun(int status);              // the result line and the preview after Make
  void forgetDrawing(std::string path, const char* reason);  // the chosen drawing cannot be opened: nothing of the one before stays

  Prefs* fPrefs = nullptr;
  char* fProgramFolder = nullptr;        // folder of the program, ending with "/"
  std::string fIniPath;                  // the settings file path
  BView* fBack = nullptr;
  BBox* fIniBox = nullptr;
  BTextControl* fTolerance = nullptr;
  BTextControl* fGridRadius = nullptr;
  BTextControl* fAnchor = nullptr;
  BTextControl* fHoleOffset = nullptr;
  BTextControl* fOutName = nullptr;
  BTextControl* fExtension = nullptr;
  BCheckBox* fGlobInfo = nullptr;
  BCheckBox* fDataInfo = nullptr;
  BCheckBox* fRemarkInfo = nullptr;
  BCheckBox* fOpenData = nullptr;
  BRadioButton* fPlate = nullptr;
  BRadioButton* fPiece = nullptr;
  BButton* fIniOpen = nullptr;
  BButton* fIniReload = nullptr;
  BBox* fDevBox = nullptr;
  BMenuField* fDevField = nullptr;
  BButton* fDevOpen = nullptr;
  BBox* fDxfBox = nullptr;
  BStringView* fDxfView = nullptr;
  BMenuField* fLayerField = nullptr;
  BTextControl* fOptLayer = nullptr;
  BButton* fMake = nullptr;
  BButton* fEnd = nullptr;
  KxDesktopParts* fParts = nullptr;
  bool fHaveDrawing = false;             // a readable drawing was chosen
};

class KXApplication : public BApplication {
 public:
  KXApplication();    // registers the signature and shows the window
  ~KXApplication() override;
  void MessageReceived(BMessage* msg) override;
  KXWindow* Window() const { return fWindow; }   // the window it opened (deleted by the time Run returns)
 private:
  KXWindow* fWindow;
};

// --- the plain-Qt parts around the classic controls (parts.cpp, preview.cpp) ---
// The outcome of the last Make in numbers and words, from the core's counters.
struct KxRunResult {
  int status;            // exit status the console program gives for such a run
  bool error;            // shown in red
  std::string words;     // the result line
};
extern const char* gStartDrawing;    // drawing named on the command line, opened once the window is up
void KxDescribeRun(int status, KxRunResult* result);        // the result line of a run that ended with status
void KxDesktopOpener(const char* path);   // NC programs into the window's own view, anything else to the system

int KorvexGuiMain();         // the desktop program: begin line, application, message loop, end line
void ResetDesktopState();    // frame globals and layer names back to their start values (tests)
