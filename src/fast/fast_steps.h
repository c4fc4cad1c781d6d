// What the fast surface steps share: the ray they carry, the geometry of
// meeting a surface, and the bend at the hit point without a single
// trigonometric function.
//
// The exact tracer carries each ray's angles U, V from surface to surface
// and every step begins with tan U, tan V and ends with U = -atan(FX/FZ). A
// fast ray carries the tangents themselves, so neither call is needed, and
// the bend works on the direction vector e = (-TU, -TV, 1), which is the
// unit incoming direction E times |e| = sqrt(1 + TU^2 + TV^2). With N the
// unit normal at the hit point and p = |N.e| (|N.E| |e|):
//
//   refraction, eta = |n_before| / n_after (Snell's law in vector form):
//     |e| F = eta e + (sqrt(|e|^2 - eta^2 (|e|^2 - p^2)) - eta p) N
//   reflection (F is the mirror-reflected direction reversed, as the exact
//   step forms it):
//     |e| F = 2 p N - e
//
// and the outgoing tangent is -FX/FZ (FX/FZ once a mirror has unfolded the
// system). Both are the exact step's F times a positive factor: the unit
// vector in the plane of N and E at the angle of refraction from N, on the
// same side as E for a positive eta and on the other side for a negative
// one; or E turned half a turn about N. The square root is the only one of
// the step: there is no normalisation of E, and no angle. Where Snell's law
// has no ray (total internal reflection, an index of 0) the square root is
// of a negative number and the tangents are not numbers, as in exact mode.
//
// Where exact mode uses a tangent near the pole (a ray leaving at 90
// degrees to the axis), its next step starts from tan(-atan(q)), which is
// at most 1.6e16 in magnitude; the fast tangents are held to the same
// bound, so that such a ray's next hit point is as far off as in exact
// mode rather than infinite.
//
// The intersections are the exact steps' own formulas, term for term, on
// the same tangents: a ray that enters a surface with the exact tangents
// meets it at the exact point. What depends on the surface alone is worked
// out once per surface (the model objects of fast_models.h), and so is
// every decision that is the same for all rays (the sign of a curvature).
#pragma once

#include "fast/vector_lanes.h"
#include "trace/ray_block.h"
#include "trace/step_rays.h"

namespace varnock::fast {
namespace {

// tan(-atan(q)) at its largest: tan of the double nearest pi/2.
constexpr double LARGEST_TANGENT = 1.633123935319537e16;

template <class L>
struct FastRays {
  using D = typename L::D;
  using M = typename L::M;
  // Where the ray met the current surface (in the unfolded system) and the
  // tangents of its angles there: the line x(z) = X - TU (z - Z), y likewise.
  D X, Y, Z, TU, TV;
  M ok;        // RAYOK
  M backward;  // |U| or |V| at least PI/2 (only kept where a mirror asks)
};

// Where a step meets its surface.
template <class L>
struct Outgoing {
  typename L::D X1, Y1, Z1;
};

// The tangent t held to what exact mode can reach.
template <class L>
VARNOCK_INLINE typename L::D bounded(typename L::D t) {
  using D = typename L::D;
  const D most(LARGEST_TANGENT);
  return L::select(t > most, most, L::select(t < -most, -most, t));
}

// How a surface of curvature CV is met: the decision the exact models take
// for every ray, taken once.
enum class Curve { Plane, Positive, Negative, NotANumber };
VARNOCK_INLINE Curve curve_of(double CV) {
  if (CV == 0) return Curve::Plane;
  if (CV > 0) return Curve::Positive;
  if (CV < 0) return Curve::Negative;
  return Curve::NotANumber;
}

// Calls fn.template operator()<C>() with the curve of CV.
template <class Fn>
VARNOCK_INLINE void with_curve(double CV, Fn&& fn) {
  switch (curve_of(CV)) {
    case Curve::Plane: fn.template operator()<Curve::Plane>(); break;
    case Curve::Positive: fn.template operator()<Curve::Positive>(); break;
    case Curve::Negative: fn.template operator()<Curve::Negative>(); break;
    case Curve::NotANumber: fn.template operator()<Curve::NotANumber>(); break;
  }
}

// The root of QA z^2 + QB z + QC = 0 on the vertex side, as the exact
// models take it: the smaller for a positive curvature, the larger for a
// negative one; none (not a number) when the curvature is not a number.
// It is given half_B = -QB/2, with which the exact formula
// (-QB -+ sqrt(QB^2 - 4 QA QC)) / (2 QA) is (half_B -+ sqrt(half_B^2 -
// QA QC)) / QA: the factors 2 and 4 are powers of two, so both give the
// same bits (barring overflow), for three multiplications less.
template <class L, Curve C>
VARNOCK_INLINE typename L::D vertex_side_root(typename L::D QA, typename L::D half_B,
                                              typename L::D QC) {
  using D = typename L::D;
  if constexpr (C == Curve::NotANumber) {
    return D(NOT_A_NUMBER);
  } else {
    const D root = L::sqrt(half_B * half_B - QA * QC);
    return (C == Curve::Positive ? half_B - root : half_B + root) / QA;
  }
}

// Where the incoming line crosses the vertex plane z = ZS.
template <class L>
VARNOCK_INLINE void carry_to_plane(const FastRays<L>& r, typename L::D ZS, typename L::D& X1,
                           typename L::D& Y1) {
  X1 = r.X - r.TU * (ZS - r.Z);
  Y1 = r.Y - r.TV * (ZS - r.Z);
}

// The sphere of curvature CV with its vertex at (DX, DY, ZS) (the
// decentres may differ from ray to ray): hit point and unit normal, as
// sphere_surface.h has them.
template <class L, Curve C>
struct SphereAt {
  using D = typename L::D;
  D CV, inv_CV, ZS;
  D ZS_R;  // ZS + 1/CV
  D QC0;   // ZS^2 + 2 ZS/CV
  SphereAt(double cv, double zs)
      : CV(cv), inv_CV(1 / cv), ZS(zs), ZS_R(zs + 1 / cv), QC0(zs * zs + 2 * zs / cv) {}

  VARNOCK_INLINE void meet(const FastRays<L>& r, D DX, D DY, Outgoing<L>& o, D& NX, D& NY, D& NZ) const {
    if constexpr (C == Curve::Plane) {
      o.Z1 = ZS;
    } else {
      const D X0 = r.X + r.TU * r.Z - DX;
      const D Y0 = r.Y + r.TV * r.Z - DY;
      const D QA = D(1.0) + r.TU * r.TU + r.TV * r.TV;
      const D half_B = ZS_R + r.TU * X0 + r.TV * Y0;
      const D QC = QC0 + X0 * X0 + Y0 * Y0;
      o.Z1 = vertex_side_root<L, C>(QA, half_B, QC);
    }
    o.X1 = r.X - r.TU * (o.Z1 - r.Z);
    o.Y1 = r.Y - r.TV * (o.Z1 - r.Z);
    NX = (DX - o.X1) * CV;
    NY = (DY - o.Y1) * CV;
    NZ = C == Curve::Plane ? D(1.0) : ((ZS - o.Z1) + inv_CV) * CV;
  }
};

// A surface step runs in two passes over the block: the hit (where the ray
// meets the surface, and what the bend needs of it) and the bend (the
// outgoing tangents). Each pass is a short chain of dependent arithmetic
// with one square root or division, so that the processor overlaps the
// work of several vectors of rays; one pass of the whole chain would wait
// on each of them in turn. What the hit leaves for the bend is kept in the
// block's scratch columns.
template <class L>
VARNOCK_INLINE void store_scratch(RayBlock& b, int column, int i, typename L::D v) {
  L::store(&b.scratch[column][i], v);
}
template <class L>
VARNOCK_INLINE typename L::D load_scratch(const RayBlock& b, int column, int i) {
  return L::load(&b.scratch[column][i]);
}

// Snell's law at a unit normal N from index n_before into n_after. The hit
// pass leaves N, p and the radicand; the bend takes the square root and F,
// a positive multiple of the refracted direction. The radicand
// |e|^2 - eta^2 (|e|^2 - p^2) is formed as |e|^2 (1 - eta^2) + eta^2 p^2:
// into a denser medium both terms are positive, so a steep ray at grazing
// incidence keeps its p^2, which |e|^2 - p^2 would round away.
template <class L>
struct SnellScratch {
  using D = typename L::D;
  D NX, NY, NZ, p, radicand;
  void store(RayBlock& b, int i) const {
    store_scratch<L>(b, 0, i, NX);
    store_scratch<L>(b, 1, i, NY);
    store_scratch<L>(b, 2, i, NZ);
    store_scratch<L>(b, 3, i, p);
    store_scratch<L>(b, 4, i, radicand);
  }
  static SnellScratch load(const RayBlock& b, int i) {
    return {load_scratch<L>(b, 0, i), load_scratch<L>(b, 1, i), load_scratch<L>(b, 2, i),
            load_scratch<L>(b, 3, i), load_scratch<L>(b, 4, i)};
  }
};

template <class L>
struct Snell {
  using D = typename L::D;
  D eta, eta2, one_less_eta2;  // |n_before| / n_after, its square, 1 - its square
  static double ratio(double n_before, double n_after) {
    return (n_before > 0 ? n_before : -n_before) / n_after;
  }
  Snell(double n_before, double n_after)
      : eta(ratio(n_before, n_after)),
        eta2(ratio(n_before, n_after) * ratio(n_before, n_after)),
        one_less_eta2(1 - ratio(n_before, n_after) * ratio(n_before, n_after)) {}

  VARNOCK_INLINE void prepare(const FastRays<L>& r, D NX, D NY, D NZ, SnellScratch<L>& s) const {
    const D e2 = D(1.0) + r.TU * r.TU + r.TV * r.TV;
    s.NX = NX;
    s.NY = NY;
    s.NZ = NZ;
    s.p = L::fabs(NZ - NX * r.TU - NY * r.TV);
    s.radicand = e2 * one_less_eta2 + eta2 * (s.p * s.p);
  }
  VARNOCK_INLINE void bend(const SnellScratch<L>& s, const FastRays<L>& r, D& FX, D& FY, D& FZ) const {
    const D g = L::sqrt(s.radicand) - eta * s.p;
    FX = g * s.NX - eta * r.TU;
    FY = g * s.NY - eta * r.TV;
    FZ = g * s.NZ + eta;
  }
};

// The outgoing direction of a mirror, worked out by the hit pass.
template <class L>
struct TurnScratch {
  using D = typename L::D;
  D FX, FY, FZ;
  void store(RayBlock& b, int i) const {
    store_scratch<L>(b, 0, i, FX);
    store_scratch<L>(b, 1, i, FY);
    store_scratch<L>(b, 2, i, FZ);
  }
  static TurnScratch load(const RayBlock& b, int i) {
    return {load_scratch<L>(b, 0, i), load_scratch<L>(b, 1, i), load_scratch<L>(b, 2, i)};
  }
};

// Reflection at a normal n of any positive length (|n|^2 = nn) for the
// incoming direction e = (ex, ey, ez) of any length, which the mirrors that
// tell backward rays turn. With s = n.e, the exact step's F is a positive
// multiple of
//   nn e + 2 r (|s| n - nn e),
// with r = 1 when s >= 0: then it is 2 s n - nn e, e turned half a turn
// about n. A normal that faces away from the ray (s < 0: a backward ray on
// a flat paraboloid) gives the exact step's other result, with
// r = sqrt((nn e2 - s^2) / (nn e2 + 3 s^2)) (e2 = |e|^2), taken only
// when a ray of the group needs it. Then the unfold in the vertex plane
// z = ZS: the mirrored ray's tangents are FX/FZ and FY/FZ, so F is kept as
// (-FX, -FY, FZ), and the hit height is mirrored.
template <class L>
VARNOCK_INLINE void reflect_unfolded(typename L::D nx, typename L::D ny, typename L::D nz,
                                     typename L::D nn, typename L::D ex, typename L::D ey,
                                     typename L::D ez, typename L::D twice_ZS, Outgoing<L>& o,
                                     TurnScratch<L>& turn) {
  using D = typename L::D;
  const D s = nx * ex + ny * ey + nz * ez;
  const D p = L::fabs(s);
  D FX = D(2.0) * p * nx - nn * ex;
  D FY = D(2.0) * p * ny - nn * ey;
  D FZ = D(2.0) * p * nz - nn * ez;
  const typename L::M away = s < D(0.0);
  if (L::any(away)) {
    const D ne2 = nn * (ex * ex + ey * ey + ez * ez);
    const D sine2 = ne2 - s * s;
    const D r = L::sqrt(L::select(sine2 > D(0.0), sine2, D(0.0)) / (ne2 + D(3.0) * s * s));
    const D twice_r = D(2.0) * r;
    FX = L::select(away, nn * ex + twice_r * (p * nx - nn * ex), FX);
    FY = L::select(away, nn * ey + twice_r * (p * ny - nn * ey), FY);
    FZ = L::select(away, nn * ez + twice_r * (p * nz - nn * ez), FZ);
  }
  turn.FX = -FX;
  turn.FY = -FY;
  turn.FZ = FZ;
  o.Z1 = twice_ZS - o.Z1;
}

// Which outgoing tangents make a backward ray (direction_class.h).
template <class L>
struct Windows {
  using D = typename L::D;
  D u_low, u_high, v_low, v_high;
  explicit Windows(const SurfaceStep& ss)
      : u_low(ss.u_low), u_high(ss.u_high), v_low(ss.v_low), v_high(ss.v_high) {}
  VARNOCK_INLINE typename L::M backward(D qu, D qv) const {
    return L::negate(L::both(L::both(qu > u_low, qu < u_high), L::both(qv > v_low, qv < v_high)));
  }
};

// The ray's hit point at s+1.
template <class L>
VARNOCK_INLINE void move_to(const Outgoing<L>& o, FastRays<L>& r) {
  r.X = o.X1;
  r.Y = o.Y1;
  r.Z = o.Z1;
}

// The tangents at s+1 from the outgoing direction F, and the ray's class
// when the next surface asks for it.
template <class L, bool classify>
VARNOCK_INLINE void leave(const Windows<L>& w, typename L::D FX, typename L::D FY, typename L::D FZ,
                  FastRays<L>& r) {
  using D = typename L::D;
  const D inverse = D(1.0) / FZ;
  r.TU = bounded<L>(-FX * inverse);
  r.TV = bounded<L>(-FY * inverse);
  if constexpr (classify) r.backward = w.backward(r.TU, r.TV);
}

}  // namespace
}  // namespace varnock::fast
