// The optical system as a person reads it: a table of the surfaces in words,
// and the geometry of a drawing of its y-z section with a sample of traced
// rays. Mirrors are drawn unfolded, as the tracer sees them: the light after
// a mirror is its mirror image in the mirror's vertex plane and travels on
// towards +z.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "model/model.h"

namespace varnock {

// "refracting sphere", "paraboloidal mirror", ...; a code without a model
// of its own reads "refracting sphere (code 12)".
std::string surface_type_name(int code);

// The type parameters in words: "pitch 4 mm", "stop radius 3 mm", "tilt
// 0.05 rad in x-z, -0.02 rad in y-z", ...; empty for types without any.
std::string surface_parameters(int code, double CV, double PA, double PB);

struct SystemTable {
  std::vector<std::string> columns;
  std::vector<std::vector<std::string>> rows;  // the source plane, then surfaces 1..NSURF
};
SystemTable system_table(const SystemState& sys);

// A point of the drawing: z along the axis, y across, both in mm.
struct ZY {
  double z = 0, y = 0;
};

struct DrawnSurface {
  int number = 0;  // 1..NSURF
  int type = 1;
  bool mirror = false;
  bool stop = false;
  std::vector<std::vector<ZY>> lines;  // profile pieces (a lens array's lenslets, a stop's blades)
};

struct DrawnRay {
  int set = 1;                         // the index set, for its colour
  std::vector<std::vector<ZY>> pieces;  // broken at every mirror (the unfold)
  bool lost = false;                   // stopped or not a number before the end
};

struct SystemLayout {
  std::vector<DrawnSurface> surfaces;
  std::vector<ZY> sources;  // the source points the sample rays start from
  std::vector<DrawnRay> rays;
  int sets = 0;
  double zmin = 0, zmax = 0, ymin = 0, ymax = 0;  // what the drawing spans
  std::string caption;
};

// The layout for the sheet in sys (its fan built): the middle scan step,
// the ring points with the largest and the smallest y, and from each up to
// rays_per_set rays of every index set, the fan's rays closest to the y-z
// plane. Each surface's profile spans the heights the sample rays meet it
// at.
SystemLayout system_layout(const SystemState& sys, int rays_per_set = 12);

}  // namespace varnock
