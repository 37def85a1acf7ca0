// Technology texts of the drawing and the technology file: what each keyword
// does to the record, the corrections, the flavours' differences, and the
// per-cut lines built from the device template.
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

// A whole or a decimal field of the record.
struct Field {
  Field(int* p) : i(p) {}
  Field(float* p) : f(p) {}
  double operator()() const { return i ? *i : *f; }
  int* i = nullptr;
  float* f = nullptr;
};

}  // namespace

TEST(ConfigTechno, ResetKeepsTheModeAndTheHoleOffset) {
  FreshCore();   // the reset keeps the mode and the hole offset
  ktechno.dHole = 0.25f;
  ktechno.G92Mode = 1;
  ktechno.dROff[3] = 1;
  KxCopy(moveType, sizeof moveType, "G00");
  SetTechnologie(nullptr, 0);
  const std::pair<Field, double> values[] = {{&ktechno.dReg, 1}, {&ktechno.dDLage, 42}, {&ktechno.dQuali, 1},
      {&ktechno.dKLage, 52}, {&ktechno.dROff[0], 0.25}, {&ktechno.dROff[3], 0}, {&ktechno.G92Mode, 1}};
  for (const auto& v : values) EXPECT_FLOAT_EQ(v.first(), v.second) << "value " << &v - values;
  EXPECT_STREQ(moveType, "G01");
  Apply("plain note Q3 'G41'");   // no keyword
  EXPECT_EQ(ktechno.modif, 0);
}

// Texts applied in turn to one record: one value after each (text nullptr: the same text's next value).
TEST(ConfigTechno, KeywordsSwitchesCorrectionsAndDirectives) {
  // fresh: a reset record in that flavour first (-1 goes on); printed nullptr is not checked.
  const struct { int fresh; const char* text; const char* printed; Field value; double want; } steps[] = {
      {kxCONSOLE, "CQ=7", "[Quality][oops]\n", &ktechno.dQuali, 1},
      {-1, "CQ=4", nullptr, &ktechno.dQuali, 4},
      {-1, "A=10.5", nullptr, &ktechno.dkonik, 10.5},
      {-1, "A=10.6", "[Angle][Ang. oops]\n", &ktechno.dkonik, 0},
      {-1, "R=9 OF=0.1", "[Register][Reg. oops][Offset]\n", &ktechno.dROff[2], 0.1},
      {-1, "OF=0.3 R=3", "[Register]\n", &ktechno.dROff[3], 0},   // an offset before the register is not applied
      {kxDESKTOP, "A=11 R=1", "[Angle][oops][Register][oops]\n", &ktechno.dReg, 2},
      {kxCONSOLE, "!NOFEED !NOSTOP !NOCUT 'G41' ROT=12.5 ROUGH=0.02", nullptr, &ktechno.NoFeed, 1},
      {-1, nullptr, nullptr, &ktechno.NoStop, 1},
      {-1, nullptr, nullptr, &ktechno.NoCut, 1},
      {-1, nullptr, nullptr, &ktechno.HatRotation, 1},
      {-1, nullptr, nullptr, &ktechno.dRotate, 12.5},
      {-1, nullptr, nullptr, &ktechno.dDLage, 42},   // the console program ignores 'G41'
      {-1, nullptr, nullptr, &ktechno.RoughOff, 0.02},
      {-1, nullptr, nullptr, &ktechno.modif, 4},     // ROUGH= does not count
      {-1, "PE=40 HE=20 OE=41", nullptr, &ktechno.dHE, 20},
      {-1, nullptr, nullptr, &ktechno.dOE, 41},
      {-1, "PE=40", nullptr, &ktechno.HatKonik, 1},
      {-1, nullptr, nullptr, &ktechno.dkonik, 0.0002},
      {kxDESKTOP, "'G41' !NOSTOP", nullptr, &ktechno.dDLage, 41},
      {kxDESKTOP, "#DIRECTIVE G92_ALL_SEPARAT G92_PLATE HE=9 OE=8", nullptr, &ktechno.G92Mode, 0},
      {-1, nullptr, nullptr, &ktechno.dHE, 9},
      {-1, nullptr, nullptr, &ktechno.dOE, 8},
      {-1, "#DIRECTIVE G92_ALL_SAME G92_PIECES", nullptr, &ktechno.G92Mode, 1},
      {-1, "#DIRECTIVE", nullptr, &ktechno.G92Mode, 0},
      {kxCONSOLE, "#DIRECTIVE G92_PIECES PE=50 *Plate 7", nullptr, &ktechno.G92Mode, 1},
      {-1, nullptr, nullptr, &ktechno.dkonik, 0.0002},   // raised by both readings of PE=
  };
  for (const auto& s : steps) {
    if (s.fresh >= 0) FreshTechno(s.fresh);
    std::string printed = s.text ? Apply(s.text) : "";
    if (s.printed) {
      EXPECT_EQ(printed, s.printed) << s.text;
    }
    EXPECT_NEAR(s.value(), s.want, 1e-6) << (s.text ? s.text : "(same text)") << " row " << &s - steps;
  }
  EXPECT_STREQ(ktechno.dInfo, "Plate 7");   // the directive's star text, and the text's first word
  EXPECT_STREQ(ktechno.sInfo, "Plate");
  Apply("*Die plate left side");   // a star text keeps its first two words, cut to the field
  EXPECT_STREQ(ktechno.sInfo, "Die plate");
  Apply("*" + std::string(60, 'n'));
  EXPECT_EQ(std::string(ktechno.sInfo), std::string(38, 'n'));
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
  KxCopy(mS.TechFile, sizeof mS.TechFile, dir.File("tech.tch").c_str());
  Apply("Q2_AB C");
  EXPECT_EQ(ktechno.dQuali, 2);
  EXPECT_STREQ(eTD[1].nwd, "#0.125 E1 H");
  EXPECT_STREQ(eTD[2].nwd, "#0.100 E2 H");
  EXPECT_STREQ(eTD[0].nwd, "(-missing-TechData- Q2_AB C)");
  Apply("#DIRECTIVE Q5_AB");   // a quality above 4 falls back to 1
  EXPECT_EQ(ktechno.dQuali, 1);

  KxCopy(mS.TechLine, sizeof mS.TechLine, "R|O|T|V|S|x");
  KxCopy(mS.VReg, sizeof mS.VReg, "@");
  ConsoleCapture cap;
  SetTechData("Q9_X");
  const char* texts[][2] = {{eTD[0].nwd, "@|0.500|NA|1|1.0|x"}, {eTD[1].nwd, "@|0.200|E1|3|3.0|x"},
                            {eTD[1].eTLine, "Q9_X_1"}, {eTD[2].eTechn, "EE2"},
                            {eTD[2].nwd, "(-missing-TechData- Q9_X)"}, {eTD[4].nwd, "@|0.400|LONGNAME1|5|6.5|x"}};
  for (const auto& t : texts) EXPECT_STREQ(t[0], t[1]);
  EXPECT_EQ(eTD[2].ist, 0);
  EXPECT_FLOAT_EQ(eTD[2].Oft, 0.3f);
  EXPECT_EQ(eTD[3].ist, 0);
  EXPECT_EQ(eTD[3].Verz, 0);

  SetTechData("reset");
  for (const auto& e : eTD) EXPECT_STREQ(e.nwd, "(-missing-TechData- reset)");
  // A missing file: said on the console and in the log.
  KxCopy(mS.TechFile, sizeof mS.TechFile, "/nonexistent/tech.tch");
  log_stream = fopen(dir.File("log").c_str(), "w");
  cap.Clear();
  SetTechData("Q1_Z");
  fclose(log_stream);
  log_stream = nullptr;
  EXPECT_EQ(cap.Text(), "  -open Error\n");
  EXPECT_EQ(ReadFile(dir.File("log")), "\n\tSetTechData 'Q1_Z'(err '/nonexistent/tech.tch' )");
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
