// Technology texts of the drawing and the technology file: what each keyword
// does to the record, the corrections, both flavours' console texts, and the
// per-cut lines built from the device template.
#include <cstring>
#include <gtest/gtest.h>
#include <string>

#include "config/config.h"
#include "dxf/dxf.h"
#include "geometry/base.h"
#include "support/support.h"

namespace {

// A reset record in the given flavour with the built-in device words.
void FreshTechno(int flavour = kxCONSOLE) {
  FreshCore(flavour);
  KxCopy(homepath, sizeof homepath, "/nonexistent/");
  ConsoleCapture cap;
  SetDevSyntax("NONE.SYN");
  SetTechnologie(nullptr, 0);
}

std::string Apply(const std::string& text) {
  ConsoleCapture cap;
  SetTechnologie(text.c_str(), 7);
  return cap.Text();
}

void UseTechFile(const TempDir& dir, const std::string& text) {
  WriteFile(dir.File("tech.tch"), text);
  KxCopy(mS.TechFile, sizeof mS.TechFile, dir.File("tech.tch").c_str());
}

}  // namespace

TEST(ConfigTechno, ResetAndTheNoKeywordLine) {
  FreshCore();
  ktechno.dHole = 0.25f;
  ktechno.G92Mode = 1;
  ktechno.dROff[3] = 1;
  KxCopy(moveType, sizeof moveType, "G00");
  ConsoleCapture cap;
  SetTechnologie(nullptr, 0);
  EXPECT_EQ(cap.Text(), " SetTechnologie RESET\n");
  EXPECT_EQ(ktechno.dReg, 1);
  EXPECT_EQ(ktechno.dDLage, 42);
  EXPECT_EQ(ktechno.dQuali, 1);
  EXPECT_EQ(ktechno.dKLage, 52);
  EXPECT_FLOAT_EQ(ktechno.dROff[0], 0.25f);
  EXPECT_EQ(ktechno.dROff[3], 0.0f);
  EXPECT_EQ(ktechno.G92Mode, 1);  // kept
  EXPECT_STREQ(moveType, "G01");
  EXPECT_EQ(Apply("plain note Q3 'G41'"), "'plain note Q3 'G41'' =no Keywords return\n");
  EXPECT_EQ(ktechno.modif, 0);
}

// Texts applied in turn to one record: the console text and one decisive value after each.
TEST(ConfigTechno, KeywordsSwitchesAndCorrections) {
  // fresh: a reset record in that flavour first (-1 goes on); text nullptr only checks; printed nullptr is not checked.
  struct { int fresh; const char* text; const char* printed; double (*value)(); double want; } steps[] = {
      {kxCONSOLE, "CQ=7", "[Quality][oops]\n", [] { return (double)ktechno.dQuali; }, 1},
      {-1, "CQ=4", nullptr, [] { return (double)ktechno.dQuali; }, 4},
      {-1, "A=10.5", nullptr, [] { return (double)ktechno.dkonik; }, 10.5},
      {-1, "A=10.6", "[Angle][Ang. oops]\n", [] { return (double)ktechno.dkonik; }, 0},
      {-1, "R=9 OF=0.1", "[Register][Reg. oops][Offset]\n", [] { return (double)ktechno.dROff[2]; }, 0.1},
      // The offset stands before the register: it is not applied.
      {-1, "OF=0.3 R=3", "[Register]\n", [] { return (double)ktechno.dROff[3]; }, 0},
      {kxDESKTOP, "A=11 R=1", "[Angle][oops][Register][oops]\n", [] { return (double)ktechno.dReg; }, 2},
      {kxCONSOLE, "!NOFEED !NOSTOP !NOCUT 'G41' ROT=12.5 ROUGH=0.02", "[NoFeed][NoStop][NoCut][ROTA][+ROUGH]\n",
       [] { return double(ktechno.NoFeed + ktechno.NoStop + ktechno.NoCut + ktechno.HatRotation); }, 4},
      {-1, nullptr, nullptr, [] { return (double)ktechno.dDLage; }, 42},   // the console program ignores 'G41'
      {-1, nullptr, nullptr, [] { return (double)ktechno.RoughOff; }, 0.02},
      {-1, nullptr, nullptr, [] { return (double)ktechno.modif; }, 4},     // ROUGH= does not count
      {-1, "PE=40 HE=20 OE=41", "[PE][HE][OE]\n", [] { return (double)ktechno.dHE; }, 20},
      {-1, nullptr, nullptr, [] { return (double)ktechno.dOE; }, 41},
      {-1, "PE=40", nullptr, [] { return (double)ktechno.HatKonik; }, 1},
      {-1, nullptr, nullptr, [] { return (double)ktechno.dkonik; }, 0.0002},
      {kxDESKTOP, "'G41' !NOSTOP", "[NoStop][G41]\n", [] { return (double)ktechno.dDLage; }, 41},
  };
  for (const auto& s : steps) {
    if (s.fresh >= 0) FreshTechno(s.fresh);
    std::string printed = s.text ? Apply(s.text) : "";
    if (s.printed) {
      EXPECT_EQ(printed, s.printed) << s.text;
    }
    EXPECT_NEAR(s.value(), s.want, 1e-6) << (s.text ? s.text : "(same text)");
  }
}

TEST(ConfigTechno, StarTextsKeepOneOrTwoWords) {
  FreshTechno();
  EXPECT_EQ(Apply("*Die plate"), "[sINFO: 'Die'] \n");
  Apply("*Die plate left side");
  EXPECT_STREQ(ktechno.sInfo, "Die plate");
  Apply("*" + std::string(60, 'n'));
  EXPECT_EQ(std::string(ktechno.sInfo), std::string(38, 'n'));
}

TEST(ConfigTechno, DirectivesInBothFlavours) {
  FreshTechno();
  ktechno.G92Mode = 1;
  EXPECT_EQ(Apply("#DIRECTIVE G92_PIECES PE=50 *Plate 7"),
            "[PE][sINFO: 'Plate'] [DIRECTIVE] '#DIRECTIVE G92_PIECES PE=50 *Plate 7' "
            "[G92Mode=1][PE][dINFO: 'Plate 7'] [DIRECTIVE-end]\n\n");
  EXPECT_FLOAT_EQ(ktechno.dkonik, 0.0002f);  // raised by both readings of PE=
  EXPECT_STREQ(ktechno.dInfo, "Plate 7");

  FreshTechno(kxDESKTOP);
  EXPECT_EQ(Apply("#DIRECTIVE G92_ALL_SEPARAT G92_PLATE HE=9 OE=8"),
            "[HE][OE]#DIRECTIVE G92_ALL_SEPARAT G92_PLATE HE=9 OE=8 [DIRECTIVE][G92Mode=1][G92Mode=0][HE][OE]\n");
  EXPECT_EQ(ktechno.G92Mode, 0);
  for (auto [text, mode] : {std::pair{"#DIRECTIVE G92_ALL_SAME G92_PIECES", 1}, {"#DIRECTIVE", 0}}) {
    Apply(text);
    EXPECT_EQ(ktechno.G92Mode, mode) << text;
  }
}

TEST(ConfigTechno, TechnologyCodeReadsTheFile) {
  FreshTechno();
  TempDir dir;
  UseTechFile(dir, "Q2_AB_1*E1*0.125*7*2.5*\nQ2_AB_2*E2*0.100*8*4.0*\n");
  std::string out = Apply("Q2_AB C");
  EXPECT_EQ(out.find("[TECHDATA: 'Q2_AB C'] "), 0u) << out;
  EXPECT_NE(out.find("[Quality now: 2]\n"), std::string::npos);
  EXPECT_STREQ(eTD[1].nwd, "#0.125 E1 H");
  EXPECT_STREQ(eTD[2].nwd, "#0.100 E2 H");
  EXPECT_STREQ(eTD[0].nwd, "(-missing-TechData- Q2_AB C)");

  // A directive reads its code twice; a quality above 4 falls back to 1.
  out = Apply("#DIRECTIVE Q5_AB");
  EXPECT_EQ(ktechno.dQuali, 1);
  EXPECT_NE(out.find("[TECHDATA: 'Q5_AB'] ", out.find("[TECHDATA: 'Q5_AB'] ") + 1), std::string::npos);
  EXPECT_NE(out.find("[Quality now: 5][oops][DIRECTIVE-end]"), std::string::npos) << out;
}

TEST(ConfigTechno, TechnologyFileLines) {
  FreshTechno();
  TempDir dir;
  UseTechFile(dir,
              "; comment Q9_X without marker\n"
              "Q9_X_A*NA*0.5*1*1.0*\n"
              "Q9_X_S*ES*0.1*2*2.0*\n"
              "Q9_X_1*E1*0.2*3*3.0*\n"              // same entry as _S: overwrites it
              "Q9_X_2*EE2*0.3*\n"                   // fewer stars
              "Q9_X_4*LONGNAME12*0.4*5*6.5* _A*\n"  // _4 wins over _A
              "Q9_X_3*BAD*1*1*1*\nQ9_X_3*E3*\n");   // the later line replaces the whole entry
  KxCopy(mS.TechLine, sizeof mS.TechLine, "R|O|T|V|S|x");
  KxCopy(mS.VReg, sizeof mS.VReg, "@");
  ConsoleCapture cap;
  SetTechData("Q9_X");
  EXPECT_STREQ(eTD[0].nwd, "@|0.500|NA|1|1.0|x");
  EXPECT_STREQ(eTD[1].nwd, "@|0.200|E1|3|3.0|x");
  EXPECT_STREQ(eTD[1].eTLine, "Q9_X_1");
  EXPECT_EQ(eTD[2].ist, 0);
  EXPECT_STREQ(eTD[2].eTechn, "EE2");
  EXPECT_FLOAT_EQ(eTD[2].Oft, 0.3f);
  EXPECT_STREQ(eTD[2].nwd, "(-missing-TechData- Q9_X)");
  EXPECT_EQ(eTD[3].ist, 0);
  EXPECT_EQ(eTD[3].Verz, 0);
  EXPECT_STREQ(eTD[4].nwd, "@|0.400|LONGNAME1|5|6.5|x");
  EXPECT_NE(cap.Text().find("\n in: 1  E|O|V|S|T:'R|O|T|V|S|x' > '@|0.200|E1|3|3.0|x' -ok"),
            std::string::npos) << cap.Text();

  SetTechData("reset");
  for (const auto& e : eTD) EXPECT_STREQ(e.nwd, "(-missing-TechData- reset)");
  // A missing file: said on the console and in the log.
  KxCopy(mS.TechFile, sizeof mS.TechFile, "/nonexistent/tech.tch");
  log_stream = tmpfile();
  cap.Clear();
  SetTechData("Q1_Z");
  EXPECT_EQ(cap.Text(), "  -open Error\n");
  rewind(log_stream);
  char buf[200] = {};
  EXPECT_GT(fread(buf, 1, sizeof buf - 1, log_stream), 0u);
  EXPECT_STREQ(buf, "\n\tSetTechData 'Q1_Z'(err '/nonexistent/tech.tch' )");
  fclose(log_stream);
  log_stream = nullptr;
}

TEST(ConfigTechno, ShippedTechnologyFileWithTheShippedDevice) {
  FreshTechno();
  KxCopy(homepath, sizeof homepath, (SourceDir() + "/").c_str());
  ConsoleCapture cap;
  SetDevSyntax("MAK_EE3.SYN");
  SetTechData("Q3_ST20");
  for (int i = 0; i < 5; ++i) EXPECT_EQ(eTD[i].ist, i < 4 ? 1 : 0) << i;
  EXPECT_STREQ(eTD[1].nwd, "C120 H1 F3.2 (D 0.185)");
}
