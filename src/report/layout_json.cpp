#include "report/layout_json.h"

#include <cmath>
#include <utility>

namespace varnock {
namespace {

using Json = nlohmann::ordered_json;

// A point of the drawing in mm, to a ten-thousandth of a millimetre: finer
// than the drawing can show, and it keeps the page small.
Json drawing_point(const ZY& p) {
  const auto mm = [](double v) { return std::isfinite(v) ? Json(std::round(v * 1e4) / 1e4) : Json(nullptr); };
  return Json::array({mm(p.z), mm(p.y)});
}

Json drawing_lines(const std::vector<std::vector<ZY>>& lines) {
  Json out = Json::array();
  for (const auto& line : lines) {
    Json points = Json::array();
    for (const ZY& p : line) {
      if (std::isfinite(p.z) && std::isfinite(p.y)) points.push_back(drawing_point(p));
    }
    out.push_back(std::move(points));
  }
  return out;
}

// The geometry the page draws the system from.
}  // namespace

nlohmann::ordered_json layout_json(const SystemLayout& layout) {
  Json surfaces = Json::array(), sources = Json::array(), rays = Json::array();
  for (const DrawnSurface& s : layout.surfaces) {
    surfaces.push_back({{"number", s.number}, {"type", s.type}, {"mirror", s.mirror}, {"stop", s.stop},
                        {"lines", drawing_lines(s.lines)}});
  }
  for (const ZY& p : layout.sources) sources.push_back(drawing_point(p));
  for (const DrawnRay& r : layout.rays) {
    rays.push_back({{"set", r.set}, {"lost", r.lost}, {"pieces", drawing_lines(r.pieces)}});
  }
  return {{"zmin", layout.zmin}, {"zmax", layout.zmax}, {"ymin", layout.ymin}, {"ymax", layout.ymax},
          {"sets", layout.sets}, {"surfaces", std::move(surfaces)}, {"sources", std::move(sources)},
          {"rays", std::move(rays)}};
}

}  // namespace varnock
