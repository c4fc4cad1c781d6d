#include "report/system_view.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <cstdio>
#include <limits>

#include "accum/binning.h"
#include "accum/positions.h"
#include "support/number_text.h"
#include "trace/ray_block.h"

namespace varnock {
namespace {

// A short number for words: 4, 0.05, -1.5e-05.
std::string short_number(double v) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.6g", v);
  return buffer;
}

bool is_mirror(int type) { return type == 2 || type == 3 || type == 8 || type == 9; }

// The sag of a sphere of curvature CV at distance r from its axis, on the
// vertex's side; not a number beyond the sphere.
double sphere_sag(double CV, double r) {
  if (CV == 0) return 0;
  return (1 - std::sqrt(1 - CV * CV * r * r)) / CV;
}

// Points of the profile z(y) over [y0, y1].
std::vector<ZY> profile(double y0, double y1, const auto& z_of) {
  std::vector<ZY> pts;
  const int n = 64;
  for (int k = 0; k <= n; ++k) {
    const double y = y0 + (y1 - y0) * k / n;
    const double z = z_of(y);
    if (std::isfinite(z)) pts.push_back({z, y});
  }
  return pts;
}

// The hit point of a ray on surface s+1 as it truly lies (before the
// unfold), from the stored point after the step.
ZY true_hit(const SurfaceStep& ss, const RayPoint& before, const RayPoint& after) {
  if (!is_mirror(ss.type)) return {after.Z, after.Y};
  const double z = 2 * ss.ZS - after.Z;
  // The ellipsoid stores a backward ray's hit half a turn about its axis.
  const bool backward = !(ss.PI / 2 > std::fabs(before.U) && ss.PI / 2 > std::fabs(before.V));
  if (ss.type == 8 && ss.CV != 0 && backward) return {z, 2 * ss.DY - after.Y};
  return {z, after.Y};
}

bool finite(const RayPoint& p) {
  return std::isfinite(p.X) && std::isfinite(p.Y) && std::isfinite(p.Z) && std::isfinite(p.U) &&
         std::isfinite(p.V);
}

// The drawn pieces of one traced path, and whether the ray got lost. The
// last piece runs on past the last surface by `tail` along the ray.
DrawnRay draw_path(const SurfaceSteps& steps, const RayPath& path, int set, double tail) {
  DrawnRay ray;
  ray.set = set;
  ray.pieces.push_back({{path.at[0].Z, path.at[0].Y}});
  for (std::size_t s = 0; s < steps.size(); ++s) {
    const RayPoint& before = path.at[s];
    const RayPoint& after = path.at[s + 1];
    if (!finite(after)) {
      ray.lost = true;
      // Draw what the surface could still give: a finite hit point.
      if (std::isfinite(after.Y) && std::isfinite(after.Z)) {
        ray.pieces.back().push_back(true_hit(steps[s], before, after));
      }
      return ray;
    }
    // A stop takes the ray where it crosses its vertex plane.
    if (path.stopped_at == static_cast<int>(s) + 1) {
      const double t = std::tan(before.V);
      ray.pieces.back().push_back({steps[s].ZS, before.Y - t * (steps[s].ZS - before.Z)});
      ray.lost = true;
      return ray;
    }
    ray.pieces.back().push_back(true_hit(steps[s], before, after));
    if (is_mirror(steps[s].type)) ray.pieces.push_back({{after.Z, after.Y}});
  }
  const RayPoint& last = path.at.back();
  const double t = std::tan(last.V);
  const double z1 = last.Z + tail;
  ray.pieces.back().push_back({z1, last.Y - t * tail});
  return ray;
}

}  // namespace

std::string surface_type_name(int code) {
  switch (code) {
    case 1: return "refracting sphere";
    case 2: return "spherical mirror";
    case 3: return "paraboloidal mirror";
    case 4: return "refracting cylinder";
    case 5: return "cylindrical lens array";
    case 6: return "circular stop";
    case 7: return "lens array";
    case 8: return "ellipsoidal mirror";
    case 9: return "tilted spherical mirror";
    default: return "refracting sphere (code " + std::to_string(code) + ")";
  }
}

std::string surface_parameters(int code, double CV, double PA, double PB) {
  switch (code) {
    case 3:
      return CV == 0 ? "plane" : "focal distance " + short_number(std::fabs(0.5 / CV)) + " mm";
    case 5: return "pitch " + short_number(PA) + " mm in y";
    case 6: return "stop radius " + short_number(std::fabs(PA)) + " mm";
    case 7: return "pitch " + short_number(PA) + " mm in x, " + short_number(PB) + " mm in y";
    case 8: return "focal distances " + short_number(CV) + " and " + short_number(PA) + " mm";
    case 9:
      return "tilt " + short_number(PA) + " rad in x-z, " + short_number(PB) + " rad in y-z";
    default: return "";
  }
}

SystemTable system_table(const SystemState& sys) {
  const RunParams& p = sys.params;
  SystemTable t;
  t.columns = {"#", "type", "curvature (1/mm)", "radius (mm)", "spacing to next (mm)",
               "decentre x (mm)", "decentre y (mm)", "parameters"};
  for (int w = 1; w <= p.NSET; ++w) t.columns.push_back("index, set " + std::to_string(w));
  for (int s = 0; s <= p.NSURF; ++s) {
    const SurfaceTable& st = sys.surf;
    std::vector<std::string> row;
    row.push_back(s == 0 ? "source" : std::to_string(s));
    const int type = st.STYPE[s];
    row.push_back(s == 0 ? "source plane" : surface_type_name(type));
    const bool ellipsoid = type == 8 && s > 0;
    row.push_back(s == 0 || ellipsoid ? "" : fixed_text(st.CV[s]));
    row.push_back(s == 0 || ellipsoid ? "" : (st.CV[s] == 0 ? "plane" : fixed_text(1 / st.CV[s])));
    row.push_back(fixed_text(st.TH[s]));
    row.push_back(s == 0 ? "" : fixed_text(st.DX[s]));
    row.push_back(s == 0 ? "" : fixed_text(st.DY[s]));
    row.push_back(s == 0 ? "" : surface_parameters(type, st.CV[s], st.PA[s], st.PB[s]));
    for (int w = 1; w <= p.NSET; ++w) {
      row.push_back(is_mirror(type) && s > 0 ? fixed_text(st.RN[w][s]) + " (mirror)" : fixed_text(st.RN[w][s]));
    }
    t.rows.push_back(std::move(row));
  }
  return t;
}

SystemLayout system_layout(const SystemState& sys, int rays_per_set) {
  const RunParams& p = sys.params;
  SystemLayout layout;
  layout.sets = std::max(p.NSET, 0);
  const int nsurf = p.NSURF;
  SurfaceArray ZS{};
  const int k = p.NSCAN > 0 ? p.NSCAN / 2 : 0;
  if (p.NSCAN > 0) {
    place_surfaces(sys, k, ZS);
  } else {
    ZS[0] = sys.surf.TH[0];
    for (int i = 1; i <= nsurf; ++i) ZS[i] = sys.surf.TH[i] + ZS[i - 1];
  }

  // The ring points with the largest and the smallest y: near a quarter and
  // three quarters of the turn (the points lie 6.28/NRING rad apart, and a
  // ring can have thousands of millions of them).
  std::vector<int> ring;
  if (p.NRING > 0) {
    std::vector<int> candidates{0, p.NRING - 1};
    for (double turn : {std::numbers::pi / 2, 3 * std::numbers::pi / 2}) {
      const double near = std::floor(turn / 6.28 * p.NRING);
      for (double d = -1; d <= 2; ++d) {
        const double j = near + d;
        if (j >= 0 && j < p.NRING) candidates.push_back(static_cast<int>(j));
      }
    }
    int top = 0, bottom = 0;
    for (int j : candidates) {
      if (ring_point(sys, j).Y > ring_point(sys, top).Y) top = j;
      if (ring_point(sys, j).Y < ring_point(sys, bottom).Y) bottom = j;
    }
    ring.push_back(top);
    if (bottom != top) ring.push_back(bottom);
  }

  const double length = std::max(std::fabs(ZS[std::max(nsurf - 1, 0)]), 1.0);
  const double tail = 0.15 * length;
  std::vector<std::vector<double>> heights(static_cast<std::size_t>(nsurf) + 1);
  SurfaceSteps steps;
  for (int j : ring) {
    const SourcePoint src = ring_point(sys, j);
    layout.sources.push_back({0, src.Y});
    const PlaneDirection to_axis = toward_axis(src.X, src.Y);
    // The fan's rays closest to the y-z plane (smallest |tan U|) that head
    // towards the axis side, spread evenly over their V.
    std::vector<int> candidates;
    for (int n = 1; n <= sys.fan.NRAY; ++n) {
      const std::size_t i = static_cast<std::size_t>(n);
      if (weight_of(PlaneDirection{sys.fan.EX[i], sys.fan.EY[i]}, to_axis) >= 0) candidates.push_back(n);
    }
    std::sort(candidates.begin(), candidates.end(), [&](int a, int b) {
      return std::fabs(sys.fan.TU[static_cast<std::size_t>(a)]) < std::fabs(sys.fan.TU[static_cast<std::size_t>(b)]);
    });
    candidates.resize(std::min(candidates.size(), static_cast<std::size_t>(std::max(rays_per_set * 3, 1))));
    std::sort(candidates.begin(), candidates.end(), [&](int a, int b) {
      return sys.fan.VFAN[static_cast<std::size_t>(a)] < sys.fan.VFAN[static_cast<std::size_t>(b)];
    });
    std::vector<int> chosen;
    const std::size_t want = std::min(candidates.size(), static_cast<std::size_t>(rays_per_set));
    for (std::size_t c = 0; c < want; ++c) {
      chosen.push_back(candidates[want > 1 ? c * (candidates.size() - 1) / (want - 1) : 0]);
    }
    for (int w = 1; w <= p.NSET; ++w) {
      prepare_surface_steps(sys.surf, nsurf, ZS, w, sys.PI, steps);
      for (int n : chosen) {
        const std::size_t i = static_cast<std::size_t>(n);
        const RayPath path = trace_path(steps.data(), nsurf, RayPoint{src.X, src.Y, 0, sys.fan.UFAN[i], sys.fan.VFAN[i]});
        DrawnRay ray = draw_path(steps, path, w, tail);
        for (int s = 1; s <= nsurf; ++s) {
          const RayPoint& at = path.at[static_cast<std::size_t>(s)];
          if (std::isfinite(at.Y)) heights[static_cast<std::size_t>(s)].push_back(at.Y);
        }
        layout.rays.push_back(std::move(ray));
      }
    }
  }

  // Each surface over the heights its rays meet it at (or a default).
  double ymax_all = 0;
  for (const ZY& src : layout.sources) ymax_all = std::max(ymax_all, std::fabs(src.y));
  for (const auto& h : heights) {
    for (double y : h) ymax_all = std::max(ymax_all, std::fabs(y));
  }
  if (ymax_all == 0) ymax_all = 1;
  prepare_surface_steps(sys.surf, nsurf, ZS, 1, sys.PI, steps);
  for (int s = 1; s <= nsurf; ++s) {
    const SurfaceStep& ss = steps[static_cast<std::size_t>(s - 1)];
    DrawnSurface d;
    d.number = s;
    d.type = ss.type;
    d.mirror = is_mirror(ss.type);
    const auto& h = heights[static_cast<std::size_t>(s)];
    double y0 = -0.2 * ymax_all, y1 = 0.2 * ymax_all;
    if (!h.empty()) {
      y0 = *std::min_element(h.begin(), h.end());
      y1 = *std::max_element(h.begin(), h.end());
      const double pad = std::max(0.1 * (y1 - y0), 0.02 * ymax_all);
      y0 -= pad;
      y1 += pad;
    }
    const double ZSs = ss.ZS;
    switch (ss.type) {
      case 3: {
        const double f = std::fabs(0.5 / ss.CV);
        d.lines.push_back(profile(y0, y1, [&](double y) {
          const double r2 = ss.DX * ss.DX + (y - ss.DY) * (y - ss.DY);
          return ss.CV == 0 ? ZSs : ZSs - r2 / (4 * f);
        }));
        break;
      }
      case 8: {
        const double f1 = ss.CV, f2 = ss.PA, a = (f1 + f2) / 2, b = std::sqrt(f1 * f2);
        for (double side : {1.0, -1.0}) {
          d.lines.push_back(profile(y0, y1, [&](double y) {
            const double r2 = ss.DX * ss.DX + (y - ss.DY) * (y - ss.DY);
            return f1 == 0 ? ZSs : ZSs - a + side * a * std::sqrt(1 - r2 / (b * b));
          }));
        }
        break;
      }
      case 9:
        d.lines.push_back(profile(y0, y1, [&](double y) {
          const double r = std::hypot(ss.tilt_DX, y - ss.tilt_DY);
          return ss.tilt_ZS + sphere_sag(ss.CV, r);
        }));
        break;
      case 4:
        d.lines.push_back(profile(y0, y1, [&](double y) { return ZSs + sphere_sag(ss.CV, y - ss.DY); }));
        break;
      case 5:
      case 7: {
        // One lenslet piece per cell: the cylinders of pitch PA in y (grid on
        // the axis), or the row of spheres in the section x = 0 (grid on the
        // decentres, pitch PB in y).
        const double pitch = std::fabs(ss.type == 5 ? ss.PA : ss.PB);
        const double origin = ss.type == 5 ? 0 : ss.DY;
        const double x_off = ss.type == 5 || ss.PA == 0
                                 ? 0
                                 : ss.DX + ss.PA * std::floor((0 - ss.DX) / ss.PA + 0.5);
        if (!(pitch > 0) || (y1 - y0) / pitch > 400) {
          d.lines.push_back(profile(y0, y1, [&](double) { return ZSs; }));
          break;
        }
        for (double c = origin + pitch * std::floor((y0 - origin) / pitch); c <= y1 + pitch; c += pitch) {
          const double lo = std::max(y0, c - pitch / 2), hi = std::min(y1, c + pitch / 2);
          if (lo >= hi) continue;
          d.lines.push_back(profile(lo, hi, [&](double y) {
            return ZSs + sphere_sag(ss.CV, std::hypot(x_off, y - c));
          }));
        }
        break;
      }
      case 6: {
        d.stop = true;
        const double radius = std::fabs(ss.PA);
        const double reach = std::max(std::max(std::fabs(y0), std::fabs(y1)), radius) * 1.15 + 0.05 * ymax_all;
        d.lines.push_back({{ZSs, radius}, {ZSs, reach}});
        d.lines.push_back({{ZSs, -radius}, {ZSs, -reach}});
        if (ss.CV != 0 || ss.n_before != ss.n_after) {
          d.lines.push_back(profile(std::max(y0, -radius), std::min(y1, radius), [&](double y) {
            return ZSs + sphere_sag(ss.CV, std::hypot(ss.DX, y - ss.DY));
          }));
        }
        break;
      }
      default:
        d.lines.push_back(profile(y0, y1, [&](double y) {
          return ZSs + sphere_sag(ss.CV, std::hypot(ss.DX, y - ss.DY));
        }));
    }
    layout.surfaces.push_back(std::move(d));
  }

  // What the drawing spans.
  double zmin = 0, zmax = 0, ymin = 0, ymax = 0;
  auto take = [&](const ZY& q) {
    if (!std::isfinite(q.z) || !std::isfinite(q.y)) return;
    zmin = std::min(zmin, q.z);
    zmax = std::max(zmax, q.z);
    ymin = std::min(ymin, q.y);
    ymax = std::max(ymax, q.y);
  };
  for (const ZY& q : layout.sources) take(q);
  for (const DrawnSurface& d : layout.surfaces) {
    for (const auto& line : d.lines) {
      for (const ZY& q : line) take(q);
    }
  }
  for (const DrawnRay& r : layout.rays) {
    for (const auto& piece : r.pieces) {
      for (const ZY& q : piece) take(q);
    }
  }
  if (zmax - zmin <= 0) zmax = zmin + 1;
  if (ymax - ymin <= 0) {
    ymax += 1;
    ymin -= 1;
  }
  layout.zmin = zmin;
  layout.zmax = zmax;
  layout.ymin = ymin;
  layout.ymax = ymax;
  layout.caption =
      "The y-z section of the system at the middle scan step, with rays of every index set from "
      "the ring points of largest and smallest y (the fan's rays nearest the y-z plane, drawn "
      "as seen from the side). Mirrors are drawn unfolded: after a mirror the light is shown "
      "mirrored in the mirror's vertex plane, travelling on to the right, as the tracer "
      "follows it. A ray that is stopped or misses a surface ends where it was lost.";
  return layout;
}

}  // namespace varnock
