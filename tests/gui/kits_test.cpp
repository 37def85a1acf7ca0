// The kit below the window: message fields, paths and folder entries, the
// user's settings folder, typed attributes, radio menus, and controls that post
// their message to the window when the user acts on them.
#include <gtest/gtest.h>

#include <QTest>
#include <cstdlib>

#include "gui_support.h"

namespace {

class KitTest : public GuiTest {};

TEST_F(KitTest, MessageFieldsByNameTypeAndIndex) {
  BMessage m('TEST');
  m.AddString("s", "one");
  m.AddString("s", "two");
  m.AddInt32("n", -7);
  entry_ref ref("/tmp/dir", "a.dxf");
  m.AddRef("refs", &ref);
  BMessage copy = m;
  const char* s = nullptr;
  EXPECT_EQ(copy.FindString("s", 1, &s), B_OK);
  EXPECT_STREQ(s, "two");
  EXPECT_EQ(copy.FindString("s", 2, &s), B_NAME_NOT_FOUND);
  EXPECT_EQ(copy.FindString("n", &s), B_NAME_NOT_FOUND);   // another type
  EXPECT_FALSE(copy.HasString("x"));
  int32 n = 0;
  EXPECT_EQ(copy.FindInt32("n", &n), B_OK);
  EXPECT_EQ(n, -7);
  entry_ref back;
  ASSERT_EQ(copy.FindRef("refs", 0, &back), B_OK);
  BPath p;
  EXPECT_EQ(BEntry(&back).GetPath(&p), B_OK);
  EXPECT_STREQ(p.Path(), "/tmp/dir/a.dxf");
  out.Clear();
  copy.PrintToStream();
  EXPECT_EQ(out.Text().rfind("BMessage('TEST') {\n", 0), 0u);
  EXPECT_NE(out.Text().find("n = int32(-7)"), std::string::npos);
}

TEST_F(KitTest, PathsFoldersAndSettingsFolder) {
  BPath p("/a/b/", "c"), up;
  EXPECT_STREQ(p.Path(), "/a/b/c");
  EXPECT_STREQ(p.Leaf(), "c");
  EXPECT_EQ(p.GetParent(&up), B_OK);
  EXPECT_STREQ(up.Path(), "/a/b");
  WriteFile(prog.File("devices/b.syn"), "x");
  BDirectory dir(prog.File("devices").c_str());
  std::string names;
  char name[B_FILE_NAME_LENGTH];
  for (BEntry e; dir.GetNextEntry(&e) == B_OK && e.GetName(name) == B_OK;) names += std::string(name) + ";";
  EXPECT_EQ(names, "DEFAULT.TCH;MAK_EE3.SYN;b.syn;");
  EXPECT_EQ(find_directory(B_USER_SETTINGS_DIRECTORY, &p), B_OK);
  EXPECT_EQ(std::string(p.Path()), config.Path());
  unsetenv("XDG_CONFIG_HOME");
  setenv("HOME", "/home/someone", 1);
  EXPECT_EQ(find_directory(B_USER_SETTINGS_DIRECTORY, &p), B_OK);
  EXPECT_STREQ(p.Path(), "/home/someone/.config");
}

TEST_F(KitTest, AttributesCheckTheirType) {
  WriteFile(prog.File("node"), "");
  BFile f(prog.File("node").c_str(), B_READ_WRITE);
  ASSERT_EQ(f.InitCheck(), B_OK);
  int32 v = 1234, back = 0;
  EXPECT_EQ(f.WriteAttr("n", B_INT32_TYPE, 0, &v, sizeof v), 4);
  EXPECT_EQ(f.ReadAttr("n", B_INT32_TYPE, 0, &back, sizeof back), 4);
  EXPECT_EQ(back, 1234);
  EXPECT_EQ(f.ReadAttr("n", B_BOOL_TYPE, 0, &back, 1), B_BAD_TYPE);
  EXPECT_EQ(f.ReadAttr("missing", B_INT32_TYPE, 0, &back, 4), B_ENTRY_NOT_FOUND);
  EXPECT_EQ(f.RemoveAttr("n"), B_OK);
  EXPECT_EQ(f.ReadAttr("n", B_INT32_TYPE, 0, &back, 4), B_ENTRY_NOT_FOUND);
  EXPECT_LT(BFile("", B_READ_ONLY).ReadAttr("n", B_INT32_TYPE, 0, &back, 4), 0);
}

// A window that records what reaches it.
class Recorder : public BWindow {
 public:
  Recorder() : BWindow(BRect(0, 0, 200, 100), "rec", B_DOCUMENT_WINDOW, 0) {}
  void MessageReceived(BMessage* msg) override { codes.push_back(msg->what); }
  std::vector<uint32> codes;
};

TEST_F(KitTest, ControlsAndMenusPostToTheirWindow) {
  Recorder* w = new Recorder;
  BView* back = new BView(w->Bounds(), "back", B_FOLLOW_ALL);
  w->AddChild(back);
  BCheckBox* box = new BCheckBox(BRect(0, 0, 100, 20), "box", "Box", new BMessage('cbox'));
  BMenu* menu = new BMenu("--not set--");
  menu->SetRadioMode(true);
  menu->SetLabelFromMarked(true);
  BMenuField* field = new BMenuField(BRect(0, 30, 190, 56), "mf", "M:", menu);
  back->AddChild(box);
  back->AddChild(field);
  w->Show();
  Pump();
  EXPECT_EQ(w->FindView("box"), box);
  QTest::mouseClick(box->QtWidget(), Qt::LeftButton, Qt::NoModifier, QPoint(6, 10));
  Pump();
  EXPECT_EQ(box->Value(), 1);
  box->SetValue(0);   // set by the program: no message
  Pump();
  EXPECT_EQ(w->codes, std::vector<uint32>{'cbox'});

  EXPECT_STREQ(field->MenuText(), "--not set--");
  BMenuItem *a = new BMenuItem("a", new BMessage('itma')), *b = new BMenuItem("b", new BMessage('itmb'));
  menu->AddItem(a);
  menu->AddItem(b);
  a->SetMarked(true);
  menu->Invoke(b);
  Pump();
  EXPECT_TRUE(!a->IsMarked());
  EXPECT_TRUE(b->IsMarked());
  EXPECT_STREQ(field->MenuText(), "b");
  EXPECT_EQ(w->codes.back(), (uint32)'itmb');
  delete menu->RemoveItem(1);
  EXPECT_STREQ(field->MenuText(), "--not set--");
  // The close box asks the window; it goes once the request is handled.
  w->QtWidget()->close();
  Pump();
  EXPECT_EQ(BApplication::CountWindows(), 0);
}

}  // namespace
