#include "report/sheet_check.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>

#include "accum/binning.h"
#include "accum/pass_tasks.h"
#include "accum/positions.h"
#include "accum/run_size.h"
#include "api/simd_choice.h"
#include "run/run_driver.h"
#include "support/number_text.h"
#include "support/run_error.h"

namespace varnock {
namespace {

using Clock = std::chrono::steady_clock;

// Slots traced for the time estimate, spread over a few positions.
constexpr std::int64_t SAMPLE_SLOTS = 20'000;
constexpr int SAMPLE_POSITIONS = 6;

std::string percent(double share) {
  char text[32];
  std::snprintf(text, sizeof text, "%.0f %%", 100 * share);
  return text;
}

void add_likely_mistakes(const SystemState& sys, SheetCheck& c) {
  const RunParams& p = sys.params;
  auto warn = [&](std::string text) { c.warnings.push_back(std::move(text)); };
  if (p.NSET <= 0) warn("NSET is " + std::to_string(p.NSET) + ": no index set, nothing will be traced");
  if (p.NSCAN <= 0) warn("NSCAN is " + std::to_string(p.NSCAN) + ": no scan step, nothing will be traced");
  if (p.NRING <= 0) warn("NRING is " + std::to_string(p.NRING) + ": no source point, nothing will be traced");
  if (sys.fan.NRAY == 0) warn("the fan is empty (NPHI, NTH, THMIN, THMAX): nothing will be traced");
  if (p.RSRC == 0) warn("RSRC is 0: every source point lies on the axis, where no ray has a weight; nothing will be traced");
  if (p.DXY == 0) warn("DXY is 0: no ray can land in an IXY cell");
  if (p.DUV == 0) warn("DUV is 0: no ray can land in an IUV cell");
  if (p.SELI < 0 || p.SELI > 40 || p.SELJ < 0 || p.SELJ > 40) {
    warn("the selected cell (" + std::to_string(p.SELI) + ", " + std::to_string(p.SELJ) +
         ") lies outside 0..40: IUV_P will stay empty");
  }
  const SurfaceTable& t = sys.surf;
  for (int s = 1; s <= p.NSURF; ++s) {
    const std::string at = "surface " + std::to_string(s) + ": ";
    const int type = t.STYPE[s];
    if (type < 1 || type > 9) {
      warn(at + "type code " + std::to_string(type) + " has no model of its own and is traced as a refracting sphere");
    }
    if (type == 5 && t.PA[s] == 0) warn(at + "a cylindrical lens array of pitch 0 loses every ray");
    if (type == 7 && (t.PA[s] == 0 || t.PB[s] == 0)) warn(at + "a lens array with a pitch of 0 loses every ray");
    if (type == 6 && t.PA[s] == 0) warn(at + "a stop of radius 0 stops every ray");
    if (type == 9 && t.CV[s] == 0) warn(at + "a tilted mirror needs a curvature; with 0 it loses every ray");
    if (type == 8 && t.CV[s] * t.PA[s] < 0) warn(at + "focal distances of opposite signs describe no ellipsoid; every ray is lost");
  }
  for (int w = 1; w <= std::min(p.NSET, MAX_INDEX_SETS); ++w) {
    for (int s = 0; s <= p.NSURF; ++s) {
      if (t.RN[w][s] <= 0) {
        warn("index set " + std::to_string(w) + ", surface " + std::to_string(s) + ": refractive index " +
             std::string(t.RN[w][s] == 0 ? "0" : "below 0") +
             (t.RN[w][s] == 0 ? " loses every ray it should refract" : " bends rays to the other side of the normal"));
      }
    }
  }
}

// Traces a sample of the run here, on one thread: the time a traced ray
// takes, and the share that lands inside both grid windows.
void time_sample(const SystemState& sys, const BlockTracer& tracer, SheetCheck& c) {
  const RunParams& p = sys.params;
  const std::int64_t per_position = static_cast<std::int64_t>(sys.fan.NRAY) * std::max(p.NSET, 0);
  if (c.source_positions == 0 || per_position == 0 || c.rays_traced == 0) return;
  PassTracer pass(sys, tracer);
  std::vector<RayRecord> records;
  const std::int64_t positions = std::min<std::int64_t>(SAMPLE_POSITIONS, c.source_positions);
  const std::int64_t slots = std::max<std::int64_t>(1, std::min(per_position, SAMPLE_SLOTS / positions));
  std::int64_t traced = 0, binned = 0;
  const Clock::time_point start = Clock::now();
  for (std::int64_t k = 0; k < positions; ++k) {
    const std::uint64_t position = static_cast<std::uint64_t>(
        (static_cast<double>(k) + 0.5) / static_cast<double>(positions) * static_cast<double>(c.source_positions));
    // Slots spread over the position's index sets and fan.
    const std::int64_t first = per_position > slots ? (per_position - slots) / 2 : 0;
    pass.trace(PassTask{{position, first}, {position, first + slots}}, records);
    traced += static_cast<std::int64_t>(records.size());
    for (const RayRecord& r : records) binned += r.binned() ? 1 : 0;
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  if (traced == 0) return;
  // Threads share the rays nearly perfectly; the fan and its listing add
  // some 0.2 microseconds a ray.
  const double per_ray = seconds / static_cast<double>(traced);
  c.estimated_seconds = per_ray * static_cast<double>(c.rays_traced) / (0.95 * c.threads) +
                        2e-7 * static_cast<double>(c.fan_rays);
  const double inside = static_cast<double>(binned) / static_cast<double>(traced);
  if (inside < 0.5) {
    c.warnings.push_back("only " + percent(inside) + " of a sample of traced rays land inside both grid "
                         "windows (IXY pitch DXY, IUV pitch DUV): the windows cut off most of the light");
  }
}

}  // namespace

SheetCheck check_sheet(const std::filesystem::path& sheet, const RunOptions& options) {
  SheetCheck c;
  Model model;
  const FanPlan plan = load_sheet(model, sheet, c.sheet_warnings);
  const std::optional<BlockTracer> tracer = block_tracer_for(options);
  if (!tracer) {
    throw RunError(RunFailure{FailureKind::Unsupported, display(sheet), 0, 0,
                              std::string("the fast mode's ") + simd_path_name(options.simd) +
                                  " path is not available on this processor or in this build"});
  }
  c.threads = resolve_threads(options.threads);
  c.mode = options.fast ? std::string("fast (") + tracer->simd + ")" : "exact";
  SystemState& sys = model.sys;
  build_fan(sys, plan, SourcePoint{}, nullptr, c.threads);
  const RunParams& p = sys.params;
  c.table = system_table(sys);
  c.fan_rays = sys.fan.NRAY;
  c.source_positions = p.NSCAN > 0 && p.NRING > 0 ? std::int64_t{p.NSCAN} * p.NRING : 0;
  c.index_sets = std::max(p.NSET, 0);
  c.surfaces = p.NSURF;
  add_likely_mistakes(sys, c);
  const RunSize size = run_size(sys);
  c.rays_traced = size.rays_traced;
  c.steps = size.steps;
  c.estimated = size.estimated;
  time_sample(sys, *tracer, c);
  return c;
}

}  // namespace varnock
