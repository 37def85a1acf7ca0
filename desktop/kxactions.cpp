// The window's real work: the device menu from the devices folder, the core's
// values shown in the controls, the layers of a dropped drawing, the user's
// choices, and the whole conversion run started with the Make button.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "config/config.h"
#include "contours/contours.h"
#include "dxf/dxf.h"
#include "elements/elements.h"
#include "frontend.h"
#include "geometry/base.h"
#include "nc/nc.h"
#include "parts.h"
#include "preview.h"
#include "report/report.h"
#include "kxrun.h"

BList pLayList;

// One run at a time: each reading of the drawing and each Make starts a new one,
// so nothing of an earlier reading stays in its tables.
static std::unique_ptr<KxRun> gDeskRun;

KxRun& DeskRun() {
  if (!gDeskRun) gDeskRun = std::make_unique<KxRun>();
  return *gDeskRun;
}

void ForgetDeskRun() { gDeskRun.reset(); }

void NewDeskRun() {
  auto next = std::make_unique<KxRun>(DeskRun().cfg);
  next->in_filename = DeskRun().in_filename;
  next->gLayerNameHook = DeskRun().gLayerNameHook;
  next->gConsoleSink = DeskRun().gConsoleSink;
  gDeskRun = std::move(next);
}

void AddDrawingLayer(const char* name) { pLayList.AddItem(new BString(name)); }

void ClearDrawingLayers() {
  for (int32 i = 0; i < pLayList.CountItems(); ++i) delete static_cast<BString*>(pLayList.ItemAt(i));
  pLayList.MakeEmpty();
}

// Empties a menu, deleting its items.
static void emptyMenu(BMenu* menu) {
  for (int32 i = menu->CountItems() - 1; i >= 0; --i) delete menu->RemoveItem(i);
}

void KXWindow::LookForSynFiles() {
  KxPrint(DeskRun(), " LookForSynFiles: ");
  const std::string devFolder = DeskRun().cfg.homepath + "devices";
  BMenu* menu = fDevField ? fDevField->Menu() : nullptr;
  if (!menu) {
    KxPrint(DeskRun(), ".. no Menu\n");
    return;
  }
  KxPrint(DeskRun(), " clear List first... %ld Items\n", (long)menu->CountItems());
  for (int32 i = menu->CountItems() - 1; i >= 0; --i) {
    delete menu->RemoveItem(i);
    snooze(500);
  }
  KxPrint(DeskRun(), " :%ld Items in dLMen\n", (long)menu->CountItems());

  float width = fDevField->Bounds().Width() - fDevField->Divider() - 36;
  BDirectory dir(devFolder.c_str());
  BEntry entry;
  while (dir.GetNextEntry(&entry) == B_OK) {
    if (!entry.IsFile()) continue;
    char name[B_FILE_NAME_LENGTH];
    entry.GetName(name);
    if (!strstr(name, ".SYN") && !strstr(name, ".syn")) continue;
    BPath path;
    entry.GetPath(&path);
    BMessage* msg = new BMessage(kxMSG_DEVICE);
    msg->AddString("kxPath", path.Path());
    BString label(path.Path());
    fDevField->TruncateString(&label, B_TRUNCATE_BEGINNING, width);
    menu->AddItem(new BMenuItem(label.String(), msg));
  }
  if (menu->CountItems() > 0) fDevField->ShowPopUpMarker();
  else fDevField->HidePopUpMarker();
}

// The item of the device in force: its label shows the name, its message holds the full path.
void KXWindow::markDevice() {
  BMenu* menu = fDevField->Menu();
  BMenuItem* hit = nullptr;
  const char* device = DeskRun().cfg.gDevTarget.c_str();
  size_t want = DeskRun().cfg.gDevTarget.size();
  for (int32 i = 0; i < menu->CountItems() && !hit && want > 0; ++i) {
    BMenuItem* item = menu->ItemAt(i);
    const char* path = nullptr;
    item->Message()->FindString("kxPath", &path);
    size_t have = path ? strlen(path) : 0;
    bool pathEnds = have >= want && strcmp(path + have - want, device) == 0 &&
                    (have == want || path[have - want - 1] == '/');
    if (strstr(item->Label(), device) || pathEnds) hit = item;
  }
  if (hit) {
    hit->SetMarked(true);
  } else if (BMenuItem* marked = menu->FindMarked()) {
    marked->SetMarked(false);
  }
}

void KXWindow::SetGuiValues(BMessage*) {
  char text[96];
  snprintf(text, sizeof text, "%.3f", DeskRun().cfg.gNpTolerance);
  fTolerance->SetText(text);
  snprintf(text, sizeof text, "%.3f", DeskRun().cfg.gStartPosition);
  fGridRadius->SetText(text);
  snprintf(text, sizeof text, "%.3f", DeskRun().cfg.gMaxAnkerLen);
  fAnchor->SetText(text);
  fOutName->SetText(DeskRun().cfg.data_filename.c_str());

  fGlobInfo->SetValue(DeskRun().cfg.gGlobTextInfo);
  fDataInfo->SetValue(DeskRun().cfg.gDataInfo);
  fRemarkInfo->SetValue(DeskRun().cfg.gCancelTextInfo);
  fOpenData->SetValue(DeskRun().cfg.OpenDataFile);
  if (fParts) fParts->ShowSettings();

  float hole = 0;
  GuiBridge(DeskRun(), kxASK_HOLE_OFFSET, nullptr, &hole, nullptr);
  snprintf(text, sizeof text, "%+.3f", hole);
  fHoleOffset->SetText(text);

  long mode = 0;
  GuiBridge(DeskRun(), kxASK_DATA_MODE, nullptr, nullptr, &mode);
  fPlate->SetValue(mode == 0);
  fPiece->SetValue(mode != 0);

  fOptLayer->SetText(DeskRun().cfg.optLayer);
  SetDevSyntax(DeskRun(), DeskRun().cfg.gDevTarget.c_str());

  fIniPath = GuiBridgeText(DeskRun(), kxASK_SETTINGS_PATH);
  const char* ini = fIniPath.c_str();
  KxPrint(DeskRun(), " GuiBridge: '%s' \n", ini);
  fIniBox->SetLabel(ini);
  // Looked at, not opened: opening a pipe would wait for a writer.
  struct stat st;
  fIniOpen->SetEnabled(stat(ini, &st) == 0 && S_ISREG(st.st_mode) && access(ini, R_OK) == 0);

  markDevice();
  char ext[sizeof DeskRun().cfg.mS.Extension];
  GuiBridge(DeskRun(), kxASK_EXTENSION, ext, nullptr, nullptr);
  fExtension->SetText(ext);

  // Until a drawing is read, the layer menu offers the main layer alone.
  BMenu* layers = fLayerField->Menu();
  emptyMenu(layers);
  BMessage* msg = new BMessage(kxMSG_LAYER);
  msg->AddInt32("dLayer", 0);
  msg->AddString("LName", DeskRun().cfg.edmLayer);
  BMenuItem* item = new BMenuItem(DeskRun().cfg.edmLayer, msg);
  layers->AddItem(item);
  item->SetMarked(true);
}

void KXWindow::LookDxfLayers(int mode) {
  BMenu* menu = fLayerField->Menu();
  if (mode == 0) {
    KxPrint(DeskRun(), "L:%d items  (modus 0 - clear)\n", (int)pLayList.CountItems());
    ClearDrawingLayers();
    emptyMenu(menu);
    fLayerField->HidePopUpMarker();
    fBack->Invalidate();
    return;
  }

  // The list holds the layers of this reading alone.
  ClearDrawingLayers();
  NewDeskRun();
  if (KxRewindDrawing(DeskRun())) KxReadLayers(DeskRun());
  int n = (int)pLayList.CountItems();
  KxPrint(DeskRun(), "L:%d items\n", n);
  KxPrint(DeskRun(), "L:%d items  (modus x - clear MenuItems)\n", n);
  emptyMenu(menu);
  for (int32 i = 0; i < pLayList.CountItems(); ++i) {
    const char* name = static_cast<BString*>(pLayList.ItemAt(i))->String();
    BMessage* msg = new BMessage(kxMSG_LAYER);
    msg->AddInt32("dLayer", i);
    msg->AddString("LName", name);
    BMenuItem* item = new BMenuItem(name, msg);
    menu->AddItem(item);
    if (strcmp(name, DeskRun().cfg.edmLayer) == 0) {
      item->SetMarked(true);
      KxPrint(DeskRun(), "%s %p   marked MenuItem\n", name, (void*)item);
    }
  }
  if (mode == 1 && menu->CountItems() > 0) fLayerField->ShowPopUpMarker();
  fBack->Invalidate();
}

void KXWindow::deviceChosen(BMessage* msg) {
  const char* path = nullptr;
  if (msg->FindString("kxPath", &path) != B_OK) return;
  DeskRun().cfg.gDevTarget = path;
  KxPrint(DeskRun(), " > gDevTarget :'%s'\n", path);
  SetDevSyntax(DeskRun(), path);
  char ext[sizeof DeskRun().cfg.mS.Extension];
  GuiBridge(DeskRun(), kxASK_EXTENSION, ext, nullptr, nullptr);
  fExtension->SetText(ext);
}

void KXWindow::layerChosen(BMessage* msg) {
  const char* name = nullptr;
  if (msg->FindString("LName", &name) != B_OK) return;
  KxCopy(DeskRun().cfg.edmLayer, sizeof DeskRun().cfg.edmLayer, name);
  KxPrint(DeskRun(), "edmLayer: '%s'\n", DeskRun().cfg.edmLayer);
  // The layer field is the menu field: the chosen item is marked and shown there.
  BMenu* menu = fLayerField->Menu();
  for (int32 i = 0; i < menu->CountItems(); ++i) {
    if (strcmp(menu->ItemAt(i)->Label(), DeskRun().cfg.edmLayer) == 0) {
      menu->ItemAt(i)->SetMarked(true);
      break;
    }
  }
}

void KXWindow::filesDropped(BMessage* msg) {
  int kind = 0;
  std::string chosen;
  entry_ref ref;
  for (int32 i = 0; msg->FindRef("refs", i, &ref) == B_OK; ++i) {
    BEntry entry(&ref);
    BPath path;
    entry.GetPath(&path);
    const char* p = path.Path() ? path.Path() : "";
    KxPrint(DeskRun(), " > '%s' '%s'\n", ref.name, p);
    int k = strstr(ref.name, ".dxf") ? 1 : strstr(ref.name, ".DXF") ? 2 : 0;
    // What is refused leaves the chosen drawing as it is, and shown as it is.
    if (k == 0) {
      const std::string why = std::string("'") + ref.name + "' refused: the name does not end in .dxf";
      if (fParts) fParts->ShowResult(why.c_str(), true);
      continue;
    }
    // A drawing that cannot be opened is chosen all the same: it must not leave the one before to a Make.
    if (access(p, R_OK) != 0) {
      forgetDrawing(p, strerror(errno));
      kind = 0;
      continue;
    }
    // Refused before it replaces the chosen drawing: a text file or an empty one is no drawing.
    char reason[256];
    if (DxfWhyNotADrawing(DeskRun(), p, reason, sizeof reason)) {
      KxPrint(DeskRun(), " refused: %s\n", reason);
      if (fParts) fParts->ShowResult((std::string("'") + ref.name + "' refused: " + reason).c_str(), true);
      continue;
    }
    chosen = p;
    kind = k;
  }
  if (kind != 0) {
    DeskRun().in_filename = chosen;
    LookDxfLayers(0);
    const char* drawing = DeskRun().in_filename.c_str();
    DxfOpenDrawing(DeskRun(), drawing);
    const int err = errno;
    KxPrint(DeskRun(), "  INFILE: <%s> ", drawing);
    if (!DeskRun().i_stream) {
      KxPrint(DeskRun(), "open error");
      forgetDrawing(drawing, DxfOpenRefusal(DeskRun()) ? DxfOpenRefusal(DeskRun()) : strerror(err));
    } else {
      fDxfView->SetText(drawing);
      fMake->SetLabel(getLabel(kxLBL_MAKE));
      fHaveDrawing = true;
      fMake->SetEnabled(true);
      LookDxfLayers(1);
      if (fParts) fParts->ShowResult("Drawing read; choose the layer and press Make.", false);
      previewDrawing();
    }
  }
  fBack->Invalidate();
  KxPrint(DeskRun(), " [%d]\n", kind);
}

// The drawing named is the one chosen now, but unreadable: Make stays off, and
// neither its name nor its layers nor its picture are left of the drawing before.
void KXWindow::forgetDrawing(std::string path, const char* reason) {
  const std::string line = "'" + path + "' cannot be opened (" + reason + ") - no drawing chosen";
  KxPrint(DeskRun(), " %s\n", line.c_str());
  DeskRun().in_filename = path;
  if (DeskRun().i_stream) DxfCloseDrawing(DeskRun());
  NewDeskRun();
  fHaveDrawing = false;
  fMake->SetEnabled(false);
  LookDxfLayers(0);
  fDxfView->SetText(path.c_str());
  if (!fParts) return;
  fParts->Preview()->Clear();
  fParts->ShowResult(line.c_str(), true);
}

void KXWindow::openSettingsFile() {
  const char* path = GuiBridgeText(DeskRun(), kxASK_SETTINGS_PATH);
  KxPrint(DeskRun(), "(BeOS) '%s' \n", path);
  KxOpenForUser(DeskRun(), path);
}

// The device file as the syntax reader finds it: a short name lies in the devices folder.
void KXWindow::openDeviceFile() {
  KxPrint(DeskRun(), " >OPEN: '%s'\n", DeskRun().cfg.gDevTarget.c_str());
  const std::string path = DeviceFilePath(DeskRun().cfg, DeskRun().cfg.gDevTarget.c_str(), "devices/");
  KxPrint(DeskRun(), "(BeOS) '%s' \n", path.c_str());
  KxOpenForUser(DeskRun(), path.c_str());
}

void KXWindow::closeStreams() {
  if (DeskRun().log_stream) {
    fprintf(DeskRun().log_stream, "\n\n");
    fflush(DeskRun().log_stream);
    fclose(DeskRun().log_stream);
  } else {
    KxPrint(DeskRun(), " bad LOG_STREAM\n");
  }
  DeskRun().log_stream = nullptr;
  if (DeskRun().i_stream) DxfCloseDrawing(DeskRun());
  else KxPrint(DeskRun(), " bad IN_STREAM\n");
  DeskRun().i_stream = nullptr;
}

void KXWindow::MakeNwdFile() {
  KxPrint(DeskRun(), "\n\n:: MakeNwdFile() \n");
  NewDeskRun();   // the conversion's own run: nothing of the preview's reading in its tables

  if (DeskRun().log_stream) fclose(DeskRun().log_stream);
  const char* log = DeskRun().cfg.log_filename.c_str();
  KxPrint(DeskRun(), "\n LOGFILE: <%s> ", log);
  // Never over the drawing, never through a link at its name; the run goes on without a log.
  std::string why;
  if (KxIsDrawing(DeskRun(), log))
    why = "the log '" + DeskRun().cfg.log_filename + "' is the drawing itself - not opened, the drawing is left as it is";
  else DeskRun().log_stream = KxOpenLog(log, &why);
  if (!DeskRun().log_stream) KxPrint(DeskRun(), "open error: %s\n", why.c_str());

  // Each Make reads the drawing anew from disk: it may have been changed since the drop.
  int status = kxSTATUS_NO_DRAWING;
  if (DxfOpenDrawing(DeskRun(), DeskRun().in_filename.c_str())) status = KxConvertDrawing(DeskRun());
  else {
    KxPrint(DeskRun(), "open error\n");
    NewDeskRun();   // the counts and the picture of an earlier Make are not this drawing's
  }
  closeStreams();

  fDxfView->SetText((DeskRun().in_filename + " (done)").c_str());
  // The drawing stays chosen: after a change of layer, device or setting it is made again.
  fMake->SetLabel(getLabel(kxLBL_MAKE));
  refreshMake();
  showRun(status);
}

void KXWindow::refreshMake() {
  if (fHaveDrawing) fMake->SetEnabled(true);
}

void KXWindow::showRun(int status) {
  KxRunResult r;
  KxDescribeRun(status, &r);
  if (!fParts) return;
  fParts->ShowResult(r.words.c_str(), r.error);
  fParts->Preview()->ShowProgram(DeskRun().gToolpath);
}

// The elements of the chosen layer as the conversion reads them, before anything is cut.
void KXWindow::previewDrawing() {
  if (!fParts || !fHaveDrawing) return;
  NewDeskRun();
  if (!DxfOpenDrawing(DeskRun(), DeskRun().in_filename.c_str())) return;
  // The layer menu is filled already; this reading only sets up the core's layer list.
  KxLayerNameFn hook = DeskRun().gLayerNameHook;
  DeskRun().gLayerNameHook = nullptr;
  int status = KxReadDrawing(DeskRun());
  DeskRun().gLayerNameHook = hook;
  if (status != kxSTATUS_OK) return;
  fParts->Preview()->ShowDrawing();
}

bool KXWindow::QuitRequested() {
  free(fProgramFolder);
  fProgramFolder = nullptr;
  closeStreams();
  BMessenger(be_app).SendMessage(B_QUIT_REQUESTED);
  return true;
}
