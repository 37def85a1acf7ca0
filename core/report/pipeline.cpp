// The middle of every conversion, shared by the console run and the desktop's
// Make: from the entity pass over the rewound drawing to the NC program.
#include "config/config.h"
#include "contours/contours.h"
#include "dxf/dxf.h"
#include "elements/elements.h"
#include "geometry/base.h"
#include "nc/nc.h"
#include "report/report.h"

int ConvertDrawingElements() {
  AddReservedElements();
  getElementsFromLayer();
  AddClosingElements();

  CheckStructs();
  SearchKontur();
  ReorgStructs();

  KxPrint("\n\t = %d OUTLINES\n", gKonturCounter);
  if (gKonturCounter >= 1) {
    SearchStartPoints();
    PlaceAutoStartHoles();
    HolesAndTechno();
    ProbeNwdOut();
  } else {
    KxPrint(" PLEASE CHECK THE EDM-LAYER %c", 7);
  }
  return gKonturCounter;
}
