// A profile along one line of cells of a map as a step chart: each cell is
// one flat step, as wide as the cell.
import { ACCENT, GRID_LINE, INK } from "./colours.js";
import { MID } from "./map_plot.js";
import { linearTicks } from "./ticks.js";
import { line, svgOpen, svgText } from "./svg.js";

export const PROFILE_W = 340, PROFILE_H = 200;

export function profileSvg(title, axis, map, values) {
  const W = PROFILE_W, H = PROFILE_H, L = 64, R = 12, T = 10, B = 42;
  const half = 20.5 * map.pitch;
  const lo = Math.min(0, ...values);
  let hi = Math.max(...values);
  if (!(hi > lo)) hi = lo + 1;
  const yTicks = linearTicks(lo, hi, 4);
  hi = Math.max(hi, yTicks[yTicks.length - 1].v);
  const px = (c) => L + ((c + half) / (2 * half)) * (W - L - R);
  const py = (v) => H - B - ((v - lo) / (hi - lo)) * (H - T - B);
  const out = [svgOpen(W, H, title)];
  for (const t of yTicks) {
    const y = py(t.v);
    out.push(line(L, y, W - R, y, GRID_LINE), svgText(L - 6, y + 4, t.text, 'text-anchor="end"'));
  }
  for (const t of linearTicks(-Math.abs(half), Math.abs(half), 5)) {
    const x = px(t.v);
    out.push(line(x, H - B, x, H - B + 4, INK), svgText(x, H - B + 16, t.text, 'text-anchor="middle"'));
  }
  let d = "";
  values.forEach((v, k) => {
    const x0 = px((k - MID - 0.5) * map.pitch), x1 = px((k - MID + 0.5) * map.pitch);
    d += `${k === 0 ? "M" : "L"}${x0.toFixed(2)},${py(v).toFixed(2)}H${x1.toFixed(2)}`;
  });
  out.push(`<path d="${d}" fill="none" stroke="${ACCENT}" stroke-width="1.6"/>`);
  out.push(`<path d="M${L},${T}V${H - B}H${W - R}" fill="none" stroke="${INK}"/>`);
  out.push(svgText((L + W - R) / 2, H - 6, `${axis} (${map.unit})`, 'text-anchor="middle" font-weight="600"'));
  out.push(svgText(12, (T + H - B) / 2, "weight", `text-anchor="middle" transform="rotate(-90 12 ${(T + H - B) / 2})"`));
  out.push("</svg>");
  return out.join("");
}
