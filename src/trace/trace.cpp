#include "trace/trace.h"

#include <array>

#include "trace/surface_models.h"

namespace varnock {
namespace {

// Type code -> surface model, all nine at a glance. Every code outside the
// table (0, negative, 10 and above) traces as the refracting sphere.
constexpr std::array<SurfaceModel, 10> SURFACE_MODELS = {
    surf1,  // 0: no such type; refracting sphere
    surf1,  // 1: refracting sphere
    surf2,  // 2: spherical mirror
    surf3,  // 3: paraboloidal mirror
    surf4,  // 4: refracting cylinder
    surf5,  // 5: cylindrical lens array
    surf6,  // 6: circular aperture
    surf7,  // 7: two-dimensional lens array
    surf8,  // 8: ellipsoidal mirror
    surf9,  // 9: tilted spherical mirror
};

}  // namespace

SurfaceModel surface_model(int type_code) {
  if (type_code < 0 || type_code >= static_cast<int>(SURFACE_MODELS.size())) return surf1;
  return SURFACE_MODELS[static_cast<std::size_t>(type_code)];
}

void trace(const Optics& o, RayState& r) {
  r.RAYOK = 1;
  for (int s = 0; s <= o.NSURF - 1; ++s) {
    surface_model(o.surf.STYPE[s + 1])(o, r, s);
  }
}

}  // namespace varnock
