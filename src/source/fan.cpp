#include "source/fan.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "accum/binning.h"
#include "parallel/ordered_runner.h"
#include "support/number_text.h"
#include "support/to_int32.h"

namespace varnock {
namespace {

// Rays made and listed per task: a few megabytes of listing text at most.
constexpr std::int64_t RAYS_PER_CHUNK = 16384;

// A backward direction (cos <= 0) has each projected angle moved half a turn
// away from zero; a component of exactly 0 goes to -PI.
double backward_angle(double PI, double d, double ct) {
  return d > 0 ? PI + std::atan(d / ct) : -PI + std::atan(d / ct);
}

struct Chunk {
  std::int64_t first = 0, end = 0;  // fan rays [first, end), 0-based
};

// Makes fan rays [chunk.first, chunk.end) into their slots (1-based) and,
// when text is given, their listing lines.
void make_rays(const FanPlan& plan, double PI, const Chunk& chunk, FanTable& fan,
               const std::string& source_columns, std::string* text) {
  auto cone = std::upper_bound(plan.cones.begin(), plan.cones.end(), chunk.first,
                               [](std::int64_t ray, const FanCone& c) { return ray < c.first; });
  --cone;  // the cone that holds the chunk's first ray
  for (std::int64_t ray = chunk.first; ray < chunk.end; ++cone) {
    const double ct = cone->ct, st = cone->st;
    const int m = cone->azimuths;
    for (int k = static_cast<int>(ray - cone->first); k < m && ray < chunk.end; ++k, ++ray) {
      const double phi = (2 * PI * k) / m;
      const double dx = st * std::cos(phi);
      const double dy = st * std::sin(phi);
      double U, V;
      if (ct > 0) {
        U = std::atan(dx / ct);
        V = std::atan(dy / ct);
      } else {
        U = backward_angle(PI, dx, ct);
        V = backward_angle(PI, dy, ct);
      }
      const std::size_t n = static_cast<std::size_t>(ray) + 1;
      fan.UFAN[n] = U;
      fan.VFAN[n] = V;
      // What every source position reuses: the tangents the first surface
      // step starts from, and the unit direction's x, y for the weight.
      const double tu = std::tan(U);
      const double tv = std::tan(V);
      const PlaneDirection direction = fan_direction(tu, tv);
      fan.TU[n] = tu;
      fan.TV[n] = tv;
      fan.EX[n] = direction.x;
      fan.EY[n] = direction.y;
      if (text != nullptr) {
        *text += source_columns;
        append_fixed(*text, U);
        *text += '\t';
        append_fixed(*text, V);
        *text += "\r\n";
      }
    }
  }
}

}  // namespace

double cone_angle(const RunParams& p, std::int64_t j) {
  return p.THMIN + ((p.THMAX - p.THMIN) * static_cast<double>(j)) / static_cast<double>(p.NTH);
}

int cone_azimuths(double st, int NPHI) {
  const int m = to_int32_or_invalid(std::floor(std::fabs(st * static_cast<double>(NPHI)) + 0.5));
  return m > 0 ? m : 0;
}

FanPlan plan_fan(const RunParams& p, std::int64_t limit) {
  FanPlan plan;
  // When every cone holds the same number of rays there is no need to visit
  // them one by one: none at all when NPHI is 0, and the same cone NTH + 1
  // times when THMIN = THMAX (NTH can be some two thousand million).
  if (p.NPHI == 0 || p.NTH < 0) return plan;
  // An angle that is not finite gives every cone an angle whose sine is not
  // a number: no rays either.
  if (!std::isfinite(p.THMIN) || !std::isfinite(p.THMAX - p.THMIN)) return plan;
  if (p.THMIN == p.THMAX) {
    const double theta = cone_angle(p, 0);
    const int m = cone_azimuths(std::sin(theta), p.NPHI);
    if (m == 0) return plan;
    const std::int64_t cones = std::int64_t{p.NTH} + 1;
    if (cones > limit / m) {  // more rays than the limit: refused
      plan.rays = limit + 1;
      return plan;
    }
  }
  if (p.THMIN != p.THMAX && std::int64_t{p.NTH} + 1 > MAX_FAN_CONES) {
    plan.too_many_cones = true;
    return plan;
  }
  for (std::int64_t j = 0; j <= p.NTH && plan.rays <= limit; ++j) {
    const double theta = cone_angle(p, j);
    const double st = std::sin(theta);
    const int m = cone_azimuths(st, p.NPHI);
    if (m == 0) continue;
    plan.cones.push_back(FanCone{std::cos(theta), st, m, plan.rays});
    plan.rays += m;
  }
  return plan;
}

std::int64_t count_fan_rays(const RunParams& p, std::int64_t limit) {
  return plan_fan(p, limit).rays;
}

bool build_fan(SystemState& sys, const FanPlan& plan, const SourcePoint& listed_source,
               OutputFile* listing, unsigned threads, const std::atomic<bool>* cancel) {
  FanTable& fan = sys.fan;
  const std::size_t slots = static_cast<std::size_t>(plan.rays) + 1;  // slot 0 unused
  for (std::vector<double>* v : {&fan.UFAN, &fan.VFAN, &fan.TU, &fan.TV, &fan.EX, &fan.EY}) {
    v->assign(slots, 0.0);
  }
  fan.NRAY = static_cast<int>(plan.rays);

  std::string source_columns;  // X, Y, Z of the listed source point
  append_fixed(source_columns, listed_source.X);
  source_columns += '\t';
  append_fixed(source_columns, listed_source.Y);
  source_columns += '\t';
  append_fixed(source_columns, 0.0);
  source_columns += '\t';
  if (listing) listing->write("X[NUMB]\tY[NUMB]\tZ[NUMB]\tU[NUMB]\tV[NUMB]\r\n");

  std::int64_t next_first = 0;
  OrderedRunControl control;
  control.threads = threads;
  control.window = 2 * static_cast<std::size_t>(threads > 0 ? threads : 1);
  control.cancel = cancel;
  const double PI = sys.PI;
  return run_ordered<Chunk, std::string>(
      control,
      [&](Chunk& chunk) {
        if (next_first >= plan.rays) return false;
        chunk.first = next_first;
        chunk.end = std::min(plan.rays, next_first + RAYS_PER_CHUNK);
        next_first = chunk.end;
        return true;
      },
      [&](const Chunk& chunk, std::string& text, unsigned) {
        text.clear();
        make_rays(plan, PI, chunk, fan, source_columns, listing != nullptr ? &text : nullptr);
      },
      [&](const Chunk&, std::string& text) {
        if (listing) listing->write(text);
      });
}

}  // namespace varnock
