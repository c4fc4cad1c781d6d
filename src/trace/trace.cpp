#include "trace/trace.h"

#include <array>

#include "trace/surface_models.h"

namespace varnock {
namespace {

// Type code -> surface model. Every code outside this table, and every code
// whose model is not written yet, traces as the refracting sphere.
constexpr std::array<SurfaceModel, 10> SURFACE_MODELS = {
    surf1,  // 0: no such type; refracting sphere
    surf1,  // 1: refracting sphere
    surf1,  // 2: spherical mirror (not yet modelled)
    surf1,  // 3: paraboloidal mirror (not yet modelled)
    surf4,  // 4: refracting cylinder
    surf5,  // 5: cylindrical lens array
    surf6,  // 6: circular aperture
    surf7,  // 7: two-dimensional lens array
    surf1,  // 8: ellipsoidal mirror (not yet modelled)
    surf1,  // 9: tilted spherical mirror (not yet modelled)
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
