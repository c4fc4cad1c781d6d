// The model state of one engine: what the sheet fills in, the fan, the ray
// being traced and the accumulated results.
//
// It is split by who may write what while the source-position passes run:
//   SystemState  - sheet values, surface table, vertex positions of the
//                  current scan step and the fan; read-only during a pass.
//   RayState     - the one ray being traced: its tables at every surface,
//                  RAYOK, the scratch record of the surface models and the
//                  surface data a model may change while it works. A pass
//                  traces into a RayState it is handed, so several rays can
//                  later be traced side by side, each in its own state.
//   Results      - the grids and totals, grown in a fixed order.
//
// Everything starts zeroed and persists between runs of one engine: a run
// overwrites what it reads and leaves the rest as the previous run left it.
// The one place where that shows is the fan listing, which prints the source
// point the previous run ended on.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "model/limits.h"

namespace varnock {

using SurfaceArray = std::array<double, NUMB>;
using Grid = std::array<std::array<double, GRID_CELLS>, GRID_CELLS>;

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
  // Row 0 is not kept here: the active set travels with the ray (RayState).
  std::array<SurfaceArray, MAX_INDEX_SETS + 1> RN{};
};

// The fan of ray directions. Slot n = 1..NRAY holds fan ray n; slot 0 is
// never used, so the ray numbers match the listing.
struct FanTable {
  std::vector<double> UFAN{0.0};
  std::vector<double> VFAN{0.0};
  int NRAY = 0;
};

// Everything a source-position pass reads and none of it writes.
struct SystemState {
  double PI = 0;
  RunParams params;
  SurfaceTable surf;
  // ZS[s]: axial position of the vertex of surface s+1 for the current scan
  // step.
  SurfaceArray ZS{};
  // Centre of the source ring; nothing sets it, so the ring is on the axis.
  double XC0 = 0;
  double YC0 = 0;
  FanTable fan;
};

// Scratch record of the surface models. It is never cleared: a field that a
// step does not set keeps what an earlier step left.
struct TraceScratch {
  double QA = 0, QB = 0, QC = 0;  // coefficients of the intersection equation
  double TU = 0, TV = 0;          // tangents of the incoming angles
  double X0 = 0, Y0 = 0;          // incoming ray at z = 0, from the surface axis
  double ANGI = 0, ANGR = 0;      // angles of incidence and refraction
  double NX = 0, NY = 0, NZ = 0;  // unit surface normal at the hit point
  double EX = 0, EY = 0, EZ = 0;  // unit incoming direction
  double DCOS = 0, DSIN = 0;      // differences of the angles' cosines, sines
  double DLEN = 0;                // length of the chord F - E
  double PF = 0;                  // factor of N in the change vector
  double WX = 0, WY = 0, WZ = 0;  // change vector, parallel to F - E
  double WLEN = 0;                // its length
  double FX = 0, FY = 0, FZ = 0;  // outgoing direction
  double SINI = 0, SINR = 0, COSI = 0, COSR = 0;
};

// The ray being traced, at every surface: index 0 is the source point.
struct RayState {
  SurfaceArray X{}, Y{}, Z{};  // where the ray meets surface s
  SurfaceArray U{}, V{};       // its direction angles after surface s
  int RAYOK = 0;               // 1 while the ray counts
  TraceScratch sc;
  // Active index set: RN0[s] is the index after surface s for this ray.
  SurfaceArray RN0{};
  // Working copies of the surface data that some surface models change
  // while they trace (lens arrays pick a lenslet through the decentres, the
  // tilted mirror moves its sphere). A pass loads them from the system at
  // its start, so such changes stay private to the ray state that made them.
  SurfaceArray DX{}, DY{}, ZS{};
};

// Accumulated results of one run.
struct Results {
  Grid IXY{};    // [x cell][y cell]
  Grid IUV{};    // [U cell][V cell]
  Grid IUV_P{};  // like IUV, for rays landing in cell (SELI, SELJ)
  double TOTAL = 0;  // weight of every traced ray
  double TRANS = 0;  // sum of IXY, formed by the report
  double RATIO = 0;  // TRANS / TOTAL, formed by the report
};

struct Model {
  SystemState sys;
  RayState ray;
  Results res;
};

}  // namespace varnock
