// The surface-sequence tracer: carries one ray from the source plane through
// surfaces 1..NSURF, choosing each surface's model by its type code.
#pragma once

#include "model/model.h"
#include "trace/optics.h"

namespace varnock {

using SurfaceModel = void (*)(const Optics&, RayState&, int);

// The model for a type code; codes without a model of their own give the
// refracting sphere.
SurfaceModel surface_model(int type_code);

// Sets RAYOK and runs every surface step in order. The ray is carried through
// all surfaces even when a model has cleared RAYOK or its values are no
// longer numbers: the binning decides whether it counts.
void trace(const Optics& o, RayState& r);

}  // namespace varnock
