// The cells of the rays of a block after the last surface, written over the
// lane policy so that each block tracer takes them on its own vectors.
#pragma once

#include "accum/cell_number.h"
#include "trace/ray_block.h"

namespace varnock {

// The cells of every ray of the block from the positions and angles in at,
// with RAYOK as ok_of(i) gives it for the rays from i on: -1 in all four
// for a ray that is not binned (keep_binned).
template <class L, class OkOf>
inline void bin_cells(RayBlock& b, const RayColumns& at, OkOf ok_of) {
  using D = typename L::D;
  const double DXY = b.DXY, DUV = b.DUV;
  for (int i = 0; i < b.padded; i += L::width) {
    D x = cell_number<L>(L::load(&at.X[i]), DXY);
    D y = cell_number<L>(L::load(&at.Y[i]), DXY);
    D u = cell_number<L>(L::load(&at.U[i]), DUV);
    D v = cell_number<L>(L::load(&at.V[i]), DUV);
    keep_binned<L>(ok_of(i), x, y, u, v);
    L::store(&b.cell_x[i], x);
    L::store(&b.cell_y[i], y);
    L::store(&b.cell_u[i], u);
    L::store(&b.cell_v[i], v);
  }
}

}  // namespace varnock
