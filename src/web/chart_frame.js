// Charts of values against values: a frame with grid lines, ticks and axis
// titles, and a chart of marks in it. The study pages draw with these.
import { ACCENT, GRID_LINE, INK, NOMINAL } from "./colours.js";
import { esc } from "./format.js";
import { linearTicks, wholeTicks } from "./ticks.js";
import { line, svgOpen, svgText } from "./svg.js";

// The range of values with a little room on either side, so that the marks
// at the ends are not cut by the frame.
export function span(values, extra) {
  let lo = Infinity, hi = -Infinity;
  for (const v of values.concat(extra || [])) if (Number.isFinite(v)) { lo = Math.min(lo, v); hi = Math.max(hi, v); }
  if (lo === Infinity) return [0, 1];
  if (hi === lo) { const pad = Math.abs(lo) * 0.05 || 1; return [lo - pad, hi + pad]; }
  const pad = (hi - lo) * 0.04;
  return [lo - pad, hi + pad];
}

// The frame of a chart: grid lines, ticks, tick labels and axis titles;
// gives the mapping of values to pixels with it. f.yLog makes the y axis
// logarithmic (f.y then positive).
export function plotFrame(f) {
  const ty = f.yLog ? Math.log10 : (v) => v;
  const px = (v) => f.L + ((v - f.x[0]) / (f.x[1] - f.x[0])) * (f.W - f.L - f.R);
  const py = (v) => f.H - f.B - ((ty(v) - ty(f.y[0])) / (ty(f.y[1]) - ty(f.y[0]))) * (f.H - f.T - f.B);
  const out = [];
  for (const t of f.yTicks) {
    const y = py(t.v).toFixed(1);
    out.push(line(f.L, y, f.W - f.R, y, GRID_LINE), svgText(f.L - 6, Number(y) + 4, t.text, 'text-anchor="end"'));
  }
  for (const t of f.xTicks) {
    const x = px(t.v).toFixed(1);
    out.push(line(x, f.H - f.B, x, f.H - f.B + 4, INK), svgText(x, f.H - f.B + 16, t.text, 'text-anchor="middle"'));
  }
  out.push(`<path d="M${f.L},${f.T}V${f.H - f.B}H${f.W - f.R}" fill="none" stroke="${INK}"/>`);
  if (f.xLabel) out.push(svgText((f.L + f.W - f.R) / 2, f.H - 8, f.xLabel, 'text-anchor="middle" font-weight="600"'));
  if (f.yLabel) {
    const cy = (f.T + f.H - f.B) / 2;
    out.push(svgText(14, cy, f.yLabel, `text-anchor="middle" font-weight="600" transform="rotate(-90 14 ${cy})"`));
  }
  return { px, py, svg: out.join("") };
}

export function marker(x, y, tip, nominal, r) {
  const t = `<title>${esc(tip)}</title>`;
  if (nominal) {
    return `<path class="pt nominal" d="M${x.toFixed(1)},${(y - 7).toFixed(1)}l7,7l-7,7l-7,-7z" fill="${NOMINAL}" stroke="#fff" data-tip="${esc(tip)}">${t}</path>`;
  }
  return `<circle class="pt" cx="${x.toFixed(1)}" cy="${y.toFixed(1)}" r="${r}" fill="${ACCENT}" stroke="#fff" data-tip="${esc(tip)}">${t}</circle>`;
}

// A chart of y against x with the points marked; o.join joins them in
// order of x, o.fit ({ mean_x, mean_y, slope }, worked out with the data)
// draws the least-squares line, o.nominal is a point marked apart.
export function xyChart(o) {
  const W = o.W, H = o.H;
  const xr = span(o.pts.map((p) => p.x), o.nominal ? [o.nominal.x] : []);
  const yr = span(o.pts.map((p) => p.y), o.nominal ? [o.nominal.y] : []);
  const small = W < 500;
  const frame = plotFrame({
    W, H, L: 72, R: 14, T: 12, B: o.xLabel ? 44 : 26, x: xr, y: yr,
    xTicks: o.wholeX ? wholeTicks(xr[0], xr[1], small ? 3 : 5) : linearTicks(xr[0], xr[1], small ? 3 : 5),
    yTicks: linearTicks(yr[0], yr[1], small ? 3 : 5), xLabel: o.xLabel, yLabel: o.yLabel,
  });
  const { px, py } = frame;
  const out = [svgOpen(W, H, o.title), frame.svg];
  if (!o.pts.length && !o.nominal) {
    out.push(svgText((72 + W) / 2, H / 2, "no values to draw", 'text-anchor="middle" style="fill:#5a5a5a"'));
  }
  if (o.join && o.pts.length > 1) {
    const sorted = o.pts.slice().sort((a, b) => a.x - b.x);
    const d = sorted.map((p, k) => `${k ? "L" : "M"}${px(p.x).toFixed(1)},${py(p.y).toFixed(1)}`).join("");
    out.push(`<path d="${d}" fill="none" stroke="${ACCENT}" stroke-width="1.6"/>`);
  }
  const fit = o.fit;
  if (fit && [fit.mean_x, fit.mean_y, fit.slope].every(Number.isFinite)) {
    const at = (x) => fit.mean_y + fit.slope * (x - fit.mean_x);
    out.push(`<line x1="${px(xr[0]).toFixed(1)}" x2="${px(xr[1]).toFixed(1)}" y1="${py(at(xr[0])).toFixed(1)}" y2="${py(at(xr[1])).toFixed(1)}" ` +
      `stroke="${INK}" stroke-dasharray="5 4" stroke-width="1.2" class="fit"/>`);
  }
  // Smaller marks where many points would run into each other.
  const r = o.pts.length > 40 ? 2.5 : o.pts.length > 15 ? 3.2 : 4;
  for (const p of o.pts) out.push(marker(px(p.x), py(p.y), p.tip, false, r));
  if (o.nominal) out.push(marker(px(o.nominal.x), py(o.nominal.y), o.nominal.tip, true, r));
  out.push("</svg>");
  return out.join("");
}
