// Placeholder of the DXF passes until the readers land: the version stays
// unknown and no entity is read.
#include "dxf/dxf.h"

char acad_VersInfo[30] = "....";
int acad_IntVers = 0;
dxfLayerList fLL[kMaxLayers];
int gAktLayEntry = 0;
int gMultiLayer = 1;
int gPositionLayer = 0;
char moveType[8] = "G01";

int getAcadVersion() { return 0; }
int fLayerList(int, int, const char*, long) { return 0; }
int IsValidLayer(int) { return 0; }
int getLayers() { return 0; }
int getElementsPoints(int) { return 0; }
int get1009ElementsFromLayer() { return 0; }
int get1015ElementsFromLayer() { return 0; }
void ResetDxfState() {}
