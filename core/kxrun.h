// The run object: everything one conversion reads and finds, gathered from the
// subsystems' parts of it. A run is created for one drawing and deleted after it;
// a second run, on this thread or another, shares nothing with it.
#pragma once

#include "config/config.h"
#include "contours/contours.h"
#include "dxf/dxf.h"
#include "elements/elements.h"
#include "geometry/base.h"
#include "nc/nc.h"
#include "report/report.h"

// What single source files keep of a run for themselves (defined there).
struct BridgeState;   // (core/config/bridge.cpp)
struct DevsyntaxState;   // (core/config/devsyntax.cpp)
struct ApproachState;   // (core/contours/approach.cpp)
struct AutostartState;   // (core/contours/autostart.cpp)
struct ChainState;   // (core/contours/chain.cpp)
struct MembersState;   // (core/contours/members.cpp)
struct RegionState;   // (core/contours/region.cpp)
struct StartpointsState;   // (core/contours/startpoints.cpp)
struct BlocksState;   // (core/dxf/blocks.cpp)
struct EntitiesState;   // (core/dxf/entities.cpp)
struct ReaderState;   // (core/dxf/reader.cpp)
struct ScannersState;   // (core/dxf/scanners.cpp)
struct ShapesState;   // (core/dxf/shapes.cpp)
struct SieveState;   // (core/dxf/sieve.cpp)
struct StructureState;   // (core/elements/structure.cpp)
struct TableState;   // (core/elements/table.cpp)
struct ClosedState;   // (core/nc/closed.cpp)
struct DriverState;   // (core/nc/driver.cpp)
struct MulticutState;   // (core/nc/multicut.cpp)

struct KxRun : BaseRun, DxfRun, ElementRun, ContourRun, NcRun, ReportRun {
  KxSettings cfg;   // the settings, device words and technology the run reads (its own copy)
  KxPart<BridgeState> bridgeState;
  KxPart<DevsyntaxState> devsyntaxState;
  KxPart<ApproachState> approachState;
  KxPart<AutostartState> autostartState;
  KxPart<ChainState> chainState;
  KxPart<MembersState> membersState;
  KxPart<RegionState> regionState;
  KxPart<StartpointsState> startpointsState;
  KxPart<BlocksState> blocksState;
  KxPart<EntitiesState> entitiesState;
  KxPart<ReaderState> readerState;
  KxPart<ScannersState> scannersState;
  KxPart<ShapesState> shapesState;
  KxPart<SieveState> sieveState;
  KxPart<StructureState> structureState;
  KxPart<TableState> tableState;
  KxPart<ClosedState> closedState;
  KxPart<DriverState> driverState;
  KxPart<MulticutState> multicutState;
  explicit KxRun(const KxSettings& settings = KxSettings());  // a run on these settings; its conversion starts the layer list from them
};
