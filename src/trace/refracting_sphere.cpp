// Refracting sphere, type code 1 and every code without a model of its own.
//
// Surface s+1 is the sphere of curvature CV = CV[s+1] (1/R; 0 makes it the
// plane z = ZS[s]) with its vertex at (DX[s+1], DY[s+1], ZS[s]): its
// equation, the root taken and the normal are in sphere_surface.h. The
// centre lies beyond the vertex for CV > 0, before it for CV < 0. The medium
// before the surface has index RN0[s], the one after it RN0[s+1]; the sums
// are evaluated left to right.
#include "trace/bend_step.h"
#include "trace/sphere_surface.h"
#include "trace/surface_models.h"

namespace varnock {

void surf1(const Optics& o, RayState& r, int s) {
  meet_sphere(o.surf.CV[s + 1], r, s);
  refract(r, s);
}

}  // namespace varnock
