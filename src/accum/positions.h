// Where the system and the source stand at each source position. The run
// moves the whole system along its axis over NSCAN scan steps and, at each,
// the point source over NRING points of a ring about the axis; position p
// is scan step p / NRING, ring point p % NRING.
#pragma once

#include "model/model.h"

namespace varnock {

// Vertex positions for scan step k: ZS[s] is the vertex of surface s+1. The
// system moves from -WSCAN/2 in steps of WSCAN/NSCAN, stopping one step
// short of +WSCAN/2 (the scan window is closed below and open above).
inline void place_surfaces(const SystemState& sys, int k, SurfaceArray& ZS) {
  const RunParams& p = sys.params;
  ZS[0] = (sys.surf.TH[0] - p.WSCAN / 2) + (p.WSCAN * k) / p.NSCAN;
  for (int i = 1; i <= p.NSURF; ++i) ZS[i] = sys.surf.TH[i] + ZS[i - 1];
}

// Source point j of the ring, in the plane z = 0. Consecutive points are
// 6.28/NRING rad apart, the legacy constant, not 2 pi.
SourcePoint ring_point(const SystemState& sys, int j);

}  // namespace varnock
