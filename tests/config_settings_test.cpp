// The settings file: where it is looked for, how its keys are read, the
// printed settings block, the defaults that a reload brings back and the
// values a front end hands over.
#include <cmath>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>

#include "config/config.h"
#include "dxf/dxf.h"
#include "geometry/base.h"
#include "support/support.h"

namespace {

std::string RunSettings(const std::string& programPath) {
  ConsoleCapture cap;
  SetGlobals(programPath.c_str());
  return cap.Text();
}

// Writes the settings file of the program folder dir and reads it.
std::string WithIni(const TempDir& dir, const std::string& ini) {
  WriteFile(dir.File("korvex.ini"), ini);
  return RunSettings(dir.File("korvex"));
}

const char kDefaultBlock[] =
    "\n ---Globals:\n  NextElemToleranz: 0.002\n    gStartPosition: 2.605\n"
    "      gMaxAnkerLen: 4.500\n        HoleOffset: -0.002\n          edmLayer: 'DXF_MAIN'\n"
    "          optLayer: 'EDMX_'\n          G92Modus: 'PLATE'\n     data-filename: '_nwd_out'\n\n"
    "   GlobaleTextInfo: '0=No'\tOpenDataFile: '1=Yes'\n"
    "       AddDataInfo: '0=No'\t RemTextInfo: '1=Yes'\n ---Globals end\n";

}  // namespace

TEST(ConfigSettings, MissingFileKeepsDefaultsAndLooksBelowDevices) {
  FreshCore();
  TempDir dir;
  std::string home = dir.Path() + "/";
  std::string out = RunSettings(home + "korvex");
  EXPECT_EQ(std::string(log_filename), home + "_outlog.txt");
  EXPECT_TRUE(Has(out, "INI-FILE: <" + home + "devices/korvex.ini> (sec.try) OPEN ERROR! ...using defaults\n" +
                           kDefaultBlock)) << out;
  EXPECT_STREQ(ini_filename, "devices/korvex.ini");
  // Each failed first try adds the prefix again, but only while it fits.
  for (int i = 0; i < 20; ++i) RunSettings(home + "korvex");
  EXPECT_EQ(std::string(ini_filename).find("devices/devices/"), 0u);
  EXPECT_NE(std::string(ini_filename).find("korvex.ini"), std::string::npos);

  // The second place is read, and a reload looks there at once.
  FreshCore();
  mkdir(dir.File("devices").c_str(), 0755);
  WriteFile(dir.File("devices/korvex.ini"), "GridRadius: 7\n");
  EXPECT_TRUE(Has(RunSettings(home + "korvex"), "(sec.try) OK\n"));
  EXPECT_FLOAT_EQ(gStartPosition, 7.0f);
  EXPECT_FALSE(Has(RunSettings(homepath), "sec.try"));
  EXPECT_STREQ(ini_filename, "devices/korvex.ini");
}

TEST(ConfigSettings, KeysNumbersCommentsAndQuotedValues) {
  FreshCore();
  TempDir dir;
  std::string out = WithIni(dir, ";GridRadius: 9\nx ;GridRadius: 9\nNextElemTol: 0.01\r\nAnchorLength:   6.25mm\n"
                                 "HoleOffset: none\nOpenDataFile: 0 AddDataInfo: 3 RemTextInfo: 0 GlobTextInfo: 1\n"
                                 "G92Modus: 1\nAnchorLength: 1e999\nLayerName: 'A'\nLayerOptN: 'OPT_\nDataName: '' later'\n"
                                 "DevTarget: '" + std::string(150, 'D') + "'\nLayerOptN: '" + std::string(30, 'P') + "'\n");
  EXPECT_FLOAT_EQ(gStartPosition, 9.0f);  // the semicolon only counts in the first column
  EXPECT_FLOAT_EQ(fMinusTol, -0.01f);     // the chaining's band follows the tolerance
  EXPECT_EQ(gMaxAnkerLen, 0.0f);          // the later line wins; infinity is no number
  EXPECT_EQ(ktechno.dHole, 0.0f);
  for (const char* line : {"  NextElemToleranz: 0.010\n", "          G92Modus: 'PIECES'\n", "   GlobaleTextInfo: '1=Yes'"
                           "\tOpenDataFile: '0=No'\n       AddDataInfo: '3=Yes'\t RemTextInfo: '0=No'\n"})
    EXPECT_TRUE(Has(out, line)) << line;
  EXPECT_STREQ(edmLayer, "A");
  EXPECT_STREQ(fLL[0].Name, "A");  // the main layer enters the layer list
  EXPECT_STREQ(data_filename, "' later");
  EXPECT_EQ(std::string(gDevTarget), std::string(127, 'D'));
  EXPECT_EQ(std::string(optLayer), std::string(19, 'P'));
  // The first quote of the line feeds every quoted key on it.
  WithIni(dir, "LayerName: 'M1' LayerOptN: 'O1'\n");
  EXPECT_STREQ(optLayer, "M1");
}

TEST(ConfigSettings, ReloadRestoresDefaultsButKeepsDeviceAndG92Mode) {
  FreshCore();
  TempDir dir;
  WithIni(dir, "GridRadius: 3\nDevTarget: 'OTHER.SYN'\nG92Modus: 1\nDataName: 'p'\n");
  ktechno.dPE = 99;
  WriteFile(dir.File("korvex.ini"), "; emptied\n");
  RunSettings(homepath);  // the desktop program reloads with the folder itself
  EXPECT_EQ(std::string(homepath), dir.Path() + "/");
  EXPECT_FLOAT_EQ(gStartPosition, 2.605f);
  EXPECT_STREQ(data_filename, "_nwd_out");
  EXPECT_FLOAT_EQ(ktechno.dPE, 30.0f);
  EXPECT_STREQ(gDevTarget, "OTHER.SYN");
  EXPECT_EQ(ktechno.G92Mode, 1);
}

TEST(ConfigSettings, ProgramFolderAndTheShippedFile) {
  FreshCore();
  RunSettings("C:\\kx\\korvex.exe");
  EXPECT_STREQ(homepath, "C:\\kx\\");
  // A bare program name: the folder of the running program.
  RunSettings("korvex");
  EXPECT_TRUE(FileExists(std::string(homepath) + "korvex_tests"));
  FreshCore();
  std::string out = RunSettings(SourceDir() + "/korvex");
  EXPECT_TRUE(Has(out, "korvex.ini>  OK\n" + std::string(kDefaultBlock))) << out;
  EXPECT_STREQ(ini_filename, "korvex.ini");
}

TEST(ConfigSettings, FrontEndValuesThatAreNoNumberAreRefused) {
  FreshCore(kxDESKTOP);
  for (float typed : {0.005f, NAN, INFINITY}) {
    GuiBridge(kxSET_TOLERANCE, nullptr, &typed, nullptr);
    EXPECT_FLOAT_EQ(gNpTolerance, 0.005f) << typed;
  }
}
