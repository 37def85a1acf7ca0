// The device syntax file: the built-in syntax, the key and value rules of a
// file, the fields a later file keeps, and the path rule for device names.
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
    FreshCore();
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

TEST(ConfigDevice, KeyAndValueRulesWidthsTheNextFileAndTheBuiltInSyntax) {
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
        "$PrgEnd \"M30 and much more\"\n"      // cut to the field
        "$TechLine \"T O\"\n");
  ReadDevice("A.SYN");
  const char* fields[][2] = {{mS.Device, "Test device"}, {mS.EOL, "(na)"}, {mS.Extension, ".nc"},
                             {mS.RemarkOff, "["}, {mS.RemarkOn, ""}, {mS.Header, "<A\nB\rC"},
                             {mS.Footer, "open to the end"}, {mS.SubJump, "\"P"}, {mS.PrgEnd, "M30 and"}};
  for (const auto& field : fields) EXPECT_STREQ(field[0], field[1]);
  f.Add("LONG.SYN", "$Header \"" + std::string(300, 'h') + "\"\n");
  ReadDevice("LONG.SYN");
  EXPECT_EQ(std::string(mS.Header), std::string(179, 'h'));
  EXPECT_STREQ(mS.TechLine, "T O");   // kept from the first file
  EXPECT_STREQ(mS.Footer, "");        // head and foot belong to each file
  // A missing file installs the built-in syntax; the earlier file's words are gone.
  EXPECT_TRUE(Has(ReadDevice("MAK_EE3.SYN"), "reset/open Error   now set to: [DefaultSyntax]\n"));
  const char* builtIn[][2] = {{mS.TechFile, "DEFAULT.TCH"}, {mS.MirrorOn, "G71X1Y0"}, {mS.Header, ""},
                              {mS.Reserv_A, "(na)"}, {mS.TechLine, "RO T H"}};
  for (const auto& field : builtIn) EXPECT_STREQ(field[0], field[1]);
}

TEST(ConfigDevice, NamesUpToThirteenCharactersAreLookedUpInDevices) {
  DeviceFolder f;
  f.Add("ABCDEFGHI.SYN", "$Device \"thirteen\"\n");
  f.Add("ABCDEFGHIJ.SYN", "$Device \"in devices\"\n");
  WriteFile(f.File("ABCDEFGHIJ.SYN"), "$Device \"fourteen\"\n");
  for (auto [name, device] : {std::pair{std::string("ABCDEFGHI.SYN"), "thirteen"}, {"ABCDEFGHIJ.SYN", "DefaultSyntax"},
                              {f.File("ABCDEFGHIJ.SYN"), "fourteen"}}) {
    ReadDevice(name);
    EXPECT_STREQ(mS.Device, device) << name;
  }
}

TEST(ConfigDevice, ShippedDeviceFile) {
  FreshCore();
  KxCopy(homepath, sizeof homepath, (SourceDir() + "/").c_str());
  ReadDevice("MAK_EE3.SYN");
  EXPECT_STREQ(mS.Device, "MAK_EE3 plain ISO");
  EXPECT_STREQ(mS.Header, "(KORVEX WIRE EDM);\nG21;\nG40G50G69");
  EXPECT_STREQ(mS.Extension, ".NC");
}
