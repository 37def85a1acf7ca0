// Configuration and technology: the global settings file, the device syntax file
// with every machine word of the NC program, the technology record filled from
// the drawing's texts and the per-cut data of the technology file.
#pragma once

struct KxRun;        // the state of one conversion (run/run.h)
struct KxSettings;   // the settings a run reads (config.h)
struct KxUnit;       // a unit a drawing may be drawn in (geometry/base.h)

#include <cfloat>
#include <cstddef>
#include <cstdio>
#include <functional>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "geometry/limits.h"   // cut, register and name limits

// --- the keys of the settings file (keys.cpp) ---
// How a key's value is read from its line and shown in the printed settings block.
enum KxKeyKind {
  kxKEY_NUMBER,  // a decimal in mm ("6.25mm" says 6.25), shown in the key's format
  kxKEY_WHOLE,   // a whole number, shown as 'n=Yes' or 'n=No'
  kxKEY_SWITCH,  // a whole number taken as on (1) or off (0), shown as a whole number
  kxKEY_MODE,    // a whole number, shown as 'PLATE' (0) or 'PIECES'
  kxKEY_TEXT,    // the line's first quoted text, of any length
  kxKEY_NAME,    // the line's first quoted text into a name of fixed size; a longer one is refused
  kxKEY_UNITS    // a unit's name, quoted or not (ConfigUnits)
};
struct KxName { char* text; size_t size; };  // a name of fixed size in the settings, size counting its closing zero
using KxSettingSlot = std::variant<float*, int*, std::string*, KxName, const KxUnit**>;  // where a key's value lives
struct KxWindowRange { int ask; float low, high; const char* format; };  // the window's field of a number: bridge read request (0: no field), open range, format
struct KxSettingKey {
  const char* key;                   // as written in korvex.ini, before its colon
  KxKeyKind kind;                    // how its value is read and shown
  KxSettingSlot (*at)(KxSettings&);  // the field it sets
  const char* fallback;              // default as written in korvex.ini; null: a settings read keeps the value in force
  float lowest = -FLT_MAX;           // number: the smallest value taken; a smaller one gives the default
  const char* format = nullptr;      // number: printf format in the settings block and the notes
  const char* line = nullptr;        // its line in the settings block, %s the value shown; null: not printed
  int printAt = 0;                   // place of that line in the block, from 1
  bool onlyChanged = false;          // number, whole number or units printed only off its default, so a run without it prints what it always printed
  void (*then)(KxSettings&) = nullptr;  // number: what follows from a value taken
  KxWindowRange window{};            // the desktop window's field of the key
  const char* help = "";             // what the key means
};
std::span<const KxSettingKey> KxSettingKeys();  // every key, in the order a line is read (keys on one line act and note in this order)
const KxSettingKey* KxSettingKeyNamed(const char* key);  // the key of that name, null for none
void ConfigToleranceBand(KxSettings& cfg);  // the chaining's tolerance band follows the element tolerance

bool KxConsole(const KxSettings& cfg);   // true when runs on these settings work for the console program
// --- global settings (settings file) ---
void ConfigReadSettings(KxRun& run, const char* arg);   // derives homepath and reads the settings file, the command line's choices over it
void KxFindLayout(KxRun& run);                  // after homepath: program folder or installed, the output folder and the settings file to read
FILE* KxOpenSettingsFile(KxRun& run);           // opens the settings file the layout names (settingsPath set), null when there is none to read
void KxPlaceOutputs(KxSettings& cfg, const std::string& folder);  // outputs (and the log, unless named) into folder; "" puts them back where the layout says
std::string KxOutputFolder(const KxSettings& cfg);  // where the NC program, log, page and dump go, ending with '/' ("" = the current folder)
std::string KxEditableSettingsFile(KxRun& run, std::string* why);  // the settings file the user may edit: installed, a copy in their own folder (made on first use); "" with why when none can be made
std::vector<std::string> KxDeviceFolders(const KxSettings& cfg);  // the devices folders a short name is looked up in, first first
void KxLogLayout(KxRun& run);                   // installed: names the settings and device files used in the log
std::string KxUserConfigFolder();               // $XDG_CONFIG_HOME/korvex/ (default ~/.config/korvex/), ending with '/'; "" without either
FILE* ConfigOpenFile(KxRun& run, const char* path, const char* what);  // a settings, device or technology file to read; null when it does not exist or (recorded as the refusal) is no readable regular file
void ConfigRefuse(KxRun& run, const char* what, const char* path, const char* reason);  // records why such a file cannot be used (the first refusal of a run is kept)
const char* ConfigRefusal(KxSettings& cfg);        // the recorded refusal as one sentence, "" when every file could be used
void ConfigClearRefusal(KxSettings& cfg);          // forgets the refusal (start of a run, settings read again)
void KxLogSettingNotes(KxRun& run);           // writes the settings file's values that were no number (and kept their key as it was) into the log
float ConfigFloat(const char* text);  // decimal conversion into a float: no number gives 0, cut to the float range
const char* ConfigUnitsSource(const KxSettings& cfg);  // where the chosen drawing units come from: "--units" or "DrawingUnits"
bool ConfigUnits(const char* word, const KxUnit** unit);  // the unit a user names (DrawingUnits, --units; any case), null for "auto"; false for a word that names none
void ForEachTextLine(FILE* f, const std::function<void(char* line)>& use, char comment);  // each line (254 characters at most, no line end) to use; lines starting with comment skipped

// --- device syntax ---
struct devSyntax {
  char Device[32];
  char TechFile[128];
  char RemarkOn[32];
  char RemarkOff[32];
  char SubJump[32];
  char SubReturn[32];
  char WireCut[8];
  char OptStop[32];
  char HoldPoint[32];
  char PrgEnd[8];
  char Angel[8];
  char VReg[8];
  char OffsetR[8];
  char OffsetC[8];
  char NylOffset[8];
  char SingleIsoRad[32];
  char PrgPlane[32];
  char HlpPlane[32];
  char TopPlane[32];
  char ProEpilog[8];
  char EOL[8];
  char Extension[8];
  char AfterRapid[16];
  char WireFeed[32];
  char GenOn[16];
  char GenOff[16];
  char RotateOn[8];
  char RotateOff[8];
  char MirrorOn[8];
  char MirrorOff[8];
  char TechLine[32];
  char Header[180];
  char Footer[180];
  char Reserv_C[8];
  char Reserv_B[8];
  char Reserv_A[8];
  char FourAxisOn[32];   // four-axis cutting on: the upper guide follows the U and V words
  char FourAxisOff[32];  // four-axis cutting off
  char UpperAxes[4];     // the letters of the upper guide's axes, U then V ("UV")
  char UVAbsolute[4];    // "1": U and V are the top point itself; otherwise the top point less the bottom point
  char UpperArc[8];      // the letters of the upper arc's centre (from its start, as I and J); "(na)": arcs go as straight moves
};

std::string NcRemarkText(KxSettings& cfg, const char* text);          // text from outside (drawing, file names, settings) safe inside a remark: whatever would end the remark or the block becomes a blank
void SetDevSyntax(KxRun& run, const char* dev);  // reads a device syntax file into mS, or installs the default syntax
// The file named name: a name longer than kShortDeviceName characters is a full path, a shorter one
// lies in homepath's devices folder (folder: "devices//" for the core's readers, "devices/" for the window).
std::string DeviceFilePath(KxSettings& cfg, const char* name, const char* folder = "devices//");

// --- technology ---
enum dataModus { dmPLATE = 0, dmPIECE = 1 };

struct coTechno {
  int modif;
  int dVMod;
  int dReg;
  int dDLage;
  int dKLage;
  int dQuali;
  int G92Mode;
  int HatRotation;
  float dRotate;
  int HatKonik;
  float dkonik;
  float dPE;
  float dHE;
  float dOE;
  int dLWe;
  int dAktL;
  int dAktR;
  int NoFeed;
  int NoStop;
  int NoCut;
  float dHole;
  float RoughOff;
  float dROff[kRegisterCount];
  float PltX, PltY;
  float KonX, KonY;
  char dInfo[40];
  char sInfo[40];
};

struct eTechnologieData {
  int ist;
  char eTLine[16];
  char eTechn[10];
  float Oft;
  int Verz;
  float Speed;
  char nwd[80];
};


void SetTechData(KxRun& run, const char* tx);                    // fills eTD from the technology file for code tx ("reset": clears)
void CheckTechFile(KxRun& run);                                // refuses the device's technology file when it exists but is no regular file or holds no technology line

// --- front-end bridge (bridge.cpp) ---
// Requests of the bridge: a read hands the value back, the set request (read + 100) takes it.
enum KxBridgeAsk {
  kxASK_SETTINGS_PATH = 9,    // GuiBridgeText only: homepath + ini_filename
  kxASK_ANCHOR = 41,          // backFL: anchorLength
  kxASK_GRID_RADIUS = 42,     // backFL: gridRadius
  kxASK_TOLERANCE = 43,       // backFL: elementTolerance
  kxASK_DATA_MODE = 50,       // backLG: ktechno.G92Mode
  kxASK_HOLE_OFFSET = 51,     // backFL: ktechno.dHole
  kxASK_EXTENSION = 70,       // backCH: mS.Extension
  kxSET = 100,                // added to a read request: the set request of the same value
  kxSET_ANCHOR = kxSET + kxASK_ANCHOR,              // anchorLength from backFL
  kxSET_GRID_RADIUS = kxSET + kxASK_GRID_RADIUS,    // gridRadius from backFL
  kxSET_TOLERANCE = kxSET + kxASK_TOLERANCE,        // elementTolerance and its band from backFL
  kxSET_DATA_MODE = kxSET + kxASK_DATA_MODE,        // ktechno.G92Mode from backLG
  kxSET_HOLE_OFFSET = kxSET + kxASK_HOLE_OFFSET,    // ktechno.dHole from backFL
  kxSET_EXTENSION = kxSET + kxASK_EXTENSION         // mS.Extension from backCH
};
void GuiBridge(KxRun& run, int ask, char* backCH, float* backFL, long* backLG);  // one KxBridgeAsk request; others do nothing
std::string GuiBridgeText(const KxRun& run, int ask);  // the text of a read request (the settings path); "" for others
void ContactInfo(const KxSettings& cfg, FILE* out);   // writes the version line of cfg's flavour to out


// What a run reads: the settings file's values, the names the command line or the
// window chose, the device's machine words and the technology record. A run takes
// a copy, so runs side by side never share one. The fields of the settings keys
// take their defaults from the keys' table (keys.cpp).
struct KxSettings {
  std::string log_filename = "_outlog.txt";  // path of the log file
  std::string ini_filename = "korvex.ini";  // name of the settings file below homepath (a path when it holds a '/')
  std::string homepath = "/boot/home/VL-Source/korvex/";  // folder of the program, ending with its separator
  std::string data_filename{};  // name of the NC program file (DataName)
  int bulkDump = 0;  // 1: write the element dump after the NC program
  int logNameGiven = 0;  // 1 when the command line named the log file; it then wins over the default
  int iniNameGiven = 0;  // 1 when the command line named the settings file; it must then be there
  float elementTolerance{};  // element tolerance: end points this close count as one point (NextElemTol)
  float fPlusTol{};  // upper bound of the tolerance band (= elementTolerance)
  float fMinusTol{};  // lower bound of the tolerance band (= -elementTolerance)
  float gridRadius{};  // grid radius: circles up to it are feed points, larger ones holes (GridRadius)
  float anchorLength{};  // anchor length: longest admissible lead-in path (AnchorLength)
  char edmLayer[80]{};  // main EDM layer (LayerName)
  char optLayer[20]{};  // prefix of optional layers (LayerOptN)
  std::string devTarget = "MAK_EE3.SYN";  // device syntax file: a name in the devices folder or a path
  int globTextInfo{};  // 1: directives and the drawing name go into the NC program as remarks
  int dataInfo{};  // non-zero: additional data remarks in the NC program
  int cancelTextInfo{};  // 0: contour texts are copied as remarks; non-zero: left out
  int OpenDataFile{};  // non-zero: show the NC program to the user after the run
  int autoStartHoles{};  // 1: closed contours without a drawn start hole get one placed by korvex
  int checkProgram{};  // 1: the written program is followed and checked against the drawing (CheckProgram)
  float curveTolerance{};  // largest distance of the arcs that replace an ellipse or spline from the true curve, mm
  float autoHoleDiameter{};  // diameter of the start holes korvex places (AutoStartHoles), mm; at most the grid radius is used
  float threadingTime{};  // minutes the machine takes to thread the wire once, for the machine time
  float rapidFeed{};  // speed of the positioning moves, mm/min, for the machine time
  float wireSpeed{};  // wire run off while cutting, m/min; 0: the wire used is not shown
  char topLayer[80]{};  // TopLayer: layer of the top contours; "" for the main layer's name and "_TOP"
  char syncLayer[80]{};  // SyncLayer: layer of the lines joining points cut together; "" for the main layer's name and "_SYNC"
  float partHeight{};  // PartHeight: distance of the top contours above the bottom ones when no TH= text gives it, mm; 0 none
  float maxTaper{};  // MaxTaper: largest angle of the wire to the vertical in a four-axis cut, degrees
  float chordTolerance{};  // ChordTolerance: largest distance of a four-axis cut's straight moves from the drawn contours, mm
  const KxUnit* drawingUnits{};  // DrawingUnits: the unit every drawing is read in; null (auto): the unit its header declares
  devSyntax mS{};  // the device syntax of the run
  coTechno ktechno{};  // technology record of the run
  std::string settingNotes;   // the settings file's values that were no number, for the log of each run
  std::string configRefusal;   // why a settings, device or technology file cannot be used; "" when all could
  // Where the run lives (layout.cpp): the command line's choices and what the search found.
  bool installed = false;      // no writable program folder with settings: settings searched, outputs into the current folder
  std::string shareDir;        // an installed program's data folder <prefix>/share/korvex/, ending with '/'
  std::string settingsPath;    // the settings file read; "" while none was
  std::string settingsFolder;  // where devices are looked for before the program's or package's own; "" for none
  std::string outputDir;       // installed: the current folder, ending with '/', where outputs go unless --output says otherwise
  std::string outputGiven;     // --output: the folder the user chose; "" when not given
  std::string layerGiven;      // --layer: the main layer whatever LayerName says; "" when not given
  bool autoGiven = false;      // --auto-start-holes: AutoStartHoles on whatever the settings file says
  std::string unitsGiven;      // --units: the unit whatever DrawingUnits says ("auto" included); "" when not given
  int flavour;                 // kxCONSOLE or kxDESKTOP: the program the runs on these settings work for (banner, log name, wording)
  explicit KxSettings(int flavour = 0);   // the values of a fresh program of that flavour (the log's default name follows it)
};
