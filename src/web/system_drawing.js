// The drawing of the optical system: its y-z section with the surfaces'
// profiles, sample rays of every index set, where rays were lost and the
// source points, drawn from the geometry the page's data gives in mm.
// Mirrors come unfolded, as the tracer sees them.
import { INK, SET_COLOURS } from "./colours.js";
import { spacedTicks } from "./ticks.js";
import { line, pathData, svgOpen, svgText } from "./svg.js";

export const DRAWING_W = 1100, DRAWING_H = 460;

export function systemSvg(layout) {
  const W = DRAWING_W, H = DRAWING_H, left = 70, right = 30, top = 40, bottom = 60;
  const w = W - left - right, h = H - top - bottom;
  const zspan = layout.zmax - layout.zmin, yspan = layout.ymax - layout.ymin;
  const zlo = layout.zmin - 0.03 * zspan, zhi = layout.zmax + 0.03 * zspan;
  const ylo = layout.ymin - 0.08 * yspan, yhi = layout.ymax + 0.08 * yspan;
  const X = (z) => left + ((z - zlo) / (zhi - zlo)) * w;
  const Y = (y) => top + ((yhi - y) / (yhi - ylo)) * h;
  const path = (pts) => pathData(pts.map(([z, y]) => [X(z), Y(y)]));
  const out = [svgOpen(W, H, "the optical system with sample rays", 10),
    `<rect width="${W}" height="${H}" fill="#fff"/>`, '<g fill="none" stroke-linejoin="round">'];

  // The axis, then the rays under the surfaces.
  out.push(line(X(zlo).toFixed(2), Y(0).toFixed(2), X(zhi).toFixed(2), Y(0).toFixed(2), "#999", 'stroke-width="0.8" stroke-dasharray="6 4"'));
  const lost = [];
  for (const ray of layout.rays) {
    const colour = SET_COLOURS[(ray.set - 1) % SET_COLOURS.length];
    const d = ray.pieces.filter((p) => p.length).map(path).join("");
    if (d) out.push(`<path class="ray" d="${d}" stroke="${colour}" stroke-opacity="0.75" stroke-width="0.9"/>`);
    const last = ray.pieces.length ? ray.pieces[ray.pieces.length - 1] : [];
    if (ray.lost && last.length) lost.push(last[last.length - 1]);
  }
  if (lost.length) {
    const d = lost.map(([z, y]) => {
      const x0 = X(z), y0 = Y(y);
      return `M${(x0 - 3).toFixed(2)},${(y0 - 3).toFixed(2)}l6,6M${(x0 - 3).toFixed(2)},${(y0 + 3).toFixed(2)}l6,-6`;
    }).join("");
    out.push(`<path class="lost" d="${d}" stroke="#cc0000"/>`);
  }

  // Surfaces: lenses grey, mirrors dark blue, stops black and heavy; each
  // numbered above its highest point.
  const labels = [];
  for (const s of layout.surfaces) {
    const [stroke, width] = s.stop ? ["#000", 3.5] : s.mirror ? ["#0d2673", 2.5] : ["#595959", 1.6];
    const d = s.lines.filter((l) => l.length).map(path).join("");
    if (d) out.push(`<path class="surface" d="${d}" stroke="${stroke}" stroke-width="${width}"/>`);
    let best = null;
    for (const l of s.lines) for (const p of l) if (!best || p[1] > best[1]) best = p;
    if (best) labels.push(svgText(X(best[0]).toFixed(1), (Y(best[1]) - 4).toFixed(1), s.number, 'text-anchor="middle" fill="#333"'));
  }
  out.push("</g>", ...labels);
  for (const [z, y] of layout.sources) {
    out.push(`<circle class="source" cx="${X(z).toFixed(2)}" cy="${Y(y).toFixed(2)}" r="3.5" fill="#d91a1a"/>`);
  }

  // The frame with ticks in mm.
  out.push(`<rect x="${left}" y="${top}" width="${w}" height="${h}" fill="none" stroke="${INK}"/>`);
  for (const t of spacedTicks(zlo, zhi, 10)) {
    const x = X(t.v).toFixed(2);
    out.push(line(x, top + h, x, top + h + 5, INK), svgText(x, top + h + 18, t.text, 'text-anchor="middle"'));
  }
  for (const t of spacedTicks(ylo, yhi, 6)) {
    const y = Y(t.v).toFixed(2);
    out.push(line(left - 5, y, left, y, INK), svgText(left - 8, (Number(y) + 3.5).toFixed(2), t.text, 'text-anchor="end"'));
  }
  out.push(svgText(left + w / 2, top + h + 38, "z (mm)", 'text-anchor="middle" font-size="12"'));
  out.push(svgText(18, top + h / 2, "y (mm)", `text-anchor="middle" font-size="12" transform="rotate(-90 18 ${top + h / 2})"`));

  // The legend: the index sets, a lost ray, the source points.
  let lx = left;
  for (let s = 1; s <= Math.min(layout.sets, SET_COLOURS.length); s++) {
    out.push(line(lx, 18, lx + 20, 18, SET_COLOURS[s - 1], 'stroke-width="2"'), svgText(lx + 24, 21.5, `index set ${s}`));
    lx += 100;
  }
  out.push(svgText(lx, 21.5, "\u00d7  where a ray was lost", 'style="fill:#cc0000"'));
  out.push(`<circle cx="${lx + 170}" cy="18" r="3.5" fill="#d91a1a"/>`, svgText(lx + 178, 21.5, "source points"));
  out.push("</svg>");
  return out.join("");
}
