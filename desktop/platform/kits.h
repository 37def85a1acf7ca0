// The small application, interface and storage kit on which the desktop front
// end is written: messages, loopers, the window and its controls on Qt 6
// Widgets, and files with typed attributes kept as Linux extended attributes.
// Only the operations the front end uses are here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/types.h>
#include <vector>

class QWidget;
class QApplication;

typedef int32_t status_t;
typedef int32_t int32;
typedef uint32_t uint32;
typedef int64_t int64;
typedef int64_t bigtime_t;
typedef uint32_t type_code;

// --- status codes: B_OK, a negated errno from the system, or one of these ---
enum : status_t {
  B_OK = 0,
  B_ERROR = -0x7006,        // failure without a closer reason
  B_NO_INIT = -0x7000,      // the object was never set to a file, folder or path
  B_BAD_TYPE = -0x7001,     // an attribute holds another type than the one asked for
  B_BAD_VALUE = -0x7002,    // an argument or a stored value does not fit
  B_NAME_NOT_FOUND = -0x7003,  // a message has no field of that name (or index)
  B_ENTRY_NOT_FOUND = -0x7004, // no such file, folder or attribute
  B_FILE_EXISTS = -0x7005   // the folder to create is already there
};
const char* kx_strerror(status_t err);  // readable text of a status code

// --- type codes of attributes and message fields ---
enum : type_code {
  B_RECT_TYPE = 'RECT',
  B_BOOL_TYPE = 'BOOL',
  B_STRING_TYPE = 'CSTR',
  B_INT32_TYPE = 'LONG',
  B_FLOAT_TYPE = 'FLOT',
  B_POINTER_TYPE = 'PNTR',
  B_REF_TYPE = 'RREF',
  B_POINT_TYPE = 'BPNT'
};

// --- message codes the kit itself sends ---
enum : uint32 {
  B_QUIT_REQUESTED = '_QRQ',  // ask a window or the application to quit
  B_SIMPLE_DATA = 'DATA',     // files dropped on a window ("refs")
  B_WINDOW_MOVED = '_WMV',    // the window's frame moved ("where")
  B_WINDOW_RESIZED = '_WRS',  // the window's frame was resized ("width", "height")
  B_UNMAPPED_KEY_DOWN = '_UKD'  // a key without character went down ("modifiers", "key")
};

// modifier bits carried by key messages
enum : uint32 { B_SHIFT_KEY = 0x1, B_COMMAND_KEY = 0x2, B_CONTROL_KEY = 0x4, B_LEFT_OPTION_KEY = 0x40 };

void snooze(bigtime_t microseconds);  // pauses the calling thread

// --- geometry ---
struct BPoint {
  float x = 0, y = 0;
  BPoint() = default;
  BPoint(float px, float py) : x(px), y(py) {}
};

struct BRect {
  float left = 0, top = 0, right = -1, bottom = -1;
  BRect() = default;
  BRect(float l, float t, float r, float b) : left(l), top(t), right(r), bottom(b) {}
  float Width() const { return right - left; }    // horizontal extent
  void PrintToStream() const;                      // prints "BRect(l:.., t:.., r:.., b:..)"
};

// --- strings and lists ---
class BString {
 public:
  BString() = default;
  BString(const char* text) : fText(text ? text : "") {}
  const char* String() const { return fText.c_str(); }   // the text, NUL-terminated
  BString& operator=(const char* text) { fText = text ? text : ""; return *this; }
  BString& operator+=(const char* text) { fText += text ? text : ""; return *this; }
 private:
  std::string fText;
};

class BList {
 public:
  bool AddItem(void* item);            // appends item
  void* ItemAt(int32 index) const;     // item at index, null outside the list
  void* RemoveItem(int32 index);       // takes the item out and hands it back
  int32 CountItems() const;            // number of items
  void MakeEmpty();                    // forgets every item (does not free them)
 private:
  std::vector<void*> fItems;
};

// --- files and folders ---
inline constexpr int B_FILE_NAME_LENGTH = 256;
inline constexpr int B_PATH_NAME_LENGTH = 1024;

// A reference to a file: its folder and its name.
struct entry_ref {
  entry_ref() = default;
  entry_ref(const char* dirPath, const char* leaf);
  entry_ref(const entry_ref& other);
  entry_ref& operator=(const entry_ref& other);
  ~entry_ref();
  char* name = nullptr;       // the file's name
  std::string directory;      // the folder the file lies in
  void set_name(const char* leaf);
};

class BPath {
 public:
  BPath() = default;
  BPath(const char* dir, const char* leaf = nullptr);
  status_t SetTo(const char* dir, const char* leaf = nullptr);  // dir, with leaf appended when given
  status_t Append(const char* leaf);        // adds one path component
  status_t GetParent(BPath* parent) const;  // the folder above
  const char* Path() const;                 // the whole path, null when unset
  const char* Leaf() const;                 // last component
  status_t InitCheck() const { return fInit; }
 private:
  std::string fPath;
  status_t fInit = B_NO_INIT;
};

class BEntry {
 public:
  BEntry() = default;
  explicit BEntry(const char* path);
  explicit BEntry(const entry_ref* ref);
  status_t SetTo(const char* path);
  status_t InitCheck() const { return fInit; }
  bool Exists() const;                     // something of that name is there
  bool IsFile() const;                     // a regular file (links followed)
  bool IsDirectory() const;                // a folder (links followed)
  status_t GetPath(BPath* path) const;
  status_t GetName(char* buffer) const;    // buffer of B_FILE_NAME_LENGTH bytes
  status_t GetRef(entry_ref* ref) const;
 private:
  std::string fPath;
  status_t fInit = B_NO_INIT;
};

class BDirectory {
 public:
  BDirectory() = default;
  explicit BDirectory(const char* path);
  status_t SetTo(const char* path);        // reads the folder's entries, sorted by name
  status_t InitCheck() const { return fInit; }
  status_t GetNextEntry(BEntry* entry);    // B_ENTRY_NOT_FOUND after the last one
 private:
  std::string fPath;
  std::vector<std::string> fNames;
  size_t fNext = 0;
  status_t fInit = B_NO_INIT;
};

status_t create_directory(const char* path, mode_t mode);  // creates the folder and the ones above it

// Open modes of BFile.
enum : uint32 {
  B_READ_ONLY = 0x0,
  B_WRITE_ONLY = 0x1,
  B_READ_WRITE = 0x2,
  B_FAIL_IF_EXISTS = 0x100,
  B_CREATE_FILE = 0x200,
  B_ERASE_FILE = 0x400
};

// A file system node with typed attributes. Each attribute is the extended
// attribute "user." + name, whose value is the type code (four bytes, most
// significant first) followed by the data.
class BNode {
 public:
  BNode() = default;
  explicit BNode(const char* path);
  virtual ~BNode();
  status_t SetTo(const char* path);
  void Unset();
  status_t InitCheck() const { return fInit; }
  // Reads at most length bytes of the attribute's data from offset: bytes read, or an error
  // (B_ENTRY_NOT_FOUND when there is none, B_BAD_TYPE when it holds another type).
  ssize_t ReadAttr(const char* name, type_code type, off_t offset, void* buffer, size_t length) const;
  // Writes the attribute with its type code: bytes written, or an error.
  ssize_t WriteAttr(const char* name, type_code type, off_t offset, const void* buffer, size_t length);
  status_t RemoveAttr(const char* name);   // deletes the attribute
 protected:
  std::string fPath;
  int fFd = -1;
  status_t fInit = B_NO_INIT;
};

class BFile : public BNode {
 public:
  BFile() = default;
  BFile(const char* path, uint32 openMode);
  status_t SetTo(const char* path, uint32 openMode);   // opens (and creates) the file
  ssize_t Write(const void* buffer, size_t size);       // at the current position
  ssize_t WriteAt(off_t position, const void* buffer, size_t size);
};

enum directory_which { B_USER_SETTINGS_DIRECTORY = 0 };
// $XDG_CONFIG_HOME, or ~/.config when that is unset; created when create is true.
status_t find_directory(directory_which which, BPath* path, bool create = false);

// --- messages ---
class BMessage {
 public:
  uint32 what = 0;
  BMessage() = default;
  explicit BMessage(uint32 code) : what(code) {}

  status_t AddString(const char* name, const char* text);
  status_t AddInt32(const char* name, int32 value);
  status_t AddFloat(const char* name, float value);
  status_t AddPoint(const char* name, BPoint value);
  status_t AddPointer(const char* name, const void* pointer);
  status_t AddRef(const char* name, const entry_ref* ref);

  status_t FindString(const char* name, const char** text) const;
  status_t FindString(const char* name, int32 index, const char** text) const;
  status_t FindInt32(const char* name, int32* value) const;
  status_t FindFloat(const char* name, float* value) const;
  status_t FindPoint(const char* name, BPoint* value) const;
  status_t FindRef(const char* name, entry_ref* ref) const;
  status_t FindRef(const char* name, int32 index, entry_ref* ref) const;
  bool HasString(const char* name, int32 index = 0) const;

  void PrintToStream() const;   // prints the code and every field

 private:
  struct Field {
    std::string name;
    type_code type;
    std::string text;   // strings; refs: folder path
    std::string leaf;   // refs: file name
    int32 i = 0;
    float f[2] = {0, 0};
    const void* p = nullptr;
  };
  const Field* find(const char* name, type_code type, int32 index) const;
  Field& add(const char* name, type_code type);   // appends an empty field
  std::vector<Field> fFields;
};

class BWindow;
class BLooper;
class KxLooperObject;

// Receives messages; a looper hands every message of its queue to DispatchMessage.
class BLooper {
 public:
  BLooper();
  virtual ~BLooper();
  status_t PostMessage(uint32 code);          // queues a message with that code
  status_t PostMessage(const BMessage* msg);  // queues a copy of msg
  virtual void DispatchMessage(BMessage* msg);   // B_QUIT_REQUESTED asks QuitRequested, the rest goes to MessageReceived
  virtual void MessageReceived(BMessage* msg);   // default: nothing
  virtual bool QuitRequested();                  // default: true
  virtual void Quit() = 0;
 private:
  KxLooperObject* fQueue;
};

// Sends messages to a looper.
class BMessenger {
 public:
  explicit BMessenger(const BLooper* target) : fTarget(const_cast<BLooper*>(target)) {}
  status_t SendMessage(uint32 code) const;
  status_t SendMessage(const BMessage* msg) const;
 private:
  BLooper* fTarget;
};

struct app_info {
  entry_ref ref;          // the running program
  char signature[256];    // the signature given to BApplication
};

// Replaces the program path that app_info reports (tests run the window from a temporary program folder).
void set_app_path(const char* path);

class BApplication : public BLooper {
 public:
  explicit BApplication(const char* signature);
  ~BApplication() override;   // deletes the windows still open
  virtual void Run();         // the message loop, until Quit
  void Quit() override;       // ends the message loop
  status_t GetAppInfo(app_info* info) const;
  static int32 CountWindows();            // windows not yet deleted
  static BWindow* WindowAt(int32 index);
 private:
  QApplication* fOwnQt = nullptr;
  std::string fSignature;
};
extern BApplication* be_app;   // the application object, null before one exists

// --- views ---
enum : uint32 { B_FOLLOW_LEFT_TOP = 0x0, B_FOLLOW_ALL = 0x1 };
enum : uint32 { B_WILL_DRAW = 0x1, B_NAVIGABLE = 0x2 };
enum : uint32 { B_TRUNCATE_BEGINNING = 0, B_TRUNCATE_END = 1, B_TRUNCATE_MIDDLE = 2 };

class BView {
 public:
  BView(BRect frame, const char* name, uint32 resizingMode = B_FOLLOW_LEFT_TOP, uint32 flags = B_WILL_DRAW);
  virtual ~BView();
  void AddChild(BView* child);                 // places child in this view's coordinates
  BView* FindView(const char* name) const;     // this view or a descendant of that name
  BView* Parent() const { return fParent; }
  BWindow* Window() const;                     // the window the view is in, or null
  const char* Name() const { return fName.c_str(); }
  BRect Frame() const;                         // in the parent's coordinates
  BRect Bounds() const;                        // own coordinates
  uint32 ResizingMode() const { return fResizingMode; }
  void SetViewColor(uint8_t r, uint8_t g, uint8_t b);
  void Invalidate();                           // redraws
  void MoveTo(float x, float y);
  void ResizeTo(float width, float height);
  // Shortens text to width pixels of the view's font, the cut marked by an ellipsis.
  void TruncateString(BString* text, uint32 mode, float width) const;
  QWidget* QtWidget() const { return fWidget; }   // the widget that shows the view
 protected:
  BView(BRect frame, const char* name, uint32 resizingMode, QWidget* widget);
  QWidget* fWidget;
 private:
  friend class BWindow;
  std::string fName;
  uint32 fResizingMode;
  BView* fParent = nullptr;
  BWindow* fWindow = nullptr;   // set on views added to the window itself
  std::vector<BView*> fChildren;
};

class BBox : public BView {
 public:
  BBox(BRect frame, const char* name = nullptr);
  void SetLabel(const char* label);   // the title above the box's frame
  const char* Label() const { return fLabel.c_str(); }
 private:
  std::string fLabel;
};

class BStringView : public BView {
 public:
  BStringView(BRect frame, const char* name, const char* text);
  void SetText(const char* text);
  const char* Text() const { return fText.c_str(); }
 private:
  std::string fText;
};

// A control sends a copy of its message, with "source", to its window when the user acts on it.
class BControl : public BView {
 public:
  ~BControl() override;
  void SetLabel(const char* label);
  const char* Label() const { return fLabel.c_str(); }
  virtual void SetValue(int32 value);
  int32 Value() const;
  void SetEnabled(bool on);
  bool IsEnabled() const;
  BMessage* Message() const { return fMessage; }
  status_t Invoke();                  // posts the message to the window
 protected:
  BControl(BRect frame, const char* name, const char* label, BMessage* message, QWidget* widget);
  virtual void ShowLabel() = 0;
  std::string fLabel;
  BMessage* fMessage;
};

class BTextControl : public BControl {
 public:
  BTextControl(BRect frame, const char* name, const char* label, const char* text, BMessage* message);
  void SetText(const char* text);
  const char* Text() const;           // the field's text at this moment
  void SetDivider(float x);           // where the label ends and the field begins
  float Divider() const { return fDivider; }
  QWidget* QtField() const;           // the editable field
 private:
  void ShowLabel() override;
  void layOut();
  QWidget* fLabelView;   // the label left of the divider
  QWidget* fField;       // the line edit right of it
  float fDivider;
  mutable std::string fText;
};

class BCheckBox : public BControl {
 public:
  BCheckBox(BRect frame, const char* name, const char* label, BMessage* message);
 private:
  void ShowLabel() override;
};

class BRadioButton : public BControl {
 public:
  BRadioButton(BRect frame, const char* name, const char* label, BMessage* message);
 private:
  void ShowLabel() override;
};

class BButton : public BControl {
 public:
  BButton(BRect frame, const char* name, const char* label, BMessage* message);
 private:
  void ShowLabel() override;
};

class BMenu;
class BMenuField;

class BMenuItem {
 public:
  BMenuItem(const char* label, BMessage* message);   // takes the message
  ~BMenuItem();
  const char* Label() const { return fLabel.c_str(); }
  BMessage* Message() const { return fMessage; }
  void SetMarked(bool on);     // in a radio menu the other items lose their mark
  bool IsMarked() const { return fMarked; }
  BMenu* Menu() const { return fMenu; }
 private:
  friend class BMenu;
  std::string fLabel;
  BMessage* fMessage;
  bool fMarked = false;
  BMenu* fMenu = nullptr;
};

class BMenu {
 public:
  explicit BMenu(const char* name);   // the name is shown while no item is marked
  ~BMenu();
  const char* Name() const { return fName.c_str(); }
  bool AddItem(BMenuItem* item);      // takes the item
  BMenuItem* RemoveItem(int32 index); // hands the item back to the caller
  BMenuItem* ItemAt(int32 index) const;
  int32 CountItems() const { return (int32)fItems.size(); }
  BMenuItem* FindMarked() const;
  void SetRadioMode(bool on) { fRadio = on; }
  void SetLabelFromMarked(bool on) { fLabelFromMarked = on; }
  bool IsRadioMode() const { return fRadio; }
  void Invoke(BMenuItem* item);       // as if the user chose item: marks it and posts its message
 private:
  friend class BMenuItem;
  friend class BMenuField;
  void changed();
  std::string fName;
  std::vector<BMenuItem*> fItems;
  bool fRadio = false;
  bool fLabelFromMarked = false;
  BMenuField* fField = nullptr;
};

class BMenuField : public BView {
 public:
  BMenuField(BRect frame, const char* name, const char* label, BMenu* menu);   // takes the menu
  ~BMenuField() override;
  BMenu* Menu() const { return fMenu; }
  void SetDivider(float x);
  float Divider() const { return fDivider; }
  void ShowPopUpMarker();     // the arrow that says the field has a menu
  void HidePopUpMarker();
  bool IsPopUpMarkerShown() const { return fMarker; }
  const char* Label() const { return fLabel.c_str(); }
  const char* MenuText() const;   // what the field shows: the marked item or the menu's name
 private:
  friend class BMenu;
  void refresh();
  void popUp();
  void layOut();
  QWidget* fLabelView;   // the label left of the divider
  QWidget* fButton;      // shows the menu text and opens the menu
  BMenu* fMenu;
  std::string fLabel;
  float fDivider;
  bool fMarker = false;
};

// --- windows ---
inline constexpr int32 B_DOCUMENT_WINDOW = 11;
inline constexpr uint32 B_NOT_RESIZABLE = 0x2;
inline constexpr uint32 B_NOT_CLOSABLE = 0x20;
inline constexpr uint32 B_CURRENT_WORKSPACE = 0;

class BWindow : public BLooper {
 public:
  BWindow(BRect frame, const char* title, int32 type, uint32 flags, uint32 workspace = B_CURRENT_WORKSPACE);
  ~BWindow() override;
  void Show();
  void Quit() override;                 // hides the window and deletes it once its message is handled
  void DispatchMessage(BMessage* msg) override;   // also turns moves and resizes into FrameMoved and FrameResized
  virtual void FrameMoved(BPoint where);
  virtual void FrameResized(float width, float height);
  void AddChild(BView* view);           // a view at the top of the window
  BView* FindView(const char* name) const;
  BRect Frame() const;                  // the content area in screen coordinates
  BRect Bounds() const;                 // the content area in own coordinates
  void MoveTo(float x, float y);
  void ResizeTo(float width, float height);
  void SetSizeLimits(float minW, float maxW, float minH, float maxH);
  const char* Title() const { return fTitle.c_str(); }
  QWidget* QtWidget() const;            // the top-level widget
 private:
  friend class KxWindowWidget;
  void layOutViews();
  QWidget* fWidget;
  std::string fTitle;
  std::vector<BView*> fViews;
  bool fQuitting = false;
};
