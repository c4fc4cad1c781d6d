#include "accum/run_position.h"

#include "accum/binning.h"
#include "trace/trace.h"

namespace varnock {

std::int64_t run_position(const SystemState& sys, RayState& ray, Results& res) {
  const RunParams& p = sys.params;
  const FanTable& fan = sys.fan;
  const Optics optics{sys.surf, p.NSURF, sys.PI};
  const int last = p.NSURF;

  ray.Z[0] = 0;  // the source lies in the plane z = 0
  ray.DX = sys.surf.DX;
  ray.DY = sys.surf.DY;
  ray.ZS = sys.ZS;

  std::int64_t traced = 0;
  for (int w = 1; w <= p.NSET; ++w) {
    for (int s = 0; s <= last; ++s) ray.RN0[s] = sys.surf.RN[w][s];

    for (int n = 1; n <= fan.NRAY; ++n) {
      ray.U[0] = fan.UFAN[n];
      ray.V[0] = fan.VFAN[n];
      const double W = ray_weight(ray.U[0], ray.V[0], ray.X[0], ray.Y[0]);
      if (!(W >= 0)) continue;  // heading away from the axis, or no weight

      trace(optics, ray);
      ++traced;

      const int ix = cell_index(ray.X[last], p.DXY);
      const int iy = cell_index(ray.Y[last], p.DXY);
      const int iu = cell_index(ray.U[last], p.DUV);
      const int iv = cell_index(ray.V[last], p.DUV);
      if (!in_grid(ix) || !in_grid(iy) || !in_grid(iu) || !in_grid(iv)) ray.RAYOK = 0;

      if (ray.RAYOK == 1) {
        res.IXY[ix][iy] += W;
        res.IUV[iu][iv] += W;
        if (ix == p.SELI && iy == p.SELJ) res.IUV_P[iu][iv] += W;
      }
      res.TOTAL += W;
    }
  }
  return traced;
}

}  // namespace varnock
