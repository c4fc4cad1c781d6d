#include "source/fan.h"

#include <cmath>
#include <string>

#include "support/number_text.h"
#include "support/to_int32.h"

namespace varnock {
namespace {

// A backward direction (cos <= 0) has each projected angle moved half a turn
// away from zero; a component of exactly 0 goes to -PI.
double backward_angle(double PI, double d, double ct) {
  return d > 0 ? PI + std::atan(d / ct) : -PI + std::atan(d / ct);
}

}  // namespace

double cone_angle(const RunParams& p, std::int64_t j) {
  return p.THMIN + ((p.THMAX - p.THMIN) * static_cast<double>(j)) / static_cast<double>(p.NTH);
}

int cone_azimuths(double st, int NPHI) {
  const int m = to_int32_or_invalid(std::floor(std::fabs(st * static_cast<double>(NPHI)) + 0.5));
  return m > 0 ? m : 0;
}

std::int64_t count_fan_rays(const RunParams& p, std::int64_t limit) {
  std::int64_t rays = 0;
  for (std::int64_t j = 0; j <= p.NTH && rays <= limit; ++j) {
    rays += cone_azimuths(std::sin(cone_angle(p, j)), p.NPHI);
  }
  return rays;
}

void build_fan(SystemState& sys, RayState& ray, OutputFile* listing, std::int64_t ray_count) {
  const RunParams& p = sys.params;
  const double PI = sys.PI;
  FanTable& fan = sys.fan;

  std::string line;
  std::string source_columns;  // X[0], Y[0], Z[0]: the same on every line
  append_fixed(source_columns, ray.X[0]);
  source_columns += '\t';
  append_fixed(source_columns, ray.Y[0]);
  source_columns += '\t';
  append_fixed(source_columns, ray.Z[0]);
  source_columns += '\t';
  if (listing) listing->write("X[NUMB]\tY[NUMB]\tZ[NUMB]\tU[NUMB]\tV[NUMB]\r\n");

  // Every generated ray is kept (slot 0 stays unused).
  fan.UFAN.assign(1, 0.0);
  fan.VFAN.assign(1, 0.0);
  fan.UFAN.reserve(static_cast<std::size_t>(ray_count) + 1);
  fan.VFAN.reserve(static_cast<std::size_t>(ray_count) + 1);

  for (std::int64_t j = 0; j <= p.NTH; ++j) {
    const double theta = cone_angle(p, j);
    const double ct = std::cos(theta);
    const double st = std::sin(theta);
    const int m = cone_azimuths(st, p.NPHI);
    for (int k = 0; k < m; ++k) {
      const double phi = (2 * PI * k) / m;
      const double dx = st * std::cos(phi);
      const double dy = st * std::sin(phi);
      if (ct > 0) {
        ray.U[0] = std::atan(dx / ct);
        ray.V[0] = std::atan(dy / ct);
      } else {
        ray.U[0] = backward_angle(PI, dx, ct);
        ray.V[0] = backward_angle(PI, dy, ct);
      }
      if (listing) {
        line = source_columns;
        append_fixed(line, ray.U[0]);
        line += '\t';
        append_fixed(line, ray.V[0]);
        line += "\r\n";
        listing->write(line);
      }
      fan.UFAN.push_back(ray.U[0]);
      fan.VFAN.push_back(ray.V[0]);
    }
  }
  fan.NRAY = static_cast<int>(fan.UFAN.size() - 1);
}

}  // namespace varnock

