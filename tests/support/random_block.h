// A block of rays through a system with every surface type, some of them
// lost or not numbers from the start (a not-a-number angle, an infinite
// height, a backward ray), for checking that the block tracer treats every
// ray as its own.
#pragma once

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "trace/ray_block.h"

namespace varnock_test {

struct RandomBlock {
  varnock::SurfaceSteps steps;
  std::vector<varnock::RayPoint> starts;
  varnock::RayBlock block;  // the rays at the source plane, ready to trace

  int surfaces() const { return static_cast<int>(steps.size()); }
};

// Ray i of the block at the source plane, as the pass puts it there: its
// point and angles, their tangents, RAYOK set.
inline void start_ray(varnock::RayBlock& b, int i, const varnock::RayPoint& p) {
  b.side[0].X[i] = p.X;
  b.side[0].Y[i] = p.Y;
  b.side[0].Z[i] = p.Z;
  b.side[0].U[i] = p.U;
  b.side[0].V[i] = p.V;
  b.TU[i] = std::tan(p.U);
  b.TV[i] = std::tan(p.V);
  b.ok[i] = 1;
}

inline RandomBlock random_block(unsigned seed) {
  using namespace varnock;
  RandomBlock rb;
  SurfaceTable table;
  SurfaceArray ZS{};
  const int types[] = {0, 1, 7, 6, 2, 1, 5, 3, 4, 8, 9, 1};
  const int nsurf = 11;
  std::mt19937_64 rng(seed);
  std::uniform_real_distribution<double> u(-1, 1);
  double z = 0;
  for (int s = 1; s <= nsurf; ++s) {
    table.STYPE[s] = types[s];
    table.CV[s] = 0.05 * u(rng);
    table.PA[s] = 2 + u(rng);
    table.PB[s] = 2 + u(rng);
    z += 6;
    ZS[s - 1] = z;
    table.RN[1][s] = s % 2 ? 1.5 : 1;
  }
  table.RN[1][0] = 1;
  table.CV[9] = 20;     // ellipsoid: first focal distance
  table.PA[9] = 30;     // and second
  table.CV[10] = 0.01;  // tilted mirror, tilted in x-z only
  table.PA[10] = 0.05;
  table.PB[10] = 0;
  prepare_surface_steps(table, nsurf, ZS, 1, RUN_PI, rb.steps);

  RayBlock& b = rb.block;
  b.count = b.padded = BLOCK_RAYS;
  for (int i = 0; i < BLOCK_RAYS; ++i) {
    RayPoint p{u(rng), u(rng), 0, 0.3 * u(rng), 0.3 * u(rng)};
    if (i % 17 == 5) p.U = std::numeric_limits<double>::quiet_NaN();
    if (i % 23 == 7) p.X = std::numeric_limits<double>::infinity();
    if (i % 29 == 3) p.V = 2.5;  // a backward ray
    rb.starts.push_back(p);
    start_ray(b, i, p);
  }
  return rb;
}

}  // namespace varnock_test
