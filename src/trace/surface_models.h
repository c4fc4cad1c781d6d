// The surface models. surfN(o, r, s) takes the ray in r from surface s to
// surface s+1 of type code N: it reads the ray at s and surface s+1's data
// and writes the ray at s+1, using the scratch record as it goes.
#pragma once

#include "model/model.h"
#include "trace/optics.h"

namespace varnock {

// Refracting sphere (a plane when CV = 0); also every unknown type code.
void surf1(const Optics& o, RayState& r, int s);

}  // namespace varnock
