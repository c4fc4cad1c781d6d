// A block of rays traced together: the block goes through surface s before
// surface s+1, the surface model is chosen once per surface for the whole
// block, and the rays' data is kept as columns (structure of arrays) so that
// a vector policy loads several rays at once. Only what a ray in flight needs
// is kept: the ray at the current surface, the one being written at the
// next, the tangents of its angles and its RAYOK flag.
#pragma once

#include <cstdint>
#include <vector>

#include "model/model.h"
#include "trace/step_rays.h"

namespace varnock {

inline constexpr int BLOCK_RAYS = 256;

// Plain arrays: the tracers built for other instruction sets read them with
// no shared out-of-line helper (see src/fast/).
struct RayColumns {
  alignas(64) double X[BLOCK_RAYS] = {};
  alignas(64) double Y[BLOCK_RAYS] = {};
  alignas(64) double Z[BLOCK_RAYS] = {};
  alignas(64) double U[BLOCK_RAYS] = {};
  alignas(64) double V[BLOCK_RAYS] = {};
};

struct RayBlock {
  // Rays in the block; the columns are valid up to padded, a multiple of the
  // lane width (the lanes past count hold copies and are never read out).
  int count = 0;
  int padded = 0;
  // side[cur] holds the rays at the current surface, the other side is
  // written by the next step.
  int cur = 0;
  RayColumns side[2];
  // tan U and tan V of the rays at the current surface.
  alignas(64) double TU[BLOCK_RAYS] = {};
  alignas(64) double TV[BLOCK_RAYS] = {};
  alignas(64) std::uint8_t ok[BLOCK_RAYS] = {};
  // The fast tracer's flags as vector masks (0, or every bit set): RAYOK,
  // and whether the ray travels backward by its angles.
  alignas(64) std::int64_t keep[BLOCK_RAYS] = {};
  alignas(64) std::int64_t backward[BLOCK_RAYS] = {};
  // What the fast tracer's hit pass leaves for its bend pass.
  static constexpr int SCRATCH_COLUMNS = 5;
  alignas(64) double scratch[SCRATCH_COLUMNS][BLOCK_RAYS] = {};
  // After the last surface: the cells of x and y (pitch DXY) and of U and V
  // (pitch DUV), as cell_number gives them, of each ray that is binned (all
  // four in 0..40 and RAYOK set); -1 in all four for any other ray.
  double DXY = 0, DUV = 0;
  alignas(64) double cell_x[BLOCK_RAYS] = {};
  alignas(64) double cell_y[BLOCK_RAYS] = {};
  alignas(64) double cell_u[BLOCK_RAYS] = {};
  alignas(64) double cell_v[BLOCK_RAYS] = {};

  const RayColumns& at_surface() const { return side[cur]; }
  RayColumns& at_surface() { return side[cur]; }
};

// Step s = 0..NSURF-1 takes the rays onto surface s+1: the surfaces of the
// system as one index set sees them at one scan step.
using SurfaceSteps = std::vector<SurfaceStep>;

// Fills steps[s] for s = 0..NSURF-1 from the sheet's surface table, the
// vertex positions ZS of the scan step and index set w (1..NSET).
void prepare_surface_steps(const SurfaceTable& surf, int NSURF, const SurfaceArray& ZS, int w,
                           double PI, SurfaceSteps& steps);

// The exact tracer: carries the rays of the block through every step, one
// ray per lane group, with the C library's maths. Before the call the block
// holds the rays at the source plane with their tangents and RAYOK set;
// after it, at_surface() holds them at the last surface, and the cell
// columns their cells for the pitches DXY and DUV. Rays are carried
// through every surface even when a model has cleared RAYOK or their values
// are no longer numbers: the binning decides whether they count.
void trace_block_exact(const SurfaceStep* steps, int count, RayBlock& block);

// A block tracer and the lane width it works in: the blocks handed to it
// are padded to a multiple of the width.
struct BlockTracer {
  void (*trace)(const SurfaceStep* steps, int count, RayBlock& block) = trace_block_exact;
  int width = 1;
  const char* simd = "";  // the instruction-set path of a fast tracer
};

// One ray through every step, kept at every surface: index 0 is the start.
// For tests and drawings; the same models as the block tracer.
struct RayPoint {
  double X = 0, Y = 0, Z = 0, U = 0, V = 0;
};
struct RayPath {
  std::vector<RayPoint> at;
  bool ok = true;      // RAYOK after the last surface
  int stopped_at = 0;  // the surface that cleared RAYOK, 0 when none did
};
RayPath trace_path(const SurfaceStep* steps, int count, const RayPoint& start);

}  // namespace varnock
