// The nine surface models. surfN(ss, r) takes the rays in r from surface s
// to surface s+1 of type code N: it reads the rays at s and the surface data
// in ss and writes the rays at s+1, using the scratch record as it goes.
// Each is written once over the lane policy L (lanes.h).
//
//   1  refracting sphere (a plane when CV = 0); also every unknown code
//   2  spherical mirror
//   3  paraboloidal mirror, opening towards smaller z
//   4  refracting cylinder, axis parallel to x
//   5  cylindrical lens array: cylinders at the pitch PA in y, grid on the axis
//   6  circular aperture of radius |PA| on the axis, then the refracting sphere
//   7  two-dimensional lens array: spheres at the pitches PA, PB, grid on the
//      surface's decentres
//   8  ellipsoidal mirror given by its focal distances CV and PA
//   9  spherical mirror tilted by PA (x-z plane) and PB (y-z plane)
#pragma once

#include "trace/circular_aperture.h"
#include "trace/cylindrical_lens_array.h"
#include "trace/ellipsoidal_mirror.h"
#include "trace/lens_array_2d.h"
#include "trace/paraboloidal_mirror.h"
#include "trace/refracting_cylinder.h"
#include "trace/refracting_sphere.h"
#include "trace/spherical_mirror.h"
#include "trace/tilted_spherical_mirror.h"

namespace varnock {

// Calls fn.template operator()<model>() with the model for a type code;
// every code outside 2..9 (0, negative, 10 and above) gives the refracting
// sphere. The block tracer chooses once per surface this way.
template <class L, class Fn>
inline void with_surface_model(int type_code, Fn&& fn) {
  switch (type_code) {
    case 2: fn.template operator()<surf2<L>>(); break;
    case 3: fn.template operator()<surf3<L>>(); break;
    case 4: fn.template operator()<surf4<L>>(); break;
    case 5: fn.template operator()<surf5<L>>(); break;
    case 6: fn.template operator()<surf6<L>>(); break;
    case 7: fn.template operator()<surf7<L>>(); break;
    case 8: fn.template operator()<surf8<L>>(); break;
    case 9: fn.template operator()<surf9<L>>(); break;
    default: fn.template operator()<surf1<L>>(); break;
  }
}

// One step of the rays in r through the surface in ss, by its type code.
template <class L>
inline void surface_step(const SurfaceStep& ss, StepRays<L>& r) {
  with_surface_model<L>(ss.type, [&]<auto model>() { model(ss, r); });
}

}  // namespace varnock
