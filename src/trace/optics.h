// What a surface model reads of the optical system while it traces: the
// surface table of the sheet, the number of surfaces and the run's PI. The
// data a model may change (decentres, vertex positions) and the active index
// set travel with the ray, in RayState.
#pragma once

#include "model/model.h"

namespace varnock {

struct Optics {
  const SurfaceTable& surf;
  int NSURF;
  double PI;
};

}  // namespace varnock
