// Placeholder of the configuration step until the settings, device syntax and
// technology readers land: it derives the program folder and the log name only.
#include <cstring>
#include <unistd.h>

#include "config/config.h"
#include "dxf/dxf.h"
#include "geometry/base.h"

float gNpTolerance = 0.002f, fPlusTol = 0.002f, fMinusTol = -0.002f;
float gStartPosition = 2.605f, gMaxAnkerLen = 4.5f;
char edmLayer[80] = "DXF_MAIN";
char optLayer[20] = "EDMX_";
char gDevTarget[128] = "MAK_EE3.SYN";
int gGlobTextInfo = 0, gDataInfo = 0, gCancelTextInfo = 1, OpenDataFile = 1;
devSyntax mS;
coTechno ktechno;
eTechnologieData eTD[5];

void SetGlobals(const char* arg) {
  KxCopy(homepath, sizeof homepath, arg);
  if (char* p = strrchr(homepath, '\\')) p[1] = '\0';
  if (char* p = strrchr(homepath, '/')) p[1] = '\0';
  if (!strchr(homepath, '/') && !strchr(homepath, '\\')) {
    char exe[sizeof homepath];
    ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n > 0) {
      exe[n] = '\0';
      if (char* p = strrchr(exe, '/')) p[1] = '\0';
      KxCopy(homepath, sizeof homepath, exe);
    }
  }
  if (!gLogNameGiven) {
    KxCopy(log_filename, sizeof log_filename, homepath);
    KxCat(log_filename, sizeof log_filename, "_outlog.txt");
  }
}

void SetDevSyntax(const char*) {}
void SetTechnologie(const char*, long) {}
void SetTechData(const char*) {}
void ResetConfigState() { memset(&ktechno, 0, sizeof ktechno); }
