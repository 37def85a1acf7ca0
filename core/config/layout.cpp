// Where a run lives. A program folder that holds its settings and can be written
// (a build folder, a portable copy) keeps settings, devices and outputs together;
// an installed program reads the user's, the system's or the package's settings
// and writes into the current folder, so that any user can run it.
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "config/config.h"
#include "geometry/base.h"
#include "run/run.h"

#ifndef KORVEX_INSTALL_DATADIR
#define KORVEX_INSTALL_DATADIR "/usr/local/share/korvex"
#endif

static const char kDevicesFolder[] = "devices/";
static const char kSystemFolder[] = "/etc/korvex/";

static bool isFolder(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

static bool exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

static std::string withSlash(std::string folder) {
  if (!folder.empty() && folder.back() != '/') folder += '/';
  return folder;
}

// The folder part of a path, ending with '/'; "" for a bare name.
static std::string folderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string KxUserConfigFolder() {
  const char* xdg = getenv("XDG_CONFIG_HOME");
  // Relative values are to be ignored: they would depend on the folder korvex was started in.
  if (xdg && xdg[0] == '/') return withSlash(xdg) + "korvex/";
  // No password-file lookup without HOME: the console program is linked statically.
  const char* home = getenv("HOME");
  if (!home || home[0] != '/') return "";
  return withSlash(home) + ".config/korvex/";
}

// The package's data folder: beside bin/ in the same prefix when it is there
// (the prefix may have moved, or be a staging folder), else where it was installed.
static std::string packageFolder(const std::string& programFolder) {
  std::string beside = programFolder + "../share/korvex/";
  if (char* real = realpath(beside.c_str(), nullptr)) {
    beside = withSlash(real);
    free(real);
    return beside;
  }
  return withSlash(KORVEX_INSTALL_DATADIR);
}

static std::string currentFolder() {
  std::string cwd(PATH_MAX, '\0');
  while (!getcwd(cwd.data(), cwd.size())) {
    if (errno != ERANGE) return "";
    cwd.resize(cwd.size() * 2);
  }
  cwd.resize(strlen(cwd.c_str()));
  return withSlash(cwd);
}

void KxFindLayout(KxRun& run) {
  KxSettings& cfg = run.cfg;
  // The program folder is home when it has its settings (or devices) and can be written.
  const bool ownFolder = exists(cfg.homepath + "korvex.ini") || isFolder(cfg.homepath + kDevicesFolder);
  cfg.installed = !(ownFolder && access(cfg.homepath.c_str(), W_OK) == 0);
  cfg.shareDir = cfg.installed ? packageFolder(cfg.homepath) : "";
  cfg.outputDir = cfg.installed ? currentFolder() : "";
  // A settings file given with its folders is that file, wherever it lies; devices beside it come first.
  cfg.settingsFolder.clear();
  if (cfg.ini_filename.find('/') != std::string::npos) cfg.settingsFolder = folderOf(cfg.ini_filename);
}

// The program folder's own search: the file, else the same name below devices/.
// The name then keeps the devices prefix (once) so that a reload and the bridge look there.
static FILE* openInProgramFolder(KxRun& run) {
  KxSettings& cfg = run.cfg;
  const std::string first = cfg.homepath + cfg.ini_filename;
  KxPrint(run, "\n\nINI-FILE: <%s> ", first.c_str());
  FILE* f = ConfigOpenFile(run, first.c_str(), "settings file");
  if (f || ConfigRefusal(cfg)[0]) {
    if (f) cfg.settingsPath = first;
    return f;
  }
  const std::string second = cfg.homepath + kDevicesFolder + cfg.ini_filename;
  KxPrint(run, "\nINI-FILE: <%s> (sec.try)", second.c_str());
  f = ConfigOpenFile(run, second.c_str(), "settings file");
  if (f) cfg.settingsPath = second;
  // A settings file the user named must be there: a run on the defaults would
  // cut with tolerances and layers nobody chose.
  if (!f && cfg.iniNameGiven) ConfigRefuse(run, "settings file", first.c_str(), "No such file, nor below devices/");
  if (cfg.ini_filename.compare(0, strlen(kDevicesFolder), kDevicesFolder) != 0) cfg.ini_filename.insert(0, kDevicesFolder);
  return f;
}

FILE* KxOpenSettingsFile(KxRun& run) {
  KxSettings& cfg = run.cfg;
  cfg.settingsPath.clear();
  std::vector<std::string> tries;
  if (!cfg.settingsFolder.empty()) tries.push_back(cfg.ini_filename);
  else if (!cfg.installed) return openInProgramFolder(run);
  else {
    if (!KxUserConfigFolder().empty()) tries.push_back(KxUserConfigFolder() + cfg.ini_filename);
    tries.push_back(kSystemFolder + cfg.ini_filename);
    tries.push_back(cfg.shareDir + cfg.ini_filename);
  }

  for (const std::string& path : tries) {
    KxPrint(run, "\n\nINI-FILE: <%s> ", path.c_str());
    FILE* f = ConfigOpenFile(run, path.c_str(), "settings file");
    if (f) {
      cfg.settingsPath = path;
      if (cfg.installed) cfg.settingsFolder = folderOf(path);
      return f;
    }
    if (ConfigRefusal(cfg)[0]) return nullptr;
  }
  if (cfg.iniNameGiven) {
    if (tries.size() == 1) {
      ConfigRefuse(run, "settings file", tries[0].c_str(), strerror(ENOENT));
    } else {
      std::string why = "not found in ";
      for (size_t i = 0; i < tries.size(); ++i) why += (i ? ", " : "") + folderOf(tries[i]);
      ConfigRefuse(run, "settings file", cfg.ini_filename.c_str(), why.c_str());
    }
  }
  return nullptr;
}

// Short names are looked up beside the settings file in use, then in the program's
// (or, installed, the package's) devices folder; a longer text is a path.
std::string DeviceFilePath(KxSettings& cfg, const char* name, const char* folder) {
  if (strlen(name) > (size_t)kShortDeviceName) return name;
  // Two slashes are what the program folder's readers always used; installed paths are shown plainly.
  const char* sub = cfg.installed ? kDevicesFolder : folder;
  const std::string own = (cfg.installed ? cfg.shareDir : cfg.homepath) + sub + name;
  if (cfg.settingsFolder.empty()) return own;
  const std::string beside = cfg.settingsFolder + kDevicesFolder + name;
  return exists(beside) || !exists(own) ? beside : own;
}

void KxPlaceOutputs(KxSettings& cfg, const std::string& folder) {
  cfg.outputGiven = folder;
  if (!cfg.logNameGiven) cfg.log_filename = KxOutputFolder(cfg) + (KxConsole(cfg) ? "_outlog.txt" : "_outlogBe.txt");
}

std::string KxOutputFolder(const KxSettings& cfg) {
  if (!cfg.outputGiven.empty()) return withSlash(cfg.outputGiven);
  return cfg.installed ? cfg.outputDir : cfg.homepath;
}

std::string KxEditableSettingsFile(KxRun& run, std::string* why) {
  KxSettings& cfg = run.cfg;
  const std::string used = cfg.settingsPath.empty() ? cfg.homepath + cfg.ini_filename : cfg.settingsPath;
  if (!cfg.installed || access(used.c_str(), W_OK) == 0) return used;
  // The shipped or the system's file is read-only: the user edits a copy of it in their own folder.
  const std::string folder = KxUserConfigFolder();
  if (folder.empty()) {
    if (why) *why = "neither XDG_CONFIG_HOME nor HOME names a folder for settings";
    return "";
  }
  const std::string mine = folder + "korvex.ini";
  if (exists(mine)) return mine;
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (!ec && !cfg.settingsPath.empty()) std::filesystem::copy_file(cfg.settingsPath, mine, ec);
  else if (!ec) {
    if (FILE* f = fopen(mine.c_str(), "w")) fclose(f);
    else ec.assign(errno, std::generic_category());
  }
  if (ec) {
    if (why) *why = "cannot make " + mine + " (" + ec.message() + ")";
    return "";
  }
  return mine;
}

std::vector<std::string> KxDeviceFolders(const KxSettings& cfg) {
  std::vector<std::string> folders;
  if (!cfg.settingsFolder.empty()) folders.push_back(cfg.settingsFolder + kDevicesFolder);
  const std::string own = (cfg.installed ? cfg.shareDir : cfg.homepath) + kDevicesFolder;
  if (folders.empty() || folders[0] != own) folders.push_back(own);
  return folders;
}

void KxLogLayout(KxRun& run) {
  if (!run.cfg.installed) return;
  KxLog(run, "\n settings file: %s\n device syntax file: %s\n",
        run.cfg.settingsPath.empty() ? "none found, defaults used" : run.cfg.settingsPath.c_str(),
        DeviceFilePath(run.cfg, run.cfg.devTarget.c_str()).c_str());
}
