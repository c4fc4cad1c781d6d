// How far the fast tracer's rays lie from the exact tracer's, surface type
// by surface type: random surfaces of each type (curvatures, decentres,
// pitches, tilts, focal distances and indices of the kinds the sheets use)
// and random rays from the source plane, forward and (for the mirrors that
// tell them) backward, one step each, traced exactly and on every
// instruction-set path. Prints, per type, the largest differences of the
// hit point (mm) and of the exit angles (rad) over the rays that both
// tracers carry as numbers, and the rays whose cells differ.
//
// Usage: varnock_fast_differences [SYSTEMS_PER_TYPE]
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <vector>

#include "fast/fast_tracers.h"
#include "trace/ray_block.h"
#include "varnock/varnock.h"

namespace {

struct Worst {
  double position = 0, angle = 0;
  long rays = 0, finite = 0, other_cells = 0;
};

void trace(const varnock::BlockTracer& tracer, const varnock::SurfaceSteps& steps,
           varnock::RayBlock& b, const varnock::RayColumns& start) {
  b.cur = 0;
  b.count = b.padded = varnock::BLOCK_RAYS;
  b.side[0] = start;
  for (int i = 0; i < varnock::BLOCK_RAYS; ++i) {
    b.TU[i] = std::tan(start.U[i]);
    b.TV[i] = std::tan(start.V[i]);
    b.ok[i] = 1;
  }
  b.DXY = 0.1;
  b.DUV = 0.002;
  tracer.trace(steps.data(), static_cast<int>(steps.size()), b);
}

}  // namespace

int main(int argc, char** argv) {
  const int systems = argc > 1 ? std::atoi(argv[1]) : 200;
  std::mt19937_64 rng(20261209);
  std::uniform_real_distribution<double> u(-1, 1);
  std::vector<varnock::BlockTracer> paths;
  for (varnock::SimdPath p : {varnock::SimdPath::Avx512, varnock::SimdPath::Avx2, varnock::SimdPath::Sse2}) {
    if (varnock::fast::supported(p)) paths.push_back(varnock::fast::tracer(p));
  }
  std::printf("| type | path | rays | largest hit-point difference (mm) | largest angle difference (rad) | rays in other cells |\n");
  std::printf("|---:|---|---:|---:|---:|---:|\n");
  auto exact_block = std::make_unique<varnock::RayBlock>();
  auto fast_block = std::make_unique<varnock::RayBlock>();
  for (int type = 1; type <= 9; ++type) {
    std::vector<Worst> worst(paths.size());
    for (int n = 0; n < systems; ++n) {
      varnock::SurfaceTable table;
      varnock::SurfaceArray ZS{};
      ZS[0] = 20 + 10 * u(rng);
      table.STYPE[1] = type;
      table.CV[1] = 0.05 * u(rng);
      table.DX[1] = 0.5 * u(rng);
      table.DY[1] = 0.5 * u(rng);
      table.PA[1] = 1.5 + u(rng);
      table.PB[1] = 1.5 + u(rng);
      table.RN[1][0] = 1;
      table.RN[1][1] = 1.5 + 0.3 * u(rng);
      if (n % 3 == 1) std::swap(table.RN[1][0], table.RN[1][1]);  // from glass into air
      if (type == 6) table.PA[1] = 4 + 2 * u(rng);
      if (type == 8) {
        table.CV[1] = 10 + 5 * u(rng);
        table.PA[1] = 40 + 20 * u(rng);
        ZS[0] = table.CV[1];  // the source at the first focus
      }
      if (type == 9) {
        table.PA[1] = 0.3 * u(rng);
        table.PB[1] = 0.3 * u(rng);
      }
      if (type == 3) ZS[0] = std::fabs(0.5 / table.CV[1]);  // the source at the focus
      varnock::SurfaceSteps steps;
      varnock::prepare_surface_steps(table, 1, ZS, 1, varnock::RUN_PI, steps);
      varnock::RayColumns start;
      const bool backward_too = type == 3 || type == 8;
      for (int i = 0; i < varnock::BLOCK_RAYS; ++i) {
        start.X[i] = 3 * u(rng);
        start.Y[i] = 3 * u(rng);
        start.Z[i] = 0;
        start.U[i] = 0.6 * u(rng);
        start.V[i] = 0.6 * u(rng);
        if (backward_too && i % 2 == 1) {
          start.U[i] += start.U[i] > 0 ? -varnock::RUN_PI : varnock::RUN_PI;
          start.V[i] += start.V[i] > 0 ? -varnock::RUN_PI : varnock::RUN_PI;
        }
      }
      trace(varnock::BlockTracer{}, steps, *exact_block, start);
      const varnock::RayColumns& e = exact_block->at_surface();
      for (std::size_t k = 0; k < paths.size(); ++k) {
        trace(paths[k], steps, *fast_block, start);
        const varnock::RayColumns& f = fast_block->at_surface();
        Worst& w = worst[k];
        for (int i = 0; i < varnock::BLOCK_RAYS; ++i) {
          ++w.rays;
          const bool finite = std::isfinite(e.X[i]) && std::isfinite(e.Y[i]) &&
                              std::isfinite(e.U[i]) && std::isfinite(e.V[i]) &&
                              std::isfinite(f.X[i]) && std::isfinite(f.Y[i]) &&
                              std::isfinite(f.U[i]) && std::isfinite(f.V[i]);
          if (finite) {
            ++w.finite;
            w.position = std::max({w.position, std::fabs(e.X[i] - f.X[i]), std::fabs(e.Y[i] - f.Y[i]),
                                   std::fabs(e.Z[i] - f.Z[i])});
            w.angle = std::max({w.angle, std::fabs(e.U[i] - f.U[i]), std::fabs(e.V[i] - f.V[i])});
          }
          const double* ec[4] = {exact_block->cell_x, exact_block->cell_y, exact_block->cell_u,
                                 exact_block->cell_v};
          const double* fc[4] = {fast_block->cell_x, fast_block->cell_y, fast_block->cell_u,
                                 fast_block->cell_v};
          bool other = exact_block->ok[i] != fast_block->ok[i];
          for (int c = 0; c < 4; ++c) {
            const bool both_nan = std::isnan(ec[c][i]) && std::isnan(fc[c][i]);
            other = other || (!both_nan && ec[c][i] != fc[c][i]);
          }
          if (other) ++w.other_cells;
        }
      }
    }
    for (std::size_t k = 0; k < paths.size(); ++k) {
      const Worst& w = worst[k];
      std::printf("| %d | %s | %ld (%ld finite) | %.2g | %.2g | %ld |\n", type, paths[k].simd, w.rays,
                  w.finite, w.position, w.angle, w.other_cells);
    }
  }
  return 0;
}
