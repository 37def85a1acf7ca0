// The configuration readers: the settings file (where it is looked for, how its
// keys are read, the printed settings block, the defaults a reload brings back,
// the values a front end hands over), the device syntax file (the built-in
// syntax, the key and value rules, the fields a later file keeps, the path rule
// for device names) and the technology texts and file (what each keyword does to
// the record, the corrections, the flavours' differences, the per-cut lines built
// from the device template).
#include <cmath>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <variant>

#include "config/config.h"
#include "dxf/dxf.h"
#include "geometry/base.h"
#include "support/support.h"
#include "run/run.h"

static std::string RunSettings(const std::string& path) { return Printed([&] { SetGlobals(TestRun(), path.c_str()); }); }

// Writes the settings file of the program folder dir and reads it.
static std::string WithIni(const TempDir& dir, const std::string& ini) {
  WriteFile(dir.File("korvex.ini"), ini);
  return RunSettings(dir.File("korvex"));
}

static const char kDefaultBlock[] =
    "\n ---Globals:\n  NextElemToleranz: 0.002\n    gStartPosition: 2.605\n"
    "      gMaxAnkerLen: 4.500\n        HoleOffset: -0.002\n          edmLayer: 'DXF_MAIN'\n"
    "          optLayer: 'EDMX_'\n          G92Modus: 'PLATE'\n     data-filename: '_nwd_out'\n\n"
    "   GlobaleTextInfo: '0=No'\tOpenDataFile: '1=Yes'\n"
    "       AddDataInfo: '0=No'\t RemTextInfo: '1=Yes'\n ---Globals end\n";

static std::string ReadDevice(const std::string& name) { return Printed([&] { SetDevSyntax(TestRun(), name.c_str()); }); }

// A reset record in the given flavour with the built-in device words.
static void FreshTechno(int flavour = kxCONSOLE) {
  FreshCore(flavour);
  TestRun().cfg.homepath = "/nonexistent/";
  ConsoleCapture cap;
  SetDevSyntax(TestRun(), "NONE.SYN");
  SetTechnologie(TestRun(), nullptr, 0);
}

static std::string Apply(const std::string& text) { return Printed([&] { SetTechnologie(TestRun(), text.c_str(), 7); }); }

// A whole or a decimal field of the record, and its value.
using Field = std::variant<int*, float*>;
static double ValueOf(Field f) { return std::visit([](auto* p) { return double(*p); }, f); }

TEST(ConfigSettings, ProgramFolderShippedFileAndAMissingFileLookedForBelowDevices) {
  FreshCore();
  RunSettings("C:\\kx\\korvex.exe");
  EXPECT_EQ(TestRun().cfg.homepath, "C:\\kx\\");
  // A bare program name: the folder of the running program.
  RunSettings("korvex");
  EXPECT_TRUE(FileExists(TestRun().cfg.homepath + "korvex_tests"));
  FreshCore();
  std::string shipped = RunSettings(SourceDir() + "/korvex");
  EXPECT_TRUE(Has(shipped, "korvex.ini>  OK\n" + std::string(kDefaultBlock))) << shipped;
  EXPECT_EQ(TestRun().cfg.ini_filename, "korvex.ini");
  const std::string ini = ReadFile(SourceDir() + "/korvex.ini");   // it names every key with a default at it
  for (const KxSettingKey& k : KxSettingKeys())
    EXPECT_TRUE(!k.fallback || Has(ini, "\n" + std::string(k.key) + ": " + k.fallback + "\n")) << k.key;

  // A folder with devices but no settings file is still a program folder.
  FreshCore();
  TempDir dir;
  std::string home = dir.Path() + "/";
  mkdir(dir.File("devices").c_str(), 0755);
  std::string out = RunSettings(home + "korvex");
  EXPECT_EQ(TestRun().cfg.log_filename, home + "_outlog.txt");
  EXPECT_TRUE(Has(out, "INI-FILE: <" + home + "devices/korvex.ini> (sec.try) OPEN ERROR! ...using defaults\n" +
                           kDefaultBlock)) << out;
  EXPECT_EQ(TestRun().cfg.ini_filename, "devices/korvex.ini");
  // The prefix is put before the name once, however often the file is looked for.
  for (int i = 0; i < 3; ++i) RunSettings(home + "korvex");
  EXPECT_EQ(TestRun().cfg.ini_filename, "devices/korvex.ini");

  // The second place is read, and a reload looks there at once.
  FreshCore();
  WriteFile(dir.File("devices/korvex.ini"), "GridRadius: 7\n");
  EXPECT_TRUE(Has(RunSettings(home + "korvex"), "(sec.try) OK\n"));
  EXPECT_FLOAT_EQ(TestRun().cfg.gridRadius, 7.0f);
  EXPECT_FALSE(Has(RunSettings(TestRun().cfg.homepath), "sec.try"));
  EXPECT_EQ(TestRun().cfg.ini_filename, "devices/korvex.ini");
}

// Every key of the table once with a value taken (the block then shows each) and once
// refused (below its lowest, no number, too long: the notes, and the defaults kept).
TEST(ConfigSettings, EveryKeyReadPrintedAndBoundedAndTheNotesOfRefusedValues) {
  FreshCore();
  TempDir dir;
  const std::string taken =
      ";GridRadius: 9\nx ;GridRadius: 3,5\nNextElemTol: 0.01\r\nAnchorLength:   6.25mm\nHoleOffset: 0.01\n"
      "OpenDataFile: 0 AddDataInfo: 3 RemTextInfo: 0 GlobTextInfo: 1\nG92Modus: 1\nDevTarget: '" + std::string(150, 'D') +
      "'\nLayerName: 'A'\nLayerOptN: 'OPT_'\nDataName: '' later'\nAutoStartHoles: 2\nCheckProgram: 1\n"
      "CurveTolerance: 0.00001\nAutoHoleDiameter: 0.5\nThreadingTime: 0\nRapidFeed: 1500\nWireSpeed: 2.55\n"
      "DrawingUnits: 'INCH'\nTopLayer: 'T'\nSyncLayer: 'S'\nPartHeight: 25\nMaxTaper: 5\nChordTolerance: 0.002\n";
  for (const KxSettingKey& k : KxSettingKeys()) EXPECT_TRUE(Has(taken, std::string(k.key) + ":")) << k.key;
  EXPECT_TRUE(Has(WithIni(dir, taken), " OK\n\n ---Globals:\n  NextElemToleranz: 0.010\n    gStartPosition: 3.000\n"
                  "      gMaxAnkerLen: 6.250\n        HoleOffset: 0.010\n          edmLayer: 'A'\n          optLayer: 'OPT_'\n"
                  "          G92Modus: 'PIECES'\n     data-filename: '' later'\n\n   GlobaleTextInfo: '1=Yes'\tOpenDataFile: '0=No'\n"
                  "       AddDataInfo: '3=Yes'\t RemTextInfo: '0=No'\n    AutoStartHoles: '1=Yes'\n      CheckProgram: '1=Yes'\n"
                  "    CurveTolerance: 0.0000\n  AutoHoleDiameter: 0.500\n     ThreadingTime: 0.00\n         RapidFeed: 1500\n"
                  "         WireSpeed: 2.5\n      DrawingUnits: inch\n        PartHeight: 25.000\n          MaxTaper: 5.00\n"
                  "    ChordTolerance: 0.0020\n ---Globals end\n"));
  EXPECT_STREQ(TestRun().cfg.topLayer, "T");
  EXPECT_FLOAT_EQ(TestRun().cfg.fMinusTol, -0.01f);   // the chaining's band follows the tolerance
  EXPECT_EQ(TestRun().cfg.devTarget, std::string(150, 'D'));   // a path, taken whole
  EXPECT_STREQ(TestRun().dxf.fLL[0].Name, "A");   // the main layer enters the layer list

  FreshCore();
  const std::string out = WithIni(dir, "GridRadius: nan\nHoleOffset: 12abc\nNextElemTol:\nAnchorLength: -inf\n"
                                       "OpenDataFile: x AddDataInfo: 2\nRemTextInfo:\nGlobTextInfo: 1.5\nG92Modus: 1.5\n"
                                       "DevTarget: 'open\nLayerOptN: '" + std::string(30, 'P') + "'\nLayerName: '" +
                                       std::string(80, 'L') + "'\nDataName: '\nAutoStartHoles: on\nCheckProgram: 1e3\n"
                                       "CurveTolerance: 1e39\nAutoHoleDiameter: 0\nThreadingTime: -1\nRapidFeed: fast\n"
                                       "RapidFeed: 0\nWireSpeed: -0.1\nDrawingUnits: parsec\n");
  const std::string notes =
      "GridRadius: 'nan' is no number - 2.605 kept\nHoleOffset: '12abc' is no number - -0.002 kept\n"
      "NextElemTol: '' is no number - 0.002 kept\nAnchorLength: '-inf' is no number - 4.500 kept\n"
      "OpenDataFile: 'x' is no whole number - 1 kept\nRemTextInfo: '' is no whole number - 1 kept\n"
      "GlobTextInfo: '1.5' is no whole number - 0 kept\nG92Modus: '1.5' is no whole number - 0 kept\n"
      "LayerOptN: '" + std::string(30, 'P') + "' is longer than 19 characters - 'EDMX_' kept\n"
      "LayerName: '" + std::string(80, 'L') + "' is longer than 79 characters - 'DXF_MAIN' kept\n"
      "AutoStartHoles: 'on' is no whole number - 0 kept\nCheckProgram: '1e3' is no whole number - 0 kept\n"
      "CurveTolerance: '1e39' is no number - 0.0010 kept\nRapidFeed: 'fast' is no number - 2000 kept\n"
      "DrawingUnits: 'parsec' is no unit (" + KxUnitKeys() + ") - auto kept\n";
  std::string block = kDefaultBlock;   // but a sound key on the line of a bad one is taken
  block.replace(block.find("'0=No'\t RemTextInfo"), 6, "'2=Yes'");
  EXPECT_TRUE(Has(out, " OK\n" + notes + block)) << out;
  EXPECT_EQ(TestRun().cfg.devTarget, "MAK_EE3.SYN");   // an unclosed quote leaves the value alone
  // Each conversion's log starts with the notes; a settings file read again forgets them.
  TestRun().io.log_stream = fopen(dir.File("log.txt").c_str(), "w");
  KxLogSettingNotes(TestRun());
  fclose(TestRun().io.log_stream);
  TestRun().io.log_stream = nullptr;
  EXPECT_EQ(ReadFile(dir.File("log.txt")), notes);
  // The first quote of the line feeds every quoted key on it.
  EXPECT_FALSE(Has(WithIni(dir, "LayerName: 'M1' LayerOptN: 'O1'\n"), "kept"));
  EXPECT_STREQ(TestRun().cfg.optLayer, "M1");
}

TEST(ConfigSettings, TheDesktopsReloadAndTheValuesItHandsOver) {
  // The reload brings the defaults back but keeps the device and the mode.
  FreshCore(kxDESKTOP);
  TempDir dir;
  WithIni(dir, "GridRadius: 3\nDevTarget: 'OTHER.SYN'\nG92Modus: 1\nDataName: 'p'\n");
  TestRun().cfg.ktechno.dPE = 99;
  WriteFile(dir.File("korvex.ini"), "; emptied\n");
  RunSettings(TestRun().cfg.homepath);  // the desktop program reloads with the folder itself
  EXPECT_EQ(TestRun().cfg.homepath, dir.Path() + "/");
  EXPECT_FLOAT_EQ(TestRun().cfg.gridRadius, 2.605f);
  EXPECT_EQ(TestRun().cfg.data_filename, "_nwd_out");
  EXPECT_FLOAT_EQ(TestRun().cfg.ktechno.dPE, 30.0f);
  EXPECT_EQ(TestRun().cfg.devTarget, "OTHER.SYN");
  EXPECT_EQ(TestRun().cfg.ktechno.G92Mode, 1);
  // A value the window hands over must be a number.
  for (float typed : {0.005f, NAN, INFINITY}) {
    GuiBridge(TestRun(), kxSET_TOLERANCE, nullptr, &typed, nullptr);
    EXPECT_FLOAT_EQ(TestRun().cfg.elementTolerance, 0.005f) << typed;
  }
}

TEST(ConfigDevice, KeyAndValueRulesWidthsTheNextFileTheBuiltInSyntaxAndThePathRule) {
  FreshCore();
  TempDir dir;
  mkdir(dir.File("devices").c_str(), 0755);
  TestRun().cfg.homepath = dir.Path() + "/";
  WriteFile(dir.File("devices/A.SYN"),
            "$Device \"Test device\"\n"
            "$EOL\n"                               // key without value
            "; $Extension \".bad\"\n"              // comment
            "  x $Extension \".nc\" trailing\n"    // key anywhere, text after the value
            "$RemarkOn \"[\" $RemarkOff \"]\"\n"   // the later key of the table takes the first value
            "$Header \"<A<B|C\"\n"                 // first character stays, then LF and CR
            "$Footer \"open to the end\n"
            "$SubJump \"\"P\"\n"                   // a quote as first character is text
            "$PrgEnd \"M30 and much more\"\n"      // cut to the field
            "$TechLine \"T O\"\n");
  ReadDevice("A.SYN");
  const char* fields[][2] = {{TestRun().cfg.mS.Device, "Test device"}, {TestRun().cfg.mS.EOL, "(na)"}, {TestRun().cfg.mS.Extension, ".nc"},
                             {TestRun().cfg.mS.RemarkOff, "["}, {TestRun().cfg.mS.RemarkOn, ""}, {TestRun().cfg.mS.Header, "<A\nB\rC"},
                             {TestRun().cfg.mS.Footer, "open to the end"}, {TestRun().cfg.mS.SubJump, "\"P"}, {TestRun().cfg.mS.PrgEnd, "M30 and"}};
  for (const auto& field : fields) EXPECT_STREQ(field[0], field[1]);
  WriteFile(dir.File("devices/LONG.SYN"), "$Header \"" + std::string(300, 'h') + "\"\n");
  ReadDevice("LONG.SYN");
  EXPECT_EQ(std::string(TestRun().cfg.mS.Header), std::string(179, 'h'));
  EXPECT_STREQ(TestRun().cfg.mS.TechLine, "T O");   // kept from the first file
  EXPECT_STREQ(TestRun().cfg.mS.Footer, "");        // head and foot belong to each file
  // A missing file installs the built-in syntax; the earlier file's words are gone.
  EXPECT_TRUE(Has(ReadDevice("MAK_EE3.SYN"), "reset/open Error   now set to: [DefaultSyntax]\n"));
  const char* builtIn[][2] = {{TestRun().cfg.mS.TechFile, "DEFAULT.TCH"}, {TestRun().cfg.mS.MirrorOn, "G71X1Y0"}, {TestRun().cfg.mS.Header, ""},
                              {TestRun().cfg.mS.Reserv_A, "(na)"}, {TestRun().cfg.mS.TechLine, "RO T H"}};
  for (const auto& field : builtIn) EXPECT_STREQ(field[0], field[1]);
  // Names up to thirteen characters are looked up in devices/, longer ones are paths.
  WriteFile(dir.File("devices/ABCDEFGHI.SYN"), "$Device \"thirteen\"\n");
  WriteFile(dir.File("devices/ABCDEFGHIJ.SYN"), "$Device \"in devices\"\n");
  WriteFile(dir.File("ABCDEFGHIJ.SYN"), "$Device \"fourteen\"\n");
  for (auto [name, device] : {std::pair{std::string("ABCDEFGHI.SYN"), "thirteen"},
                              {"ABCDEFGHIJ.SYN", "DefaultSyntax"}, {dir.File("ABCDEFGHIJ.SYN"), "fourteen"}}) {
    ReadDevice(name);
    EXPECT_STREQ(TestRun().cfg.mS.Device, device) << name;
  }
}

// The reset keeps the mode and the hole offset; then texts applied in turn to one record: what a
// refused keyword prints, and the values after each text.
TEST(ConfigTechno, ResetKeywordsSwitchesCorrectionsAndDirectives) {
  FreshCore();
  TestRun().nc.techno.dHole = 0.25f;
  TestRun().nc.techno.G92Mode = 1;
  TestRun().nc.techno.dROff[3] = 1;
  KxCopy(TestRun().nc.moveType, sizeof TestRun().nc.moveType, "G00");
  SetTechnologie(TestRun(), nullptr, 0);
  const std::pair<Field, double> values[] = {{&TestRun().nc.techno.dReg, 1}, {&TestRun().nc.techno.dDLage, 42}, {&TestRun().nc.techno.dQuali, 1},
      {&TestRun().nc.techno.dKLage, 52}, {&TestRun().nc.techno.dROff[0], 0.25}, {&TestRun().nc.techno.dROff[3], 0}, {&TestRun().nc.techno.G92Mode, 1}};
  for (const auto& v : values) EXPECT_FLOAT_EQ(ValueOf(v.first), v.second) << "value " << &v - values;
  EXPECT_STREQ(TestRun().nc.moveType, "G01");
  Apply("plain note Q3 'G41'");   // no keyword
  EXPECT_EQ(TestRun().nc.techno.modif, 0);

  struct Value { Field field; double want; };
  // fresh: a reset record in that flavour first (-1 goes on with the record as it is).
  // refused: the whole console text of a text with a refused keyword ("oops"), "" where none is refused.
  const struct { int fresh; const char* text; const char* refused; std::vector<Value> values; } steps[] = {
      {kxCONSOLE, "CQ=7", "[Quality][oops]\n", {{&TestRun().nc.techno.dQuali, 1}}},
      {-1, "CQ=4", "", {{&TestRun().nc.techno.dQuali, 4}}},
      {-1, "A=10.5", "", {{&TestRun().nc.techno.dkonik, 10.5}}},
      {-1, "A=10.6", "[Angle][Ang. oops]\n", {{&TestRun().nc.techno.dkonik, 0}}},
      {-1, "R=9 OF=0.1", "[Register][Reg. oops][Offset]\n", {{&TestRun().nc.techno.dROff[2], 0.1}}},
      {-1, "OF=0.3 R=3", "", {{&TestRun().nc.techno.dROff[3], 0}}},   // an offset before the register is not applied
      {kxDESKTOP, "A=11 R=1", "[Angle][oops][Register][oops]\n", {{&TestRun().nc.techno.dReg, 2}}},
      // The console program ignores 'G41'; ROUGH= does not count as a change.
      {kxCONSOLE, "!NOFEED !NOSTOP !NOCUT 'G41' ROT=12.5 ROUGH=0.02", "",
       {{&TestRun().nc.techno.NoFeed, 1}, {&TestRun().nc.techno.NoStop, 1}, {&TestRun().nc.techno.NoCut, 1}, {&TestRun().nc.techno.HatRotation, 1},
        {&TestRun().nc.techno.dRotate, 12.5}, {&TestRun().nc.techno.dDLage, 42}, {&TestRun().nc.techno.RoughOff, 0.02}, {&TestRun().nc.techno.modif, 4}}},
      {-1, "PE=40 HE=20 OE=41", "", {{&TestRun().nc.techno.dHE, 20}, {&TestRun().nc.techno.dOE, 41}}},
      {-1, "PE=40", "", {{&TestRun().nc.techno.HatKonik, 1}, {&TestRun().nc.techno.dkonik, 0.0002}}},
      {kxDESKTOP, "'G41' !NOSTOP", "", {{&TestRun().nc.techno.dDLage, 41}}},
      {kxDESKTOP, "#DIRECTIVE G92_ALL_SEPARAT G92_PLATE HE=9 OE=8", "",
       {{&TestRun().nc.techno.G92Mode, 0}, {&TestRun().nc.techno.dHE, 9}, {&TestRun().nc.techno.dOE, 8}}},
      {-1, "#DIRECTIVE G92_ALL_SAME G92_PIECES", "", {{&TestRun().nc.techno.G92Mode, 1}}},
      {-1, "#DIRECTIVE", "", {{&TestRun().nc.techno.G92Mode, 0}}},
      // PE= raises the taper in both readings of the text.
      {kxCONSOLE, "#DIRECTIVE G92_PIECES PE=50 *Plate 7", "", {{&TestRun().nc.techno.G92Mode, 1}, {&TestRun().nc.techno.dkonik, 0.0002}}},
  };
  for (const auto& s : steps) {
    if (s.fresh >= 0) FreshTechno(s.fresh);
    std::string printed = Apply(s.text);
    EXPECT_EQ(Has(printed, "oops") ? printed : "", s.refused) << s.text;
    for (const Value& v : s.values) EXPECT_NEAR(ValueOf(v.field), v.want, 1e-6) << s.text << " #" << &v - &s.values[0];
  }
  EXPECT_STREQ(TestRun().nc.techno.dInfo, "Plate 7");   // the directive's star text, and the text's first word
  EXPECT_STREQ(TestRun().nc.techno.sInfo, "Plate");
  Apply("*Die plate left side");   // a star text keeps its first two words, cut to the field
  EXPECT_STREQ(TestRun().nc.techno.sInfo, "Die plate");
  Apply("*" + std::string(60, 'n'));
  EXPECT_EQ(std::string(TestRun().nc.techno.sInfo), std::string(38, 'n'));
}

TEST(ConfigTechno, TechnologyCodesReadTheFile) {
  FreshTechno();
  TempDir dir;
  WriteFile(dir.File("tech.tch"),
            "Q2_AB_1*E1*0.125*7*2.5*\nQ2_AB_2*E2*0.100*8*4.0*\n"
            "; comment Q9_X without marker\n"
            "Q9_X_A*NA*0.5*1*1.0*\n"
            "Q9_X_S*ES*0.1*2*2.0*\n"
            "Q9_X_1*E1*0.2*3*3.0*\n"              // same entry as _S: overwrites it
            "Q9_X_2*EE2*0.3*\n"                   // fewer stars
            "Q9_X_4*LONGNAME12*0.4*5*6.5* _A*\n"  // _4 wins over _A
            "Q9_X_3*BAD*1*1*1*\nQ9_X_3*E3*\n");   // the later line replaces the whole entry
  KxCopy(TestRun().cfg.mS.TechFile, sizeof TestRun().cfg.mS.TechFile, dir.File("tech.tch").c_str());
  Apply("Q2_AB C");
  EXPECT_EQ(TestRun().nc.techno.dQuali, 2);
  EXPECT_STREQ(TestRun().nc.eTD[1].nwd, "#0.125 E1 H");
  EXPECT_STREQ(TestRun().nc.eTD[2].nwd, "#0.100 E2 H");
  EXPECT_STREQ(TestRun().nc.eTD[0].nwd, "(-missing-TechData- Q2_AB C)");
  Apply("#DIRECTIVE Q5_AB");   // a quality above 4 falls back to 1
  EXPECT_EQ(TestRun().nc.techno.dQuali, 1);

  KxCopy(TestRun().cfg.mS.TechLine, sizeof TestRun().cfg.mS.TechLine, "R|O|T|V|S|x");
  KxCopy(TestRun().cfg.mS.VReg, sizeof TestRun().cfg.mS.VReg, "@");
  ConsoleCapture cap;
  SetTechData(TestRun(), "Q9_X");
  const char* texts[][2] = {{TestRun().nc.eTD[0].nwd, "@|0.500|NA|1|1.0|x"}, {TestRun().nc.eTD[1].nwd, "@|0.200|E1|3|3.0|x"},
                            {TestRun().nc.eTD[1].eTLine, "Q9_X_1"}, {TestRun().nc.eTD[2].eTechn, "EE2"},
                            {TestRun().nc.eTD[2].nwd, "(-missing-TechData- Q9_X)"}, {TestRun().nc.eTD[4].nwd, "@|0.400|LONGNAME1|5|6.5|x"}};
  for (const auto& t : texts) EXPECT_STREQ(t[0], t[1]);
  EXPECT_EQ(TestRun().nc.eTD[2].ist, 0);
  EXPECT_FLOAT_EQ(TestRun().nc.eTD[2].Oft, 0.3f);
  EXPECT_EQ(TestRun().nc.eTD[3].ist, 0);
  EXPECT_EQ(TestRun().nc.eTD[3].Verz, 0);

  SetTechData(TestRun(), "reset");
  for (const auto& e : TestRun().nc.eTD) EXPECT_STREQ(e.nwd, "(-missing-TechData- reset)");
  // A missing file: said on the console and in the log.
  KxCopy(TestRun().cfg.mS.TechFile, sizeof TestRun().cfg.mS.TechFile, "/nonexistent/tech.tch");
  TestRun().io.log_stream = fopen(dir.File("log").c_str(), "w");
  cap.Clear();
  SetTechData(TestRun(), "Q1_Z");
  fclose(TestRun().io.log_stream);
  TestRun().io.log_stream = nullptr;
  EXPECT_EQ(cap.Text(), "  -open Error\n");
  EXPECT_EQ(ReadFile(dir.File("log")), "\n\tSetTechData 'Q1_Z'(err '/nonexistent/tech.tch' )");
}
