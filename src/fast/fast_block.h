// The fast block tracer, written once over the lane policy L: a block of
// rays goes through surface s before s+1, each step over the whole block
// with its model chosen once. The rays are kept in place in the block's
// columns: X, Y, Z of side 1, the tangents TU, TV and the two flags, some
// 14 KiB for 256 rays, which stay in the level-1 cache through all
// surfaces. After the last surface each ray's exit angles are taken (the
// one arc tangent of each) and its four cells, as exact mode takes them.
#pragma once

#include <cstring>

#include "fast/arc_tangent.h"
#include "fast/fast_models.h"
#include "trace/bin_cells.h"
#include "trace/ray_block.h"

namespace varnock::fast {
namespace {

// Whether the rays reaching step s need their direction class: the
// paraboloid and the ellipsoid tell backward rays by it.
inline bool reads_class(int type_code) { return type_code == 3 || type_code == 8; }

// One step of every ray of the block through the surface of model. stop:
// the model may clear RAYOK; asks_class: it reads the rays' class.
template <class L, class Model, bool classify, bool last, bool stop = false,
          bool asks_class = false>
inline void step_block(const Model& model, RayBlock& b) {
  using Scratch = typename Model::Scratch;
  RayColumns& at = b.side[1];
  for (int i = 0; i < b.padded; i += L::width) {
    FastRays<L> r;
    r.X = L::load(&at.X[i]);
    r.Y = L::load(&at.Y[i]);
    r.Z = L::load(&at.Z[i]);
    r.TU = L::load(&b.TU[i]);
    r.TV = L::load(&b.TV[i]);
    if constexpr (asks_class) r.backward = L::load_mask(&b.backward[i]);
    if constexpr (stop) r.ok = L::load_mask(&b.keep[i]);
    Scratch s;
    model.hit(r, s);
    s.store(b, i);
    L::store(&at.X[i], r.X);
    L::store(&at.Y[i], r.Y);
    L::store(&at.Z[i], r.Z);
    if constexpr (stop) L::store_mask(&b.keep[i], r.ok);
  }
  for (int i = 0; i < b.padded; i += L::width) {
    FastRays<L> r;
    r.TU = L::load(&b.TU[i]);
    r.TV = L::load(&b.TV[i]);
    model.template bend<classify, last>(Scratch::load(b, i), r);
    L::store(&b.TU[i], r.TU);
    L::store(&b.TV[i], r.TV);
    if constexpr (classify) L::store_mask(&b.backward[i], r.backward);
  }
}

// The model of the surface's type code (every code outside 2..9 is the
// refracting sphere), its surface data worked out once for the block.
template <class L, bool classify, bool last>
inline void step_of_type(const SurfaceStep& ss, RayBlock& b) {
  auto curved = [&]<template <class, Curve> class Model, bool stop = false>() {
    with_curve(ss.CV, [&]<Curve C>() {
      step_block<L, Model<L, C>, classify, last, stop>(Model<L, C>(ss), b);
    });
  };
  switch (ss.type) {
    case 2: curved.template operator()<SphericalMirror>(); break;
    case 3:
      if (ss.CV == 0) {
        step_block<L, ParaboloidalMirror<L, true>, classify, last, false, true>(
            ParaboloidalMirror<L, true>(ss), b);
      } else {
        step_block<L, ParaboloidalMirror<L, false>, classify, last, false, true>(
            ParaboloidalMirror<L, false>(ss), b);
      }
      break;
    case 4: curved.template operator()<RefractingCylinder>(); break;
    case 5: curved.template operator()<CylindricalLensArray>(); break;
    case 6: curved.template operator()<Aperture, true>(); break;
    case 7: curved.template operator()<LensArray2D>(); break;
    case 8:
      if (ss.CV == 0) {
        // No ellipsoid: the plane mirror at the vertex.
        step_block<L, SphericalMirror<L, Curve::Plane>, classify, last>(
            SphericalMirror<L, Curve::Plane>(ss), b);
      } else {
        step_block<L, EllipsoidalMirror<L>, classify, last, false, true>(EllipsoidalMirror<L>(ss), b);
      }
      break;
    case 9: curved.template operator()<TiltedSphericalMirror>(); break;
    default: curved.template operator()<RefractingSphere>(); break;
  }
}

// The rays at the source plane as the block holds them: positions and
// angles on side 0, tangents, RAYOK. Their class comes from the angles.
template <class L>
inline void start_block(RayBlock& b, double PI, bool classify) {
  using D = typename L::D;
  const RayColumns& in = b.side[0];
  RayColumns& at = b.side[1];
  for (int i = 0; i < b.padded; i += L::width) {
    L::store(&at.X[i], L::load(&in.X[i]));
    L::store(&at.Y[i], L::load(&in.Y[i]));
    L::store(&at.Z[i], L::load(&in.Z[i]));
    if (classify) {
      const D U = L::load(&in.U[i]), V = L::load(&in.V[i]);
      L::store_mask(&b.backward[i],
                    L::negate(L::both(D(PI / 2) > L::fabs(U), D(PI / 2) > L::fabs(V))));
    }
  }
  for (int i = 0; i < b.padded; ++i) b.keep[i] = b.ok[i] != 0 ? -1 : 0;
}

// Exit angles and cells. The angles are atan of the tangents, plus the
// tilts when the last surface is a tilted mirror; with no surface at all
// they are the fan's own.
template <class L>
inline void bin_block(const SurfaceStep* last_step, RayBlock& b) {
  using D = typename L::D;
  RayColumns& at = b.side[1];
  const RayColumns& in = b.side[0];
  const bool tilted = last_step != nullptr && last_step->type == 9;
  const D tilt_u(tilted ? 2 * last_step->PA : 0.0), tilt_v(tilted ? 2 * last_step->PB : 0.0);
  // The angles in a pass of their own: each arc tangent is a chain of two
  // divisions, which several vectors of rays then overlap.
  if (last_step == nullptr) {
    std::memcpy(at.U, in.U, sizeof at.U);
    std::memcpy(at.V, in.V, sizeof at.V);
  } else {
    for (int i = 0; i < b.padded; i += L::width) {
      D U = arc_tangent<L>(L::load(&b.TU[i]));
      D V = arc_tangent<L>(L::load(&b.TV[i]));
      if (tilted) {
        U = U + tilt_u;
        V = V + tilt_v;
      }
      L::store(&at.U[i], U);
      L::store(&at.V[i], V);
    }
  }
  bin_cells<L>(b, at, [&](int i) { return L::load_mask(&b.keep[i]); });
  for (int i = 0; i < b.padded; ++i) b.ok[i] = b.keep[i] != 0 ? 1 : 0;
  b.cur = 1;
}

template <class L>
inline void trace_fast_block(const SurfaceStep* steps, int count, RayBlock& b) {
  start_block<L>(b, count > 0 ? steps[0].PI : 0.0, count > 0 && reads_class(steps[0].type));
  for (int s = 0; s < count; ++s) {
    const SurfaceStep& ss = steps[s];
    const bool last = s + 1 == count;
    const bool classify = !last && reads_class(steps[s + 1].type);
    // Only the tilted mirror does anything else on the last surface.
    if (last && ss.type == 9) {
      with_curve(ss.CV, [&]<Curve C>() {
        step_block<L, TiltedSphericalMirror<L, C>, false, true>(TiltedSphericalMirror<L, C>(ss), b);
      });
    } else if (classify) {
      step_of_type<L, true, false>(ss, b);
    } else {
      step_of_type<L, false, false>(ss, b);
    }
  }
  bin_block<L>(count > 0 ? &steps[count - 1] : nullptr, b);
}

}  // namespace
}  // namespace varnock::fast
