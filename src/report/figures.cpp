#include "report/figures.h"

#include <cairo-pdf.h>
#include <cairo-svg.h>
#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <stdexcept>
#include <vector>

#include "report/colormap.h"
#include "support/files.h"

namespace varnock {
namespace {

using Draw = std::function<void(cairo_t*)>;

// Colours of the index sets: a palette that colour-blind readers can tell
// apart (Okabe and Ito).
constexpr std::array<std::array<double, 3>, 7> SET_COLOURS = {{
    {0.0, 0.447, 0.698},
    {0.835, 0.369, 0.0},
    {0.0, 0.620, 0.451},
    {0.800, 0.475, 0.655},
    {0.902, 0.624, 0.0},
    {0.337, 0.706, 0.914},
    {0.941, 0.894, 0.259},
}};

void check(cairo_status_t status, const std::string& what) {
  if (status != CAIRO_STATUS_SUCCESS) {
    throw std::runtime_error(what + ": " + cairo_status_to_string(status));
  }
}

// Runs draw on a surface of the format and writes it to path.
void render(FigureFormat format, const std::filesystem::path& path, double width, double height,
            const Draw& draw) {
  const std::string name = display(path);
  cairo_surface_t* surface = nullptr;
  switch (format) {
    case FigureFormat::Png:
      surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, static_cast<int>(width),
                                           static_cast<int>(height));
      break;
    case FigureFormat::Svg:
      surface = cairo_svg_surface_create(path.c_str(), width, height);
      break;
    case FigureFormat::Pdf:
      surface = cairo_pdf_surface_create(path.c_str(), width, height);
      break;
    case FigureFormat::None:
      return;
  }
  std::unique_ptr<cairo_surface_t, void (*)(cairo_surface_t*)> owner(surface, cairo_surface_destroy);
  check(cairo_surface_status(surface), name);
  cairo_t* cr = cairo_create(surface);
  std::unique_ptr<cairo_t, void (*)(cairo_t*)> context(cr, cairo_destroy);
  draw(cr);
  check(cairo_status(cr), name);
  cairo_surface_flush(surface);
  if (format == FigureFormat::Png) {
    check(cairo_surface_write_to_png(surface, path.c_str()), name);
  } else {
    cairo_surface_finish(surface);
    check(cairo_surface_status(surface), name);
  }
}

void text_at(cairo_t* cr, double x, double y, const std::string& text, double align_x = 0,
             double align_y = 0, double size = 12) {
  cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cr, size);
  cairo_text_extents_t e;
  cairo_text_extents(cr, text.c_str(), &e);
  cairo_move_to(cr, x - align_x * e.width - e.x_bearing, y - align_y * e.height - e.y_bearing);
  cairo_show_text(cr, text.c_str());
}

std::string tick_text(double v) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%g", std::fabs(v) < 1e-12 ? 0.0 : v);
  return buffer;
}

// Tick positions in [lo, hi]: 1, 2 or 5 times a power of ten apart.
std::vector<double> ticks(double lo, double hi, int about) {
  const double raw = (hi - lo) / std::max(about, 1);
  const double power = std::pow(10.0, std::floor(std::log10(raw)));
  double step = power;
  for (double m : {1.0, 2.0, 5.0, 10.0}) {
    step = m * power;
    if (step >= raw) break;
  }
  std::vector<double> out;
  for (double t = std::ceil(lo / step) * step; t <= hi + step * 1e-9; t += step) out.push_back(t);
  return out;
}

void set_colour(cairo_t* cr, double t) {
  const Rgb c = rgb_of(t);
  cairo_set_source_rgb(cr, c.r / 255.0, c.g / 255.0, c.b / 255.0);
}

void draw_map(cairo_t* cr, const MapFigure& m) {
  const GridValues& v = *m.values;
  double peak = 0;
  for (const auto& line : v) {
    for (double w : line) {
      if (std::isfinite(w)) peak = std::max(peak, w);
    }
  }
  const double left = 80, top = 50, cell = 12, size = 41 * cell;
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_paint(cr);
  cairo_set_source_rgb(cr, 0, 0, 0);
  text_at(cr, left + size / 2, 20, m.title, 0.5, 0.5, 15);

  // Cell (i, j) at column i from the left, row j from the bottom.
  for (int i = 0; i < 41; ++i) {
    for (int j = 0; j < 41; ++j) {
      set_colour(cr, peak > 0 ? v[i][j] / peak : 0);
      cairo_rectangle(cr, left + i * cell, top + (40 - j) * cell, cell + 0.5, cell + 0.5);
      cairo_fill(cr);
    }
  }
  if (m.selected) {
    const auto [i, j] = *m.selected;
    cairo_set_source_rgb(cr, 1, 0.1, 0.1);
    cairo_set_line_width(cr, 2);
    cairo_rectangle(cr, left + i * cell, top + (40 - j) * cell, cell, cell);
    cairo_stroke(cr);
  }
  cairo_set_source_rgb(cr, 0, 0, 0);
  cairo_set_line_width(cr, 1);
  cairo_rectangle(cr, left, top, size, size);
  cairo_stroke(cr);

  // Axes in physical units: cell i is centred on (i - 20) pitch.
  const double extent = 20.5 * m.pitch;
  auto to_px = [&](double value) { return (value + extent) / (2 * extent) * size; };
  for (double t : ticks(-extent, extent, 6)) {
    const double px = to_px(t);
    cairo_move_to(cr, left + px, top + size);
    cairo_line_to(cr, left + px, top + size + 5);
    cairo_move_to(cr, left - 5, top + size - px);
    cairo_line_to(cr, left, top + size - px);
    cairo_stroke(cr);
    text_at(cr, left + px, top + size + 8, tick_text(t), 0.5, 0);
    text_at(cr, left - 8, top + size - px, tick_text(t), 1, 0.5);
  }
  text_at(cr, left + size / 2, top + size + 28, m.axes[0] + " (" + m.unit + ")", 0.5, 0);
  cairo_save(cr);
  cairo_translate(cr, 20, top + size / 2);
  cairo_rotate(cr, -M_PI / 2);
  text_at(cr, 0, 0, m.axes[1] + " (" + m.unit + ")", 0.5, 0.5);
  cairo_restore(cr);
  text_at(cr, left + size / 2, top + size + 48,
          "looking along +z, from the source towards the screen", 0.5, 0, 10);

  // The colour bar, 0 to the peak.
  const double bar_x = left + size + 30, bar_w = 18;
  for (int k = 0; k < 256; ++k) {
    set_colour(cr, k / 255.0);
    cairo_rectangle(cr, bar_x, top + size - (k + 1) * size / 256, bar_w, size / 256 + 0.5);
    cairo_fill(cr);
  }
  cairo_set_source_rgb(cr, 0, 0, 0);
  cairo_rectangle(cr, bar_x, top, bar_w, size);
  cairo_stroke(cr);
  if (peak > 0) {
    for (double t : ticks(0, peak, 5)) {
      const double py = top + size - t / peak * size;
      cairo_move_to(cr, bar_x + bar_w, py);
      cairo_line_to(cr, bar_x + bar_w + 4, py);
      cairo_stroke(cr);
      text_at(cr, bar_x + bar_w + 7, py, tick_text(t), 0, 0.5, 10);
    }
  } else {
    text_at(cr, bar_x, top + size + 8, "no weight", 0, 0, 10);
  }
}

void draw_layout(cairo_t* cr, const SystemLayout& L, double width, double height) {
  const double left = 70, right = 30, top = 40, bottom = 60;
  const double w = width - left - right, h = height - top - bottom;
  const double zspan = L.zmax - L.zmin, yspan = L.ymax - L.ymin;
  const double zlo = L.zmin - 0.03 * zspan, zhi = L.zmax + 0.03 * zspan;
  const double ylo = L.ymin - 0.08 * yspan, yhi = L.ymax + 0.08 * yspan;
  auto X = [&](double z) { return left + (z - zlo) / (zhi - zlo) * w; };
  auto Y = [&](double y) { return top + (yhi - y) / (yhi - ylo) * h; };

  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_paint(cr);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);

  // The axis.
  cairo_set_source_rgb(cr, 0.6, 0.6, 0.6);
  cairo_set_line_width(cr, 0.8);
  const double dash[] = {6, 4};
  cairo_set_dash(cr, dash, 2, 0);
  cairo_move_to(cr, X(zlo), Y(0));
  cairo_line_to(cr, X(zhi), Y(0));
  cairo_stroke(cr);
  cairo_set_dash(cr, nullptr, 0, 0);

  // Rays, under the surfaces.
  cairo_set_line_width(cr, 0.9);
  for (const DrawnRay& r : L.rays) {
    const auto& c = SET_COLOURS[static_cast<std::size_t>(r.set - 1) % SET_COLOURS.size()];
    cairo_set_source_rgba(cr, c[0], c[1], c[2], 0.75);
    for (const auto& piece : r.pieces) {
      for (std::size_t k = 0; k < piece.size(); ++k) {
        if (k == 0) {
          cairo_move_to(cr, X(piece[k].z), Y(piece[k].y));
        } else {
          cairo_line_to(cr, X(piece[k].z), Y(piece[k].y));
        }
      }
      cairo_stroke(cr);
    }
    if (r.lost && !r.pieces.empty() && !r.pieces.back().empty()) {
      const ZY end = r.pieces.back().back();
      cairo_set_source_rgb(cr, 0.8, 0.0, 0.0);
      cairo_move_to(cr, X(end.z) - 3, Y(end.y) - 3);
      cairo_line_to(cr, X(end.z) + 3, Y(end.y) + 3);
      cairo_move_to(cr, X(end.z) - 3, Y(end.y) + 3);
      cairo_line_to(cr, X(end.z) + 3, Y(end.y) - 3);
      cairo_stroke(cr);
    }
  }

  // Surfaces: lenses grey, mirrors dark blue, stops black and heavy.
  for (const DrawnSurface& d : L.surfaces) {
    if (d.stop) {
      cairo_set_source_rgb(cr, 0, 0, 0);
      cairo_set_line_width(cr, 3.5);
    } else if (d.mirror) {
      cairo_set_source_rgb(cr, 0.05, 0.15, 0.45);
      cairo_set_line_width(cr, 2.5);
    } else {
      cairo_set_source_rgb(cr, 0.35, 0.35, 0.35);
      cairo_set_line_width(cr, 1.6);
    }
    double label_z = 0, label_y = -1e300;
    for (const auto& line : d.lines) {
      for (std::size_t k = 0; k < line.size(); ++k) {
        if (k == 0) {
          cairo_move_to(cr, X(line[k].z), Y(line[k].y));
        } else {
          cairo_line_to(cr, X(line[k].z), Y(line[k].y));
        }
        if (line[k].y > label_y) {
          label_y = line[k].y;
          label_z = line[k].z;
        }
      }
      cairo_stroke(cr);
    }
    if (label_y > -1e300) {
      cairo_set_source_rgb(cr, 0.2, 0.2, 0.2);
      text_at(cr, X(label_z), Y(label_y) - 4, std::to_string(d.number), 0.5, 1, 10);
    }
  }

  // Source points.
  cairo_set_source_rgb(cr, 0.85, 0.1, 0.1);
  for (const ZY& s : L.sources) {
    cairo_arc(cr, X(s.z), Y(s.y), 3.5, 0, 2 * M_PI);
    cairo_fill(cr);
  }

  // Axes with ticks in mm.
  cairo_set_source_rgb(cr, 0, 0, 0);
  cairo_set_line_width(cr, 1);
  cairo_rectangle(cr, left, top, w, h);
  cairo_stroke(cr);
  for (double t : ticks(zlo, zhi, 10)) {
    cairo_move_to(cr, X(t), top + h);
    cairo_line_to(cr, X(t), top + h + 5);
    cairo_stroke(cr);
    text_at(cr, X(t), top + h + 8, tick_text(t), 0.5, 0, 10);
  }
  for (double t : ticks(ylo, yhi, 6)) {
    cairo_move_to(cr, left - 5, Y(t));
    cairo_line_to(cr, left, Y(t));
    cairo_stroke(cr);
    text_at(cr, left - 8, Y(t), tick_text(t), 1, 0.5, 10);
  }
  text_at(cr, left + w / 2, top + h + 26, "z (mm)", 0.5, 0);
  cairo_save(cr);
  cairo_translate(cr, 18, top + h / 2);
  cairo_rotate(cr, -M_PI / 2);
  text_at(cr, 0, 0, "y (mm)", 0.5, 0.5);
  cairo_restore(cr);

  // Legend: the index sets and a lost ray.
  double lx = left;
  for (int s = 1; s <= std::min(L.sets, 7); ++s) {
    const auto& c = SET_COLOURS[static_cast<std::size_t>(s - 1)];
    cairo_set_source_rgb(cr, c[0], c[1], c[2]);
    cairo_set_line_width(cr, 2);
    cairo_move_to(cr, lx, 18);
    cairo_line_to(cr, lx + 20, 18);
    cairo_stroke(cr);
    cairo_set_source_rgb(cr, 0, 0, 0);
    text_at(cr, lx + 24, 18, "index set " + std::to_string(s), 0, 0.5, 10);
    lx += 100;
  }
  cairo_set_source_rgb(cr, 0.8, 0, 0);
  text_at(cr, lx, 18, "x  where a ray was lost", 0, 0.5, 10);
  cairo_set_source_rgb(cr, 0.85, 0.1, 0.1);
  cairo_arc(cr, lx + 170, 18, 3.5, 0, 2 * M_PI);
  cairo_fill(cr);
  cairo_set_source_rgb(cr, 0, 0, 0);
  text_at(cr, lx + 178, 18, "source points", 0, 0.5, 10);
}

constexpr double MAP_WIDTH = 700, MAP_HEIGHT = 620;
constexpr double LAYOUT_WIDTH = 1100, LAYOUT_HEIGHT = 460;

}  // namespace

std::optional<std::string> figures_unavailable() { return std::nullopt; }

void write_map_figure(const MapFigure& map, FigureFormat format, const std::filesystem::path& path) {
  render(format, path, MAP_WIDTH, MAP_HEIGHT, [&](cairo_t* cr) { draw_map(cr, map); });
}

void write_layout_figure(const SystemLayout& layout, FigureFormat format,
                         const std::filesystem::path& path) {
  render(format, path, LAYOUT_WIDTH, LAYOUT_HEIGHT,
         [&](cairo_t* cr) { draw_layout(cr, layout, LAYOUT_WIDTH, LAYOUT_HEIGHT); });
}

}  // namespace varnock
