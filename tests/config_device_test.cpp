// The device syntax file: the built-in syntax, the key and value rules of a
// file, the fields a later file keeps, and the path rule for device names.
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>

#include "config/config.h"
#include "geometry/base.h"
#include "support/support.h"

namespace {

// A program folder with a devices folder; homepath points at it.
struct DeviceFolder : TempDir {
  DeviceFolder() {
    mkdir(File("devices").c_str(), 0755);
    KxCopy(homepath, sizeof homepath, (Path() + "/").c_str());
  }
  void Add(const std::string& name, const std::string& text) { WriteFile(File("devices/" + name), text); }
};

std::string ReadDevice(const std::string& name) {
  ConsoleCapture cap;
  SetDevSyntax(name.c_str());
  return cap.Text();
}

}  // namespace

TEST(ConfigDevice, MissingFileInstallsTheDefaultSyntax) {
  FreshCore();
  DeviceFolder f;
  strcpy(mS.Header, "old header");
  EXPECT_EQ(ReadDevice("MAK_EE3.SYN"), "  SetDevSyntax:  '" + f.Path() + "/devices//MAK_EE3.SYN' \n"
                                       "reset/open Error   now set to: [DefaultSyntax]\n");
  EXPECT_STREQ(mS.TechFile, "DEFAULT.TCH");
  EXPECT_STREQ(mS.MirrorOn, "G71X1Y0");
  EXPECT_STREQ(mS.Header, "");       // an earlier file's words are gone
  EXPECT_STREQ(mS.Reserv_A, "(na)");
}

TEST(ConfigDevice, KeyAndValueRules) {
  FreshCore();
  DeviceFolder f;
  f.Add("A.SYN",
        "$Device \"Test device\"\n"
        "$EOL\n"                               // key without value
        "; $Extension \".bad\"\n"              // comment
        "  x $Extension \".nc\" trailing\n"    // key anywhere, text after the value
        "$RemarkOn \"[\" $RemarkOff \"]\"\n"   // the later key of the table takes the first value
        "$Header \"<A<B|C\"\n"                 // first character stays, then LF and CR
        "$Footer \"open to the end\n"
        "$SubJump \"\"P\"\n"                   // a quote as first character is text
        "$PrgEnd \"M30 and much more\"\n");    // cut to the field
  EXPECT_NE(ReadDevice("A.SYN").find("devices//A.SYN' \n now set to: [Test device]\n"), std::string::npos);
  const char* fields[][2] = {{mS.EOL, "(na)"}, {mS.Extension, ".nc"}, {mS.RemarkOff, "["}, {mS.RemarkOn, ""},
                             {mS.Header, "<A\nB\rC"}, {mS.Footer, "open to the end"}, {mS.SubJump, "\"P"},
                             {mS.PrgEnd, "M30 and"}};
  for (const auto& f : fields) EXPECT_STREQ(f[0], f[1]);
}

TEST(ConfigDevice, WidthsAndASecondFile) {
  FreshCore();
  DeviceFolder f;
  f.Add("FIRST.SYN", "$TechLine \"T O\"\n$Header \"" + std::string(300, 'h') + "\"\n$Footer \"F\"\n");
  f.Add("SECOND.SYN", "$Device \"second\"\n");
  ReadDevice("FIRST.SYN");
  EXPECT_EQ(std::string(mS.Header), std::string(179, 'h'));
  ReadDevice("SECOND.SYN");
  EXPECT_STREQ(mS.TechLine, "T O");  // kept from the first file
  EXPECT_STREQ(mS.Footer, "");       // head and foot belong to each file
}

TEST(ConfigDevice, NamesUpToThirteenCharactersAreLookedUpInDevices) {
  FreshCore();
  DeviceFolder f;
  f.Add("ABCDEFGHI.SYN", "$Device \"thirteen\"\n");
  EXPECT_NE(ReadDevice("ABCDEFGHI.SYN").find("devices//ABCDEFGHI.SYN' \n now set to: [thirteen]"), std::string::npos);
  EXPECT_NE(ReadDevice("ABCDEFGHIJ.SYN").find("  SetDevSyntax:  'ABCDEFGHIJ.SYN' \n"), std::string::npos);
  WriteFile(f.File("ABCDEFGHIJ.SYN"), "$Device \"fourteen\"\n");
  EXPECT_NE(ReadDevice(f.File("ABCDEFGHIJ.SYN")).find("now set to: [fourteen]"), std::string::npos);
}

TEST(ConfigDevice, ShippedDeviceFile) {
  FreshCore();
  KxCopy(homepath, sizeof homepath, (SourceDir() + "/").c_str());
  EXPECT_NE(ReadDevice("MAK_EE3.SYN").find(" now set to: [MAK_EE3 plain ISO]\n"), std::string::npos);
  EXPECT_STREQ(mS.Header, "(KORVEX WIRE EDM);\nG21;\nG40G50G69");
  EXPECT_STREQ(mS.Extension, ".NC");
}
