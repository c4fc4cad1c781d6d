// The model state of one engine: what the sheet fills in, the fan, and the
// accumulated results.
//
//   SystemState  - sheet values, surface table and the fan; read-only while
//                  the rays are traced, so that every thread reads the same.
//   SourcePoint  - the source point the last run ended on: the one value a
//                  run leaves behind for the next, whose fan listing prints it.
//   Results      - the grids and totals, grown in a fixed order.
//
// Everything starts zeroed and persists between runs of one engine: a run
// overwrites what it reads and leaves the rest as the previous run left it.
// The rays in flight live in the tracer's blocks (trace/ray_block.h), not
// here.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "model/limits.h"
#include "varnock/varnock.h"

namespace varnock {

using SurfaceArray = std::array<double, NUMB>;
using Grid = GridValues;

// Run parameters, written by the sheet reader at every run.
struct RunParams {
  double THMIN = 0;  // polar angle of the first fan cone, rad
  double THMAX = 0;  // polar angle of the last fan cone, rad
  int NPHI = 0;      // azimuths that a cone at 90 degrees receives
  int NTH = 0;       // polar steps of the fan (NTH + 1 cones)
  double RSRC = 0;   // radius of the source ring
  double WSCAN = 0;  // width of the axial scan
  int NRING = 0;     // source points on the ring
  int NSCAN = 0;     // axial scan steps
  double DXY = 0;    // cell pitch of IXY, length unit
  double DUV = 0;    // cell pitch of IUV and IUV_P, rad
  int SELI = 0;      // x cell of IXY whose rays feed IUV_P
  int SELJ = 0;      // y cell of that cell
  int NSURF = 0;     // number of surfaces, 0..100 once read
  int NSET = 0;      // number of index sets, at most 20
};

// Surface table, per surface s = 0..100 (0 is the source plane).
struct SurfaceTable {
  SurfaceArray CV{};  // curvature 1/R (ellipsoid: first focal distance)
  SurfaceArray TH{};  // axial distance to the next vertex
  SurfaceArray DX{};  // x decentre
  SurfaceArray DY{};  // y decentre
  std::array<int, NUMB> STYPE{};  // surface type code
  SurfaceArray PA{};  // first type parameter
  SurfaceArray PB{};  // second type parameter
  // RN[w][s]: index of the medium after surface s in set w = 1..NSET.
  // Row 0 is not kept here: each surface step is handed its two indices.
  std::array<SurfaceArray, MAX_INDEX_SETS + 1> RN{};
};

// The fan of ray directions. Slot n = 1..NRAY holds fan ray n; slot 0 is
// never used, so the ray numbers match the listing. Beside the angles it
// keeps what every source position reuses: their tangents (the first
// surface step's) and the unit direction's x and y components, from which
// a ray's weight at a source point is one product each.
struct FanTable {
  std::vector<double> UFAN{0.0};
  std::vector<double> VFAN{0.0};
  std::vector<double> TU{0.0}, TV{0.0};  // tan UFAN, tan VFAN
  std::vector<double> EX{0.0}, EY{0.0};  // tan / sqrt((1 + tu^2) + tv^2)
  int NRAY = 0;
};

// Everything a source-position pass reads and none of it writes.
struct SystemState {
  double PI = 0;
  RunParams params;
  SurfaceTable surf;
  // Centre of the source ring; nothing sets it, so the ring is on the axis.
  double XC0 = 0;
  double YC0 = 0;
  FanTable fan;
};

// Where the last source position of a run lay; z is always 0.
struct SourcePoint {
  double X = 0, Y = 0;
};

// Accumulated results of one run.
struct Results {
  Grid IXY{};    // [x cell][y cell]
  Grid IUV{};    // [U cell][V cell]
  Grid IUV_P{};  // like IUV, for rays landing in cell (SELI, SELJ)
  double TOTAL = 0;  // weight of every traced ray
  double TRANS = 0;  // sum of IXY, formed by the report
  double RATIO = 0;  // TRANS / TOTAL, formed by the report
  // Rays that landed in each cell, beside the weights; the files ignore them.
  GridCounts IXY_rays{}, IUV_rays{}, IUV_P_rays{};
};

struct Model {
  SystemState sys;
  SourcePoint last_source;
  Results res;
};

}  // namespace varnock
