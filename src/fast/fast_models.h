// The nine surface models of the fast mode, without trigonometry. Each is
// the exact model of src/trace/ (the same surface, hit point, normal, root
// and special cases; read the comments there for what each surface is)
// with the bend of fast_steps.h in place of the angles:
//
//   1 refracting sphere, 4 refracting cylinder: vector Snell;
//   5, 6, 7 (lens arrays, aperture): the exact lenslet choice and stop test
//     on the vertex-plane crossing, then 4 or 1;
//   2 spherical mirror, 3 paraboloid, 8 ellipsoid, 9 tilted mirror:
//     reflection of the direction as the exact step turns it (the backward
//     rays of 3 and 8 reversed, or turned half a turn about the axis), with
//     the unnormalised normal of 3 and 8, which needs no square root;
//   9 adds twice its tilts to the outgoing angles: tan(atan q + 2 PA) =
//     (q + tan 2PA) / (1 - q tan 2PA), and the branch the sum lands on is
//     read from the surface's window of tangents (direction_class.h).
//
// A model object holds what its surface gives every ray, worked out once
// (constructed from the surface step). It takes a ray group from surface s
// to s+1 in two passes (fast_steps.h): hit(r, scratch) moves the rays to
// their hit points and leaves what the bend needs, bend<classify, last>
// (scratch, r) sets the outgoing tangents. classify records the outgoing
// class (a paraboloid or ellipsoid follows); last marks the step onto the
// last surface, where the tilted mirror leaves the tangent before its tilt
// so that the binning adds the tilt to the angle as exact mode does.
#pragma once

#include <cmath>

#include "fast/fast_steps.h"

namespace varnock::fast {
namespace {

// The bend of the refracting models: Snell's law and the outgoing tangents.
template <class L>
struct Refracted {
  Snell<L> snell;
  Windows<L> windows;
  explicit Refracted(const SurfaceStep& ss) : snell(ss.n_before, ss.n_after), windows(ss) {}
  using Scratch = SnellScratch<L>;
  template <bool classify, bool last>
  VARNOCK_INLINE void bend(const Scratch& s, FastRays<L>& r) const {
    typename L::D FX, FY, FZ;
    snell.bend(s, r, FX, FY, FZ);
    leave<L, classify>(windows, FX, FY, FZ, r);
  }
};

// 1: the refracting sphere, and the sphere behind a stop or of a lenslet.
template <class L, Curve C>
struct RefractingSphere : Refracted<L> {
  using D = typename L::D;
  using Scratch = SnellScratch<L>;
  SphereAt<L, C> sphere;
  D DX, DY;
  explicit RefractingSphere(const SurfaceStep& ss)
      : Refracted<L>(ss), sphere(ss.CV, ss.ZS), DX(ss.DX), DY(ss.DY) {}

  VARNOCK_INLINE void hit_at(D dx, D dy, FastRays<L>& r, Scratch& s) const {
    Outgoing<L> o;
    D NX, NY, NZ;
    sphere.meet(r, dx, dy, o, NX, NY, NZ);
    this->snell.prepare(r, NX, NY, NZ, s);
    move_to<L>(o, r);
  }
  VARNOCK_INLINE void hit(FastRays<L>& r, Scratch& s) const { hit_at(DX, DY, r, s); }
};

// 6: the stop of radius |PA| on the axis, then the sphere.
template <class L, Curve C>
struct Aperture : RefractingSphere<L, C> {
  using D = typename L::D;
  using Scratch = SnellScratch<L>;
  D ZS, PA2;
  explicit Aperture(const SurfaceStep& ss)
      : RefractingSphere<L, C>(ss), ZS(ss.ZS), PA2(ss.PA * ss.PA) {}
  VARNOCK_INLINE void hit(FastRays<L>& r, Scratch& s) const {
    D x, y;
    carry_to_plane<L>(r, ZS, x, y);
    r.ok = L::both(r.ok, PA2 > x * x + y * y);
    RefractingSphere<L, C>::hit(r, s);
  }
};

// 7: the lenslet of the grid at (DX + PA i, DY + PB j) that the ray
// crosses the vertex plane in, then its sphere.
template <class L, Curve C>
struct LensArray2D : RefractingSphere<L, C> {
  using D = typename L::D;
  using Scratch = SnellScratch<L>;
  D ZS, PA, PB;
  explicit LensArray2D(const SurfaceStep& ss)
      : RefractingSphere<L, C>(ss), ZS(ss.ZS), PA(ss.PA), PB(ss.PB) {}
  VARNOCK_INLINE void hit(FastRays<L>& r, Scratch& s) const {
    D x, y;
    carry_to_plane<L>(r, ZS, x, y);
    const D dx = this->DX, dy = this->DY;
    const D lenslet_x = dx + PA * L::floor((x - dx) / PA + D(0.5));
    const D lenslet_y = dy + PB * L::floor((y - dy) / PB + D(0.5));
    this->hit_at(lenslet_x, lenslet_y, r, s);
  }
};

// 4: the refracting cylinder, axis along x, vertex line at y = DY.
template <class L, Curve C>
struct RefractingCylinder : Refracted<L> {
  using D = typename L::D;
  using Scratch = SnellScratch<L>;
  D CV, inv_CV, ZS, ZS_R, QC0, DY;
  explicit RefractingCylinder(const SurfaceStep& ss)
      : Refracted<L>(ss), CV(ss.CV), inv_CV(1 / ss.CV), ZS(ss.ZS), ZS_R(ss.ZS + 1 / ss.CV),
        QC0(ss.ZS * ss.ZS + 2 * ss.ZS / ss.CV), DY(ss.DY) {}

  VARNOCK_INLINE void hit_at(D dy, FastRays<L>& r, Scratch& s) const {
    Outgoing<L> o;
    if constexpr (C == Curve::Plane) {
      o.Z1 = ZS;
    } else {
      const D Y0 = r.Y + r.TV * r.Z - dy;
      const D QA = D(1.0) + r.TV * r.TV;
      const D half_B = ZS_R + r.TV * Y0;
      const D QC = QC0 + Y0 * Y0;
      o.Z1 = vertex_side_root<L, C>(QA, half_B, QC);
    }
    o.X1 = r.X - r.TU * (o.Z1 - r.Z);
    o.Y1 = r.Y - r.TV * (o.Z1 - r.Z);
    const D NX(+0.0);
    const D NY = (dy - o.Y1) * CV;
    const D NZ = C == Curve::Plane ? D(1.0) : ((ZS - o.Z1) + inv_CV) * CV;
    this->snell.prepare(r, NX, NY, NZ, s);
    move_to<L>(o, r);
  }
  VARNOCK_INLINE void hit(FastRays<L>& r, Scratch& s) const { hit_at(DY, r, s); }
};

// 5: the cylinder of the lenslet at y = PA k that the ray crosses the
// vertex plane in.
template <class L, Curve C>
struct CylindricalLensArray : RefractingCylinder<L, C> {
  using D = typename L::D;
  using Scratch = SnellScratch<L>;
  D PA;
  explicit CylindricalLensArray(const SurfaceStep& ss) : RefractingCylinder<L, C>(ss), PA(ss.PA) {}
  VARNOCK_INLINE void hit(FastRays<L>& r, Scratch& s) const {
    D x, y;
    carry_to_plane<L>(r, this->ZS, x, y);
    this->hit_at(PA * L::floor(y / PA + D(0.5)), r, s);
  }
};

// The bend of the mirrors but the tilted one: the tangents of the unfolded
// reflected ray.
template <class L>
struct Turned {
  Windows<L> windows;
  explicit Turned(const SurfaceStep& ss) : windows(ss) {}
  using Scratch = TurnScratch<L>;
  template <bool classify, bool last>
  VARNOCK_INLINE void bend(const Scratch& s, FastRays<L>& r) const {
    leave<L, classify>(windows, s.FX, s.FY, s.FZ, r);
  }
};

// 2: the spherical mirror; also the plane mirror an ellipsoid without a
// first focal distance is.
template <class L, Curve C>
struct SphericalMirror : Turned<L> {
  using D = typename L::D;
  SphereAt<L, C> sphere;
  D DX, DY, twice_ZS;
  explicit SphericalMirror(const SurfaceStep& ss)
      : Turned<L>(ss), sphere(ss.CV, ss.ZS), DX(ss.DX), DY(ss.DY), twice_ZS(2.0 * ss.ZS) {}
  VARNOCK_INLINE void hit(FastRays<L>& r, TurnScratch<L>& s) const {
    Outgoing<L> o;
    D NX, NY, NZ;
    sphere.meet(r, DX, DY, o, NX, NY, NZ);
    reflect_unfolded<L>(NX, NY, NZ, D(1.0), -r.TU, -r.TV, D(1.0), twice_ZS, o, s);
    move_to<L>(o, r);
  }
};

// 3: the paraboloid (x - DX)^2 + (y - DY)^2 = 4 f (ZS - z), f = |0.5/CV|;
// flat when CV = 0. Backward rays meet it at the other root, travelling
// the other way.
template <class L, bool flat>
struct ParaboloidalMirror : Turned<L> {
  using D = typename L::D;
  D ZS, twice_ZS, DX, DY, two_f, four_ZS_f, four_f_f;
  static double focal(double CV) { return std::fabs(0.5 / CV); }  // infinite when flat
  explicit ParaboloidalMirror(const SurfaceStep& ss)
      : Turned<L>(ss), ZS(ss.ZS), twice_ZS(2.0 * ss.ZS), DX(ss.DX), DY(ss.DY),
        two_f(2 * focal(ss.CV)), four_ZS_f(4 * ss.ZS * focal(ss.CV)),
        four_f_f(4 * focal(ss.CV) * focal(ss.CV)) {}
  VARNOCK_INLINE void hit(FastRays<L>& r, TurnScratch<L>& s) const {
    const typename L::M forward = L::negate(r.backward);
    Outgoing<L> o;
    if constexpr (flat) {
      o.Z1 = ZS;
    } else {
      const D X0 = r.X + r.TU * r.Z - DX;
      const D Y0 = r.Y + r.TV * r.Z - DY;
      // With QB/2 for QB, as in vertex_side_root: the same bits.
      const D QA = r.TU * r.TU + r.TV * r.TV;
      const D half_B = two_f - X0 * r.TU - Y0 * r.TV;
      const D QC = X0 * X0 + Y0 * Y0 - four_ZS_f;
      const D root = L::sqrt(half_B * half_B - QA * QC);
      // A ray parallel to the axis meets the bowl once, at -QC/QB.
      const typename L::M parallel = QA == D(0.0);
      const D numerator =
          L::select(parallel, -QC, L::select(forward, root - half_B, -half_B - root));
      const D denominator = L::select(parallel, D(2.0) * half_B, QA);
      o.Z1 = numerator / denominator;
    }
    o.X1 = r.X - r.TU * (o.Z1 - r.Z);
    o.Y1 = r.Y - r.TV * (o.Z1 - r.Z);
    const D hx = o.X1 - DX;
    const D hy = o.Y1 - DY;
    // The gradient (x - DX, y - DY, 2f); a plane's is (0, 0, 1), times 0 so
    // that a point at infinity or not a number still spoils the ray.
    D nx, ny, nz, nn;
    if constexpr (flat) {
      nx = hx * D(0.0);
      ny = hy * D(0.0);
      nz = D(1.0);
      nn = D(1.0);
    } else {
      nx = hx;
      ny = hy;
      nz = two_f;
      nn = four_f_f + hx * hx + hy * hy;
    }
    // A backward ray's direction is reversed: (TU, TV, -1).
    const D ex = L::select(forward, -r.TU, r.TU);
    const D ey = L::select(forward, -r.TV, r.TV);
    const D ez = L::select(forward, D(1.0), D(-1.0));
    reflect_unfolded<L>(nx, ny, nz, nn, ex, ey, ez, twice_ZS, o, s);
    move_to<L>(o, r);
  }
};

// 8: the ellipsoid with focal distances f1 = CV (not 0) and f2 = PA.
// Backward rays meet its far cap, their hit point and direction turned
// half a turn about the mirror's axis.
template <class L>
struct EllipsoidalMirror : Turned<L> {
  using D = typename L::D;
  D ZS, twice_ZS, DX, DY, twice_DX, twice_DY, a, inv_a2, inv_b2, half_QB0, QC0, minus_b2;
  static double semi_z(const SurfaceStep& ss) { return (ss.CV + ss.PA) / 2; }
  static double semi_xy(const SurfaceStep& ss) { return std::sqrt(ss.CV * ss.PA); }
  explicit EllipsoidalMirror(const SurfaceStep& ss)
      : Turned<L>(ss), ZS(ss.ZS), twice_ZS(2.0 * ss.ZS), DX(ss.DX), DY(ss.DY), twice_DX(2 * ss.DX),
        twice_DY(2 * ss.DY), a(semi_z(ss)), inv_a2(1 / (semi_z(ss) * semi_z(ss))),
        inv_b2(1 / (semi_xy(ss) * semi_xy(ss))),
        half_QB0((semi_z(ss) - ss.ZS) / (semi_z(ss) * semi_z(ss))),
        QC0((semi_z(ss) - ss.ZS) * (semi_z(ss) - ss.ZS) / (semi_z(ss) * semi_z(ss))),
        minus_b2((-semi_xy(ss)) * semi_xy(ss)) {}
  VARNOCK_INLINE void hit(FastRays<L>& r, TurnScratch<L>& s) const {
    const typename L::M forward = L::negate(r.backward);
    const D X0 = r.X + r.TU * r.Z - DX;
    const D Y0 = r.Y + r.TV * r.Z - DY;
    const D QA = inv_a2 + (r.TU * r.TU + r.TV * r.TV) * inv_b2;
    // QB/2 for QB, as in vertex_side_root.
    const D half_B = half_QB0 - (X0 * r.TU + Y0 * r.TV) * inv_b2;
    const D QC = QC0 + (X0 * X0 + Y0 * Y0) * inv_b2 - D(1.0);
    const D root = L::sqrt(half_B * half_B - QA * QC);
    Outgoing<L> o;
    o.Z1 = L::select(forward, root - half_B, -half_B - root) / QA;
    const D hit_x = r.X - r.TU * (o.Z1 - r.Z);
    const D hit_y = r.Y - r.TV * (o.Z1 - r.Z);
    o.X1 = L::select(forward, hit_x, twice_DX - hit_x);
    o.Y1 = L::select(forward, hit_y, twice_DY - hit_y);
    const D hx = o.X1 - DX;
    const D hy = o.Y1 - DY;
    const D d = minus_b2 * ((o.Z1 + a) - ZS) * inv_a2;
    // The outward normal (x - DX, y - DY, -d), unnormalised; a backward
    // ray's direction of travel turned half a turn: (-TU, -TV, -1).
    reflect_unfolded<L>(hx, hy, -d, d * d + hx * hx + hy * hy, -r.TU, -r.TV,
                        L::select(forward, D(1.0), D(-1.0)), twice_ZS, o, s);
    move_to<L>(o, r);
  }
};

// 9: the spherical mirror tilted by PA, PB about its axis point: the
// sphere moved once per surface (tilt_DX, tilt_DY, tilt_ZS), every ray
// taken as travelling towards +z, the tilts added to the outgoing angles.
template <class L, Curve C>
struct TiltedSphericalMirror {
  using D = typename L::D;
  SphereAt<L, C> sphere;
  D DX, DY, twice_ZS, tan_tilt_u, tan_tilt_v;
  Windows<L> windows;
  explicit TiltedSphericalMirror(const SurfaceStep& ss)
      : sphere(ss.CV, ss.tilt_ZS), DX(ss.tilt_DX), DY(ss.tilt_DY), twice_ZS(2.0 * ss.ZS),
        tan_tilt_u(ss.tan_tilt_u), tan_tilt_v(ss.tan_tilt_v), windows(ss) {}
  using Scratch = TurnScratch<L>;
  VARNOCK_INLINE void hit(FastRays<L>& r, Scratch& s) const {
    Outgoing<L> o;
    D NX, NY, NZ;
    sphere.meet(r, DX, DY, o, NX, NY, NZ);
    reflect_unfolded<L>(NX, NY, NZ, D(1.0), -r.TU, -r.TV, D(1.0), twice_ZS, o, s);
    move_to<L>(o, r);
  }
  template <bool classify, bool last>
  VARNOCK_INLINE void bend(const Scratch& s, FastRays<L>& r) const {
    // q: the tangents of the unfolded reflected ray before the tilts.
    const D inverse = D(1.0) / s.FZ;
    const D qu = bounded<L>(-s.FX * inverse);
    const D qv = bounded<L>(-s.FY * inverse);
    if constexpr (classify) r.backward = windows.backward(qu, qv);
    if constexpr (last) {
      r.TU = qu;
      r.TV = qv;
    } else {
      r.TU = bounded<L>((qu + tan_tilt_u) / (D(1.0) - qu * tan_tilt_u));
      r.TV = bounded<L>((qv + tan_tilt_v) / (D(1.0) - qv * tan_tilt_v));
    }
  }
};

}  // namespace
}  // namespace varnock::fast
